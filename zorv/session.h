// zorv's program-wide state: what the wizard, the graph editor and the dialogs share about the
// classifier being built or used. One object per program run, handed to each form.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "platform/vb/array.h"

namespace zorv {

class FrmBNE;

// The graph editor's record of one network, by network number.
struct NetRecord {
    bool closed = false;   // its window has been closed
    bool changed = false;  // edited since the window last saved
};

struct ZorvSession {
    // 0 until a work mode is chosen on the cover page; 1 learn a new classifier, 2 modify an
    // existing one and use it, 3 classify with an existing one.
    int16_t WorkMode = 0;
    // 1 Bayesian net only, 2 multi-net only, 3 the better of both.
    int16_t ModelMode = 1;
    // The classifier differs from what was last loaded or saved.
    bool ModelChanged = false;

    // The model's fields from index 1 (field 1 is the class field), their feature flags, the
    // class value labels from index 1 and their count.
    int16_t FieldCount = 0;
    std::vector<std::string> FieldNames;
    std::vector<int16_t> FieldUsed;
    std::vector<std::string> ClassLabels;
    int16_t NetCount = 0;
    bool IsMultiNetFlag = false;
    bool FeatureSelected = false;
    int16_t FirstNode = 0;
    // The graph editor's exchange array: one layer per network, a link matrix per layer.
    vb::Array<int16_t> GraphArr;
    // The graph editor while its frame is open: the network windows and records by network
    // number (0 the single net, k class value k; a closed window's entry is null), the draw
    // button of the frame, and whether a window saved into GraphArr since the frame opened.
    std::vector<FrmBNE*> EditorForms;
    std::vector<NetRecord> NetState;
    bool DrawMode = false;
    bool GraphChanged = false;

    // The open test-data database and the confusion matrix of the last batch classification.
    std::shared_ptr<db::Database> TestDb;
    vb::Array<int32_t> ConfusionMatrix;
};

}  // namespace zorv

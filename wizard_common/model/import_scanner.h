// The import of cause-and-effect pairs from network files without its widgets: a line scanner
// over Netica (.dne), Hugin (.net, .hugin), MSBN (.dsc) and BIF 0.15 (.bif) files that finds
// node headers, parent lists and potential/probability declarations by a few fixed rules, with
// no grammar, and turns them into a sequence of steps for the causes-and-effects tab: "this
// effect row becomes the current child" and "offer the pair (cause row, effect row) to the add
// operation". Only names that are items of the two field lists take part; everything else is
// skipped. The page replays the steps on its lists (selecting the rows and running its add
// handler, so imported pairs meet the same checks and messages as pairs entered by hand).
//
//     if (auto bad = CheckImportFile(path)) { show(*bad); return; }
//     ImportScan scan = ScanImportFile(path, causeTexts, effectTexts);
//     int n = ApplyImport(model, scan, showEach);
//     show(scan.fault ? *scan.fault : ImportCountMessage(n));
//
// Files are read as bytes: UTF-8 when the whole file is valid UTF-8, else Latin-1 (so a file
// from a system with a one-byte code page still reads); a UTF-8 byte-order mark is skipped,
// lines end at LF and a CR before it is dropped. Names are compared with ASCII letters
// upper-cased, the field lists' texts being UTF-8 as well.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wizard_common/model/knowledge_model.h"

namespace wizard::knowledge {

inline constexpr const char* kImportTitle = "Import cause & effect relationships from Netica format";
inline constexpr const char* kImportFilter =
    "Netica file (*.dne)|*.dne|Hugin file (*.hugin)|*.hugin|Net file (*.net)|*.net|MSBN file "
    "(*.dsc)|*.dsc|BIF 0.15 file (*.bif)|*.bif|All Files (*.*)|*.*";

struct ImportStep {
    enum class Kind { ChildChosen, PairOffered };
    Kind kind = Kind::ChildChosen;
    int cause = -1;   // row of the cause list (PairOffered)
    int effect = -1;  // row of the effect list
    bool operator==(const ImportStep&) const = default;
};

struct ImportScan {
    std::vector<ImportStep> steps;
    // Set when the file could not be read or a line could not be parsed: the steps before it
    // stand, no count is reported, and this warning names the file and the line.
    std::optional<Message> fault;
};

// The file's text as UTF-8: the bytes themselves when they are valid UTF-8, else each byte
// taken as a Latin-1 character. A leading byte-order mark is dropped.
std::string DecodeImportText(std::string_view bytes);
// The text's lines: split at LF, a trailing CR dropped; no line after a final LF.
std::vector<std::string> SplitImportLines(std::string_view text);

// The scan of the lines against the texts of the cause list and of the effect list.
// `fileName` names the file in a fault message.
ImportScan ScanImportLines(const std::vector<std::string>& lines, const std::vector<std::string>& causes,
                           const std::vector<std::string>& effects, std::string_view fileName);

// The warning for a file that cannot be imported before anything is read: missing or empty.
std::optional<Message> CheckImportFile(const std::string& path);
// Reads, decodes and scans the file; a file that cannot be read is a fault.
ImportScan ScanImportFile(const std::string& path, const std::vector<std::string>& causes,
                          const std::vector<std::string>& effects);

// "n relations were imported." (a box with only OK, no icon).
Message ImportCountMessage(int count);

// Replays the scan on the model's causes-and-effects tab as the page does: each offered pair
// goes through AddPair. `each` (optional) sees every step and, for an offered pair, what the
// add did (nullptr for a chosen child), so a page can move its selections and show each
// refusal as it happens. Returns the number of pairs the list grew by.
int ApplyImport(KnowledgeModel& model, const ImportScan& scan,
                const std::function<void(const ImportStep&, const PairEdit*)>& each = {});

}  // namespace wizard::knowledge

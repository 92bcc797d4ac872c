// A structure learned by the classifier engine, taken into the session as the graph editor and
// the listing read it; and a plain learning run (no domain knowledge, no log files) that the
// screenshot driver and the tests use to get a real network from a table.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "classifier_engine/zorvapi.h"
#include "platform/db/database.h"
#include "zorv/session.h"

namespace zorv {

// The engine's field names (GetFldNM) as the user named the fields, from index 1. The engine
// keeps each name in its SQL form, "[plant-stand]" for plant-stand; the wizard shows names and
// the engine puts either form back into the same query text, so the session holds them bare.
std::vector<std::string> FieldNamesOf(zorvapi::IDataEngine& engine);

// Class labels and their count, the graph (every layer), the multi-net flag, the feature
// flags and the field names from an engine that holds a learned structure.
void TakeLearnedModel(zorvapi::IDataEngine& engine, ZorvSession& session);

// Learns the structure of `table` over `fields` (the class field first) with the engine's
// own threshold search: BMMode 1 Bayesian net, 2 multi-net, 3 the better; FSM 1 always select
// features, 2 never, 3 when better. The engine is fresh; its learned model goes into the session.
void LearnIntoSession(zorvapi::IDataEngine& engine, std::shared_ptr<db::Database> database,
                      const std::string& table, const std::vector<std::string>& fields,
                      int16_t BMMode, int16_t FSM, ZorvSession& session);

}  // namespace zorv

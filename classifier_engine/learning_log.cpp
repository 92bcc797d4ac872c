// Reading an input learning log into the set-up's statistics.
#include "classifier_engine/data_engine.h"

namespace zorvapi {

// Not read yet: the set-up goes on as if the log had been ignored and counts from the database.
void DataEngine::ReadLearningLog(const std::string&) {}

}  // namespace zorvapi

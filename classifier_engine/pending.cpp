// Methods whose procedures have not landed yet. Each raises a clear error until its file
// replaces the stub below; remove a stub when its procedure is written.
#include "classifier_engine/data_engine.h"

namespace zorvapi {

namespace {
[[noreturn]] void NotYet(const char* what) {
    throw com::Error(com::objectError(599), kSource, std::string(what) + " is not available yet");
}
}  // namespace

void DataEngine::ConstructBN(Single&) { NotYet("ConstructBN"); }
void DataEngine::LearnStru(Single&) { NotYet("LearnStru"); }
void DataEngine::ReadBncStru(std::string&) { NotYet("ReadBncStru"); }
void DataEngine::ReadBncCPT(std::string&) { NotYet("ReadBncCPT"); }
void DataEngine::WriteBnc(std::string&) { NotYet("WriteBnc"); }

}  // namespace zorvapi

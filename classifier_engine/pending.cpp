// Methods whose procedures have not landed yet. Each raises a clear error until its file
// replaces the stub below; remove a stub when its procedure is written.
#include "classifier_engine/data_engine.h"

namespace zorvapi {

namespace {
[[noreturn]] void NotYet(const char* what) {
    throw com::Error(com::objectError(599), kSource, std::string(what) + " is not available yet");
}
}  // namespace

void DataEngine::InitLearnStru(Integer&, vb::Array<std::string>&, bool&, vb::Array<Integer>&,
                               vb::Array<Integer>&, vb::Array<Integer>&, vb::Array<Integer>&,
                               vb::Array<Integer>&, bool&, std::string&, std::string&, Integer&,
                               bool&, Integer&, bool&, bool&, bool&) { NotYet("InitLearnStru"); }
void DataEngine::ConstructBN(Single&) { NotYet("ConstructBN"); }
void DataEngine::GetCostTable(vb::Array<Single>&) { NotYet("GetCostTable"); }
void DataEngine::PutCostTable(vb::Array<Single>&) { NotYet("PutCostTable"); }
void DataEngine::PutGraph(vb::Array<Integer>&) { NotYet("PutGraph"); }
void DataEngine::GetGraph(vb::Array<Integer>&) { NotYet("GetGraph"); }
void DataEngine::LearnStru(Single&) { NotYet("LearnStru"); }
bool DataEngine::LearnCPT(bool&) { NotYet("LearnCPT"); }
Integer DataEngine::ClsfyInst(vb::Array<Integer>&) { NotYet("ClsfyInst"); }
Integer DataEngine::InferenceMN(vb::Array<Integer>&) { NotYet("InferenceMN"); }
Integer DataEngine::InferenceBN(vb::Array<Integer>&) { NotYet("InferenceBN"); }
Single DataEngine::ClsfyBatch(std::shared_ptr<db::Database>&, std::string&, std::string&,
                              vb::Array<Long>&, std::string&) { NotYet("ClsfyBatch"); }
Single DataEngine::LiftCurve(Integer&) { NotYet("LiftCurve"); }
Single DataEngine::AllROC() { NotYet("AllROC"); }
Single DataEngine::ROCCurve(Integer&, Integer&) { NotYet("ROCCurve"); }
void DataEngine::QuickSort(Integer&, Long&, Long&) { NotYet("QuickSort"); }
void DataEngine::ReadBncStru(std::string&) { NotYet("ReadBncStru"); }
void DataEngine::ReadBncCPT(std::string&) { NotYet("ReadBncCPT"); }
void DataEngine::WriteBnc(std::string&) { NotYet("WriteBnc"); }

}  // namespace zorvapi

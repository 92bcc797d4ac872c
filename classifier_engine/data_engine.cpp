// Placeholder frame; the engine frame's work replaces this file.
#include "classifier_engine/data_engine.h"

namespace zorvapi {

const char* const kSource = "DataEngine Object";

DataEngine::DataEngine() : core::Learner(core::CoreSettings::Classifier(100)) {}
DataEngine::~DataEngine() = default;

void DataEngine::Init(Long& rows, Integer& vlus) {
    MaxRows = rows;
    MaxVlus = vlus;
    Percent1 = Percent2 = 0;
}
void DataEngine::InitLearn(std::shared_ptr<db::Database>&, std::string&, std::string&) {}
void DataEngine::GetRelative(vb::Array<Integer>&) {}
void DataEngine::GetClsLbl(vb::Array<std::string>&) {}
void DataEngine::GetFldNM(vb::Array<std::string>&) {}
void DataEngine::GetFldVlu(vb::Array<std::string>&) {}
void DataEngine::GetFF(vb::Array<Integer>&) {}
void DataEngine::GetLift(vb::Array<Single>&) {}
void DataEngine::GetROC(vb::Array<Single>&) {}
bool DataEngine::RaisePercentDone() { return Cancel; }
bool DataEngine::Progress(Single) { return Cancel; }

}  // namespace zorvapi

// The DataEngine frame: construction, the limits (Init), binding the database and table
// (InitLearn), the getters that copy members out, and the two-level progress event.
#include "classifier_engine/data_engine.h"

#include "platform/vb/types.h"

namespace zorvapi {

const char* const kSource = "DataEngine Object";

DataEngine::DataEngine() : core::Learner(core::CoreSettings::Classifier(0)) {}
DataEngine::~DataEngine() = default;

void DataEngine::Init(Long& rows, Integer& vlus) {
    MaxRows = rows;
    MaxVlus = vlus;
    // The core reads the value limit from its settings; they must agree with MaxVlus.
    settings_.maxValues = vlus;
    Percent1 = 0;
    Percent2 = 0;
}

void DataEngine::InitLearn(std::shared_ptr<db::Database>& objdb, std::string& strtb,
                           std::string& cntfld) {
    Cancel = false;
    BindTable(objdb, strtb, cntfld);
    TableRows = CountTableRows();
}

namespace {

// A 0..n copy of `from`'s elements 1..n with element 0 left empty.
template <typename T>
void CopyFromOne(const vb::Array<T>& from, Integer n, vb::Array<T>& to) {
    vb::Array<T> out(vb::To(n));
    for (Integer i = 1; i <= n; ++i) out(i) = from(i);
    to = std::move(out);
}

}  // namespace

void DataEngine::GetRelative(vb::Array<Integer>& TmpArr) { CopyFromOne(Feature, numfld, TmpArr); }

void DataEngine::GetClsLbl(vb::Array<std::string>& TmpArr) {
    vb::Array<std::string> out(vb::To(nc));
    for (Integer i = 1; i <= nc; ++i) out(i) = VluLbl(1, i);
    TmpArr = std::move(out);
}

void DataEngine::GetFldNM(vb::Array<std::string>& FldArr) { CopyFromOne(FieldNames, numfld, FldArr); }
void DataEngine::GetFldVlu(vb::Array<std::string>& FldV) { FldV = VluLbl; }
void DataEngine::GetFF(vb::Array<Integer>& FFOut) { FFOut = FF; }
void DataEngine::GetLift(vb::Array<Single>& tmp) { tmp = LiftIndex; }
void DataEngine::GetROC(vb::Array<Single>& tmp) { tmp = ROCIndex; }

bool DataEngine::RaisePercentDone() {
    if (sink_) sink_->PercentDone(Percent1, Percent2, Cancel);
    return Cancel;
}

void DataEngine::StartStage(const std::string& status) {
    StatusText = status;
    Percent2 = 0;
}

bool DataEngine::Progress(Single increment) {
    // Inside a construction of one per-class network a step counts ConstructShare times.
    const Single share = InConstruction ? ConstructShare : Single(1);
    Percent2 = Percent2 + increment * share;
    Percent1 = Percent1 + increment * PhaseShare * StepShare * share;
    return RaisePercentDone();
}

}  // namespace zorvapi

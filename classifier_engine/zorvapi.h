// ZORVAPI's public interface: the classifier engine as a host program sees it. Programs obtain an
// object with com::CreateObject("ZORVAPI.DataEngine") and talk to it only through IDataEngine;
// progress arrives through the DataEngineEvents sink the host hands over. Every parameter is
// passed by reference, as the engine's callers expect (InitLearn writes the bracketed frequency
// field name back, getters replace the caller's array by a copy).
#pragma once

#include <memory>
#include <string>

#include "platform/com/object.h"
#include "platform/db/database.h"
#include "platform/vb/array.h"
#include "platform/vb/types.h"

namespace zorvapi {

using vb::Integer;
using vb::Long;
using vb::Single;

// The PercentDone event: the overall and stage percentages by value, Cancel by reference. The
// engine reads Cancel as soon as the call returns.
class DataEngineEvents {
public:
    virtual ~DataEngineEvents() = default;
    virtual void PercentDone(Single Percent1, Single Percent2, bool& Cancel) = 0;
};

class IDataEngine : public com::Object {
public:
    // The host's event sink, or nullptr for none; the engine does not own it.
    virtual void SetEventSink(DataEngineEvents* sink) = 0;

    virtual void Init(Long& rows, Integer& vlus) = 0;                                   // 0
    virtual void ConstructBN(Single& Perc) = 0;                                         // 1
    virtual void ReadBncStru(std::string& FileNM) = 0;                                  // 2
    virtual void ReadBncCPT(std::string& FileNM) = 0;                                   // 3
    virtual void GetCostTable(vb::Array<Single>& TmpTable) = 0;                         // 4
    virtual void PutCostTable(vb::Array<Single>& TmpTable) = 0;                         // 5
    virtual void WriteBnc(std::string& FileNM) = 0;                                     // 6
    virtual void PutGraph(vb::Array<Integer>& TmpGraph) = 0;                            // 7
    virtual void GetGraph(vb::Array<Integer>& TmpGraph) = 0;                            // 8
    virtual void InitLearn(std::shared_ptr<db::Database>& objdb, std::string& strtb,
                           std::string& cntfld) = 0;                                    // 9
    virtual void InitLearnStru(Integer& numfld, vb::Array<std::string>& arrfldnm, bool& bord,
                               vb::Array<Integer>& po, vb::Array<Integer>& ce,
                               vb::Array<Integer>& fl, vb::Array<Integer>& rt,
                               vb::Array<Integer>& lf, bool& bpres, std::string& logi,
                               std::string& logo, Integer& BMMode, bool& FixedThr, Integer& FSM,
                               bool& tmpROC, bool& tmpFilter, bool& tmpNoOrd) = 0;      // 10
    virtual void LearnStru(Single& Threshold) = 0;                                      // 11
    virtual bool LearnCPT(bool& MN) = 0;                                                // 12
    virtual Integer ClsfyInst(vb::Array<Integer>& TmpArr) = 0;                          // 13
    virtual Single ClsfyBatch(std::shared_ptr<db::Database>& TestDB, std::string& TestTB,
                              std::string& TmpCls, vb::Array<Long>& Matrix,
                              std::string& FileNM) = 0;                                 // 14
    virtual Integer InferenceMN(vb::Array<Integer>& FldVi) = 0;                         // 15
    virtual Integer InferenceBN(vb::Array<Integer>& FldVi) = 0;                         // 16
    virtual bool IsMultiNet() = 0;                                                      // 17
    virtual Long TotalCases() = 0;                                                      // 18
    virtual Long CorrectCases() = 0;                                                    // 19
    virtual Long ErrorCases() = 0;                                                      // 20
    virtual std::string StrStatus() = 0;                                                // 21
    virtual void GetRelative(vb::Array<Integer>& TmpArr) = 0;                           // 22
    virtual void GetClsLbl(vb::Array<std::string>& TmpArr) = 0;                         // 23
    virtual void GetFldNM(vb::Array<std::string>& FldArr) = 0;                          // 24
    virtual void GetFldVlu(vb::Array<std::string>& FldV) = 0;                           // 25
    virtual void GetFF(vb::Array<Integer>& FF) = 0;                                     // 26
    virtual void GetLift(vb::Array<Single>& tmp) = 0;                                   // 27
    virtual void GetROC(vb::Array<Single>& tmp) = 0;                                    // 28
    virtual Single LiftCurve(Integer& C) = 0;                                           // 29
    virtual Single AllROC() = 0;                                                        // 30
    virtual Single ROCCurve(Integer& X, Integer& Y) = 0;                                // 31
    virtual void QuickSort(Integer& D, Long& First, Long& Last) = 0;                    // 32
};

}  // namespace zorvapi

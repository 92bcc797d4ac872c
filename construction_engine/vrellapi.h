// VRELLAPI's public interface: the construction engine as a host program sees it. Programs
// obtain an object with com::CreateObject("VRELLAPI.DataSet") and talk to it only through
// IDataSet; progress arrives through the DataSetEvents sink the host hands over. Every
// parameter is passed by reference, as the engine's callers expect (Init writes the bracketed
// frequency field name back, Construct fills the caller's result matrix).
#pragma once

#include <memory>
#include <string>

#include "platform/com/object.h"
#include "platform/db/database.h"
#include "platform/vb/array.h"
#include "platform/vb/types.h"

namespace vrellapi {

using vb::Integer;
using vb::Long;
using vb::Single;

// The PercentDone event: the running percentage by value, Cancel by reference. The engine reads
// Cancel as soon as the call returns.
class DataSetEvents {
public:
    virtual ~DataSetEvents() = default;
    virtual void PercentDone(Single Percent, bool& Cancel) = 0;
};

class IDataSet : public com::Object {
public:
    // The host's event sink, or nullptr for none; the engine does not own it.
    virtual void SetEventSink(DataSetEvents* sink) = 0;

    // Binds the object to an open database table, the selected fields (arrfldnm(0..numfld-1))
    // and the domain knowledge (all 0-based: element a stands for field a+1), and loads the
    // field statistics from the table or from the construction log logi. logo names the log
    // that Construct writes ("" for none).
    virtual void Init(std::shared_ptr<db::Database>& objdb, std::string& strtb, Integer& numfld,
                      vb::Array<std::string>& arrfldnm, std::string& cntfld, bool& bord,
                      vb::Array<Integer>& po, vb::Array<Integer>& ce, vb::Array<Integer>& fl,
                      vb::Array<Integer>& rt, vb::Array<Integer>& lf, std::string& logi,
                      std::string& logo) = 0;                                          // 1
    // Learns the structure with the threshold Perc x 0.008; bpres keeps the required links.
    // rst(0..numfld-1, 0..numfld-1) receives the result codes in its cells i < j: 0 no link,
    // 1 i -> j, 2 j -> i, 3 unoriented, 4 both ends reach each other; rst(0, 0) = -1 after a
    // cancelled run.
    virtual void Construct(Single& Perc, bool& bpres, vb::Array<Integer>& rst) = 0;    // 2
    // Learns the probability tables of the network graf and writes the export file tmpF.
    virtual void LearnCP(vb::Array<Integer>& graf, std::string& tmpF) = 0;             // 3
    // Ranks the fields against field 1 by approximate Markov blankets.
    virtual void MarkovFS() = 0;                                                       // 4
    // MarkovFS's sorting step over its index list.
    virtual void QuickSort2(Integer& First, Integer& Last) = 0;                        // 5
};

}  // namespace vrellapi

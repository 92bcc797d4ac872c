// The two matrices the host edits: the misclassification cost table (GetCostTable,
// PutCostTable) and the classifier's graph layers (GetGraph, PutGraph). Reads FF(1) for the
// number of class values and IsMultiNet; writes CostTable, DefaultCost, CostTablePut, Graph and,
// for a multi-net, Feature. Nothing is trapped: an undersized array from the host fails with
// the runtime's subscript error.
#include "classifier_engine/data_engine.h"

namespace zorvapi {

namespace {

void FillDefaultCosts(vb::Array<Single>& table, Integer nc) {
    table.ReDim(vb::To(nc), vb::To(nc));
    for (Integer i = 1; i <= nc; ++i)
        for (Integer j = 1; j <= nc; ++j)
            if (i != j) table(i, j) = 1.0f;
}

}  // namespace

void DataEngine::GetCostTable(vb::Array<Single>& TmpTable) {
    const Integer classes = FF(1);
    // An engine that never got a table has the default one as well.
    if (DefaultCost || !CostTable.allocated()) FillDefaultCosts(CostTable, classes);
    TmpTable = CostTable;
}

void DataEngine::PutCostTable(vb::Array<Single>& TmpTable) {
    const Integer classes = FF(1);
    vb::Array<Single> table(vb::To(classes), vb::To(classes));
    for (Integer i = 1; i < classes; ++i)
        for (Integer j = i + 1; j <= classes; ++j) {
            table(i, j) = TmpTable(i, j);
            table(j, i) = TmpTable(j, i);
        }
    // The diagonal is always 0, whatever the host passed. A table with one cost everywhere off
    // the diagonal decides like the default one, so it is kept (and saved) as the default.
    bool same = true;
    for (Integer i = 1; i <= classes && same; ++i)
        for (Integer j = 1; j <= classes; ++j)
            if (i != j && table(i, j) != table(1, 2)) {
                same = false;
                break;
            }
    CostTable = std::move(table);
    CostTablePut = true;
    DefaultCost = same;
}

void DataEngine::GetGraph(vb::Array<Integer>& TmpGraph) { TmpGraph = Graph; }

void DataEngine::PutGraph(vb::Array<Integer>& TmpGraph) {
    Feature.ReDim(vb::To(numfld));
    Graph = TmpGraph;
    if (!IsMultiNet_) return;  // LearnCPT derives a single net's subset from its graph
    MarkMultiNetFeatures();
}

void DataEngine::MarkMultiNetFeatures() {
    Feature.ReDim(vb::To(numfld));
    const Integer classes = FF(1);
    // A feature of a multi-net is a field linked to another non-class field in some layer.
    for (Integer k = 1; k <= classes; ++k)
        for (Integer i = 2; i < numfld; ++i)
            for (Integer j = i + 1; j <= numfld; ++j)
                if (Graph(k, i, j) > 0 || Graph(k, j, i) > 0) Feature(i) = Feature(j) = 1;
}

}  // namespace zorvapi

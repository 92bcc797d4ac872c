// DataSet.LearnCP: the probability tables of the host's network and the export file that holds
// them. The parents come from the link matrix, the state counts of each field from one grouped
// count query (kept in StateCnt for later calls), each node's table from one count query over
// its parents and itself, smoothed by the shared estimator; the file's format is chosen by the
// end of its name. Reads the field list, labels, TotalRows and the count expression; writes
// StateCnt, Percent and Cancel.
//
// The export replaces the target only when it is complete: the text goes to a new file beside
// it, renamed over the target at the end, so a cancel or a failure leaves the user's old file
// as it was. Networks that cannot be tabled (a parent over the value limit, too many parents,
// a table too large to hold) are refused before any query is sent or any file is touched.
#include <fstream>
#include <set>
#include <span>
#include <vector>

#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"
#include "construction_engine/export_model.h"
#include "core/smoothed_estimate.h"
#include "platform/db/value_text.h"
#include "platform/vb/regional.h"
#include "platform/vb/replacing_file.h"
#include "platform/vb/text_file.h"
#include "platform/vb/strings.h"

namespace vrellapi {

namespace {

// A node's parents are its count query's grouping fields; with the node they fill at most the
// 20 field slots a count query has.
constexpr size_t kMaxParents = 19;
// Parent configurations x states of one table. A table's count query returns at most this many
// groups and the table lives in memory while its node is written (16 MB of Singles at the
// cap); a table beyond it could not be learned from any table of realistic size anyway.
constexpr int64_t kMaxTableCells = 4'000'000;

enum class Format { Netica, Hugin, Bif };

// The last four characters of the name, in upper case, choose the format.
Format FormatOf(const std::string& path) {
    const std::string tail = vb::UCase(path.size() > 4 ? path.substr(path.size() - 4) : path);
    if (tail == ".DNE" || tail == "DNET") return Format::Netica;
    if (tail == ".NET") return Format::Hugin;
    return Format::Bif;
}

int32_t RowsOf(const vb::Array<db::Value>& block) {
    return block.dims() == 2 ? block.UBound(2) - block.LBound(2) + 1 : 0;
}

// The count of a group; a group whose weights are all Null counts nothing.
double CountOf(const vb::Array<db::Value>& block, int32_t r) {
    const db::Value& c = block(0, block.LBound(2) + r);
    return c.IsNull() ? 0.0 : c.ToDouble();
}

Integer StateOf(const vb::Array<db::Value>& block, int col, int32_t r) {
    return block(col, block.LBound(2) + r).AsInteger();
}

// The link matrix must cover the fields 0..numfld-1 in both dimensions.
bool CoversFields(const vb::Array<Integer>& graf, Integer numfld) {
    if (graf.dims() != 2) return false;
    for (int d = 1; d <= 2; ++d)
        if (graf.LBound(d) > 0 || graf.UBound(d) < numfld - 1) return false;
    return true;
}

// The export's text in a vb::ReplacingFile: the target is replaced only on Commit.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::string& target) : file_(target) {
        out_.open(file_.path(), std::ios::binary | std::ios::trunc);
        if (!out_) throw vb::FileError(vb::RuntimeError::PathFileAccess(), target);
        name_ = target;
    }

    std::ostream& out() { return out_; }

    void Commit() {
        out_.close();
        if (out_.fail()) throw vb::FileError(vb::RuntimeError::DeviceIO(), name_);
        file_.Commit();
    }

private:
    vb::ReplacingFile file_;
    std::ofstream out_;
    std::string name_;
};

// Every grouped value of columns 1..m must be one of its field's labels (Null and "?" the
// label "?"); a value that is not was added to the table after Init read it.
void CheckCodable(const DataSet& d, const vb::Array<db::Value>& block, Integer m,
                  const vb::Array<Integer>& fields) {
    for (Integer f = 1; f <= m; ++f) {
        const Integer x = fields(f);
        std::set<std::string> labels;
        for (Integer s = 1; s <= d.FF(x); ++s) labels.insert(d.VluLbl(x, s));
        for (int32_t r = 0; r < RowsOf(block); ++r) {
            const db::Value& cell = block(f, block.LBound(2) + r);
            if (labels.count(cell.IsNull() ? std::string("?") : db::LabelText(cell)) == 0)
                throw EngineError(kTableChanged, d.FieldNames(x));
        }
    }
}

// The counting pass of one field: StateCnt(i, s) for every state s.
void CountStates(DataSet& d, Integer i) {
    const std::string& name = d.FieldNames(i);
    // One row more than the field has states: a result that fills it came from a table that
    // changed since Init.
    vb::Array<db::Value> block = d.QueryBlock(
        "select " + d.CountExpr + ", " + name + " from " + d.TableName + " group by " + name + ";",
        Long(d.NumStates(i)) + 1);
    if (RowsOf(block) > d.NumStates(i)) throw EngineError(kTableChanged, name);
    d.QryFld(1) = i;
    CheckCodable(d, block, 1, d.QryFld);
    d.CodeRows(block, 1, d.QryFld);
    for (int32_t r = 0; r < RowsOf(block); ++r) d.StateCnt(i, StateOf(block, 1, r)) = vb::CLng(CountOf(block, r));
}

// Tables learned one node at a time, as the writer reaches the node, with the progress of the
// writing pass.
class LearnedTables : public TableSource {
public:
    LearnedTables(DataSet& d, const std::vector<std::vector<Integer>>& parents)
        : d_(d), parents_(parents) {}

    const NodeTable& Table(int node) override {
        const Integer i = Integer(node + 1);
        if (parents_[size_t(i)].empty())
            LearnRoot(i);
        else
            LearnWithParents(i, parents_[size_t(i)]);
        return table_;
    }

    bool NodeDone(int) override {
        d_.Percent = Single(double(d_.Percent) + 95.0 / d_.numfld);
        return d_.RaisePercentDone();
    }

private:
    // A root: the held state counts over the table's total.
    void LearnRoot(Integer i) {
        const Integer k = d_.NumStates(i);
        table_ = NodeTable{1, k, std::vector<Single>(size_t(k))};
        std::vector<double> counts;
        for (Integer s = 1; s < k; ++s) counts.push_back(double(d_.StateCnt(i, s)));
        core::SmoothedEstimate(counts, double(d_.TotalRows()), table_.p,
                               {core::Quotient::Double, /*emptyGivesUniform=*/false});
    }

    // A node with parents: one count query grouped by the parents and the node; configuration
    // c = 1 + sum of (state of parent m - 1) x (states of the parents after m), the first
    // parent most significant.
    void LearnWithParents(Integer i, const std::vector<Integer>& parents) {
        const Integer k = d_.NumStates(i);
        const Integer np = Integer(parents.size());
        int64_t configurations = 1;
        for (Integer p : parents) configurations *= d_.NumStates(p);
        table_ = NodeTable{int(configurations), k, std::vector<Single>(size_t(configurations) * size_t(k))};

        std::string parentText;
        for (Integer p : parents) parentText += (parentText.empty() ? "" : ", ") + d_.FieldNames(p);
        const std::string& name = d_.FieldNames(i);
        const std::string sql = "select " + d_.CountExpr + ", " + parentText + "," + name + " from " +
                                d_.TableName + " group by " + parentText + "," + name;
        // One row more than the table has cells: a result that fills it came from a table that
        // changed since Init.
        const int64_t cells = configurations * k;
        vb::Array<db::Value> block = d_.QueryBlock(sql, Long(cells + 1));
        if (RowsOf(block) > cells) throw EngineError(kTableChanged, name);

        vb::Array<Integer> fields(vb::To(np + 1));
        for (Integer m = 1; m <= np; ++m) fields(m) = parents[size_t(m - 1)];
        fields(np + 1) = i;
        CheckCodable(d_, block, Integer(np + 1), fields);
        d_.CodeRows(block, Integer(np + 1), fields);

        for (int32_t r = 0; r < RowsOf(block); ++r) {
            int64_t c = 0;
            for (Integer m = 1; m <= np; ++m)
                c = c * d_.NumStates(parents[size_t(m - 1)]) + (StateOf(block, m, r) - 1);
            const Integer s = StateOf(block, np + 1, r);
            table_.p[size_t(c) * size_t(k) + size_t(s - 1)] = Single(CountOf(block, r));
        }

        std::vector<double> counts(static_cast<size_t>(k));
        for (int64_t c = 0; c < configurations; ++c) {
            std::span<Single> row(table_.p.data() + c * k, size_t(k));
            Single n = 0;
            for (Integer s = 0; s < k; ++s) {
                n += row[size_t(s)];
                counts[size_t(s)] = row[size_t(s)];
            }
            core::SmoothedEstimate(counts, n, row,
                                   {core::Quotient::SingleArithmetic, /*emptyGivesUniform=*/true});
        }
    }

    DataSet& d_;
    const std::vector<std::vector<Integer>>& parents_;
    NodeTable table_;
};

}  // namespace

void DataSet::LearnCP(vb::Array<Integer>& graf, std::string& tmpF) {
    // A host that set Cancel to stop an earlier call must not find this one skipped.
    Cancel = false;
    Percent = 0;
    if (!InitDone) throw EngineError(kNeedsInit, "LearnCP");
    if (!CoversFields(graf, numfld)) throw vb::RuntimeError::SubscriptOutOfRange();

    // Field j is a parent of field i when graf(j-1, i-1) = 1 or graf(i-1, j-1) = 2; the host may
    // give a link in either cell, and the codes 3 and 4 give no parent.
    std::vector<std::vector<Integer>> parents(size_t(numfld) + 1);
    for (Integer i = 1; i <= numfld; ++i) {
        if (NumStates(i) == kOverLimit) continue;  // a continuous node has no table
        for (Integer j = 1; j <= numfld; ++j)
            if (j != i && (graf(j - 1, i - 1) == 1 || graf(i - 1, j - 1) == 2)) parents[size_t(i)].push_back(j);
        if (parents[size_t(i)].size() > kMaxParents) throw EngineError(kTooManyParents, FieldNames(i));
        int64_t cells = NumStates(i);
        for (Integer p : parents[size_t(i)]) {
            if (NumStates(p) == kOverLimit) throw EngineError(kParentOverLimit, FieldNames(p));
            cells *= NumStates(p);
            if (cells > kMaxTableCells) throw EngineError(kTableTooLarge, FieldNames(i));
        }
    }

    for (Integer i = 1; i <= numfld; ++i) {
        if (StateCnt(i, 1) <= 0 && NumStates(i) != kOverLimit) CountStates(*this, i);
        Percent = Single(double(Percent) + 5.0 / numfld);
        if (RaisePercentDone()) return;
    }

    ExportModel model;
    model.table = TableName;
    if (ExportClock) {
        ExportClock(model.date, model.time);
    } else {
        model.date = vb::CurrentDateText();
        model.time = vb::CurrentTimeText();
    }
    for (Integer i = 1; i <= numfld; ++i) {
        ExportNode node;
        node.name = FieldNames(i);
        node.continuous = NumStates(i) == kOverLimit;
        if (!node.continuous)
            for (Integer s = 1; s <= NumStates(i); ++s) node.states.push_back(StateLbl(i, s));
        for (Integer p : parents[size_t(i)]) node.parents.push_back(p - 1);
        model.nodes.push_back(std::move(node));
    }
    PlaceOnGrid(model);

    ReplacingFile file(tmpF);
    LearnedTables tables(*this, parents);
    bool complete = false;
    switch (FormatOf(tmpF)) {
        case Format::Netica: complete = WriteNetica(model, tables, file.out()); break;
        case Format::Hugin: complete = WriteHugin(model, tables, file.out()); break;
        case Format::Bif: complete = WriteBif(model, tables, file.out()); break;
    }
    // A cancelled export leaves the target as it was; the unfinished text goes with `file`.
    if (complete) file.Commit();
}

}  // namespace vrellapi

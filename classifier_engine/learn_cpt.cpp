// Probability-table learning: LearnCPT turns the classifier's graph into the class prior and one
// table per field it needs, from group-by counts of the training table smoothed by the shared
// estimator. LearnCPTBN serves a single net (layer 0 of Graph), LearnCPTMN a multi-net (layers
// 1..nc, one store for all). The learning driver calls both for every candidate of its search,
// with HoldOutSearch set: only the rows flagged no are counted then, and the tables of fields
// whose parents did not change come from the Saved* cache instead of a query.
//
// Store layout: row 1 is the prior; the table of field i (of layer k) is the rows
// CPTIndex(i)+1 .. CPTIndex(i+1), one row per parent configuration, numbered in mixed radix
// with the first parent most significant. Reads Graph, FF, VluLbl, FieldNames, Feature,
// VluCnt, NetTotal; writes the store, its index, Parents, ClassChildren, IsClassChild, the
// cache, Feature and layer 0 of Graph (single net).
#include <algorithm>
#include <cstdint>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "classifier_engine/errors.h"
#include "core/smoothed_estimate.h"
#include "platform/db/sql_names.h"

namespace zorvapi {

namespace {

// While the driver searches, the tables count only the rows not held out for scoring.
const std::string kLearnRowsOnly = " WHERE " + db::HoldOutCondition(false) + " ";
const std::string kAndLearnRowsOnly = " AND " + db::HoldOutCondition(false) + " ";

int32_t Rows(const vb::Array<db::Value>& block) {
    return block.dims() == 2 ? block.UBound(2) + 1 : 0;
}

// A group's count; a group whose weights are all Null counts nothing.
double CountOf(const vb::Array<db::Value>& block, int32_t r) {
    const db::Value& c = block(0, r);
    return c.IsNull() ? 0.0 : c.ToDouble();
}

// The value index CodeRows wrote into column `col`. A cell no label matched holds a value the
// set-up did not see: the table changed since.
Integer IndexOf(const vb::Array<db::Value>& block, int col, int32_t r, Integer ff) {
    const db::Value& v = block(col, r);
    if (v.kind() != db::Value::Kind::Integer || v.AsInteger() < 1 || v.AsInteger() > ff)
        throw EngineError(kTableChanged);
    return v.AsInteger();
}

// Turns the count rows first..last of the store (values 1..k) into probabilities in place.
void SmoothRows(vb::Array<Single>& store, Long first, Long last, Integer k,
                bool emptyGivesUniform) {
    std::vector<double> counts(static_cast<size_t>(k));
    std::vector<Single> probs(static_cast<size_t>(k));
    for (Long r = first; r <= last; ++r) {
        Single n = 0;
        for (Integer v = 1; v <= k; ++v) {
            counts[size_t(v - 1)] = store(r, v);
            n += store(r, v);
        }
        core::SmoothedEstimate(counts, n, probs,
                               {core::Quotient::DoubleToSingle, emptyGivesUniform});
        for (Integer v = 1; v <= k; ++v) store(r, v) = probs[size_t(v - 1)];
    }
}

// The prior in row 1 from the class counts c(1..nc) with total n. A prior has no empty-row
// rule: with no rows at all the formula gives 1/nc anyway.
void PriorRow(vb::Array<Single>& store, const std::vector<double>& counts, double n) {
    std::vector<Single> probs(counts.size());
    core::SmoothedEstimate(counts, n, probs, {core::Quotient::DoubleToSingle, false});
    for (size_t v = 0; v < probs.size(); ++v) store(1, Long(v + 1)) = probs[v];
}

}  // namespace

// The number of parent configurations of list(1..np); a count beyond any store is cut off
// there, so the product cannot overflow.
int64_t DataEngine::Configurations(const vb::Array<Integer>& list, Integer np) const {
    int64_t configs = 1;
    for (Integer m = 1; m <= np; ++m) {
        configs *= std::max<Integer>(FF(list(m)), 0);
        if (configs > INT32_MAX) return int64_t(INT32_MAX) + 1;
    }
    return configs;
}

void DataEngine::SizeStore(int64_t rowsNeeded, Long limit) {
    CPTStore.ReDim(vb::To(Long(std::min<int64_t>(rowsNeeded, limit))), vb::To(MaxVlus));
}

bool DataEngine::LearnCPT(bool& MN) {
    // The host may hand over a graph of the other kind (a structure it did not have searched):
    // the kind follows MN, or classifying and writing would read tables of the wrong shape.
    if (MN != IsMultiNet_) {
        IsMultiNet_ = MN;
        if (MN) MarkMultiNetFeatures();
    }
    return MN ? LearnCPTMN() : LearnCPTBN();
}

// Row 1 of CPTStore: the class prior. During the search it comes from the cache, which the
// driver seeded from the learning rows' class counts; without a seed the learning rows are
// counted here. Otherwise every row of the table counts.
void DataEngine::LearnPrior(bool priorCached) {
    const Integer classes = FF(1);
    if (HoldOutSearch && priorCached) {
        for (Integer v = 1; v <= classes; ++v) CPTStore(1, v) = SavedCPTStore(1, v);
        return;
    }
    const std::string where = HoldOutSearch ? kLearnRowsOnly : "";
    vb::Array<db::Value> block =
        QueryBlock("select " + CountExpr + ", " + FieldNames(1) + " from " + TableName + where +
                       " group by " + FieldNames(1),
                   std::max<Long>(TableRows, Long(classes) + 1));
    vb::Array<Integer> list(vb::To(1));
    list(1) = 1;
    CodeRows(block, 1, list);
    // Counts go by the coded class value, not by the group's position, so a class value with
    // no learning rows does not shift the others.
    std::vector<double> counts(size_t(classes), 0.0);
    double n = 0;
    for (int32_t r = 0; r < Rows(block); ++r) {
        const db::Value& v = block(1, r);
        if (v.kind() != db::Value::Kind::Integer || v.AsInteger() < 1 || v.AsInteger() > classes)
            continue;  // a value the labels do not know is no class value
        counts[size_t(v.AsInteger() - 1)] += CountOf(block, r);
        n += CountOf(block, r);
    }
    PriorRow(CPTStore, counts, n);
}

// The table of field i with the parents list(1..np) (list(np + 1) receives i itself), counted
// from the rows that `where` selects, into the rows after nextRow_; returns its number of rows.
Long DataEngine::CountTable(Integer i, vb::Array<Integer>& list, Integer np,
                            const std::string& where) {
    const Long offset = nextRow_;
    if (np == 0) {
        // One row: the field's own counts.
        if (FF(i) > MaxVlus) throw EngineError(kTooManyValuesInFile);
        if (offset + 1 > CPTStore.UBound(1)) throw EngineError(kCPTRowsTooFew);
        vb::Array<db::Value> block = QueryBlock("select " + CountExpr + "," + FieldNames(i) +
                                                    " from " + TableName + where + " group by " +
                                                    FieldNames(i),
                                                std::max<Long>(TableRows, Long(FF(i)) + 1));
        list(1) = i;
        CodeRows(block, 1, list);
        for (int32_t r = 0; r < Rows(block); ++r)
            CPTStore(offset + 1, IndexOf(block, 1, r, FF(i))) += Single(CountOf(block, r));
        SmoothRows(CPTStore, offset + 1, offset + 1, FF(i), false);
        return 1;
    }
    // The configurations must fit into the store before anything is counted.
    // A field over the value limit has no labels to code its cells by.
    for (Integer m = 1; m <= np; ++m)
        if (FF(list(m)) > MaxVlus) throw EngineError(kTooManyValuesInFile);
    if (FF(i) > MaxVlus) throw EngineError(kTooManyValuesInFile);
    const int64_t configs = Configurations(list, np);
    if (int64_t(offset) + configs > CPTStore.UBound(1)) throw EngineError(kCPTRowsTooFew);
    list(np + 1) = i;  // a list without room for the field fails here, before the query

    std::string parents;
    for (Integer m = 1; m <= np; ++m) parents += (m > 1 ? ", " : "") + FieldNames(list(m));
    vb::Array<db::Value> block = QueryBlock("select " + CountExpr + ", " + parents + "," +
                                                FieldNames(i) + " from " + TableName + where +
                                                " group by " + parents + "," + FieldNames(i),
                                            TableRows);
    CodeRows(block, Integer(np + 1), list);
    for (int32_t r = 0; r < Rows(block); ++r) {
        Long row = 0;
        for (Integer m = 1; m <= np; ++m)
            row = row * FF(list(m)) + (IndexOf(block, m, r, FF(list(m))) - 1);
        CPTStore(offset + 1 + row, IndexOf(block, np + 1, r, FF(i))) += Single(CountOf(block, r));
    }
    SmoothRows(CPTStore, offset + 1, offset + Long(configs), FF(i), true);
    return Long(configs);
}

// Copies field i's saved table (layer k of a multi-net, or the single net when k < 0) when it
// was computed or seeded for the same parents; returns whether it did.
bool DataEngine::ReuseSaved(Integer k, Integer i, Integer np, const vb::Array<Integer>& parents) {
    if (!HoldOutSearch) return false;
    const bool mn = k >= 0;
    if (SavedValid.dims() != (mn ? 2 : 1) || SavedParents.dims() != (mn ? 3 : 2) ||
        SavedCPTIndex.dims() != (mn ? 2 : 1) || !SavedCPTStore.allocated())
        return false;
    if (mn ? !(SavedValid.InBounds(1, k) && SavedValid.InBounds(2, i) && SavedValid(k, i) == 1)
           : !(SavedValid.InBounds(1, i) && SavedValid(i) == 1))
        return false;
    const Integer savedCount = mn ? SavedParents(k, i, 0) : SavedParents(i, 0);
    if (savedCount != np) return false;
    for (Integer m = 1; m <= np; ++m)
        if ((mn ? SavedParents(k, i, m) : SavedParents(i, m)) != parents(m)) return false;
    const Long first = (mn ? SavedCPTIndex(k, i) : SavedCPTIndex(i)) + 1;
    const Long last = mn ? SavedCPTIndex(k, i + 1) : SavedCPTIndex(i + 1);
    if (int64_t(last) - first + 1 != Configurations(parents, np)) return false;
    for (Long r = first; r <= last; ++r) {
        ++nextRow_;
        for (Integer v = 1; v <= FF(i); ++v) CPTStore(nextRow_, v) = SavedCPTStore(r, v);
    }
    return true;
}

// While the search runs, the tables just learned become the cache of the next candidate.
void DataEngine::SaveTables(vb::Array<Integer> valid) {
    if (!HoldOutSearch) return;
    SavedCPTIndex = CPTIndex;
    SavedCPTStore = CPTStore;
    SavedParents = Parents;
    SavedValid = std::move(valid);
}

bool DataEngine::LearnCPTBN() {
    return TrapErrors([&]() -> bool {
        CPTIndex.ReDim(vb::To(numfld + 1));
        Parents.ReDim(vb::To(numfld), vb::To(numfld));
        ClassChildren.ReDim(vb::To(numfld));
        IsClassChild.ReDim(vb::To(numfld));
        if (!Feature.allocated()) Feature.ReDim(vb::To(numfld));
        Cancel = false;
        Percent2 = 0;
        StatusText = "Learn CPT (BN)";
        const Single step = Single(99.0 / std::max(numfld - 1, 1));

        // The feature subset: the class, its children and the children's other parents.
        for (Integer i = 2; i <= numfld; ++i) Feature(i) = 0;
        for (Integer i = 2; i <= numfld; ++i)
            if (Graph(0, 1, i) == 1 || Graph(0, i, 1) == 2) {
                ClassChildren(++ClassChildren(0)) = i;
                IsClassChild(i) = 1;
                Feature(i) = 1;
            }
        for (Integer m = 1; m <= ClassChildren(0); ++m) {
            const Integer c = ClassChildren(m);
            for (Integer j = 1; j <= numfld; ++j)
                if (j != c && (Graph(0, j, c) == 1 || Graph(0, c, j) == 2)) {
                    Parents(c, ++Parents(c, 0)) = j;
                    Feature(j) = 1;
                }
        }
        // Layer 0 becomes the classifier actually used: the arcs into the class's children,
        // each in both cells.
        for (Integer i = 1; i < numfld; ++i)
            for (Integer j = Integer(i + 1); j <= numfld; ++j) Graph(0, i, j) = Graph(0, j, i) = 0;
        for (Integer m = 1; m <= ClassChildren(0); ++m) {
            const Integer c = ClassChildren(m);
            for (Integer s = 1; s <= Parents(c, 0); ++s) {
                Graph(0, Parents(c, s), c) = 1;
                Graph(0, c, Parents(c, s)) = 2;
            }
        }

        // The prior's row and one row per parent configuration of every child.
        int64_t rowsNeeded = 1;
        for (Integer m = 1; m <= ClassChildren(0); ++m) {
            const Integer c = ClassChildren(m);
            vb::Array<Integer> parents(vb::To(Parents(c, 0)));
            for (Integer s = 1; s <= Parents(c, 0); ++s) parents(s) = Parents(c, s);
            rowsNeeded += Configurations(parents, Parents(c, 0));
        }
        SizeStore(rowsNeeded, MaxRows);

        vb::Array<Integer> valid(vb::To(numfld));
        const bool priorCached = SavedValid.dims() == 1 && SavedValid.InBounds(1, 1) &&
                                 SavedValid(1) == 1 && SavedCPTStore.allocated();
        LearnPrior(priorCached);
        valid(1) = 1;
        const std::string where = HoldOutSearch ? kLearnRowsOnly : "";
        nextRow_ = 1;
        vb::Array<Integer> list(vb::To(20));  // a query codes at most 20 fields
        for (Integer i = 2; i <= numfld; ++i) {
            CPTIndex(i) = nextRow_;
            if (IsClassChild(i) == 1) {
                const Integer np = Parents(i, 0);
                vb::Array<Integer> parents(vb::To(np));
                for (Integer m = 1; m <= np; ++m) parents(m) = Parents(i, m);
                if (!ReuseSaved(-1, i, np, parents)) {
                    for (Integer m = 1; m <= np; ++m) list(m) = parents(m);
                    nextRow_ += CountTable(i, list, np, where);
                }
                valid(i) = 1;
            }
            if (Progress(step)) return false;
        }
        CPTIndex(numfld + 1) = nextRow_;
        SaveTables(std::move(valid));
        return true;
    });
}

bool DataEngine::LearnCPTMN() {
    return TrapErrors([&]() -> bool {
        const Integer classes = FF(1);
        CPTIndex.ReDim(vb::To(classes), vb::To(numfld + 1));
        Parents.ReDim(vb::To(classes), vb::To(numfld), vb::To(numfld));
        MultiNetFieldList.ReDim(vb::To(MaxVlus));
        if (!Feature.allocated()) Feature.ReDim(vb::To(numfld));
        Cancel = false;
        Percent2 = 0;
        StatusText = "Learn CPT (MN)";
        const Single step = Single(99.0 / std::max(numfld - 1, 1) / std::max<int>(classes, 1));

        // Each layer is the network of one class value, so the class is never a parent.
        for (Integer k = 1; k <= classes; ++k)
            for (Integer i = 2; i <= numfld; ++i)
                for (Integer j = 2; j <= numfld; ++j)
                    if (j != i && (Graph(k, j, i) == 1 || Graph(k, i, j) == 2))
                        Parents(k, i, ++Parents(k, i, 0)) = j;

        // The tables of the search: every usable field unless the subset is fixed; otherwise
        // the feature subset.
        const bool everyField = HoldOutSearch && !SubsetFixed;
        auto hasTable = [&](Integer i) {
            return (Feature(i) == 1 || everyField) && FF(i) > 1 && FF(i) <= MaxVlus;
        };
        int64_t rowsNeeded = 1;  // the prior's row, then every table of every layer
        for (Integer k = 1; k <= classes; ++k)
            for (Integer i = 2; i <= numfld; ++i) {
                if (!hasTable(i)) continue;
                vb::Array<Integer> parents(vb::To(Parents(k, i, 0)));
                for (Integer m = 1; m <= Parents(k, i, 0); ++m) parents(m) = Parents(k, i, m);
                rowsNeeded += Configurations(parents, Parents(k, i, 0));
            }
        SizeStore(rowsNeeded, vb::LongMul(2, MaxRows));

        vb::Array<Integer> valid(vb::To(classes), vb::To(numfld));
        const bool priorCached = SavedValid.dims() == 2 && SavedValid.InBounds(2, 1) &&
                                 SavedValid(0, 1) == 1 && SavedCPTStore.allocated();
        LearnPrior(priorCached);
        valid(0, 1) = 1;
        const std::string learnRows = HoldOutSearch ? kAndLearnRowsOnly : "";
        const std::vector<db::Value> values = ClassValues();
        nextRow_ = 1;
        for (Integer k = 1; k <= classes; ++k) {
            const std::string where = ClassFilter(values, k) + learnRows;
            for (Integer i = 2; i <= numfld; ++i) {
                CPTIndex(k, i) = nextRow_;
                if (hasTable(i)) {
                    const Integer np = Parents(k, i, 0);
                    vb::Array<Integer> parents(vb::To(np));
                    for (Integer m = 1; m <= np; ++m) parents(m) = Parents(k, i, m);
                    if (!ReuseSaved(k, i, np, parents)) {
                        for (Integer m = 1; m <= np; ++m) MultiNetFieldList(m) = parents(m);
                        nextRow_ += CountTable(i, MultiNetFieldList, np, where);
                    }
                    valid(k, i) = 1;
                }
                if (Progress(step)) return false;
            }
            CPTIndex(k, numfld + 1) = nextRow_;
        }
        SaveTables(std::move(valid));
        return true;
    });
}

// ---- the search's cache ----

namespace {

// Whether the value counts of field i in layer k add up to the layer's total, so that a table
// made from them equals the one the field's count query would give.
bool CountsComplete(const vb::Array<Long>& VluCnt, const vb::Array<Long>& NetTotal, Integer k,
                    Integer i, Integer ff) {
    double sum = 0;
    for (Integer v = 1; v <= ff; ++v) sum += VluCnt(k, i, v);
    return sum == double(NetTotal(k));
}

}  // namespace

void DataEngine::SeedPrior() {
    const Integer classes = FF(1);
    std::vector<double> counts(static_cast<size_t>(classes));
    for (Integer v = 1; v <= classes; ++v) counts[size_t(v - 1)] = VluCnt(0, 1, v);
    PriorRow(SavedCPTStore, counts, NetTotal(0));
}

void DataEngine::SeedCPTCacheBN() {
    SavedCPTIndex.ReDim(vb::To(numfld + 1));
    SavedCPTStore.ReDim(vb::To(std::min<Long>(MaxRows, 1)), vb::To(MaxVlus));  // the prior only
    SavedParents.ReDim(vb::To(numfld), vb::To(numfld));
    SavedValid.ReDim(vb::To(numfld));
    SavedCPTIndex(1) = 0;
    SavedCPTIndex(2) = 1;
    SeedPrior();
    SavedValid(1) = CountsComplete(VluCnt, NetTotal, 0, 1, FF(1)) ? 1 : 0;
}

void DataEngine::SeedCPTCacheMN() {
    const Integer classes = FF(1);
    SavedCPTIndex.ReDim(vb::To(classes), vb::To(numfld + 1));
    SavedParents.ReDim(vb::To(classes), vb::To(numfld), vb::To(numfld));
    SavedValid.ReDim(vb::To(classes), vb::To(numfld));
    // The parentless tables of the feature fields, which the search then never has to count,
    // as many as the store's limit holds; the store takes the rows they fill.
    const Long limit = vb::LongMul(2, MaxRows);
    auto seeded = [&](Integer i, Long offset) {
        return Feature(i) == 1 && FF(i) > 1 && FF(i) <= MaxVlus && offset + 1 <= limit;
    };
    Long rows = 1;
    for (Integer k = 1; k <= classes; ++k)
        for (Integer i = 2; i <= numfld; ++i)
            if (seeded(i, rows)) ++rows;
    SavedCPTStore.ReDim(vb::To(std::min(rows, limit)), vb::To(MaxVlus));
    SeedPrior();
    SavedValid(0, 1) = CountsComplete(VluCnt, NetTotal, 0, 1, FF(1)) ? 1 : 0;
    Long offset = 1;
    std::vector<double> counts;
    std::vector<Single> probs;
    for (Integer k = 1; k <= classes; ++k) {
        for (Integer i = 2; i <= numfld; ++i) {
            SavedCPTIndex(k, i) = offset;
            const Integer ff = FF(i);
            if (!seeded(i, offset)) continue;
            counts.assign(size_t(ff), 0.0);
            probs.assign(size_t(ff), 0.0f);
            for (Integer v = 1; v <= ff; ++v) counts[size_t(v - 1)] = VluCnt(k, i, v);
            core::SmoothedEstimate(counts, NetTotal(k), probs,
                                   {core::Quotient::DoubleToSingle, false});
            ++offset;
            for (Integer v = 1; v <= ff; ++v) SavedCPTStore(offset, v) = probs[size_t(v - 1)];
            // Counts that miss some rows would give another table than the query: not reused.
            SavedValid(k, i) = CountsComplete(VluCnt, NetTotal, k, i, ff) ? 1 : 0;
        }
        SavedCPTIndex(k, numfld + 1) = offset;
    }
}

void DataEngine::ShrinkCPTCache() {
    SavedCPTIndex.Erase();
    SavedCPTStore.Erase();
    SavedParents.Erase();
    SavedValid.Erase();
}

}  // namespace zorvapi

// Classification of many rows: ClsfyBatch runs the classifier over a test table (counters,
// confusion matrix, the classification result file, lift and ROC), and ClsfyHoldOutBN and
// ClsfyHoldOutMN score a candidate of the learning driver's search on the training table's
// hold-out rows. Each row's cells become value indexes through GetVluIdx and go to the
// inference of the model kind. Writes CaseValues, FieldPos, the counters, the per-case arrays
// (ActualClass, CasePosterior, CaseOrder), LiftIndex and ROCIndex.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "classifier_engine/errors.h"
#include "platform/db/sql_names.h"
#include "platform/vb/replacing_file.h"
#include "platform/vb/strings.h"
#include "platform/vb/text_file.h"

namespace zorvapi {

namespace {

// The upper-case name by which a stored field name is looked for among a table's columns.
std::string ColumnKey(const std::string& storedName) {
    return vb::UCase(db::BareSqlName(storedName));
}

// The column names of `select * from table`, in column order. A recordset without rows has no
// current row to read them from; its columns are then the table's own.
std::vector<std::string> ColumnNames(const db::Recordset& rs, db::Database& db,
                                     const std::string& table) {
    std::vector<std::string> names;
    if (!rs.Eof()) {
        for (int k = 0; k < rs.FieldCount(); ++k) names.push_back(rs.Fields(k).Name);
    } else {
        for (const db::Field& f : db.TableDefs(table).Fields) names.push_back(f.Name);
    }
    return names;
}

// Position of the first column whose upper-cased name is `key` as the database layer keeps it,
// blanks around it included (" Age" is a name of its own); failing that, of the first whose
// name matches without the blanks around either; -1 for none.
int FindColumn(const std::vector<std::string>& names, const std::string& key) {
    for (size_t k = 0; k < names.size(); ++k)
        if (vb::UCase(names[k]) == key) return int(k);
    const std::string trimmed = vb::Trim(key);
    for (size_t k = 0; k < names.size(); ++k)
        if (vb::UCase(vb::Trim(names[k])) == trimmed) return int(k);
    return -1;
}

// A cell of the row in the result file's list style.
void WriteCell(vb::TextWriter& out, const db::Value& v) {
    switch (v.kind()) {
        case db::Value::Kind::Null: out.Write(vb::Null); break;
        case db::Value::Kind::Boolean: out.Write(v.AsBool()); break;
        case db::Value::Kind::Integer: out.Write(v.AsInteger()); break;
        case db::Value::Kind::Long: out.Write(v.AsLong()); break;
        case db::Value::Kind::Single: out.Write(v.AsSingle()); break;
        case db::Value::Kind::Double: out.Write(v.AsDoubleValue()); break;
        case db::Value::Kind::Date: out.Write(vb::DateItem{v.AsDate().serial}); break;
        case db::Value::Kind::Text: out.Write(v.AsText()); break;
    }
}

// The number of rows of a recordset just opened, leaving it on its first row; 0 for an empty
// one, which has no last row to move to.
Long RecordsetRows(db::Recordset& rs) {
    if (rs.Eof()) return 0;
    rs.MoveLast();
    const Long n = rs.RecordCount();
    rs.MoveFirst();
    return n;
}

// A key that tells two cells apart exactly as GetVluIdx could: the kind and the value.
void CellKey(const db::Value& v, std::string& key) {
    key.assign(1, char(v.kind()));
    if (v.kind() == db::Value::Kind::Text) {
        key += v.AsText();
        return;
    }
    if (v.IsNull()) return;
    double d = 0;
    switch (v.kind()) {
        case db::Value::Kind::Boolean: d = v.AsBool() ? 1 : 0; break;
        case db::Value::Kind::Date: d = v.AsDate().serial; break;
        default: d = v.ToDouble(); break;
    }
    key.append(reinterpret_cast<const char*>(&d), sizeof d);
}

// The number of codes each field's column of a code matrix (`width` codes a row) can hold in a
// key: its largest code + 1, or 0 when a code is negative.
std::vector<uint32_t> CodeRadix(const std::vector<Integer>& codes, size_t width) {
    std::vector<Integer> high(width, 0);
    bool negative = false;
    for (size_t k = 0; k < codes.size(); ++k) {
        high[k % width] = std::max(high[k % width], codes[k]);
        negative = negative || codes[k] < 0;
    }
    std::vector<uint32_t> radix(width);
    for (size_t f = 0; f < width; ++f) radix[f] = uint32_t(high[f]) + 1;
    if (negative)
        for (size_t k = 0; k < codes.size(); ++k)
            if (codes[k] < 0) radix[k % width] = 0;
    return radix;
}

// Sorts the rows `rows` of a code matrix (`width` codes a row) into sets that agree on the codes
// of `fields`: setOf[k] is the set of rows[k], numbered in order of first appearance; returns
// the first row of each set. radix[f] bounds field f's codes (CodeRadix): where the product of
// the fields' radixes fits in 64 bits a row's codes are one number, its mixed-radix key, looked
// up in a table over every key when that table is small and in a table of the keys met
// otherwise; a wider row is compared field by field.
std::vector<uint32_t> GroupRows(const std::vector<Integer>& codes, size_t width,
                                const std::vector<uint32_t>& rows, const std::vector<Integer>& fields,
                                const std::vector<uint32_t>& radix, std::vector<uint32_t>& setOf) {
    std::vector<uint32_t> first;
    setOf.assign(rows.size(), 0);
    uint64_t product = 1;
    bool keyed = true;
    for (Integer f : fields) {
        const uint32_t r = radix[size_t(f)];
        keyed = keyed && r > 0 && product <= UINT64_MAX / r;
        if (keyed) product *= r;
    }
    size_t capacity = 16;
    while (capacity < 2 * rows.size()) capacity *= 2;
    if (keyed) {
        auto key = [&](uint32_t row) {
            const Integer* c = &codes[size_t(row) * width];
            uint64_t k = 0;
            for (Integer f : fields) k = k * radix[size_t(f)] + uint64_t(c[f]);
            return k;
        };
        if (product <= std::min<uint64_t>(uint64_t(1) << 22, 4 * uint64_t(rows.size()) + 1024)) {
            std::vector<uint32_t> setOfKey(size_t(product), UINT32_MAX);
            for (size_t k = 0; k < rows.size(); ++k) {
                uint32_t& s = setOfKey[size_t(key(rows[k]))];
                if (s == UINT32_MAX) {
                    s = uint32_t(first.size());
                    first.push_back(rows[k]);
                }
                setOf[k] = s;
            }
            return first;
        }
        int shift = 64;
        for (size_t c = capacity; c > 1; c >>= 1) --shift;
        std::vector<uint32_t> slots(capacity, UINT32_MAX);
        // The table is larger than the caches: each row's slot is fetched kAhead rows before it
        // is probed, and the codes of the set in it half as far ahead.
        constexpr size_t kAhead = 16;
        struct Pending {
            uint64_t key;
            size_t slot;
        };
        Pending pending[kAhead];
        const size_t n = rows.size();
        auto fetch = [&](size_t k) {
            const uint64_t x = key(rows[k]);
            const size_t s = size_t((x * 0x9E3779B97F4A7C15ull) >> shift);
            pending[k % kAhead] = {x, s};
            __builtin_prefetch(&slots[s]);
        };
        for (size_t k = 0; k < std::min(n, kAhead); ++k) fetch(k);
        for (size_t k = 0; k < n; ++k) {
            const auto [x, start] = pending[k % kAhead];
            if (k + kAhead / 2 < n) {
                const uint32_t near = slots[pending[(k + kAhead / 2) % kAhead].slot];
                if (near != UINT32_MAX) __builtin_prefetch(&codes[size_t(first[near]) * width]);
            }
            size_t s = start;
            while (slots[s] != UINT32_MAX && key(first[slots[s]]) != x) s = (s + 1) & (capacity - 1);
            if (slots[s] == UINT32_MAX) {
                slots[s] = uint32_t(first.size());
                first.push_back(rows[k]);
            }
            setOf[k] = slots[s];
            if (k + kAhead < n) fetch(k + kAhead);
        }
        return first;
    }
    std::vector<uint32_t> slots(capacity, UINT32_MAX);
    auto same = [&](uint32_t a, uint32_t b) {
        for (Integer f : fields)
            if (codes[size_t(a) * width + size_t(f)] != codes[size_t(b) * width + size_t(f)])
                return false;
        return true;
    };
    for (size_t k = 0; k < rows.size(); ++k) {
        uint64_t h = 0x9E3779B97F4A7C15ull;
        for (Integer f : fields)
            h = (h ^ uint16_t(codes[size_t(rows[k]) * width + size_t(f)])) * 0x100000001B3ull;
        size_t s = size_t(h ^ (h >> 29)) & (capacity - 1);
        while (slots[s] != UINT32_MAX && !same(first[slots[s]], rows[k])) s = (s + 1) & (capacity - 1);
        if (slots[s] == UINT32_MAX) {
            slots[s] = uint32_t(first.size());
            first.push_back(rows[k]);
        }
        setOf[k] = slots[s];
    }
    return first;
}

}  // namespace

// The class scores of the case just inferred, normalised to sum 1 (left as they are when every
// score is 0).
void DataEngine::NormalisedPosterior(std::vector<Single>& out) const {
    const Integer classes = FF(1);
    Single S = 0;
    for (Integer c = 1; c <= classes; ++c) S += Posterior(c);
    if (S == 0) S = 1;
    out.assign(size_t(classes), 0.0f);
    for (Integer c = 1; c <= classes; ++c) out[size_t(c - 1)] = Posterior(c) / S;
}

// The model's value indexes of the current row for the fields whose column was found.
void DataEngine::ReadCaseValues(const db::Recordset& rs) {
    for (Integer j = 2; j <= numfld; ++j) {
        if (FieldPos(j) < 0) continue;
        db::Value cell = rs.Fields(FieldPos(j)).value();  // a copy: GetVluIdx turns Null into "?"
        CaseValues(j) = GetVluIdx(j, cell);
    }
}

Single DataEngine::ClsfyBatch(std::shared_ptr<db::Database>& TestDB, std::string& TestTB,
                              std::string& TmpCls, vb::Array<Long>& Matrix, std::string& FileNM) {
    const Integer classes = FF(1);
    CaseValues.ReDim(vb::To(numfld));
    FieldPos.ReDim(vb::To(numfld));
    Matrix.ReDim(vb::To(classes), vb::To(classes));
    Cancel = false;
    // The result file is written beside its target and takes the target's place when the
    // batch ends or is cancelled: a batch that fails part way (a server lost, a full disk)
    // leaves the previous results as they were instead of a shorter file that looks whole.
    std::optional<vb::ReplacingFile> results;
    std::optional<vb::TextWriter> out;  // destroyed (closed) before `results` removes its file
    try {
        // The ROC files are written after the whole batch: a folder they cannot go to is
        // reported before it.
        if (!TmpCls.empty()) CheckRocFilesWritable();
        const std::string table = db::BareSqlName(TestTB);
        std::unique_ptr<db::Recordset> rs = TestDB->OpenRecordset(
            "select * from " + db::BracketedSqlName(table, db::NameKind::Table), db::dbOpenSnapshot);
        Percent2 = 0;
        const std::vector<std::string> columns = ColumnNames(*rs, *TestDB, table);
        const Long N = RecordsetRows(*rs);
        const Single step = N > 0 ? Single(10000.0 / N) : Single(0);
        const bool known = !TmpCls.empty();
        if (known) {
            ActualClass.ReDim(vb::To(N));
            CasePosterior.ReDim(vb::To(N), vb::To(classes));
            CaseOrder.ReDim(vb::To(N));
            // Lift and ROC describe this batch or nothing: an earlier batch's values must not
            // survive a batch whose rows did not all get a class.
            LiftIndex.ReDim(vb::To(classes));
            ROCIndex.ReDim(vb::To(classes), vb::To(classes));
        }

        // The classifier's features among the test columns. A classifier learned on the
        // interval-label columns ("AGE_d") reads the raw column ("AGE") of a test table; the
        // label column itself is taken when the raw one is not there.
        for (Integer j = 2; j <= numfld; ++j) {
            FieldPos(j) = -1;
            if (Feature(j) != 1) continue;
            const std::string stored = ColumnKey(FieldNames(j));
            std::string wanted = stored;
            if (wanted.size() >= 2 && wanted.compare(wanted.size() - 2, 2, "_D") == 0)
                wanted.resize(wanted.size() - 2);
            int found = FindColumn(columns, wanted);
            if (found < 0) found = FindColumn(columns, stored);
            if (found < 0) throw EngineError(kTestFieldMissing);
            FieldPos(j) = Integer(found);
        }
        const std::string classColumn = db::BareSqlName(TmpCls);

        if (!FileNM.empty()) {
            results.emplace(FileNM);
            out.emplace(results->path(), FileNM);
            for (const std::string& name : columns) out->Write(vb::UCase(name));
            out->Write("ZORV_OUTPUT");
            for (Integer c = 1; c <= classes; ++c) out->Write("Prob. " + VluLbl(1, c));
            out->EndLine();
        }

        Long cases = 0, correct = 0, unclassified = 0;
        int counter = 0;
        std::vector<Single> probs;
        while (!rs->Eof()) {
            const Long n = ++cases;
            ReadCaseValues(*rs);
            const Integer p = IsMultiNet_ ? InferenceMN(CaseValues) : InferenceBN(CaseValues);
            if (p == 0) ++unclassified;
            NormalisedPosterior(probs);
            if (known) {
                db::Value cell = rs->Fields(classColumn).value();
                const Integer a = GetVluIdx(1, cell);
                // A row without a class and a class that matches no label are both unknown:
                // they never agree.
                if (p > 0 && a == p) ++correct;
                Matrix(a, p) += 1;
                ActualClass(n) = a;
                for (Integer c = 1; c <= classes; ++c) CasePosterior(n, c) = probs[size_t(c - 1)];
            }
            if (out) {
                for (int k = 0; k < rs->FieldCount(); ++k) WriteCell(*out, rs->Fields(k).value());
                if (classes < 1) {
                    out->WriteLine(VluLbl(1, p));
                } else {
                    out->Write(VluLbl(1, p));
                    for (Integer c = 1; c < classes; ++c) out->Write(probs[size_t(c - 1)]);
                    out->WriteLine(probs[size_t(classes - 1)]);
                }
            }
            rs->MoveNext();
            if (++counter == 100) {
                counter = 0;
                Percent2 += step;
                if (RaisePercentDone()) {
                    // A cancelled batch keeps the lines written so far.
                    if (out) {
                        out->Close();
                        results->Commit();
                    }
                    return 0;
                }
            }
        }

        const Single accuracy =
            correct > 0 ? Single(double(correct) / double(cases - unclassified)) : Single(0);
        TotalCases_ = cases;
        CorrectCases_ = correct;
        ErrorCases_ = unclassified;
        rs->Close();
        if (out) {
            out->Close();
            results->Commit();
        }

        if (known && unclassified == 0 && cases > 0) {
            for (Integer c = 1; c <= classes; ++c) LiftIndex(c) = LiftCurve(c);
            AllROC();
        }
        return accuracy;
    } catch (...) {
        // The lines written so far are dropped with the temporary file: the target keeps
        // the results of the batch before.
        if (out) {
            try {
                out->Close();
            } catch (...) {
                // the error being raised is the one the host must see
            }
        }
        results.reset();
        Reraise(std::current_exception());
    }
}

// The hold-out rows off the database's coded copy of the table, where it offers one that can
// give every field's cells exactly as the recordset would read them: each distinct cell of a
// field is looked up once, and no cell is made a row.
DataEngine::HoldOutRead DataEngine::ReadHoldOutCoded(HoldOutCopy& copy) {
    if (!Db || numfld < 1) return HoldOutRead::Declined;
    std::vector<std::string> names;
    for (Integer j = 1; j <= numfld; ++j) names.push_back(FieldNames(j));
    std::unique_ptr<db::GroupCounter> counter =
        Db->GroupCounts(" Count(*) ", TableName, " where " + db::HoldOutCondition(true), names);
    if (!counter) return HoldOutRead::Declined;
    std::vector<std::string> columns;
    for (const db::Field& f : Db->TableDefs(db::BareSqlName(TableName)).Fields) columns.push_back(vb::UCase(f.Name));
    // The counter found each field by its name; the column found here by the same name is that
    // one only when no other column has the same upper-case name.
    std::vector<std::string> sorted = columns;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) return HoldOutRead::Declined;
    const size_t width = size_t(numfld) + 1;
    copy.Column.assign(width, -1);
    for (Integer j = 1; j <= numfld; ++j) {
        const std::string key = ColumnKey(FieldNames(j));
        const auto at = std::find(columns.begin(), columns.end(), key);
        if (at == columns.end()) return HoldOutRead::Declined;
        copy.Column[size_t(j)] = Integer(at - columns.begin());
    }
    std::vector<uint32_t> codes;
    std::vector<Integer> index;
    Clock::time_point beat = Clock::now();
    for (Integer j = 1; j <= numfld; ++j) {
        const std::vector<db::Value>* cells = nullptr;
        if (!counter->Rows(int(j - 1), codes, cells)) return HoldOutRead::Declined;
        if (j == 1) {
            copy.rows = Long(codes.size());
            copy.Codes.assign(codes.size() * width, 0);
        } else if (codes.size() != size_t(copy.rows)) {
            return HoldOutRead::Declined;
        }
        index.resize(cells->size());
        for (size_t k = 0; k < cells->size(); ++k) {
            db::Value cell = (*cells)[k];  // GetVluIdx turns Null into "?"
            index[k] = GetVluIdx(j, cell);
        }
        Integer* into = copy.Codes.data() + size_t(j);
        for (size_t r = 0; r < codes.size(); ++r, into += width) {
            if (codes[r] >= index.size()) return HoldOutRead::Declined;
            *into = index[codes[r]];
        }
        if (Beat(beat)) return HoldOutRead::Cancelled;
    }
    return HoldOutRead::Read;
}

// The hold-out rows through a recordset of the filter, each distinct cell of a field looked up
// once; false when the host cancelled.
bool DataEngine::ReadHoldOutRecordset(HoldOutCopy& copy) {
    const size_t width = size_t(numfld) + 1;
    std::unique_ptr<db::Recordset> rs =
        Db->OpenRecordset("select * from " + TableName + " where " + db::HoldOutCondition(true));
    const std::vector<std::string> columns = ColumnNames(*rs, *Db, db::BareSqlName(TableName));
    // The rows come from the training table, so every field is there; one that is not simply
    // has no label.
    copy.Column.assign(width, -1);
    for (Integer j = 1; j <= numfld; ++j)
        copy.Column[size_t(j)] = Integer(FindColumn(columns, ColumnKey(FieldNames(j))));
    // A field holds a few values over many rows: each distinct cell is looked up once.
    std::vector<std::unordered_map<std::string, Integer>> known(width);
    std::string key;
    Clock::time_point beat = Clock::now();
    while (!rs->Eof()) {
        copy.Codes.push_back(0);  // slot 0 of the row
        for (Integer j = 1; j <= numfld; ++j) {
            Integer code = 0;
            if (copy.Column[size_t(j)] >= 0) {
                const db::Value& cell = rs->Fields(copy.Column[size_t(j)]).value();
                CellKey(cell, key);
                auto [it, fresh] = known[size_t(j)].try_emplace(key, Integer(0));
                if (fresh) {
                    db::Value copyOfCell = cell;  // GetVluIdx turns Null into "?"
                    it->second = GetVluIdx(j, copyOfCell);
                }
                code = it->second;
            }
            copy.Codes.push_back(code);
        }
        ++copy.rows;
        rs->MoveNext();
        if (Beat(beat)) return false;
    }
    rs->Close();
    return true;
}

bool DataEngine::LoadHoldOutRows() {
    if (HoldOut.loaded) return true;
    HoldOutCopy copy;
    const HoldOutRead coded = HoldOutCoding ? ReadHoldOutCoded(copy) : HoldOutRead::Declined;
    if (coded == HoldOutRead::Cancelled) return false;
    if (coded == HoldOutRead::Declined) {
        copy = HoldOutCopy();
        if (!ReadHoldOutRecordset(copy)) return false;
    }
    if (copy.rows == 0) throw EngineError(kNoHoldOutSplit, kNoRowsToScore);
    if (copy.rows >= TableRows) throw EngineError(kNoHoldOutSplit, kNoRowsToLearn);

    const size_t width = size_t(numfld) + 1;
    std::vector<Integer> every(static_cast<size_t>(numfld));
    for (Integer j = 1; j <= numfld; ++j) every[size_t(j - 1)] = j;
    std::vector<uint32_t> all(size_t(copy.rows));
    for (size_t r = 0; r < all.size(); ++r) all[r] = uint32_t(r);
    copy.Radix = CodeRadix(copy.Codes, width);
    copy.Distinct = GroupRows(copy.Codes, width, all, every, copy.Radix, copy.GroupOf);
    copy.Weight.assign(copy.Distinct.size(), 0);
    for (uint32_t g : copy.GroupOf) ++copy.Weight[g];
    copy.loaded = true;
    HoldOut = std::move(copy);
    return true;
}

Single DataEngine::ClsfyHoldOut(bool multiNet) {
    const Integer classes = FF(1);
    CaseValues.ReDim(vb::To(numfld));
    FieldPos.ReDim(vb::To(numfld));
    if (!LoadHoldOutRows()) return 0;  // cancelled: the driver sees Cancel
    const size_t width = size_t(numfld) + 1;
    // The fields the model reads, and always the class.
    std::vector<Integer> read;
    for (Integer j = 1; j <= numfld; ++j) {
        bool reads;
        if (j == 1) reads = true;
        else if (!multiNet) reads = Feature(j) == 1;
        else reads = FF(j) >= 2 && FF(j) <= MaxVlus && (Feature(j) == 1 || !SubsetFixed);
        FieldPos(j) = reads ? HoldOut.Column[size_t(j)] : Integer(-1);
        if (reads) read.push_back(j);
    }

    // Rows that agree on every field the model reads get the same class: each such set of
    // rows is classified once.
    // A model that reads every field has the distinct rows themselves for its sets.
    const bool grouping = read.size() < size_t(numfld);
    std::vector<uint32_t> setOf, grouped;
    if (grouping) {
        grouped = GroupRows(HoldOut.Codes, width, HoldOut.Distinct, read, HoldOut.Radix, setOf);
    } else {
        setOf.resize(HoldOut.Distinct.size());
        for (size_t d = 0; d < setOf.size(); ++d) setOf[d] = uint32_t(d);
    }
    const std::vector<uint32_t>& sets = grouping ? grouped : HoldOut.Distinct;
    std::vector<Integer> chosen(sets.size());
    std::vector<Single> probs, setProbs;
    if (tmpROC) setProbs.resize(sets.size() * size_t(classes));
    InferencePlan plan;
    const bool planned = PlanInference(multiNet, plan);
    if (planned) ClearPosterior();
    // The case as CaseValues holds it: the fields the model reads, 0 for the others.
    std::vector<Integer> values(width, 0);
    for (size_t g = 0; g < sets.size(); ++g) {
        const Integer* codes = &HoldOut.Codes[size_t(sets[g]) * width];
        if (planned) {
            for (Integer j : read)
                if (j >= 2) values[size_t(j)] = codes[j];
            chosen[g] = InferPlanned(plan, values.data());
        } else {
            for (Integer j : read)
                if (j >= 2) CaseValues(j) = codes[j];
            chosen[g] = multiNet ? InferenceMN(CaseValues) : InferenceBN(CaseValues);
        }
        if (tmpROC) {
            NormalisedPosterior(probs);
            std::copy(probs.begin(), probs.end(), setProbs.begin() + ptrdiff_t(g * size_t(classes)));
        }
    }

    const Long cases = HoldOut.rows;
    if (tmpROC) {
        ActualClass.ReDim(vb::To(cases));
        CasePosterior.ReDim(vb::To(cases), vb::To(classes));
        CaseOrder.ReDim(vb::To(cases));
        for (Long n = 1; n <= cases; ++n) {
            const uint32_t d = HoldOut.GroupOf[size_t(n - 1)];
            const size_t g = setOf[d];
            ActualClass(n) = HoldOut.Codes[size_t(HoldOut.Distinct[d]) * width + 1];
            for (Integer c = 1; c <= classes; ++c)
                CasePosterior(n, c) = setProbs[g * size_t(classes) + size_t(c - 1)];
        }
        return AllROC();
    }
    Long correct = 0;
    for (size_t d = 0; d < HoldOut.Distinct.size(); ++d) {
        const Integer a = HoldOut.Codes[size_t(HoldOut.Distinct[d]) * width + 1];
        const Integer p = chosen[setOf[d]];
        if (p > 0 && a == p) correct += HoldOut.Weight[d];
    }
    return Single(double(correct) / double(cases));
}

Single DataEngine::ClsfyHoldOutBN() { return ClsfyHoldOut(false); }
Single DataEngine::ClsfyHoldOutMN() { return ClsfyHoldOut(true); }

}  // namespace zorvapi

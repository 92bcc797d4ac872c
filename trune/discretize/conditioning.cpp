// ComputeCuts and ConditionTable (see conditioning.h).
#include "trune/discretize/conditioning.h"

#include <fmt/format.h>

#include <memory>
#include <optional>

#include "platform/db/sql_names.h"
#include "platform/vb/runtime_error.h"
#include "platform/vb/strings.h"
#include "trune/discretize/cut_progress.h"
#include "trune/discretize/entropy_cuts.h"
#include "trune/discretize/equal_frequency.h"
#include "trune/discretize/equal_width.h"
#include "trune/discretize/interval_label.h"
#include "trune/discretize/numeric_text.h"
#include "trune/discretize/value_groups.h"

namespace trune {
namespace {

// The rows a statement's recordset is read in at once.
constexpr int32_t kFetchBlock = 4096;

// A field with no value a method can cut: equal width fails as its Null maximum would (94), the
// entropy method as its empty value counts would (3021), both naming the field.
std::string NothingToCut(const std::string& field) {
    return fmt::format("The field '{}' holds no number to cut into intervals: Nulls, texts and the codes set "
                       "aside do not count.",
                       field);
}
vb::RuntimeError InvalidUseOfNull(const std::string& field) { return vb::RuntimeError(94, NothingToCut(field)); }
db::Error NoCurrentRecord(const std::string& field) {
    return db::Error(db::errnum::kNoCurrentRecord, NothingToCut(field));
}

// A field whose cut points would not fit the store, named with what the user can do about it.
// Only the class field can ask for that many: the interval counts offered stay below the limit.
std::string TooManyCutsText(const std::string& field, const CutSettings& s) {
    if (s.method == CutMethod::Entropy)
        return fmt::format("The field '{}' cannot be discretized by the class field '{}': its values change class "
                           "so often that it would need more than {} cut points, more than a field can have. Leave "
                           "the field unchecked, or cut it by equal width or equal frequency.",
                           field, s.classField, kMaxCuts);
    return fmt::format("The field '{}' would need more than {} cut points, more than a field can have. Leave the "
                       "field unchecked, or ask for fewer intervals.",
                       field, kMaxCuts);
}

// The progress of the cut computation that runs, which every statement's read below reports
// to; ComputeCuts sets it for its run, so the helpers need not pass it on.
CutProgress* reading = nullptr;

// Every row of a statement, (column, row) cells taken row by row. Counts are 32-bit: a field
// may have any number of groups.
std::vector<std::vector<db::Value>> Fetch(db::Database& db, const std::string& sql) {
    std::unique_ptr<db::Recordset> rs = db.OpenRecordset(sql, db::dbOpenSnapshot);
    std::vector<std::vector<db::Value>> rows;
    while (!rs->Eof()) {
        const vb::Array<db::Value> block = rs->GetRows(kFetchBlock);
        for (int32_t r = 0; r <= block.UBound(2); ++r) {
            std::vector<db::Value> row;
            for (int32_t c = 0; c <= block.UBound(1); ++c) row.push_back(block(c, r));
            rows.push_back(std::move(row));
        }
        if (reading) reading->Tick(block.UBound(2) + 1);
        if (block.UBound(2) + 1 < kFetchBlock) break;
    }
    rs->Close();
    return rows;
}

int32_t CountOf(const db::Value& v) { return v.IsNull() ? 0 : int32_t(v.ToDouble()); }

std::vector<GroupRow> Groups(db::Database& db, const std::string& sql) {
    std::vector<GroupRow> out;
    for (auto& row : Fetch(db, sql)) out.push_back({std::move(row[0]), CountOf(row[1])});
    return out;
}

// A field's name in a statement; db::Error 3125 for one that cannot be quoted. The table's
// name is checked as a table's once, on the way in (CheckTableName).
std::string Bracketed(const std::string& name) { return db::QuotedPlainName(name, db::NameKind::Field); }
void CheckTableName(const std::string& table) { db::QuotedPlainName(table, db::NameKind::Table); }

bool IsTextColumn(const db::TableDef& def, const std::string& field) {
    const db::FieldType type = def.FieldByName(field).Type;
    return type == db::dbText || type == db::dbMemo;
}

// Equal width from the smallest and largest usable value.
CutPoints WidthCuts(db::Database& db, const std::string& table, const FieldToCut& f, bool text,
                    const CutSettings& s) {
    // The filter is built for a text column too: a code text that is no number ends the run
    // whatever the column.
    const std::string filter = ExclusionFilter(f.name, s.missingText, s.aloneText);
    std::optional<std::pair<double, double>> range;
    bool grouped = text;
    if (!text) {
        const auto rows = Fetch(db, "Select Max(" + Bracketed(f.name) + "), Min(" + Bracketed(f.name) + ") From " +
                                        Bracketed(table) + filter);
        if (rows.empty() || rows[0][0].IsNull() || rows[0][1].IsNull()) throw InvalidUseOfNull(f.name);
        const std::optional<double> hi = CellNumber(rows[0][0]), lo = CellNumber(rows[0][1]);
        if (hi && lo) range.emplace(*lo, *hi);
        // Texts among the numbers, which Max and Min compare as texts: the range by number.
        grouped = !range;
    }
    if (grouped)
        range = UsableRange(NumericGroups(Groups(db, "select " + Bracketed(f.name) + ", count(*) from " +
                                                         Bracketed(table) + (text ? "" : filter) + " group by " +
                                                         Bracketed(f.name)),
                                          text ? s.codes : ExclusionCodes{}));
    if (!range) throw InvalidUseOfNull(f.name);
    CheckCuttable(f.name, range->first);
    CheckCuttable(f.name, range->second);
    return EqualWidthCuts(range->first, range->second, vb::Integer(f.intervals));
}

// Equal frequency over the grouped values; the codes are left out by number here.
CutPoints FrequencyCuts(db::Database& db, const std::string& table, const FieldToCut& f, const CutSettings& s) {
    const std::vector<GroupRow> rows = Groups(db, "select " + Bracketed(f.name) + ", count(*) from " +
                                                      Bracketed(table) + " group by " + Bracketed(f.name));
    const std::vector<ValueGroup> groups = NumericGroups(rows, s.codes);
    if (const auto range = UsableRange(groups)) {
        CheckCuttable(f.name, range->first);
        CheckCuttable(f.name, range->second);
    }
    return EqualFreqCuts(groups, vb::Integer(f.intervals));
}

// Entropy from the value counts and the (value, class) counts.
CutPoints SupervisedCuts(db::Database& db, const std::string& table, const FieldToCut& f, bool text,
                         const std::vector<db::Value>& classValues, const CutSettings& s) {
    const std::string filter = ExclusionFilter(f.name, s.missingText, s.aloneText);
    const std::string where = text ? std::string() : filter;
    // A text column's codes are left out by number, as its statements compare texts.
    const ExclusionCodes codes = text ? s.codes : ExclusionCodes{};
    if (reading) reading->Span(0, 0.3);
    const std::vector<GroupRow> values =
        Groups(db, "select " + Bracketed(f.name) + ", count(*) from " + Bracketed(table) + where + " group by " +
                       Bracketed(f.name));
    if (reading) reading->Share(1);
    bool usable = false;
    for (const GroupRow& g : values) {
        const std::optional<double> x = CellNumber(g.value);
        if (!x || codes.IsMissing(*x) || codes.IsAlone(*x)) continue;
        CheckCuttable(f.name, *x);
        usable = true;
    }
    if (!usable) throw NoCurrentRecord(f.name);

    std::vector<JointRow> joint;
    for (auto& row : Fetch(db, "select " + Bracketed(f.name) + ", " + Bracketed(s.classField) + ", count(*) from " +
                                   Bracketed(table) + where + " group by " + Bracketed(f.name) + ", " +
                                   Bracketed(s.classField)))
        joint.push_back({std::move(row[0]), std::move(row[1]), CountOf(row[2])});
    if (reading) {
        reading->Span(0.3, 0.6);
        reading->Share(1);
        reading->Span(0.6, 1);
    }
    return EntropyCuts(classValues, joint, codes, reading);
}

// For the run of ComputeCuts: its progress heard by every statement's read, and the statements
// sent to the back end itself. A few statements a field gain nothing from an in-memory coded
// copy of the table, which would be loaded whole inside the first of them, for seconds on a
// large table, with nothing heard meanwhile.
class CutRun {
public:
    CutRun(db::Database& db, CutProgress& progress) : db_(db), counting_(db.InMemoryCounting()) {
        db_.SetInMemoryCounting(false);
        reading = &progress;
    }
    ~CutRun() {
        reading = nullptr;
        db_.SetInMemoryCounting(counting_);
    }
    CutRun(const CutRun&) = delete;
    CutRun& operator=(const CutRun&) = delete;

private:
    db::Database& db_;
    bool counting_;
};

}  // namespace

void ComputeCuts(db::Database& db, const std::string& table, std::vector<FieldToCut>& fields,
                 const CutSettings& settings, const Progress& progress) {
    CutProgress heard(progress, int32_t(fields.size()));
    const CutRun run(db, heard);
    heard.BeginField(0);
    for (FieldToCut& f : fields) f.cuts.clear();
    CheckTableName(table);
    const db::TableDef def = db.TableDefs(table);
    std::vector<db::Value> classValues;
    if (settings.method == CutMethod::Entropy)
        for (auto& row : Fetch(db, "select distinct " + Bracketed(settings.classField) + " from " + Bracketed(table))) {
            // A Null class value has no text to be a class by, whatever field is cut.
            if (row[0].IsNull())
                throw vb::RuntimeError(94, fmt::format("The class field '{}' holds Null values, which cannot be a "
                                                       "class: every row needs a class value.",
                                                       settings.classField));
            classValues.push_back(std::move(row[0]));
        }
    for (FieldToCut& f : fields) {
        heard.BeginField(int32_t(&f - fields.data()));
        const bool text = IsTextColumn(def, f.name);
        try {
            switch (settings.method) {
                case CutMethod::EqualWidth: f.cuts = WidthCuts(db, table, f, text, settings); break;
                case CutMethod::EqualFrequency:
                    f.cuts = FrequencyCuts(db, table, f, settings);
                    f.intervals = int32_t(f.cuts.size()) + 1;
                    break;
                case CutMethod::Entropy:
                    f.cuts = SupervisedCuts(db, table, f, text, classValues, settings);
                    f.intervals = int32_t(f.cuts.size()) + 1;
                    break;
            }
        } catch (const TooManyCuts& e) {
            throw vb::RuntimeError(e.number(), TooManyCutsText(f.name, settings));
        }
    }
}

namespace {

// Appends a column unless the table has one of that name, which is then reused as it is.
void AppendOrReuse(db::Database& db, const std::string& table, const db::Field& field) {
    try {
        db.AppendField(table, field);
    } catch (const db::Error& e) {
        if (e.number() != 3191) throw;
    }
}

// The run's one transaction: every column added and every row written are committed together
// at the end, or undone together when the run ends any other way (a cancel, an error, a full
// disk); a killed process leaves SQLite's journal, which undoes them when the file is next
// opened.
class AllOrNothing {
public:
    explicit AllOrNothing(db::Database& db) : db_(db) { db_.BeginTrans(); }
    ~AllOrNothing() {
        if (!open_) return;
        try {
            db_.Rollback();
        } catch (...) {
            // The error that ended the run is the one to report; an unfinished transaction is
            // undone by the database itself when the file is next opened.
        }
    }
    AllOrNothing(const AllOrNothing&) = delete;
    AllOrNothing& operator=(const AllOrNothing&) = delete;

    void Commit() {
        db_.CommitTrans();
        open_ = false;
    }

private:
    db::Database& db_;
    bool open_ = true;
};

}  // namespace

ConditionResult ConditionTable(db::Database& db, const std::string& table, std::vector<FieldToCut>& fields,
                               const CutSettings& settings, RandomSource random, const AfterRow& afterRow,
                               const Progress& cutting) {
    // Every name is checked before anything is added.
    CheckTableName(table);
    for (const FieldToCut& f : fields) Bracketed(f.name);
    if (!db.TableDefs(table).Updatable) return ConditionResult::NotUpdatable;
    // Opened before the recordset, so that the recordset is closed before it rolls back.
    AllOrNothing all(db);
    for (const FieldToCut& f : fields) AppendOrReuse(db, table, {f.name + "_d", db::dbText, 50, {}});
    AppendOrReuse(db, table, {std::string(db::kHoldOutColumn), db::dbBoolean, 0, {}});
    try {
        if (!fields.empty()) ComputeCuts(db, table, fields, settings, cutting);
    } catch (const CutsCancelled&) {
        return ConditionResult::Cancelled;
    }

    std::unique_ptr<db::Recordset> rs = db.OpenRecordset("select * from " + Bracketed(table), db::dbOpenDynaset);
    rs->MoveLast();
    const vb::Single step = vb::Single(99.0 / rs->RecordCount());
    HoldOutDraw draw(std::move(random));
    rs->MoveFirst();

    // The source column of every label column, by position.
    std::vector<int> source(fields.size(), -1);
    for (int c = 0; c < rs->FieldCount(); ++c)
        for (size_t i = 0; i < fields.size(); ++i)
            if (source[i] < 0 && vb::UCase(rs->Fields(c).Name) == vb::UCase(fields[i].name)) source[i] = c;
    std::vector<std::string> labelColumns;
    for (const FieldToCut& f : fields) labelColumns.push_back(f.name + "_d");
    const std::string holdOut(db::kHoldOutColumn);

    vb::Single p = 0;
    while (!rs->Eof()) {
        rs->Edit();
        for (size_t i = 0; i < fields.size(); ++i)
            rs->SetField(labelColumns[i], db::Value(IntervalLabel(rs->Fields(source[i]).value(), fields[i].cuts,
                                                                  settings.codes)));
        rs->SetField(holdOut, db::Value(draw.Next()));
        rs->Update();
        rs->MoveNext();
        p = p + step;
        if (afterRow && afterRow(p)) {
            rs->Close();
            return ConditionResult::Cancelled;
        }
    }
    rs->Close();
    all.Commit();
    return ConditionResult::Done;
}

}  // namespace trune

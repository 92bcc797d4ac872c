// Recordsets of the SQLite back end. Rows are never copied into the recordset: a streamed
// recordset steps its statement (re-running it to go back), a keyset recordset holds the row
// ids of its result and reads one row at a time, so a big table costs one pass, or eight bytes
// a row, not a copy. GetRows writes the cells straight into the array it returns.
#include <fmt/format.h>

#include "platform/db/sqlite_backend.h"

#include <algorithm>

namespace db::sqlite {
namespace {

Error NoCurrentRecord() { return Error(errnum::kNoCurrentRecord, "No current record."); }
Error Closed() { return Error(3420, "Object invalid or no longer set."); }

class RowSource {
public:
    virtual ~RowSource() = default;
    // Positions on row k (from 0); false when the result has no such row.
    virtual bool Seek(int64_t k) = 0;
    // A cell of the row Seek positioned on.
    virtual Value Read(int column, const ResultColumn& c) = 0;
    // The number of rows of the result.
    virtual int64_t Count() = 0;
};

class StreamSource : public RowSource {
public:
    StreamSource(Connection& conn, const Rendered& query) : stmt_(conn, query.sql) { stmt_.Bind(query.params); }

    bool Seek(int64_t k) override {
        if (count_ >= 0 && k >= count_) return false;
        if (done_ || at_ > k) {
            sqlite3_reset(stmt_.get());  // keeps the bindings: the same query runs again
            at_ = -1;
            done_ = false;
        }
        while (at_ < k) {
            if (!stmt_.Step()) {
                done_ = true;
                count_ = at_ + 1;
                return false;
            }
            ++at_;
        }
        return true;
    }

    Value Read(int column, const ResultColumn& c) override {
        return ReadCell(stmt_.get(), column, c.field.Type, c.typed);
    }

    int64_t Count() override {
        while (count_ < 0) {
            if (stmt_.Step()) ++at_;
            else {
                done_ = true;
                count_ = at_ + 1;
            }
        }
        return count_;
    }

private:
    Statement stmt_;
    int64_t at_ = -1;  // the row the statement is on
    bool done_ = false;
    int64_t count_ = -1;
};

// Reads the rows of its keyset a block at a time: a lookup costs SQLite a lock of the file
// when no statement is running, so one lookup a row would cost more than the row.
class KeysetSource : public RowSource {
public:
    KeysetSource(Connection& conn, const QueryPlan& plan) : plan_(plan), rows_(conn, plan.rowSql) {
        Statement keys(conn, plan.keys.sql);
        keys.Bind(plan.keys.params);
        while (keys.Step()) ids_.push_back(sqlite3_column_int64(keys.get(), 0));
    }

    bool Seek(int64_t k) override {
        if (k < 0 || k >= int64_t(ids_.size())) return false;
        if (k < blockStart_ || k >= blockStart_ + int64_t(blockRows_)) LoadBlock(k);
        current_ = size_t(k - blockStart_);
        return true;
    }

    Value Read(int column, const ResultColumn&) override {
        // A row deleted since the keyset was made shows as all Null.
        return present_[current_] ? cells_[current_ * plan_.columns.size() + size_t(column)] : Value();
    }

    int64_t Count() override { return int64_t(ids_.size()); }

    int64_t Id(int64_t k) const { return ids_.at(size_t(k)); }
    void Append(int64_t id) { ids_.push_back(id); }
    // Row k as an edit left it: `cells` as the block would read them now, or nothing when the
    // row is gone. Every place of its id in the loaded block shows it; a block that does not
    // hold it reads it when it is next sought.
    void Patch(int64_t k, const std::vector<Value>* cells) {
        const int64_t id = Id(k);
        const size_t cols = plan_.columns.size();
        for (size_t r = 0; r < blockRows_; ++r) {
            if (ids_[size_t(blockStart_) + r] != id) continue;
            if (cells) std::copy(cells->begin(), cells->end(), cells_.begin() + std::ptrdiff_t(r * cols));
            present_[r] = cells ? 1 : 0;
        }
    }

private:
    // Reads the block's rows into one buffer, each where its id stands in the keyset (rows
    // come back in SQLite's order, found by a sorted copy of the block's ids).
    void LoadBlock(int64_t k) {
        sqlite3_stmt* s = rows_.get();
        sqlite3_reset(s);
        const int64_t end = std::min<int64_t>(k + kKeysetBlock, int64_t(ids_.size()));
        const size_t rows = size_t(end - k), cols = plan_.columns.size();
        where_.clear();
        for (int i = 0; i < kKeysetBlock; ++i) {
            if (k + i < end) {
                sqlite3_bind_int64(s, i + 1, ids_[size_t(k + i)]);
                where_.emplace_back(ids_[size_t(k + i)], size_t(i));
            } else {
                sqlite3_bind_null(s, i + 1);
            }
        }
        std::sort(where_.begin(), where_.end());
        cells_.assign(rows * cols, Value());
        present_.assign(rows, 0);
        blockRows_ = 0;  // a failing step leaves no half-read block behind
        while (rows_.Step()) {
            const int64_t id = sqlite3_column_int64(s, 0);
            auto at = std::lower_bound(where_.begin(), where_.end(), std::make_pair(id, size_t(0)));
            if (at == where_.end() || at->first != id) continue;
            const size_t first = at->second;
            for (size_t c = 0; c < cols; ++c)
                cells_[first * cols + c] = ReadCell(s, int(c) + 1, plan_.columns[c].field.Type, plan_.columns[c].typed);
            present_[first] = 1;
            // The same id twice in the keyset: each place shows the row.
            for (++at; at != where_.end() && at->first == id; ++at) {
                std::copy_n(cells_.begin() + std::ptrdiff_t(first * cols), cols,
                            cells_.begin() + std::ptrdiff_t(at->second * cols));
                present_[at->second] = 1;
            }
        }
        blockStart_ = k;
        blockRows_ = rows;
    }

    const QueryPlan& plan_;
    Statement rows_;
    std::vector<int64_t> ids_;
    std::vector<std::pair<int64_t, size_t>> where_;  // the block's ids, sorted, with their places
    std::vector<Value> cells_;                      // the block's rows, row by row
    std::vector<uint8_t> present_;                  // the row was found (not deleted since)
    size_t blockRows_ = 0;
    int64_t blockStart_ = 0;
    size_t current_ = 0;
};

class MemorySource : public RowSource {
public:
    MemorySource(std::vector<Value> cells, size_t columns) : cells_(std::move(cells)), columns_(columns) {}

    bool Seek(int64_t k) override {
        if (k < 0 || k >= Count()) return false;
        row_ = size_t(k);
        return true;
    }
    Value Read(int column, const ResultColumn&) override { return cells_[row_ * columns_ + size_t(column)]; }
    int64_t Count() override { return columns_ ? int64_t(cells_.size() / columns_) : 0; }

private:
    std::vector<Value> cells_;
    size_t columns_;
    size_t row_ = 0;
};

class SqliteRecordset : public Recordset {
public:
    SqliteRecordset(std::shared_ptr<Connection> conn, std::shared_ptr<const QueryPlan> plan,
                    std::unique_ptr<RowSource> rows)
        : conn_(std::move(conn)), plan_(std::move(plan)), src_(std::move(rows)) {
        Start();
    }

    SqliteRecordset(std::shared_ptr<Connection> conn, std::shared_ptr<const QueryPlan> plan, int16_t type,
                    bool readOnly)
        : conn_(std::move(conn)), plan_(std::move(plan)) {
        const bool walkByKey = plan_->keyset && (type == dbOpenDefault || type == dbOpenDynaset || type == dbOpenTable);
        if (walkByKey) {
            auto keyset = std::make_unique<KeysetSource>(*conn_, *plan_);
            keyset_ = keyset.get();
            src_ = std::move(keyset);
            updatable_ = !readOnly;
        } else {
            src_ = std::make_unique<StreamSource>(*conn_, plan_->query);
        }
        Start();
    }

    vb::Array<Value> GetRows(int32_t n) override {
        CheckOpen();
        const size_t cols = plan_->columns.size();
        std::vector<Value> cells;
        int32_t rows = 0;
        if (n > 0 && !eof_) {
            cells.reserve(size_t(std::min<int32_t>(n, 4096)) * cols);
            src_->Seek(pos_);
            while (rows < n) {
                for (size_t c = 0; c < cols; ++c) cells.push_back(src_->Read(int(c), plan_->columns[c]));
                ++rows;
                if (!Advance()) break;
            }
        }
        // Cells are stored first subscript fastest, so (column, row) in row order is exactly
        // the order they were read in.
        vb::Array<Value> out;
        out.ReDimWith(std::move(cells), vb::To(int32_t(cols) - 1), vb::To(rows - 1));
        return out;
    }

    int FieldCount() const override { return int(fields_.size()); }

    const Field& Fields(int index) const override {
        CheckOpen();
        if (index < 0 || index >= int(fields_.size()))
            throw Error(errnum::kItemNotFound, fmt::format("Item not found in this collection: field {}.", index));
        if (eof_ || bof_) {
            // The name and type stay readable; only the value needs a current row.
            fields_[size_t(index)].current.reset();
            loadedPos_ = -1;
        } else {
            Load();
        }
        return fields_[size_t(index)];
    }

    const Field& Fields(const std::string& name) const override { return Fields(IndexOf(name)); }

    bool Eof() const override {
        CheckOpen();
        return eof_;
    }
    bool BOF() const override {
        CheckOpen();
        return bof_;
    }

    void MoveFirst() override {
        CheckOpen();
        CancelEdit();
        if (!src_->Seek(0)) throw NoCurrentRecord();
        pos_ = 0;
        eof_ = bof_ = false;
    }

    void MoveNext() override {
        CheckOpen();
        if (eof_) throw NoCurrentRecord();
        CancelEdit();
        Advance();
    }

    void MoveLast() override {
        CheckOpen();
        CancelEdit();
        int64_t n = src_->Count();
        if (n == 0) throw NoCurrentRecord();
        pos_ = n - 1;
        eof_ = bof_ = false;
        visited_ = n;
    }

    int32_t RecordCount() const override {
        CheckOpen();
        return int32_t(std::min<int64_t>(visited_, INT32_MAX));
    }

    void SetAbsolutePosition(int32_t row) override {
        CheckOpen();
        CancelEdit();
        if (row < 0 || !src_->Seek(row)) throw NoCurrentRecord();
        pos_ = row;
        eof_ = bof_ = false;
        visited_ = std::max<int64_t>(visited_, int64_t(row) + 1);
    }

    void Close() override {
        src_.reset();
        keyset_ = nullptr;
        closed_ = true;
    }

    void AddNew() override {
        CheckUpdatable();
        mode_ = Mode::Adding;
        pending_.clear();
    }

    void Edit() override {
        CheckUpdatable();
        if (eof_ || bof_) throw NoCurrentRecord();
        mode_ = Mode::Editing;
        pending_.clear();
    }

    void SetField(const std::string& name, const Value& v) override {
        CheckOpen();
        if (mode_ == Mode::None) throw Error(3020, "Update or CancelUpdate without AddNew or Edit.");
        const ResultColumn& c = plan_->columns[size_t(IndexOf(name))];
        if (c.tableColumn < 0) throw Error(3027, "Cannot update. Database or object is read-only.");
        Value stored = sql::CoerceForColumn(v, plan_->table.columns[size_t(c.tableColumn)]);
        for (auto& p : pending_)
            if (p.first == c.tableColumn) {
                p.second = std::move(stored);
                return;
            }
        pending_.emplace_back(c.tableColumn, std::move(stored));
    }

    void Update() override {
        CheckOpen();
        if (mode_ == Mode::None) throw Error(3020, "Update or CancelUpdate without AddNew or Edit.");
        const std::string table = QuoteName(plan_->table.name);
        std::vector<Value> params;
        std::string sql;
        if (mode_ == Mode::Editing) {
            if (pending_.empty()) {
                mode_ = Mode::None;
                return;
            }
            sql = "UPDATE " + table + " SET ";
            for (size_t i = 0; i < pending_.size(); ++i) {
                if (i) sql += ", ";
                sql += QuoteName(plan_->table.columns[size_t(pending_[i].first)].name) + " = ?";
                params.push_back(pending_[i].second);
            }
            sql += " WHERE " + plan_->rowidName + " = ?";
        } else if (pending_.empty()) {
            sql = "INSERT INTO " + table + " DEFAULT VALUES";
        } else {
            std::string names, marks;
            for (size_t i = 0; i < pending_.size(); ++i) {
                if (i) {
                    names += ", ";
                    marks += ", ";
                }
                names += QuoteName(plan_->table.columns[size_t(pending_[i].first)].name);
                marks += "?";
                params.push_back(pending_[i].second);
            }
            sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
        }
        if (mode_ == Mode::Editing) {
            // The edited row comes back as stored, so the cached block is patched instead of
            // read again: re-reading 64 rows after every Update was most of a row walk's cost.
            sql += " RETURNING " + plan_->rowColumns;
            Statement s(*conn_, sql);
            s.Bind(params);
            sqlite3_bind_int64(s.get(), int(params.size()) + 1, keyset_->Id(pos_));
            // The whole change is made by the first step, which returns the row.
            if (s.Step()) {
                std::vector<Value> cells;
                cells.reserve(plan_->columns.size());
                for (size_t c = 0; c < plan_->columns.size(); ++c)
                    cells.push_back(ReadCell(s.get(), int(c), plan_->columns[c].field.Type, plan_->columns[c].typed));
                keyset_->Patch(pos_, &cells);
            } else {
                keyset_->Patch(pos_, nullptr);  // deleted since the keyset was made
            }
        } else {
            Statement s(*conn_, sql);
            s.Bind(params);
            s.Step();
            // A new row joins the keyset at its end; the rows already read are unchanged.
            keyset_->Append(sqlite3_last_insert_rowid(conn_->handle()));
            if (eof_ && bof_) {  // the first row of an empty recordset becomes the current one
                eof_ = bof_ = false;
                pos_ = 0;
                visited_ = 1;
            }
        }
        mode_ = Mode::None;
        pending_.clear();
        loadedPos_ = -1;
    }

private:
    enum class Mode : uint8_t { None, Editing, Adding };

    void Start() {
        for (const ResultColumn& c : plan_->columns) fields_.push_back(c.field);
        eof_ = bof_ = !src_->Seek(0);
        visited_ = eof_ ? 0 : 1;
    }

    void CheckOpen() const {
        if (closed_) throw Closed();
    }
    void CheckUpdatable() const {
        CheckOpen();
        if (!updatable_) throw Error(3027, "Cannot update. Database or object is read-only.");
    }
    void CancelEdit() {
        mode_ = Mode::None;
        pending_.clear();
    }

    int IndexOf(const std::string& name) const {
        for (size_t i = 0; i < fields_.size(); ++i)
            if (sql::SameName(fields_[i].Name, name)) return int(i);
        throw Error(errnum::kItemNotFound, fmt::format("Item not found in this collection: no field '{}'.", name));
    }

    // Moves to the next row; false (and EOF) past the last.
    bool Advance() {
        ++pos_;
        eof_ = !src_->Seek(pos_);
        if (!eof_) visited_ = std::max(visited_, pos_ + 1);
        return !eof_;
    }

    void Load() const {
        if (loadedPos_ == pos_) return;
        src_->Seek(pos_);
        for (size_t c = 0; c < fields_.size(); ++c) fields_[c].current = src_->Read(int(c), plan_->columns[c]);
        loadedPos_ = pos_;
    }

    std::shared_ptr<Connection> conn_;
    std::shared_ptr<const QueryPlan> plan_;
    std::unique_ptr<RowSource> src_;
    KeysetSource* keyset_ = nullptr;
    mutable std::vector<Field> fields_;
    mutable int64_t loadedPos_ = -1;
    int64_t pos_ = 0;
    int64_t visited_ = 0;
    bool eof_ = false;
    bool bof_ = false;
    bool closed_ = false;
    bool updatable_ = false;
    Mode mode_ = Mode::None;
    std::vector<std::pair<int, Value>> pending_;
};

}  // namespace

std::unique_ptr<Recordset> MakeRecordset(std::shared_ptr<Connection> conn, std::shared_ptr<const QueryPlan> plan,
                                         int16_t type, bool readOnly) {
    return std::make_unique<SqliteRecordset>(std::move(conn), std::move(plan), type, readOnly);
}

std::unique_ptr<Recordset> MakeRecordset(std::shared_ptr<Connection> conn, std::shared_ptr<const QueryPlan> plan,
                                         std::vector<Value> cells) {
    const size_t columns = plan->columns.size();
    return std::make_unique<SqliteRecordset>(std::move(conn), std::move(plan),
                                             std::make_unique<MemorySource>(std::move(cells), columns));
}

}  // namespace db::sqlite

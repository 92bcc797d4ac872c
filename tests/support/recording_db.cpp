// The recording test database: scripted or pass-through answers, every text recorded.
#include "tests/support/recording_db.h"

#include <algorithm>
#include <cctype>

namespace testsupport {

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
    return true;
}

}  // namespace

// Hands out the scripted rows and notes GetRows and Close in the query log.
class ScriptedRecordset : public db::Recordset {
public:
    ScriptedRecordset(Result result, std::vector<SentQuery>* log, size_t index)
        : result_(std::move(result)), log_(log), index_(index) {}

    vb::Array<db::Value> GetRows(int32_t n) override {
        entry().getRows.push_back(n);
        const int32_t cols = int32_t(result_.columns.size());
        const int32_t left = std::max(0, int32_t(result_.rows.size()) - pos_);
        const int32_t take = std::min(std::max(n, 0), left);
        vb::Array<db::Value> block(vb::To(cols - 1), vb::To(take - 1));
        for (int32_t r = 0; r < take; ++r)
            for (int32_t c = 0; c < cols; ++c) block(c, r) = result_.rows[size_t(pos_ + r)][size_t(c)];
        pos_ += take;
        Visit();
        return block;
    }
    int FieldCount() const override { return int(result_.columns.size()); }
    const db::Field& Fields(int index) const override {
        if (index < 0 || index >= FieldCount()) throw db::Error(db::errnum::kItemNotFound, "Item not found in this collection.");
        field_.Name = result_.columns[size_t(index)];
        if (Eof())
            field_.current.reset();
        else
            field_.current = result_.rows[size_t(pos_)][size_t(index)];
        return field_;
    }
    const db::Field& Fields(const std::string& name) const override {
        for (int i = 0; i < FieldCount(); ++i)
            if (SameName(result_.columns[size_t(i)], name)) return Fields(i);
        throw db::Error(db::errnum::kItemNotFound, "Item not found in this collection.");
    }
    bool Eof() const override { return pos_ >= int32_t(result_.rows.size()); }
    bool BOF() const override { return result_.rows.empty(); }
    void MoveFirst() override { pos_ = 0; Visit(); }
    void MoveNext() override {
        if (Eof()) throw db::Error(db::errnum::kNoCurrentRecord, "No current record.");
        ++pos_;
        Visit();
    }
    void MoveLast() override { pos_ = std::max(0, int32_t(result_.rows.size()) - 1); Visit(); }
    int32_t RecordCount() const override { return visited_; }
    void Close() override { entry().closed = true; }

private:
    SentQuery& entry() { return (*log_)[index_]; }
    void Visit() { visited_ = std::max(visited_, std::min(pos_ + 1, int32_t(result_.rows.size()))); }

    Result result_;
    std::vector<SentQuery>* log_;
    size_t index_;
    int32_t pos_ = 0;
    int32_t visited_ = 0;
    mutable db::Field field_;
};

// Passes every call to the real recordset and notes GetRows and Close.
class PassRecordset : public ForwardingRecordset {
public:
    PassRecordset(std::unique_ptr<db::Recordset> inner, std::vector<SentQuery>* log, size_t index)
        : ForwardingRecordset(std::move(inner)), log_(log), index_(index) {}
    vb::Array<db::Value> GetRows(int32_t n) override {
        (*log_)[index_].getRows.push_back(n);
        return ForwardingRecordset::GetRows(n);
    }
    void Close() override {
        (*log_)[index_].closed = true;
        ForwardingRecordset::Close();
    }

private:
    std::vector<SentQuery>* log_;
    size_t index_;
};

RecordingDatabase::RecordingDatabase(std::string connect) : connect_(std::move(connect)) {}
RecordingDatabase::RecordingDatabase(std::shared_ptr<db::Database> inner) : inner_(std::move(inner)) {}

void RecordingDatabase::Answer(const std::string& sql, Result result) { answers_[sql] = std::move(result); }
void RecordingDatabase::AnswerWith(std::function<std::optional<Result>(const std::string&)> answer) {
    callbacks_.push_back(std::move(answer));
}
void RecordingDatabase::Fail(const std::string& sql, db::Error error) {
    failures_.insert_or_assign(sql, std::move(error));
}
void RecordingDatabase::AddTable(db::TableDef table) { tables_.push_back(std::move(table)); }

std::vector<std::string> RecordingDatabase::Texts() const {
    std::vector<std::string> out;
    for (const SentQuery& q : queries_) out.push_back(q.sql);
    return out;
}

int RecordingDatabase::CountQueries() const {
    return int(std::count_if(queries_.begin(), queries_.end(), [](const SentQuery& q) {
        return q.sql.find(" group by ") != std::string::npos;
    }));
}

int RecordingDatabase::OpenRecordsets() const {
    return int(std::count_if(queries_.begin(), queries_.end(), [](const SentQuery& q) { return !q.closed; }));
}

std::string RecordingDatabase::Connect() const { return inner_ ? inner_->Connect() : connect_; }
std::string RecordingDatabase::Name() const { return inner_ ? inner_->Name() : "recording"; }

std::unique_ptr<db::Recordset> RecordingDatabase::OpenRecordset(const std::string& sql, int16_t type) {
    queries_.push_back(SentQuery{sql, type, {}, false});
    const size_t index = queries_.size() - 1;
    if (auto f = failures_.find(sql); f != failures_.end()) {
        queries_[index].closed = true;
        throw f->second;
    }
    if (auto a = answers_.find(sql); a != answers_.end())
        return std::make_unique<ScriptedRecordset>(a->second, &queries_, index);
    for (const auto& cb : callbacks_)
        if (std::optional<Result> r = cb(sql)) return std::make_unique<ScriptedRecordset>(std::move(*r), &queries_, index);
    if (inner_) {
        try {
            return std::make_unique<PassRecordset>(inner_->OpenRecordset(sql, type), &queries_, index);
        } catch (...) {
            queries_[index].closed = true;
            throw;
        }
    }
    queries_[index].closed = true;
    throw db::Error(db::errnum::kInvalidSql, "No scripted answer for: " + sql);
}

void RecordingDatabase::Execute(const std::string& sql) {
    executed_.push_back(sql);
    if (inner_) inner_->Execute(sql);
}

db::TableDef RecordingDatabase::TableDefs(const std::string& table) {
    for (const db::TableDef& t : tables_)
        if (SameName(t.Name, table)) return t;
    if (inner_) return inner_->TableDefs(table);
    throw db::Error(db::errnum::kItemNotFound, "Item not found in this collection: " + table);
}

std::vector<std::string> RecordingDatabase::TableNames() {
    std::vector<std::string> names;
    for (const db::TableDef& t : tables_) names.push_back(t.Name);
    if (inner_)
        for (const std::string& n : inner_->TableNames()) names.push_back(n);
    return names;
}

void RecordingDatabase::Close() {
    if (inner_) inner_->Close();
}

}  // namespace testsupport

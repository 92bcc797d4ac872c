// RecordingDatabase: a db::Database for tests that records every SQL text it is sent (with the
// recordset type and the rows asked of GetRows) and answers from scripted results, or passes
// every query through to a real database while recording. Use it to pin the exact texts an
// engine sends and to check that it sends no query at all where it should not:
//
//     auto rdb = std::make_shared<testsupport::RecordingDatabase>();
//     rdb->Answer("select count(*) from [T]", {{"n"}, {{12}}});
//     rdb->AnswerWith([](const std::string& sql) -> std::optional<testsupport::Result> { ... });
//     ... run the engine with std::shared_ptr<db::Database>(rdb) ...
//     EXPECT_EQ(rdb->Texts(), (std::vector<std::string>{"select count(*) from [T]"}));
//     EXPECT_EQ(rdb->CountQueries(), 0);
//
// A query with no scripted answer fails with db::Error 3129 naming the text (and is recorded).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/database.h"

namespace testsupport {

// A recordset that passes every call to the one it wraps; a wrapper that notes or times some
// calls derives from it and overrides those.
class ForwardingRecordset : public db::Recordset {
public:
    explicit ForwardingRecordset(std::unique_ptr<db::Recordset> inner) : inner_(std::move(inner)) {}
    vb::Array<db::Value> GetRows(int32_t n) override { return inner_->GetRows(n); }
    int FieldCount() const override { return inner_->FieldCount(); }
    const db::Field& Fields(int index) const override { return inner_->Fields(index); }
    const db::Field& Fields(const std::string& name) const override { return inner_->Fields(name); }
    bool Eof() const override { return inner_->Eof(); }
    bool BOF() const override { return inner_->BOF(); }
    void MoveFirst() override { inner_->MoveFirst(); }
    void MoveNext() override { inner_->MoveNext(); }
    void MoveLast() override { inner_->MoveLast(); }
    int32_t RecordCount() const override { return inner_->RecordCount(); }
    void SetAbsolutePosition(int32_t row) override { inner_->SetAbsolutePosition(row); }
    void Close() override { inner_->Close(); }
    void AddNew() override { inner_->AddNew(); }
    void Edit() override { inner_->Edit(); }
    void SetField(const std::string& name, const db::Value& v) override { inner_->SetField(name, v); }
    void Update() override { inner_->Update(); }

private:
    std::unique_ptr<db::Recordset> inner_;
};

// A database that passes every call to the one it wraps, counters included; a wrapper that
// notes or times some calls derives from it and overrides those.
class ForwardingDatabase : public db::Database {
public:
    explicit ForwardingDatabase(std::shared_ptr<db::Database> inner) : inner_(std::move(inner)) {}
    std::string Connect() const override { return inner_->Connect(); }
    std::string Name() const override { return inner_->Name(); }
    std::unique_ptr<db::Recordset> OpenRecordset(const std::string& sql, int16_t type) override {
        return inner_->OpenRecordset(sql, type);
    }
    void Execute(const std::string& sql) override { inner_->Execute(sql); }
    db::TableDef TableDefs(const std::string& table) override { return inner_->TableDefs(table); }
    std::vector<std::string> TableNames() override { return inner_->TableNames(); }
    void Close() override { inner_->Close(); }
    std::unique_ptr<db::GroupCounter> GroupCounts(const std::string& countExpr, const std::string& table,
                                                  const std::string& where,
                                                  const std::vector<std::string>& fields) override {
        return inner_->GroupCounts(countExpr, table, where, fields);
    }

private:
    std::shared_ptr<db::Database> inner_;
};

// The same for a database's counter.
class ForwardingCounter : public db::GroupCounter {
public:
    explicit ForwardingCounter(std::unique_ptr<db::GroupCounter> inner) : inner_(std::move(inner)) {}
    const std::vector<db::Value>* Values(int f) const override { return inner_->Values(f); }
    Outcome Count(const std::vector<int>& fields, int64_t maxGroups, db::GroupCountResult& out) override {
        return inner_->Count(fields, maxGroups, out);
    }
    Outcome CountIndexed(const std::vector<int>& fields, const std::vector<std::span<const int32_t>>& indexes,
                         int64_t maxGroups, std::vector<int32_t>& codes, std::vector<double>& counts) override {
        return inner_->CountIndexed(fields, indexes, maxGroups, codes, counts);
    }
    Outcome CountKeys(const std::vector<int>& fields, int64_t maxGroups, std::vector<uint64_t>& keys,
                      std::vector<double>& counts) override {
        return inner_->CountKeys(fields, maxGroups, keys, counts);
    }
    bool Rows(int f, std::vector<uint32_t>& codes, const std::vector<db::Value>*& cells) override {
        return inner_->Rows(f, codes, cells);
    }
    std::unique_ptr<db::GroupCounter> Twin() override { return inner_->Twin(); }

protected:
    db::GroupCounter& inner() { return *inner_; }

private:
    std::unique_ptr<db::GroupCounter> inner_;
};

// A scripted result: column names and rows of cells.
struct Result {
    std::vector<std::string> columns;
    std::vector<std::vector<db::Value>> rows;
};

// One query as it was sent.
struct SentQuery {
    std::string sql;
    int16_t type = db::dbOpenDefault;
    std::vector<int32_t> getRows;  // the n of every GetRows call on its recordset, in order
    bool closed = false;           // Close was called on its recordset
};

class RecordingDatabase : public db::Database {
public:
    // A scripted database with the connect text `connect` ("" = a file database).
    explicit RecordingDatabase(std::string connect = "");
    // Records while every call goes to `inner`.
    explicit RecordingDatabase(std::shared_ptr<db::Database> inner);

    // Scripting. Exact texts win over callbacks; callbacks are asked in the order added, and
    // the first that gives a result answers.
    void Answer(const std::string& sql, Result result);
    void AnswerWith(std::function<std::optional<Result>(const std::string& sql)> answer);
    // The text fails with the given error when it is sent.
    void Fail(const std::string& sql, db::Error error);
    void AddTable(db::TableDef table);

    // Recording.
    const std::vector<SentQuery>& Queries() const { return queries_; }
    std::vector<std::string> Texts() const;
    // Queries sent so far, and of them the grouped count queries (texts with " group by ").
    int QueryCount() const { return int(queries_.size()); }
    int CountQueries() const;
    // Recordsets opened and not yet closed.
    int OpenRecordsets() const;
    const std::vector<std::string>& Executed() const { return executed_; }
    void ClearLog() { queries_.clear(); executed_.clear(); }

    // db::Database
    std::string Connect() const override;
    std::string Name() const override;
    std::unique_ptr<db::Recordset> OpenRecordset(const std::string& sql, int16_t type) override;
    void Execute(const std::string& sql) override;
    db::TableDef TableDefs(const std::string& table) override;
    std::vector<std::string> TableNames() override;
    void Close() override;

private:
    std::string connect_;
    std::shared_ptr<db::Database> inner_;
    std::map<std::string, Result> answers_;
    std::map<std::string, db::Error> failures_;
    std::vector<std::function<std::optional<Result>(const std::string&)>> callbacks_;
    std::vector<db::TableDef> tables_;
    std::vector<SentQuery> queries_;
    std::vector<std::string> executed_;
};

}  // namespace testsupport

// The database contract: what every back end of platform/db must answer for the engines' SQL
// texts (counts, group order with Null first and case-insensitive groups, DISTINCT order,
// yes/no, quoted labels, GetRows capping, errors that name a missing table or field). A back
// end takes part through a BackendFactory that makes a fresh database holding given tables by
// the back end's own means (not through the layer under test):
//
//     #include "tests/support/db_contract_suite.h"   // the TEST_P bodies; in one file only
//     INSTANTIATE_DB_CONTRACT(SqliteFile, std::make_shared<testsupport::SqliteFileFactory>());
//
// CreateSqliteFile also serves any test that needs a table in a SQLite file:
//
//     testsupport::TempDir dir;
//     testsupport::CreateSqliteFile(dir.Path("t.db"), {{"T", {{"A", db::dbText, 50}}, {{"x"}, {db::Value()}}}});
//     auto db = db::DBEngine::OpenDatabase(dir.Path("t.db"));
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/db/database.h"

namespace testsupport {

struct ColumnSpec {
    std::string name;
    db::FieldType type = db::dbText;
    int32_t size = 0;
};

struct TableSpec {
    std::string name;
    std::vector<ColumnSpec> columns;
    std::vector<std::vector<db::Value>> rows;  // one value a column; a short row ends in Nulls
};

class BackendFactory {
public:
    virtual ~BackendFactory() = default;
    virtual std::string Name() const = 0;
    // Empty when the back end can run here; else why not (the suite then skips).
    virtual std::string Unavailable() const { return ""; }
    // A fresh database holding exactly these tables.
    virtual std::shared_ptr<db::Database> Create(const std::vector<TableSpec>& tables) = 0;
    // How Connect() of such a database begins ("" for a file database, "ODBC;" ...).
    virtual std::string ConnectPrefix() const { return ""; }
};

// A directory under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string Path(const std::string& file) const { return path_ + "/" + file; }

private:
    std::string path_;
};

// The file's bytes ("" when it cannot be opened), and a file made to hold exactly `text`.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

// Writes the tables into a new SQLite file with libsqlite3 directly: declared types BOOLEAN,
// SMALLINT, INTEGER, SINGLE, DOUBLE, DATETIME, VARCHAR(n), LONGTEXT ..., Booleans stored 1/0,
// dates as "yyyy-mm-dd hh:nn:ss" texts.
void CreateSqliteFile(const std::string& path, const std::vector<TableSpec>& tables);

class SqliteFileFactory : public BackendFactory {
public:
    std::string Name() const override { return "SqliteFile"; }
    std::shared_ptr<db::Database> Create(const std::vector<TableSpec>& tables) override;

private:
    TempDir dir_;
    int files_ = 0;
};

// The contract's fixture table "T": a text class with Null, "?", "a"/"A" and a label holding a
// double quote; [Unit Price] (Double, with a Null); qty (Long, the weight); zorv_holdout
// (Boolean, with a Null).
TableSpec ContractTable();

class DbContract : public ::testing::TestWithParam<std::shared_ptr<BackendFactory>> {
protected:
    void SetUp() override;
    void TearDown() override;

    // The result's rows as the engines read them: one GetRows of up to n rows.
    vb::Array<db::Value> Rows(const std::string& sql, int32_t n = 1000, int16_t type = db::dbOpenForwardOnly);
    // The first cell of the first row.
    db::Value Scalar(const std::string& sql);
    // The error the text raises (the test fails when it raises none).
    db::Error ErrorOf(const std::string& sql);

    std::shared_ptr<db::Database> db_;
};

// The result's rows as rows of cells, for comparing with a table written out in the test.
std::vector<std::vector<db::Value>> RowsOf(const vb::Array<db::Value>& block);

// The number of the db::Error that f raises (0 for none), its text into *text when given.
int32_t DbErrorNumber(const std::function<void()>& f, std::string* text = nullptr);

}  // namespace testsupport

namespace db {
// Readable values in test failure messages: Null, True, 12L, 1.5, "text" ...
void PrintTo(const Value& v, std::ostream* os);
}  // namespace db

#define INSTANTIATE_DB_CONTRACT(prefix, factory)                                                   \
    namespace testsupport {                                                                         \
    INSTANTIATE_TEST_SUITE_P(prefix, DbContract, ::testing::Values(factory),                        \
                             [](const auto& info) { return info.param->Name(); });                  \
    }                                                                                               \
    static_assert(true, "")

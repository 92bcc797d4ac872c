// Transactions on every back end that writes: SQLite files, and ODBC sources through the
// SQLite and PostgreSQL drivers. Imported formats refuse them.
#include <gtest/gtest.h>

#include "tests/support/db_contract.h"
#include "tests/support/odbc_servers.h"

namespace testsupport {
namespace {

class DbTransactions : public DbContract {
protected:
    db::Value Count(db::Database& db) {
        auto rs = db.OpenRecordset("select count(*) from [T]", db::dbOpenSnapshot);
        db::Value n = rs->Fields(0).value();
        rs->Close();
        return n;
    }
    // A second connection to the same data.
    std::shared_ptr<db::Database> Reopen() { return db::DBEngine::OpenDatabase(db_->Name(), false, false, db_->Connect()); }
    static constexpr const char* kInsert = "INSERT INTO [T] (cls, qty) VALUES (\"new\", 7)";
};

// Changes are seen inside the transaction, by others only once committed, and are gone after
// a rollback, from the counts too (the file back end answers them from a coded copy).
TEST_P(DbTransactions, CommitKeepsAndRollbackUndoes) {
    const db::Value eight(int32_t(8)), nine(int32_t(9));
    auto other = Reopen();

    db_->BeginTrans();
    db_->Execute(kInsert);
    EXPECT_EQ(Count(*db_), nine);
    EXPECT_EQ(Count(*other), eight);
    db_->Rollback();
    EXPECT_EQ(Count(*db_), eight);

    db_->BeginTrans();
    db_->Execute(kInsert);
    db_->Execute("UPDATE [T] SET qty = 100 WHERE cls = \"b\"");
    db_->CommitTrans();
    EXPECT_EQ(Count(*other), nine);
    auto rs = other->OpenRecordset("select  Sum([qty]) from [T]", db::dbOpenSnapshot);
    EXPECT_EQ(rs->Fields(0).value().ToDouble(), 19 - 3 + 200 + 7);
    rs->Close();
    other->Close();

    // Autocommit again after the end: a write without a transaction stays.
    db_->Execute(kInsert);
    EXPECT_EQ(DbErrorNumber([&] { db_->Rollback(); }), db::errnum::kNoTransaction);
    EXPECT_EQ(Count(*db_), db::Value(int32_t(10)));
}

// An error inside leaves the transaction open with the earlier writes in it, for the caller
// to commit or roll back.
TEST_P(DbTransactions, AnErrorInsideLeavesTheEarlierWritesToCommit) {
    db_->BeginTrans();
    db_->Execute(kInsert);
    const std::string tooLong = "INSERT INTO [T] (cls, qty) VALUES (\"" + std::string(80, 'x') + "\", 1)";
    EXPECT_NE(DbErrorNumber([&] { db_->Execute(tooLong); }), 0);
    db_->CommitTrans();
    auto other = Reopen();
    EXPECT_EQ(Count(*other), db::Value(int32_t(9)));
    other->Close();
}

// A column added inside a transaction, and the values written into it, are undone together
// by a rollback, on every back end here (SQLite and PostgreSQL run DDL in transactions).
TEST_P(DbTransactions, RollbackUndoesAnAddedColumnWithItsValues) {
    db_->BeginTrans();
    db_->AppendField("T", db::Field{"Label", db::dbText, 50, {}});
    db_->Execute("UPDATE [T] SET Label = \"x\"");
    db_->Rollback();
    EXPECT_EQ(DbErrorNumber([&] { db_->TableDefs("T").FieldByName("Label"); }), db::errnum::kItemNotFound);
    auto other = Reopen();
    EXPECT_EQ(DbErrorNumber([&] { other->TableDefs("T").FieldByName("Label"); }), db::errnum::kItemNotFound);
    other->Close();
}

TEST_P(DbTransactions, RefusesNestingAndAnEndWithoutABeginAndRollsBackOnClose) {
    EXPECT_EQ(DbErrorNumber([&] { db_->CommitTrans(); }), db::errnum::kNoTransaction);
    EXPECT_EQ(DbErrorNumber([&] { db_->Rollback(); }), db::errnum::kNoTransaction);
    db_->BeginTrans();
    EXPECT_EQ(DbErrorNumber([&] { db_->BeginTrans(); }), db::errnum::kTooManyTransactions);
    db_->Execute(kInsert);
    auto other = Reopen();
    db_->Close();  // (the PostgreSQL factory drops the database once db_ lets go: keep holding it)
    EXPECT_EQ(Count(*other), db::Value(int32_t(8)));
    other->Close();
}

INSTANTIATE_TEST_SUITE_P(Backends, DbTransactions,
                         ::testing::Values(std::make_shared<SqliteFileFactory>(), std::make_shared<SqliteOdbcFactory>(),
                                           std::make_shared<PostgresOdbcFactory>()),
                         [](const auto& info) { return info.param->Name(); });

// Row edits through a recordset, committed in blocks: a block rolled back leaves the rows of
// the committed blocks, and a column added inside a rolled-back transaction is gone again.
TEST(SqliteTransactions, KeepCommittedBlocksOfRecordsetEdits) {
    SqliteFileFactory files;
    auto db = files.Create({ContractTable()});
    db->BeginTrans();
    db->AppendField("T", db::Field{"Gone", db::dbText, 50, {}});
    db->Rollback();
    EXPECT_EQ(DbErrorNumber([&] { db->TableDefs("T").FieldByName("Gone"); }), db::errnum::kItemNotFound);

    db->AppendField("T", db::Field{"Label", db::dbText, 50, {}});
    auto rs = db->OpenRecordset("select * from [T]", db::dbOpenDynaset);
    db->BeginTrans();
    int row = 0;
    for (; !rs->Eof() && row < 5; rs->MoveNext()) {
        rs->Edit();
        rs->SetField("Label", db::Value("row " + std::to_string(++row)));
        rs->Update();
        if (row % 2 == 0) {
            db->CommitTrans();
            db->BeginTrans();
        }
    }
    db->Rollback();
    rs->Close();

    auto labels = db->OpenRecordset("select Label from [T]", db::dbOpenSnapshot)->GetRows(100);
    std::vector<db::Value> got;
    for (int32_t r = 0; r <= labels.UBound(2); ++r) got.push_back(labels(0, r));
    const db::Value null;
    EXPECT_EQ(got, (std::vector<db::Value>{db::Value("row 1"), db::Value("row 2"), db::Value("row 3"), db::Value("row 4"),
                                           null, null, null, null}));
    db->Close();
}

TEST(ImportedTransactions, AreRefusedNamingTheFolder) {
    TempDir dir;
    WriteFile(dir.Path("t.csv"), "a\n1\n");
    auto db = db::DBEngine::OpenDatabase(dir.path(), false, true, "Text;");
    try {
        db->BeginTrans();
        ADD_FAILURE() << "a transaction on text files";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), db::errnum::kNotSupported);
        EXPECT_NE(e.description().find(dir.path()), std::string::npos) << e.description();
    }
    EXPECT_EQ(DbErrorNumber([&] { db->CommitTrans(); }), db::errnum::kNoTransaction);
}

}  // namespace
}  // namespace testsupport

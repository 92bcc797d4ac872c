// The contract's tests: the engines' own SQL texts, as they build them (blanks, commas, case
// and brackets included), on the fixture table of db_contract.h. Include this header in the
// one test file that instantiates the suite (INSTANTIATE_DB_CONTRACT); the fixture and the
// factories are in test_support.
#pragma once

#include "tests/support/db_contract.h"

namespace testsupport {
namespace contract {

using Row = std::vector<db::Value>;
inline db::Value L(int32_t v) { return db::Value(v); }
inline db::Value D(double v) { return db::Value(v); }
inline db::Value T(const char* v) { return db::Value(v); }
inline db::Value B(bool v) { return db::Value(v); }
inline const db::Value kNull;

}  // namespace contract

// Whole-table and filtered counts, with the count expression's own blanks.
TEST_P(DbContract, CountsRowsUnderTheHoldOutFilter) {
    using namespace contract;
    EXPECT_EQ(Scalar("select count(*) from [T]"), L(8));
    // A Null hold-out flag counts as no.
    EXPECT_EQ(Scalar("select  Count(*) from [T] WHERE zorv_holdout=no "), L(6));
    EXPECT_EQ(Scalar("select  Count(*) from [T] WHERE zorv_holdout=yes"), L(2));
    EXPECT_EQ(Scalar("select  Count(*) from [T] WHERE zorv_holdout = True"), L(2));
    EXPECT_EQ(Scalar("select  Count(*) from [T] WHERE zorv_holdout = False"), L(6));
    EXPECT_EQ(Scalar("select  Sum([qty]) from [T]"), L(19));
    EXPECT_EQ(Scalar("select  Sum([qty]) from [T] WHERE zorv_holdout=no "), L(15));
}

// A hold-out flag kept as a number (a table made outside trune: 0/1, or -1/0, in an INTEGER
// column; a Double too): yes and True are every non-zero value, no and False the zero and the
// Null, in plain and in grouped counts alike.
TEST_P(DbContract, NumberFlagsMatchYesAndNo) {
    using namespace contract;
    TableSpec f;
    f.name = "F";
    f.columns = {{"cls", db::dbText, 50}, {"h01", db::dbLong}, {"h10", db::dbInteger}, {"hd", db::dbDouble}};
    const db::Value I0(int16_t(0)), I1(int16_t(-1));
    f.rows = {
        {T("a"), L(1), I1, D(0.5)}, {T("a"), L(0), I0, D(0)},  {T("b"), kNull, I0, kNull},
        {T("b"), L(2), I1, D(-2)},  {T("a"), L(0), kNull, D(0)}, {T("b"), L(0), I0, D(0)},
    };
    db_->Close();
    db_ = GetParam()->Create({f});
    struct Case {
        const char* where;
        int32_t count;
    };
    const Case cases[] = {
        {" WHERE h01=yes", 2},          {" WHERE h01=no ", 4},     {" WHERE h01 = True", 2},
        {" WHERE h01 = False", 4},      {" WHERE h01 <> yes", 4},  {" WHERE h10=yes", 2},
        {" WHERE h10=no ", 4},          {" WHERE hd=yes", 2},      {" WHERE hd=no ", 4},
        {" WHERE cls = \"b\" And h01=no ", 2},
        {" WHERE h01 = 1", 1},  // a number is still compared as a number
    };
    for (const Case& c : cases)
        EXPECT_EQ(Scalar(std::string("select  Count(*) from [F]") + c.where), L(c.count)) << c.where;
    EXPECT_EQ(RowsOf(Rows("select  Count(*) , cls from [F] WHERE h01=no  group by cls")),
              (std::vector<Row>{{L(2), T("a")}, {L(2), T("b")}}));
    EXPECT_EQ(RowsOf(Rows("select * from [F] where h10=yes")).size(), 2u);
}

// Text literals compare without regard to case, in either quote, with "" for a quote.
TEST_P(DbContract, ComparesLabelsAsTheEnginesQuoteThem) {
    using namespace contract;
    struct Case {
        const char* where;
        int32_t count;
    };
    const Case cases[] = {
        {" WHERE cls = \"A\"", 3},
        {" WHERE cls = \"a\" And zorv_holdout=no ", 2},
        {" WHERE cls = \"A\" AND zorv_holdout=no ", 2},
        {" WHERE cls = \"say \"\"hi\"\"\"", 1},
        {" WHERE cls = 'b'", 2},
        {" WHERE cls = \"?\"", 1},
        {" WHERE cls <> \"b\"", 5},  // Null is neither equal nor unequal
        {" WHERE cls Is Null", 1},
        {" WHERE [Unit Price] = 1.5 And zorv_holdout=no ", 2},
        {" WHERE [Unit Price] >= 2.25", 4},
        {" WHERE qty = 1", 3},
        {" WHERE qty < -1", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Scalar(std::string("select  Count(*) from [T]") + c.where), L(c.count)) << c.where;
}

// Groups come ordered by the grouping columns, Null first; "a" and "A" are one group, shown
// by its smallest spelling in byte order; the count is column 0 and a Long.
TEST_P(DbContract, GroupsCaseInsensitivelyInColumnOrderNullFirst) {
    using namespace contract;
    EXPECT_EQ(RowsOf(Rows("select  Count(*) , cls from [T] group by cls")),
              (std::vector<Row>{{L(1), kNull}, {L(1), T("?")}, {L(3), T("A")}, {L(2), T("b")}, {L(1), T("say \"hi\"")}}));
    EXPECT_EQ(RowsOf(Rows("select  Sum([qty]) , cls from [T] group by cls")),
              (std::vector<Row>{{L(4), kNull}, {L(1), T("?")}, {L(6), T("A")}, {L(3), T("b")}, {L(5), T("say \"hi\"")}}));
    // Grouping fields first, the pair last, first column most significant; True before False.
    EXPECT_EQ(RowsOf(Rows("select  Count(*) , [Unit Price],cls, zorv_holdout from [T] group by [Unit Price],cls,zorv_holdout")),
              (std::vector<Row>{
                  {L(1), kNull, kNull, kNull},
                  {L(1), D(1.5), T("A"), B(true)},
                  {L(1), D(1.5), T("a"), B(false)},
                  {L(1), D(1.5), T("b"), kNull},
                  {L(1), D(2.25), T("?"), B(true)},
                  {L(1), D(2.25), T("a"), B(false)},
                  {L(1), D(2.25), T("b"), B(false)},
                  {L(1), D(3.0), T("say \"hi\""), B(false)},
              }));
    // The per-class query of a multi-net: a class condition, no blank before the field.
    EXPECT_EQ(RowsOf(Rows("select  Count(*) ,[Unit Price] from [T] WHERE cls = \"A\" AND zorv_holdout=no  group by [Unit Price]")),
              (std::vector<Row>{{L(1), D(1.5)}, {L(1), D(2.25)}}));
    // The construction engine's counting pass ends with a semicolon.
    EXPECT_EQ(RowsOf(Rows("select  Count(*) , zorv_holdout from [T] group by zorv_holdout;")),
              (std::vector<Row>{{L(2), kNull}, {L(2), B(true)}, {L(4), B(false)}}));
}

// DISTINCT returns the values in the order GROUP BY gives them.
TEST_P(DbContract, DistinctValuesInGroupOrder) {
    using namespace contract;
    EXPECT_EQ(RowsOf(Rows("select distinct cls from [T]", 101)),
              (std::vector<Row>{{kNull}, {T("?")}, {T("A")}, {T("b")}, {T("say \"hi\"")}}));
    EXPECT_EQ(RowsOf(Rows("select distinct [Unit Price] from [T]", 101)),
              (std::vector<Row>{{kNull}, {D(1.5)}, {D(2.25)}, {D(3.0)}}));
    EXPECT_EQ(RowsOf(Rows("select distinct zorv_holdout from [T]", 66)), (std::vector<Row>{{kNull}, {B(true)}, {B(false)}}));
    // Fetching one more than the limit tells a field over the limit.
    EXPECT_EQ(Rows("select distinct cls from [T]", 3).UBound(2), 2);
}

// GetRows: (column, row) from 0, at most n rows, fewer at the end, none for n <= 0.
TEST_P(DbContract, GetRowsCapsAndContinues) {
    using namespace contract;
    auto rs = db_->OpenRecordset("select * from [T]", db::dbOpenSnapshot);
    EXPECT_EQ(rs->GetRows(0).UBound(2), -1);
    vb::Array<db::Value> first = rs->GetRows(3);
    EXPECT_EQ(first.UBound(1), 3);
    EXPECT_EQ(first.UBound(2), 2);
    EXPECT_EQ(RowsOf(first)[1], (Row{T("A"), D(1.5), L(3), B(true)}));
    vb::Array<db::Value> rest = rs->GetRows(100);
    EXPECT_EQ(rest.UBound(2), 4);
    EXPECT_EQ(RowsOf(rest)[0], (Row{kNull, kNull, L(4), kNull}));
    EXPECT_EQ(RowsOf(rest)[4], (Row{T("a"), D(2.25), L(1), B(false)}));
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->GetRows(10).UBound(2), -1);
    rs->Close();
}

// The batch walk: MoveLast for the count, MoveFirst, then row by row with fields by position
// and by name in any case.
TEST_P(DbContract, WalksRowsWithFieldsByPositionAndName) {
    using namespace contract;
    auto rs = db_->OpenRecordset("select * from [T]", db::dbOpenSnapshot);
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 8);
    rs->MoveFirst();
    ASSERT_EQ(rs->FieldCount(), 4);
    EXPECT_EQ(rs->Fields(1).Name, "Unit Price");
    EXPECT_EQ(rs->Fields("unit price").Type, db::dbDouble);
    std::vector<db::Value> classes, flags;
    for (; !rs->Eof(); rs->MoveNext()) {
        classes.push_back(rs->Fields(0).value());
        flags.push_back(rs->Fields("ZORV_HOLDOUT").value());
    }
    EXPECT_EQ(classes, (Row{T("a"), T("A"), T("b"), kNull, T("?"), T("say \"hi\""), T("b"), T("a")}));
    EXPECT_EQ(flags, (Row{B(false), B(true), B(false), kNull, B(true), B(false), kNull, B(false)}));
    // Past the last row there is no current record: the field keeps its name, not a value.
    EXPECT_EQ(rs->Fields(0).Name, "cls");
    EXPECT_EQ(DbErrorNumber([&] { rs->Fields(0).value(); }), db::errnum::kNoCurrentRecord);
    rs->Close();

    auto holdOut = db_->OpenRecordset("select * from [T] where zorv_holdout=yes");
    holdOut->MoveLast();
    EXPECT_EQ(holdOut->RecordCount(), 2);
    holdOut->MoveFirst();
    EXPECT_EQ(holdOut->Fields("cls").value(), T("A"));
    holdOut->Close();
}

// An empty result names its fields and gives their types; only a value needs a current row.
TEST_P(DbContract, EmptyResultNamesItsFields) {
    for (const int16_t type : {int16_t(db::dbOpenSnapshot), int16_t(db::dbOpenDefault)}) {
        SCOPED_TRACE(type);
        auto rs = db_->OpenRecordset("select [cls], [Unit Price] from [T] where [qty] > 100", type);
        ASSERT_TRUE(rs->Eof());
        ASSERT_EQ(rs->FieldCount(), 2);
        EXPECT_EQ(rs->Fields(0).Name, "cls");
        EXPECT_EQ(rs->Fields("unit price").Name, "Unit Price");
        EXPECT_EQ(rs->Fields(1).Type, db::dbDouble);
        EXPECT_EQ(DbErrorNumber([&] { rs->Fields(1).value(); }), db::errnum::kNoCurrentRecord);
        EXPECT_EQ(DbErrorNumber([&] { rs->Fields("cls").value(); }), db::errnum::kNoCurrentRecord);
        rs->Close();
    }
}

// Any row made current by its position, forward and back, on snapshots and default
// recordsets alike; a position past the last row has no current record.
TEST_P(DbContract, GoesToAnyRowByPosition) {
    using namespace contract;
    const Row classes{T("a"), T("A"), T("b"), kNull, T("?"), T("say \"hi\""), T("b"), T("a")};
    for (const int16_t type : {int16_t(db::dbOpenSnapshot), int16_t(db::dbOpenDefault)}) {
        auto rs = db_->OpenRecordset("select * from [T]", type);
        for (const int32_t k : {5, 2, 7, 0, 3}) {
            rs->SetAbsolutePosition(k);
            EXPECT_EQ(rs->Fields(0).value(), classes[size_t(k)]) << type << " row " << k;
        }
        rs->SetAbsolutePosition(6);
        const vb::Array<db::Value> rest = rs->GetRows(10);
        EXPECT_EQ(rest.UBound(2), 1);
        try {
            rs->SetAbsolutePosition(8);
            ADD_FAILURE() << "row 8 of 8";
        } catch (const db::Error& e) {
            EXPECT_EQ(e.number(), db::errnum::kNoCurrentRecord);
        }
        rs->Close();
    }
}

// Table definitions give Jet's type codes.
TEST_P(DbContract, TableDefsGiveJetTypes) {
    db::TableDef def = db_->TableDefs("T");
    EXPECT_EQ(def.FieldByName("cls").Type, db::dbText);
    EXPECT_EQ(def.FieldByName("UNIT PRICE").Type, db::dbDouble);
    EXPECT_EQ(def.FieldByName("qty").Type, db::dbLong);
    EXPECT_EQ(def.FieldByName("zorv_holdout").Type, db::dbBoolean);
    EXPECT_EQ(db_->Connect().rfind(GetParam()->ConnectPrefix(), 0), 0u) << db_->Connect();
}

// A missing table or field is an error that names it, never an empty result; so is a text
// the parser does not know.
TEST_P(DbContract, ErrorsNameWhatIsMissing) {
    struct Case {
        const char* sql;
        int32_t number;
        const char* named;
    };
    const Case cases[] = {
        {"select count(*) from [Nope]", db::errnum::kNoSuchTable, "Nope"},
        {"select * from [Nope] where zorv_holdout=yes", db::errnum::kNoSuchTable, "Nope"},
        {"select distinct nofield from [T]", db::errnum::kTooFewParameters, "nofield"},
        {"select  Count(*) , cls, [No Such] from [T] group by cls,[No Such]", db::errnum::kTooFewParameters, "No Such"},
        {"select  Count(*) from [T] WHERE missing = 1", db::errnum::kTooFewParameters, "missing"},
        {"select  Sum([weight]) , cls from [T] group by cls", db::errnum::kTooFewParameters, "weight"},
        {"select cls fro [T]", db::errnum::kSyntaxError, "fro"},
    };
    for (const Case& c : cases) {
        db::Error e = ErrorOf(c.sql);
        EXPECT_EQ(e.number(), c.number) << c.sql << ": " << e.description();
        EXPECT_NE(e.description().find(c.named), std::string::npos) << c.sql << ": " << e.description();
    }
    try {
        db_->TableDefs("Nope");
        ADD_FAILURE() << "TableDefs of a missing table";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), db::errnum::kItemNotFound);
        EXPECT_NE(e.description().find("Nope"), std::string::npos) << e.description();
    }
}

}  // namespace testsupport

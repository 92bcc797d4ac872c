// Renders bound Jet queries in the SQL of the server behind an ODBC connection. Names go in the
// server's identifier quotes and literals become "?" parameters; the Jet rules that the binder
// marked become constructs each server has, chosen so that the rows equal the file back end's:
//  - case-insensitive texts: SQLite's NOCASE collation; on PostgreSQL lower(x COLLATE "C"),
//    which folds ASCII letters only and orders by bytes, as NOCASE does (lower, not upper, so
//    that "_" sorts before letters the same way); on MariaDB and MySQL the ASCII letters
//    replaced one by one in the text under a binary collation without padding, since every
//    collation there that ignores case also ignores accents, trailing blanks or both, and
//    lower() folds letters beyond ASCII;
//  - a case-insensitive group shows its smallest spelling in byte order: min(x COLLATE "C");
//  - Null first in ascending order: SQLite and MariaDB do so by themselves, PostgreSQL is told
//    NULLS FIRST;
//  - literals' markers cast to the server's own type names (see ParamTypesOf);
//  - Booleans as Jet's -1/0, a Null counting as No in comparisons: CASE over the column's truth,
//    which is the column itself for a server Boolean and x<>0 for a number stored 1/0;
//  - a Single compared at single precision, by bounds around the literal (see SingleCompare).
#include <cmath>
#include <cstring>

#include "platform/db/column_types.h"
#include "platform/db/odbc_backend.h"
#include "platform/db/sql_render.h"

namespace db::odbc {
namespace {

using sql::BoundExpr;

class Renderer : public sql::Renderer {
public:
    Renderer(const Connection& conn, const OdbcTable& table, std::vector<Value>& params)
        : sql::Renderer(params), conn_(conn), server_(conn.server()), table_(table) {}

    std::string Column(int c) const override { return conn_.QuoteName(table_.info.columns[size_t(c)].name); }

private:
    // The text compared, grouped and ordered without regard to case.
    std::string Folded(const std::string& x) const override {
        switch (server_) {
            case Server::Sqlite: return x + " COLLATE NOCASE";
            case Server::PostgreSql: return "lower(" + x + " COLLATE \"C\")";
            case Server::MariaDb:
            case Server::MySql: {
                // REPLACE matches bytes under the binary collation, so only "A".."Z" change.
                std::string out = Binary(x);
                for (char c = 'A'; c <= 'Z'; ++c)
                    out = "REPLACE(" + out + ",'" + c + "','" + char(c - 'A' + 'a') + "')";
                return out;
            }
            case Server::Generic: break;
        }
        return "lower(" + x + ")";
    }

    // The text in byte order, for the spelling a case-insensitive group shows; on MariaDB and
    // MySQL also with trailing blanks counted, and in utf8mb4 whatever the column's own set.
    std::string Binary(const std::string& x) const override {
        switch (server_) {
            case Server::Sqlite: return x + " COLLATE BINARY";
            case Server::PostgreSql: return x + " COLLATE \"C\"";
            case Server::MariaDb: return "CONVERT(" + x + " USING utf8mb4) COLLATE utf8mb4_nopad_bin";
            case Server::MySql: return "CONVERT(" + x + " USING utf8mb4) COLLATE utf8mb4_0900_bin";
            case Server::Generic: break;
        }
        return x;
    }

    std::string Direction(bool descending) const override {
        // Jet puts Null first going up, so last going down; PostgreSQL's default is the reverse.
        if (server_ == Server::PostgreSql) return descending ? " DESC NULLS LAST" : " NULLS FIRST";
        return descending ? " DESC" : "";
    }

    std::string Truth(const BoundExpr& e) {
        const bool native = e.kind == BoundExpr::Kind::Column && table_.extra[size_t(e.column)].nativeBoolean;
        return native ? Expr(e) : "(" + Expr(e) + "<>0)";
    }

    // The Boolean as Jet's number: -1 True, 0 False; a Null is 0 (nullAsNo) or stays Null.
    std::string JetBoolean(const BoundExpr& e, bool nullAsNo) {
        std::string truth = Truth(e);
        if (nullAsNo) return "(CASE WHEN " + truth + " THEN -1 ELSE 0 END)";
        return "(CASE WHEN " + truth + " THEN -1 WHEN NOT " + truth + " THEN 0 END)";
    }

    std::string BooleanKey(const BoundExpr& e) override { return JetBoolean(e, false); }

    // A literal's marker, which says its type itself where the server would otherwise take the
    // other side's type for it, in the server's own name for the type.
    std::string Param(const Value& v) override {
        params_.push_back(v);
        const std::string& type = conn_.paramTypes().Of(v.kind());
        return type.empty() ? "?" : "CAST(? AS " + type + ")";
    }

    std::string Aggregate(const BoundExpr& e) override {
        const BoundExpr& arg = e.args[0];
        std::string a = Column(arg.column);
        if (sql::IsJetBoolean(arg) && e.fn != sql::AggregateFn::Count) a = JetBoolean(arg, false);
        switch (e.fn) {
            case sql::AggregateFn::Count: return "count(" + a + ")";
            case sql::AggregateFn::Sum: return "sum(" + a + ")";
            case sql::AggregateFn::Avg: return "avg(" + a + ")";
            case sql::AggregateFn::Max:
            case sql::AggregateFn::Min: {
                const bool max = e.fn == sql::AggregateFn::Max;
                if (!sql::IsCaseInsensitive(arg)) return (max ? "max(" : "min(") + a + ")";
                if (server_ == Server::PostgreSql) {
                    // The extreme under the case-insensitive order, shown in a spelling it has.
                    const char* dir = max ? " DESC" : "";
                    return "(array_agg(" + a + " ORDER BY " + Folded(a) + dir + ", " + Binary(a) + dir +
                           ") FILTER (WHERE " + a + " IS NOT NULL))[1]";
                }
                if (server_ == Server::Sqlite) return (max ? "max(" : "min(") + a + " COLLATE NOCASE)";
                if (MySqlFamily(server_)) {
                    // The extreme of folded text, a zero byte and the spelling, of which the
                    // spelling is the second half: folding keeps the number of characters.
                    const std::string m = std::string(max ? "max(" : "min(") + "CONCAT(" + Folded(a) +
                                          ", CHAR(0 USING utf8mb4), " + Binary(a) + "))";
                    return "SUBSTRING(" + m + ", (CHAR_LENGTH(" + m + ") - 1) DIV 2 + 2)";
                }
                return (max ? "max(" : "min(") + a + ")";
            }
        }
        return "NULL";
    }

    std::string Compare(const BoundExpr& e) override {
        const BoundExpr& l = e.args[0];
        const BoundExpr& r = e.args[1];
        std::string left, right;
        switch (e.mode) {
            case sql::CompareMode::Boolean:
                left = JetBoolean(l, true);
                right = Expr(r);
                break;
            case sql::CompareMode::Text:
                left = Folded(Expr(l));
                right = Folded(Expr(r));
                break;
            case sql::CompareMode::Date:
                if (server_ == Server::Sqlite) {
                    // Dates are stored as texts there (a number is taken as a serial already).
                    std::string x = Expr(l);
                    left = "(CASE WHEN typeof(" + x + ") IN ('integer','real') THEN " + x + " ELSE julianday(" + x +
                           ") - 2415018.5 END)";
                    right = Expr(r);
                } else {
                    // A server date compares with a date: the serial goes in as a timestamp.
                    left = Expr(l);
                    right = r.kind == BoundExpr::Kind::Literal && r.literal.IsNumeric()
                                ? Param(Value(Date{r.literal.ToDouble()}))
                                : Expr(r);
                }
                break;
            case sql::CompareMode::Single:
                if (r.kind == BoundExpr::Kind::Literal && r.literal.IsNumeric()) return SingleCompare(e);
                left = Expr(l);
                right = Expr(r);
                break;
            default:
                left = Expr(l);
                right = Expr(r);
                break;
        }
        return "(" + left + " " + sql::CompareOpText(e.op) + " " + right + ")";
    }

    // A Single column is seen at single precision, but a server may hold its values with more
    // digits (SQLite keeps a double). Rounding a double to the literal's Single f is the same as
    // lying between the midpoints to f's neighbours; a midpoint itself rounds to the neighbour
    // with the even last bit. So the comparison becomes one on bounds computed here.
    std::string SingleCompare(const BoundExpr& e) {
        const float f = float(e.args[1].literal.ToDouble());
        const double lo = (double(f) + double(std::nextafter(f, -INFINITY))) / 2;
        const double hi = (double(f) + double(std::nextafter(f, INFINITY))) / 2;
        uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        const bool even = (bits & 1) == 0;  // then both midpoints round to f itself
        const std::string x = Expr(e.args[0]);
        // Each marker is made in its own statement: the parameters must follow the text's order.
        auto cmp = [&](const char* op, double bound) { return x + " " + op + " " + Param(Value(bound)); };
        std::string above, below;
        switch (e.op) {
            case sql::CompareOp::Eq:
            case sql::CompareOp::Ne:
                above = cmp(even ? ">=" : ">", lo);
                below = cmp(even ? "<=" : "<", hi);
                return e.op == sql::CompareOp::Eq ? "(" + above + " AND " + below + ")"
                                                  : "(NOT (" + above + " AND " + below + "))";
            case sql::CompareOp::Lt: return "(" + cmp(even ? "<" : "<=", lo) + ")";
            case sql::CompareOp::Ge: return "(" + cmp(even ? ">=" : ">", lo) + ")";
            case sql::CompareOp::Le: return "(" + cmp(even ? "<=" : "<", hi) + ")";
            case sql::CompareOp::Gt: return "(" + cmp(even ? ">" : ">=", hi) + ")";
        }
        return "NULL";
    }

    const Connection& conn_;
    Server server_;
    const OdbcTable& table_;
};

}  // namespace

std::string TableName(const Connection& conn, const OdbcTable& table) {
    std::string name = conn.QuoteName(table.info.name);
    return table.schema.empty() ? name : conn.QuoteName(table.schema) + "." + name;
}

Rendered RenderSelect(const Connection& conn, const OdbcTable& table, const sql::BoundSelect& q) {
    Rendered out;
    Renderer r(conn, table, out.params);
    out.sql = r.SelectList(q);
    out.sql += " FROM " + TableName(conn, table);
    if (q.where) out.sql += " WHERE " + r.Expr(*q.where);
    out.sql += r.GroupBy(q);
    out.sql += r.OrderBy(q);
    return out;
}

std::string RenderCondition(const Connection& conn, const OdbcTable& table, const sql::BoundExpr& e,
                            std::vector<Value>& params) {
    return Renderer(conn, table, params).Expr(e);
}

std::string ColumnTypeName(Server server, FieldType type, int32_t size) {
    const int32_t textSize = size > 0 ? size : 255;
    if (server == Server::Sqlite) return DeclaredTypeFor(type, size);  // the file back end's own names
    if (MySqlFamily(server)) {
        // A row holds at most 64 KB there, so a Memo is a TEXT type (kept outside the row); REAL
        // would be a double and TIMESTAMP ends in 2038. Texts are utf8mb4 whatever the table's
        // set, so that no character is lost.
        switch (type) {
            case dbBoolean: return "BIT(1)";
            case dbByte: return "TINYINT UNSIGNED";
            case dbInteger: return "SMALLINT";
            case dbLong: return "INT";
            case dbCurrency: return "DECIMAL(19,4)";
            case dbSingle: return "FLOAT";
            case dbDouble: return "DOUBLE";
            case dbDate: return "DATETIME";
            case dbText: return "VARCHAR(" + std::to_string(textSize) + ") CHARACTER SET utf8mb4";
            case dbMemo: return "LONGTEXT CHARACTER SET utf8mb4";
            case dbBinary: return "VARBINARY(" + std::to_string(textSize) + ")";
            case dbLongBinary: return "LONGBLOB";
        }
    }
    const bool pg = server == Server::PostgreSql;
    switch (type) {
        case dbBoolean: return pg ? "boolean" : "BIT";
        case dbByte:
        case dbInteger: return "SMALLINT";
        case dbLong: return "INTEGER";
        case dbCurrency: return "DECIMAL(19,4)";
        case dbSingle: return "REAL";
        case dbDouble: return "DOUBLE PRECISION";
        case dbDate: return "TIMESTAMP";
        case dbText: return "VARCHAR(" + std::to_string(textSize) + ")";
        case dbMemo: return pg ? "text" : "VARCHAR(8000)";
        case dbBinary:
        case dbLongBinary: return pg ? "bytea" : "VARBINARY(8000)";
    }
    return "VARCHAR(255)";
}

}  // namespace db::odbc

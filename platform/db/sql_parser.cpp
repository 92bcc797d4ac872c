// Tokenizer and recursive-descent parser for the Jet SQL subset: SELECT (DISTINCT, *, the
// aggregates Count/Sum/Max/Min/Avg, INTO ... IN, WHERE with And/Or/Not, comparisons, Is [Not]
// Null, GROUP BY, ORDER BY), CREATE TABLE, ALTER TABLE ... ADD [COLUMN], DROP TABLE, INSERT,
// UPDATE and DELETE. Every failure names the token where the text stopped making sense.
#include "platform/db/sql_parser.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace db::sql {
namespace {

enum class Tok : uint8_t { End, Name, Bracketed, Number, Text, Symbol };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // name without brackets, text without quotes, symbol, number as written
    size_t pos = 0;
    size_t end = 0;    // one past the token in the statement
};

bool IsNameStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80; }
bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsNoCase(const std::string& a, const char* b) { return SameName(a, b); }

const char* const kReserved[] = {
    "SELECT", "DISTINCT", "FROM", "WHERE", "AND", "OR", "NOT", "IS", "NULL", "GROUP", "ORDER", "BY",
    "AS", "IN", "INTO", "YES", "NO", "TRUE", "FALSE", "ASC", "DESC", "HAVING", "SET", "VALUES",
};

bool IsReserved(const std::string& word) {
    for (const char* r : kReserved)
        if (EqualsNoCase(word, r)) return true;
    return false;
}

class Parser {
public:
    explicit Parser(const std::string& text) : src_(text) { Tokenize(); }

    Statement ParseStatement() {
        const Token& t = Peek();
        Statement result;
        if (IsWord(t, "SELECT")) result = ParseSelectBody();
        else if (IsWord(t, "CREATE")) result = ParseCreate();
        else if (IsWord(t, "ALTER")) result = ParseAlter();
        else if (IsWord(t, "DROP")) result = ParseDrop();
        else if (IsWord(t, "INSERT")) result = ParseInsert();
        else if (IsWord(t, "UPDATE")) result = ParseUpdate();
        else if (IsWord(t, "DELETE")) result = ParseDelete();
        else
            throw Error(errnum::kInvalidSql,
                        "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
        if (IsSymbol(Peek(), ";")) Next();
        if (Peek().kind != Tok::End) Fail(Peek());
        return result;
    }

private:
    // ---- tokens ----
    void Tokenize() {
        size_t i = 0;
        const size_t n = src_.size();
        while (true) {
            while (i < n && (src_[i] == ' ' || src_[i] == '\t' || src_[i] == '\r' || src_[i] == '\n')) ++i;
            Token t;
            t.pos = i;
            if (i >= n) {
                t.kind = Tok::End;
                t.end = n;
                toks_.push_back(t);
                return;
            }
            char c = src_[i];
            if (IsNameStart((unsigned char)c)) {
                size_t j = i;
                while (j < n && IsNameChar((unsigned char)src_[j])) ++j;
                t.kind = Tok::Name;
                t.text = src_.substr(i, j - i);
                i = j;
            } else if (c == '[') {
                size_t close = src_.find(']', i + 1);
                if (close == std::string::npos)
                    Fail(i, fmt::format("the name that begins at '{}' has no closing ']'", src_.substr(i, 20)));
                if (close == i + 1) Fail(i, "'[]' is an empty name");
                t.kind = Tok::Bracketed;
                t.text = src_.substr(i + 1, close - i - 1);
                i = close + 1;
            } else if (c == '"' || c == '\'') {
                std::string value;
                size_t j = i + 1;
                while (true) {
                    if (j >= n) Fail(i, fmt::format("the text that begins at '{}' has no closing {}", src_.substr(i, 20), c));
                    if (src_[j] == c) {
                        if (j + 1 < n && src_[j + 1] == c) {
                            value += c;
                            j += 2;
                            continue;
                        }
                        ++j;
                        break;
                    }
                    value += src_[j++];
                }
                t.kind = Tok::Text;
                t.text = std::move(value);
                i = j;
            } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(src_[i + 1]))) {
                size_t j = i;
                while (j < n && IsDigit(src_[j])) ++j;
                if (j < n && src_[j] == '.') {
                    ++j;
                    while (j < n && IsDigit(src_[j])) ++j;
                }
                if (j < n && (src_[j] == 'E' || src_[j] == 'e')) {
                    size_t k = j + 1;
                    if (k < n && (src_[k] == '+' || src_[k] == '-')) ++k;
                    if (k < n && IsDigit(src_[k])) {
                        while (k < n && IsDigit(src_[k])) ++k;
                        j = k;
                    }
                }
                // A number run straight into letters ("2ndValue") is not a name: stop here.
                if (j < n && IsNameChar((unsigned char)src_[j]))
                    Fail(i, fmt::format("'{}' is neither a number nor a name (a name that begins with a "
                                        "digit must be in brackets)",
                                        WordAt(i)));
                t.kind = Tok::Number;
                t.text = src_.substr(i, j - i);
                i = j;
            } else {
                static const char* const two[] = {"<>", "<=", ">="};
                t.kind = Tok::Symbol;
                bool found = false;
                for (const char* s : two)
                    if (src_.compare(i, 2, s) == 0) {
                        t.text = s;
                        i += 2;
                        found = true;
                        break;
                    }
                if (!found) {
                    if (std::string("=<>(),*;.-+").find(c) == std::string::npos)
                        Fail(i, fmt::format("unexpected '{}'", c));
                    t.text = std::string(1, c);
                    ++i;
                }
            }
            t.end = i;
            toks_.push_back(std::move(t));
        }
    }

    std::string WordAt(size_t i) const {
        size_t j = i;
        while (j < src_.size() && src_[j] != ' ' && src_[j] != ',' && src_[j] != ')') ++j;
        return src_.substr(i, j - i);
    }

    const Token& Peek(size_t ahead = 0) const {
        size_t k = std::min(at_ + ahead, toks_.size() - 1);
        return toks_[k];
    }
    const Token& Next() {
        const Token& t = toks_[at_];
        if (at_ + 1 < toks_.size()) ++at_;
        return t;
    }
    size_t LastEnd() const { return at_ == 0 ? 0 : toks_[at_ - 1].end; }

    static bool IsWord(const Token& t, const char* w) { return t.kind == Tok::Name && EqualsNoCase(t.text, w); }
    static bool IsSymbol(const Token& t, const char* s) { return t.kind == Tok::Symbol && t.text == s; }

    [[noreturn]] void Fail(size_t pos, const std::string& what) const {
        (void)pos;
        throw Error(errnum::kSyntaxError, fmt::format("Syntax error in query expression '{}': {}.", src_, what));
    }
    [[noreturn]] void Fail(const Token& t) const {
        if (t.kind == Tok::End) Fail(t.pos, "the text ends too soon");
        std::string shown = src_.substr(t.pos, t.end - t.pos);
        Fail(t.pos, fmt::format("unexpected '{}'", shown));
    }

    // Parentheses, Not and function calls nest by recursion, so a text nested without end would
    // exhaust the stack; past a depth no query needs, it is refused instead.
    static constexpr int kMaxNesting = 128;
    class Nesting {
    public:
        explicit Nesting(Parser& p) : p_(p) {
            if (++p_.depth_ > kMaxNesting)
                throw Error(errnum::kQueryTooComplex,
                            fmt::format("Query is too complex: '{}...' nests parentheses, Not or functions more "
                                        "than {} levels deep.",
                                        p_.src_.substr(0, 40), kMaxNesting));
        }
        ~Nesting() { --p_.depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        Parser& p_;
    };

    void ExpectWord(const char* w) {
        if (!IsWord(Peek(), w)) Fail(Peek());
        Next();
    }
    void ExpectSymbol(const char* s) {
        if (!IsSymbol(Peek(), s)) Fail(Peek());
        Next();
    }

    // A table or column name: bare (not a reserved word) or bracketed.
    Name ParseName() {
        const Token& t = Peek();
        if (t.kind == Tok::Bracketed) {
            Next();
            return {t.text, true, t.pos};
        }
        if (t.kind == Tok::Name && !IsReserved(t.text)) {
            Next();
            return {t.text, false, t.pos};
        }
        Fail(t);
    }

    TableRef ParseTableRef() {
        TableRef ref;
        ref.name = ParseName();
        if (IsWord(Peek(), "IN")) {
            Next();
            if (Peek().kind != Tok::Text) Fail(Peek());
            ref.database = Next().text;
        }
        return ref;
    }

    // ---- expressions ----
    Expr ParseCondition() { return ParseOr(); }

    Expr Combine(Expr::Kind kind, Expr first, size_t start, Expr (Parser::*next)(), const char* word) {
        if (!IsWord(Peek(), word)) return first;
        Expr e;
        e.kind = kind;
        e.args.push_back(std::move(first));
        while (IsWord(Peek(), word)) {
            Next();
            e.args.push_back((this->*next)());
        }
        e.text = src_.substr(start, LastEnd() - start);
        return e;
    }

    Expr ParseOr() {
        size_t start = Peek().pos;
        return Combine(Expr::Kind::Or, ParseAnd(), start, &Parser::ParseAnd, "OR");
    }
    Expr ParseAnd() {
        size_t start = Peek().pos;
        return Combine(Expr::Kind::And, ParseNot(), start, &Parser::ParseNot, "AND");
    }
    Expr ParseNot() {
        if (IsWord(Peek(), "NOT")) {
            size_t start = Next().pos;
            Nesting nested(*this);
            Expr e;
            e.kind = Expr::Kind::Not;
            e.args.push_back(ParseNot());
            e.text = src_.substr(start, LastEnd() - start);
            return e;
        }
        return ParsePredicate();
    }

    Expr ParsePredicate() {
        size_t start = Peek().pos;
        Expr left = ParseOperand();
        const Token& t = Peek();
        if (t.kind == Tok::Symbol) {
            static const std::pair<const char*, CompareOp> ops[] = {
                {"=", CompareOp::Eq}, {"<>", CompareOp::Ne}, {"<", CompareOp::Lt},
                {">", CompareOp::Gt}, {"<=", CompareOp::Le}, {">=", CompareOp::Ge},
            };
            for (const auto& [sym, op] : ops)
                if (t.text == sym) {
                    Next();
                    Expr e;
                    e.kind = Expr::Kind::Compare;
                    e.op = op;
                    e.args.push_back(std::move(left));
                    e.args.push_back(ParseOperand());
                    e.text = src_.substr(start, LastEnd() - start);
                    return e;
                }
        }
        if (IsWord(t, "IS")) {
            Next();
            bool negated = false;
            if (IsWord(Peek(), "NOT")) {
                Next();
                negated = true;
            }
            ExpectWord("NULL");
            Expr e;
            e.kind = negated ? Expr::Kind::IsNotNull : Expr::Kind::IsNull;
            e.args.push_back(std::move(left));
            e.text = src_.substr(start, LastEnd() - start);
            return e;
        }
        return left;
    }

    Expr ParseOperand() {
        const Token& t = Peek();
        size_t start = t.pos;
        Expr e;
        if (IsSymbol(t, "(")) {
            Next();
            Nesting nested(*this);
            e = ParseCondition();
            ExpectSymbol(")");
            e.text = src_.substr(start, LastEnd() - start);
            return e;
        }
        if (IsSymbol(t, "-") || IsSymbol(t, "+") || t.kind == Tok::Number) {
            bool negative = false;
            if (t.kind == Tok::Symbol) {
                negative = t.text == "-";
                Next();
                if (Peek().kind != Tok::Number) Fail(Peek());
            }
            e.kind = Expr::Kind::Literal;
            e.literal = NumberValue(Next().text, negative);
            e.text = src_.substr(start, LastEnd() - start);
            return e;
        }
        if (t.kind == Tok::Text) {
            e.kind = Expr::Kind::Literal;
            e.literal = Value(Next().text);
            e.text = src_.substr(start, LastEnd() - start);
            return e;
        }
        if (t.kind == Tok::Name) {
            if (IsWord(t, "YES") || IsWord(t, "TRUE") || IsWord(t, "NO") || IsWord(t, "FALSE")) {
                e.kind = Expr::Kind::Literal;
                e.literal = Value(IsWord(t, "YES") || IsWord(t, "TRUE"));
                Next();
                e.text = src_.substr(start, LastEnd() - start);
                return e;
            }
            if (IsWord(t, "NULL")) {
                Next();
                e.kind = Expr::Kind::Null;
                e.text = "Null";
                return e;
            }
            if (IsSymbol(Peek(1), "(")) return ParseAggregate();
        }
        e.kind = Expr::Kind::Column;
        e.name = ParseName();
        if (IsSymbol(Peek(), ".")) {
            Next();
            e.qualifier = e.name;
            e.name = ParseName();
        }
        e.text = src_.substr(start, LastEnd() - start);
        return e;
    }

    Expr ParseAggregate() {
        const Token& fnTok = Next();
        size_t start = fnTok.pos;
        static const std::pair<const char*, AggregateFn> fns[] = {
            {"COUNT", AggregateFn::Count}, {"SUM", AggregateFn::Sum}, {"MAX", AggregateFn::Max},
            {"MIN", AggregateFn::Min},     {"AVG", AggregateFn::Avg},
        };
        Expr e;
        e.kind = Expr::Kind::Aggregate;
        bool known = false;
        for (const auto& [name, fn] : fns)
            if (EqualsNoCase(fnTok.text, name)) {
                e.fn = fn;
                known = true;
            }
        if (!known) throw Error(3085, fmt::format("Undefined function '{}' in expression.", fnTok.text));
        ExpectSymbol("(");
        Nesting nested(*this);
        if (IsSymbol(Peek(), "*")) {
            if (e.fn != AggregateFn::Count) Fail(Peek());
            Next();
            e.star = true;
        } else {
            Expr arg = ParseOperand();
            if (arg.kind != Expr::Kind::Column) Fail(arg.text.empty() ? Peek().pos : start, fmt::format("'{}' is not a field", arg.text));
            e.args.push_back(std::move(arg));
        }
        ExpectSymbol(")");
        e.text = src_.substr(start, LastEnd() - start);
        return e;
    }

    Value NumberValue(const std::string& digits, bool negative) const {
        bool whole = digits.find_first_of(".eE") == std::string::npos;
        if (whole && digits.size() <= 10) {
            int64_t v = std::strtoll(digits.c_str(), nullptr, 10);
            if (negative) v = -v;
            if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
                return Value(int32_t(v));
        }
        errno = 0;
        double d = std::strtod(digits.c_str(), nullptr);
        if (errno == ERANGE && (d > 1 || d < -1)) Fail(0, fmt::format("the number '{}' is too large", digits));
        return Value(negative ? -d : d);
    }

    // ---- SELECT ----
    Select ParseSelectBody() {
        ExpectWord("SELECT");
        Select s;
        if (IsWord(Peek(), "DISTINCT")) {
            Next();
            s.distinct = true;
        } else if (IsWord(Peek(), "ALL")) {
            Next();
        }
        while (true) {
            SelectItem item;
            if (IsSymbol(Peek(), "*")) {
                Next();
                item.star = true;
            } else {
                item.expr = ParseCondition();
                if (IsWord(Peek(), "AS")) {
                    Next();
                    item.alias = ParseName().text;
                }
            }
            s.items.push_back(std::move(item));
            if (!IsSymbol(Peek(), ",")) break;
            Next();
        }
        if (IsWord(Peek(), "INTO")) {
            Next();
            s.into = ParseTableRef();
        }
        ExpectWord("FROM");
        s.from = ParseTableRef();
        if (IsWord(Peek(), "WHERE")) {
            Next();
            s.where = ParseCondition();
        }
        if (IsWord(Peek(), "GROUP")) {
            Next();
            ExpectWord("BY");
            while (true) {
                s.groupBy.push_back(ParseOperand());
                if (!IsSymbol(Peek(), ",")) break;
                Next();
            }
        }
        if (IsWord(Peek(), "ORDER")) {
            Next();
            ExpectWord("BY");
            while (true) {
                OrderItem o;
                o.expr = ParseOperand();
                if (IsWord(Peek(), "DESC")) {
                    Next();
                    o.descending = true;
                } else if (IsWord(Peek(), "ASC")) {
                    Next();
                }
                s.orderBy.push_back(std::move(o));
                if (!IsSymbol(Peek(), ",")) break;
                Next();
            }
        }
        return s;
    }

    // ---- DDL ----
    ColumnDef ParseColumnDef() {
        ColumnDef c;
        c.name = ParseName();
        const Token& t = Peek();
        if (t.kind != Tok::Name) Fail(t);
        static const std::pair<const char*, FieldType> types[] = {
            {"TEXT", dbText},       {"CHAR", dbText},       {"VARCHAR", dbText},    {"CHARACTER", dbText},
            {"STRING", dbText},     {"MEMO", dbMemo},       {"LONGTEXT", dbMemo},   {"LONGCHAR", dbMemo},
            {"NOTE", dbMemo},       {"YESNO", dbBoolean},   {"BIT", dbBoolean},     {"LOGICAL", dbBoolean},
            {"BOOLEAN", dbBoolean}, {"BYTE", dbByte},       {"TINYINT", dbByte},    {"SHORT", dbInteger},
            {"SMALLINT", dbInteger}, {"INTEGER2", dbInteger}, {"LONG", dbLong},      {"INTEGER", dbLong},
            {"INT", dbLong},        {"INTEGER4", dbLong},   {"COUNTER", dbLong},    {"AUTOINCREMENT", dbLong},
            {"SINGLE", dbSingle},   {"REAL", dbSingle},     {"FLOAT4", dbSingle},   {"IEEESINGLE", dbSingle},
            {"DOUBLE", dbDouble},   {"FLOAT", dbDouble},    {"FLOAT8", dbDouble},   {"NUMBER", dbDouble},
            {"NUMERIC", dbDouble},  {"IEEEDOUBLE", dbDouble}, {"CURRENCY", dbCurrency}, {"MONEY", dbCurrency},
            {"DATETIME", dbDate},   {"DATE", dbDate},       {"TIME", dbDate},       {"TIMESTAMP", dbDate},
            {"BINARY", dbBinary},   {"VARBINARY", dbBinary}, {"LONGBINARY", dbLongBinary},
            {"OLEOBJECT", dbLongBinary}, {"IMAGE", dbLongBinary},
        };
        bool known = false;
        for (const auto& [name, type] : types)
            if (EqualsNoCase(t.text, name)) {
                c.type = type;
                known = true;
                break;
            }
        if (!known) throw Error(3292, fmt::format("Syntax error in field definition: unknown type '{}'.", t.text));
        Next();
        if (IsSymbol(Peek(), "(")) {
            Next();
            if (Peek().kind != Tok::Number) Fail(Peek());
            c.size = int32_t(std::strtol(Next().text.c_str(), nullptr, 10));
            if (IsSymbol(Peek(), ",")) {  // NUMERIC(p, s)
                Next();
                if (Peek().kind != Tok::Number) Fail(Peek());
                Next();
            }
            ExpectSymbol(")");
        }
        if (c.type == dbText && c.size == 0) c.size = 255;
        if (IsWord(Peek(), "NOT")) {
            Next();
            ExpectWord("NULL");
        }
        return c;
    }

    CreateTable ParseCreate() {
        ExpectWord("CREATE");
        ExpectWord("TABLE");
        CreateTable c;
        c.table = ParseName();
        ExpectSymbol("(");
        while (true) {
            c.columns.push_back(ParseColumnDef());
            if (!IsSymbol(Peek(), ",")) break;
            Next();
        }
        ExpectSymbol(")");
        return c;
    }

    AlterTableAdd ParseAlter() {
        ExpectWord("ALTER");
        ExpectWord("TABLE");
        AlterTableAdd a;
        a.table = ParseName();
        ExpectWord("ADD");
        if (IsWord(Peek(), "COLUMN")) Next();
        a.column = ParseColumnDef();
        return a;
    }

    DropTable ParseDrop() {
        ExpectWord("DROP");
        ExpectWord("TABLE");
        return DropTable{ParseName()};
    }

    Insert ParseInsert() {
        ExpectWord("INSERT");
        ExpectWord("INTO");
        Insert ins;
        ins.table = ParseTableRef();
        if (IsSymbol(Peek(), "(")) {
            Next();
            while (true) {
                ins.columns.push_back(ParseName());
                if (!IsSymbol(Peek(), ",")) break;
                Next();
            }
            ExpectSymbol(")");
        }
        if (IsWord(Peek(), "VALUES")) {
            Next();
            ExpectSymbol("(");
            while (true) {
                ins.values.push_back(ParseValueExpr());
                if (!IsSymbol(Peek(), ",")) break;
                Next();
            }
            ExpectSymbol(")");
        } else if (IsWord(Peek(), "SELECT")) {
            ins.select = ParseSelectBody();
        } else {
            Fail(Peek());
        }
        return ins;
    }

    // A literal or Null: the values of INSERT ... VALUES and UPDATE ... SET.
    Expr ParseValueExpr() {
        const Token& t = Peek();
        Expr e = ParseOperand();
        if (e.kind != Expr::Kind::Literal && e.kind != Expr::Kind::Null) Fail(t);
        return e;
    }

    Update ParseUpdate() {
        ExpectWord("UPDATE");
        Update u;
        u.table = ParseName();
        ExpectWord("SET");
        while (true) {
            Assignment a;
            a.column = ParseName();
            ExpectSymbol("=");
            a.value = ParseValueExpr();
            u.set.push_back(std::move(a));
            if (!IsSymbol(Peek(), ",")) break;
            Next();
        }
        if (IsWord(Peek(), "WHERE")) {
            Next();
            u.where = ParseCondition();
        }
        return u;
    }

    Delete ParseDelete() {
        ExpectWord("DELETE");
        if (IsSymbol(Peek(), "*")) Next();
        ExpectWord("FROM");
        Delete d;
        d.table = ParseName();
        if (IsWord(Peek(), "WHERE")) {
            Next();
            d.where = ParseCondition();
        }
        return d;
    }

    const std::string& src_;
    std::vector<Token> toks_;
    size_t at_ = 0;
    int depth_ = 0;  // parentheses and Not open around the current token
};

}  // namespace

Statement ParseStatement(const std::string& text) { return Parser(text).ParseStatement(); }

Select ParseSelect(const std::string& text) {
    Statement s = ParseStatement(text);
    if (auto* select = std::get_if<Select>(&s)) return std::move(*select);
    throw Error(errnum::kInvalidSql, fmt::format("Invalid SQL statement; expected 'SELECT': '{}'.", text));
}

Select ParseRecordsetSource(const std::string& text) {
    size_t start = text.find_first_not_of(" \t\r\n");
    size_t end = start;
    while (end < text.size() && IsNameStart((unsigned char)text[end])) ++end;
    const std::string word = start == std::string::npos ? "" : text.substr(start, end - start);
    bool statement = start != std::string::npos && text[start] == '(';
    for (const char* w : {"SELECT", "INSERT", "UPDATE", "DELETE", "CREATE", "ALTER", "DROP", "TRANSFORM", "PARAMETERS"})
        statement = statement || EqualsNoCase(word, w);
    if (!statement) {
        Select all;
        SelectItem star;
        star.star = true;
        all.items.push_back(std::move(star));
        size_t last = text.find_last_not_of(" \t\r\n");
        all.from.name.text = start == std::string::npos ? "" : text.substr(start, last - start + 1);
        return all;
    }
    Statement st = ParseStatement(text);
    auto* s = std::get_if<Select>(&st);
    if (!s || s->into) throw Error(3219, fmt::format("Invalid operation: '{}' returns no rows.", text));
    return std::move(*s);
}

}  // namespace db::sql

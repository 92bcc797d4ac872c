// Tokenizer and recursive-descent parser for the Jet SQL subset: SELECT (DISTINCT, *, the
// aggregates Count/Sum/Max/Min/Avg, INTO ... IN, WHERE with And/Or/Not, comparisons, Is [Not]
// Null, GROUP BY, ORDER BY), CREATE TABLE, ALTER TABLE ... ADD [COLUMN], DROP TABLE, INSERT,
// UPDATE and DELETE. Every failure names the token where the text stopped making sense.
#include "platform/db/sql_parser.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "platform/db/column_types.h"
#include "platform/db/sql_names.h"

namespace db::sql {
namespace {

enum class Tok : uint8_t { End, Name, Bracketed, Number, Text, Symbol, Date };

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

// A bare word that is a keyword cannot be a name; the layer keeps one list of them.
bool IsReserved(const std::string& word) { return IsSqlReservedWord(word); }

// The grammar read: the statements the engines and programs send, or the select query of an
// Access file (Jet's expressions, joins, DISTINCTROW, TOP, HAVING, subqueries).
enum class Grammar : uint8_t { Statements, StoredQuery };

class Parser {
public:
    explicit Parser(const std::string& text, Grammar grammar = Grammar::Statements)
        : src_(text), stored_(grammar == Grammar::StoredQuery) {
        Tokenize();
    }

    // A stored select query: one statement, a ";" allowed only at its very end.
    Select ParseStoredSelect() {
        if (!IsWord(Peek(), "SELECT")) Fail(Peek());
        Select s = ParseSelectBody();
        if (IsSymbol(Peek(), ";")) {
            if (Peek(1).kind != Tok::End) Fail(Peek().pos, "a ';' ends the statement before the text ends");
            Next();
        }
        if (Peek().kind != Tok::End) Fail(Peek());
        return s;
    }

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
            } else if (c == '#' && stored_) {
                size_t close = src_.find('#', i + 1);
                if (close == std::string::npos)
                    Fail(i, fmt::format("the date that begins at '{}' has no closing '#'", src_.substr(i, 20)));
                t.kind = Tok::Date;
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
                    const char* marks = stored_ ? "=<>(),*;.-+&/!\\^" : "=<>(),*;.-+";
                    if (std::string(marks).find(c) == std::string::npos)
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
        Expr e = Combine(Expr::Kind::Or, ParseAnd(), start, &Parser::ParseAnd, "OR");
        for (const char* word : {"XOR", "EQV", "IMP"})
            if (stored_ && IsWord(Peek(), word)) Unsupported(fmt::format("\"{}\"", Peek().text));
        return e;
    }
    Expr ParseAnd() {
        size_t start = Peek().pos;
        return Combine(Expr::Kind::And, ParseNot(), start, &Parser::ParseNot, "AND");
    }
    // "IS [NOT] NULL", at its IS: the kind of the test.
    Expr::Kind ParseIsNull() {
        Next();
        bool negated = false;
        if (IsWord(Peek(), "NOT")) {
            Next();
            negated = true;
        }
        ExpectWord("NULL");
        return negated ? Expr::Kind::IsNotNull : Expr::Kind::IsNull;
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
        if (stored_) return StoredPredicate();
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
            Expr e;
            e.kind = ParseIsNull();
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

    // ---- the stored-query grammar's expressions, by Jet's precedence: comparisons, Like,
    // Between, In and Is below "&", which is below + and -, then Mod, then * and / ----
    [[noreturn]] void Unsupported(const std::string& what) const {
        throw Error(errnum::kNotSupported, fmt::format("it uses {}, which cannot be run here", what));
    }

    Expr Finish(Expr e, size_t start) const {
        e.text = src_.substr(start, LastEnd() - start);
        return e;
    }

    std::shared_ptr<Select> ParenthesizedSelect() {
        ExpectSymbol("(");
        Nesting nested(*this);
        if (!IsWord(Peek(), "SELECT")) Fail(Peek());
        auto select = std::make_shared<Select>(ParseSelectBody());
        ExpectSymbol(")");
        return select;
    }

    Expr StoredPredicate() {
        const size_t start = Peek().pos;
        Expr e;
        if (IsWord(Peek(), "EXISTS")) {
            Next();
            e.kind = Expr::Kind::Exists;
            e.subquery = ParenthesizedSelect();
            return Finish(std::move(e), start);
        }
        Expr left = StoredConcat();
        if (IsWord(Peek(), "NOT") && (IsWord(Peek(1), "LIKE") || IsWord(Peek(1), "BETWEEN") || IsWord(Peek(1), "IN"))) {
            Next();
            e.negated = true;
        }
        const Token& t = Peek();
        static const std::pair<const char*, CompareOp> ops[] = {
            {"=", CompareOp::Eq}, {"<>", CompareOp::Ne}, {"<", CompareOp::Lt},
            {">", CompareOp::Gt}, {"<=", CompareOp::Le}, {">=", CompareOp::Ge},
        };
        if (t.kind == Tok::Symbol && !e.negated)
            for (const auto& [sym, op] : ops)
                if (t.text == sym) {
                    Next();
                    e.kind = Expr::Kind::Compare;
                    e.op = op;
                    e.args.push_back(std::move(left));
                    e.args.push_back(StoredConcat());
                    return Finish(std::move(e), start);
                }
        if (IsWord(t, "LIKE")) {
            Next();
            e.kind = Expr::Kind::Like;
            e.args.push_back(std::move(left));
            e.args.push_back(StoredConcat());
        } else if (IsWord(t, "BETWEEN")) {
            Next();
            e.kind = Expr::Kind::Between;
            e.args.push_back(std::move(left));
            e.args.push_back(StoredConcat());
            ExpectWord("AND");
            e.args.push_back(StoredConcat());
        } else if (IsWord(t, "IN")) {
            Next();
            e.args.push_back(std::move(left));
            if (IsSymbol(Peek(), "(") && IsWord(Peek(1), "SELECT")) {
                e.kind = Expr::Kind::InSelect;
                e.subquery = ParenthesizedSelect();
            } else {
                e.kind = Expr::Kind::InList;
                ExpectSymbol("(");
                Nesting nested(*this);
                while (true) {
                    e.args.push_back(ParseCondition());
                    if (!IsSymbol(Peek(), ",")) break;
                    Next();
                }
                ExpectSymbol(")");
            }
        } else if (IsWord(t, "IS") && !e.negated) {
            e.kind = ParseIsNull();
            e.args.push_back(std::move(left));
        } else {
            if (e.negated) Fail(t);
            return left;
        }
        return Finish(std::move(e), start);
    }

    // A run of operands of one precedence level: flat, so that a long run does not nest.
    Expr Chain(Expr::Kind kind, Expr (Parser::*next)(), const std::vector<const char*>& marks) {
        const size_t start = Peek().pos;
        Expr first = (this->*next)();
        auto mark = [&]() -> const char* {
            for (const char* m : marks)
                if (IsSymbol(Peek(), m) || IsWord(Peek(), m)) return m;
            return nullptr;
        };
        if (!mark()) return first;
        Expr e;
        e.kind = kind;
        e.args.push_back(std::move(first));
        while (const char* m = mark()) {
            Next();
            e.ops.push_back(m);
            e.args.push_back((this->*next)());
        }
        return Finish(std::move(e), start);
    }
    Expr StoredConcat() { return Chain(Expr::Kind::Concat, &Parser::StoredAdditive, {"&"}); }
    Expr StoredAdditive() { return Chain(Expr::Kind::Arith, &Parser::StoredMod, {"+", "-"}); }
    Expr StoredMod() { return Chain(Expr::Kind::Arith, &Parser::StoredIntegerDivision, {"MOD"}); }
    Expr StoredIntegerDivision() {
        Expr e = StoredMultiplicative();
        if (IsSymbol(Peek(), "\\")) Unsupported("the operator \"\\\"");
        return e;
    }
    Expr StoredMultiplicative() { return Chain(Expr::Kind::Arith, &Parser::StoredUnary, {"*", "/"}); }

    Expr StoredUnary() {
        const size_t start = Peek().pos;
        if (IsSymbol(Peek(), "+") || IsSymbol(Peek(), "-")) {
            const bool negative = Next().text == "-";
            Nesting nested(*this);
            Expr operand = StoredUnary();
            if (!negative) return operand;
            Expr e;
            e.kind = Expr::Kind::Negate;
            e.args.push_back(std::move(operand));
            return Finish(std::move(e), start);
        }
        Expr e = StoredPrimary();
        if (IsSymbol(Peek(), "^")) Unsupported("the operator \"^\"");
        return e;
    }

    Expr StoredPrimary() {
        const Token& t = Peek();
        const size_t start = t.pos;
        Expr e;
        if (IsSymbol(t, "(")) {
            if (IsWord(Peek(1), "SELECT")) {
                e.kind = Expr::Kind::Subquery;
                e.subquery = ParenthesizedSelect();
                return Finish(std::move(e), start);
            }
            Next();
            Nesting nested(*this);
            e = ParseCondition();
            ExpectSymbol(")");
            return Finish(std::move(e), start);
        }
        if (t.kind == Tok::Number || t.kind == Tok::Text) {
            e.kind = Expr::Kind::Literal;
            e.literal = t.kind == Tok::Number ? NumberValue(t.text, false) : Value(t.text);
            Next();
            return Finish(std::move(e), start);
        }
        if (t.kind == Tok::Date) {
            e.kind = Expr::Kind::Literal;
            e.literal = Value(Date{DateLiteral(t)});
            Next();
            return Finish(std::move(e), start);
        }
        if ((t.kind == Tok::Name || t.kind == Tok::Bracketed) && IsSymbol(Peek(1), "(")) return StoredCall();
        if (t.kind == Tok::Name && (IsWord(t, "YES") || IsWord(t, "TRUE") || IsWord(t, "NO") || IsWord(t, "FALSE") ||
                                    IsWord(t, "NULL")))
            return ParseOperand();
        e.kind = Expr::Kind::Column;
        e.name = ParseName();
        if (IsSymbol(Peek(), ".")) {
            Next();
            e.qualifier = e.name;
            e.name = ParseName();
        }
        if (IsSymbol(Peek(), "!")) {
            while (IsSymbol(Peek(), "!")) {
                Next();
                ParseName();
            }
            e.kind = Expr::Kind::Reference;
        }
        return Finish(std::move(e), start);
    }

    // name(arguments): an aggregate over one expression (Count also over "*"), or a call.
    Expr StoredCall() {
        const Token& fnTok = Next();
        const size_t start = fnTok.pos;
        Expr e;
        e.kind = Expr::Kind::Call;
        e.name = {fnTok.text, fnTok.kind == Tok::Bracketed, fnTok.pos};
        static const std::pair<const char*, AggregateFn> fns[] = {
            {"COUNT", AggregateFn::Count}, {"SUM", AggregateFn::Sum}, {"MAX", AggregateFn::Max},
            {"MIN", AggregateFn::Min},     {"AVG", AggregateFn::Avg},
        };
        for (const auto& [name, fn] : fns)
            if (fnTok.kind == Tok::Name && EqualsNoCase(fnTok.text, name)) {
                e.kind = Expr::Kind::Aggregate;
                e.fn = fn;
            }
        ExpectSymbol("(");
        Nesting nested(*this);
        if (e.kind == Expr::Kind::Aggregate && e.fn == AggregateFn::Count && IsSymbol(Peek(), "*")) {
            Next();
            e.star = true;
        } else if (!IsSymbol(Peek(), ")")) {
            while (true) {
                e.args.push_back(ParseCondition());
                if (!IsSymbol(Peek(), ",")) break;
                Next();
            }
        }
        if (e.kind == Expr::Kind::Aggregate && !e.star && e.args.size() != 1) Fail(Peek());
        ExpectSymbol(")");
        return Finish(std::move(e), start);
    }

    // #m/d/yyyy [h:nn[:ss] [AM|PM]]# or #yyyy-mm-dd [hh:nn[:ss]]#, as a serial.
    double DateLiteral(const Token& t) const {
        const std::string& jet = t.text;
        int m = 0, d = 0, y = 0, h = 0, n = 0, sec = 0, used = 0;
        char ampm[3] = {};
        if (std::sscanf(jet.c_str(), " %d/%d/%d%n", &m, &d, &y, &used) < 3 &&
            std::sscanf(jet.c_str(), " %d-%d-%d%n", &y, &m, &d, &used) < 3)
            Fail(t.pos, fmt::format("#{}# is not a date", jet));
        std::sscanf(jet.c_str() + used, " %d:%d:%d", &h, &n, &sec);
        if (std::sscanf(jet.c_str() + used, "%*[^AaPp]%2s", ampm) == 1) {
            const bool pm = ampm[0] == 'P' || ampm[0] == 'p';
            if (pm && h < 12) h += 12;
            if (!pm && h == 12) h = 0;
        }
        if (y >= 0 && y < 30) y += 2000;
        else if (y >= 30 && y < 100) y += 1900;
        const std::optional<double> serial =
            y < 10000 ? ParseStoredDate(fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", y, m, d, h, n, sec))
                      : std::nullopt;
        if (!serial) Fail(t.pos, fmt::format("#{}# is not a date", jet));
        return *serial;
    }

    // FROM: tables and queries, joined ("(A INNER JOIN B ON ...) LEFT JOIN C ON ...") or listed.
    FromItem StoredJoined() {
        FromItem left = StoredFromPrimary();
        while (true) {
            FromItem::Join join = FromItem::Join::None;
            if (IsWord(Peek(), "INNER")) join = FromItem::Join::Inner;
            else if (IsWord(Peek(), "LEFT")) join = FromItem::Join::Left;
            else if (IsWord(Peek(), "RIGHT")) join = FromItem::Join::Right;
            else return left;
            Next();
            if (join != FromItem::Join::Inner && IsWord(Peek(), "OUTER")) Next();
            ExpectWord("JOIN");
            FromItem joined;
            joined.join = join;
            joined.sides.push_back(std::move(left));
            joined.sides.push_back(StoredFromPrimary());
            ExpectWord("ON");
            joined.on = ParseCondition();
            left = std::move(joined);
        }
    }

    FromItem StoredFromPrimary() {
        if (IsSymbol(Peek(), "(")) {
            Next();
            Nesting nested(*this);
            FromItem inner = StoredJoined();
            ExpectSymbol(")");
            return inner;
        }
        FromItem t;
        t.table = ParseName();
        if (IsWord(Peek(), "AS")) {
            Next();
            t.alias = ParseName().text;
        }
        return t;
    }

    // The first table named, for the parts of the layer that read one table.
    static const Name& FirstTable(const FromItem& f) { return f.join == FromItem::Join::None ? f.table : FirstTable(f.sides[0]); }

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
        } else if (stored_ && IsWord(Peek(), "DISTINCTROW")) {
            Next();
            s.distinctRow = true;
        } else if (IsWord(Peek(), "ALL")) {
            Next();
        }
        if (stored_ && IsWord(Peek(), "TOP")) {
            Next();
            if (Peek().kind != Tok::Number || Peek().text.find_first_not_of("0123456789") != std::string::npos)
                Fail(Peek());
            s.top = Next().text;
            if (IsWord(Peek(), "PERCENT")) {
                Next();
                s.topPercent = true;
            }
        }
        while (true) {
            SelectItem item;
            if (IsSymbol(Peek(), "*")) {
                Next();
                item.star = true;
            } else if (stored_ && (Peek().kind == Tok::Name || Peek().kind == Tok::Bracketed) &&
                       IsSymbol(Peek(1), ".") && IsSymbol(Peek(2), "*")) {
                item.star = true;
                item.starOf = ParseName();
                Next();
                Next();
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
        if (!stored_ && IsWord(Peek(), "INTO")) {
            Next();
            s.into = ParseTableRef();
        }
        ExpectWord("FROM");
        if (stored_) {
            while (true) {
                s.sources.push_back(StoredJoined());
                if (!IsSymbol(Peek(), ",")) break;
                Next();
            }
            s.from.name = FirstTable(s.sources[0]);
        } else {
            s.from = ParseTableRef();
        }
        if (IsWord(Peek(), "WHERE")) {
            Next();
            s.where = ParseCondition();
        }
        // A stored query groups and orders by any expression; the engines' statements by names.
        auto key = [this] { return stored_ ? ParseCondition() : ParseOperand(); };
        if (IsWord(Peek(), "GROUP")) {
            Next();
            ExpectWord("BY");
            while (true) {
                s.groupBy.push_back(key());
                if (!IsSymbol(Peek(), ",")) break;
                Next();
            }
        }
        if (stored_ && IsWord(Peek(), "HAVING")) {
            Next();
            s.having = ParseCondition();
        }
        if (IsWord(Peek(), "ORDER")) {
            Next();
            ExpectWord("BY");
            while (true) {
                OrderItem o;
                o.expr = key();
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
    const bool stored_;
    std::vector<Token> toks_;
    size_t at_ = 0;
    int depth_ = 0;  // parentheses and Not open around the current token
};

}  // namespace

Statement ParseStatement(const std::string& text) { return Parser(text).ParseStatement(); }

Select ParseStoredSelect(const std::string& text) { return Parser(text, Grammar::StoredQuery).ParseStoredSelect(); }

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

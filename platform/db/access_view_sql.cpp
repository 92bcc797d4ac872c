// Jet expressions of a stored query carried over into SQLite, and the SQL functions they call.
// An expression is read into tokens and nested into its parenthesised groups; each level is
// then written out, with "&" turned into a call of jet_concat over its operands. "&" binds less
// tightly than arithmetic and more tightly than comparisons and logic, so its operands are the
// runs of a level between the comparison, logical and clause words and the commas.
#include "platform/db/access_view_sql.h"

#include <fmt/format.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "platform/db/column_types.h"
#include "platform/db/database.h"
#include "platform/db/sqlite_backend.h"
#include "platform/vb/rounding.h"
#include "platform/vb/strings.h"
#include "platform/vb/types.h"

namespace db::access {
namespace {

// A SQLite text literal.
std::string QuoteText(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

struct Token {
    enum class Kind { Word, Name, Text, Date, Number, Mark } kind = Kind::Mark;
    std::string text;  // a name or text without its quotes, a mark as written
};

// The functions a query may call, by upper-cased Jet name, and what the view calls for each.
const std::map<std::string, std::string>& Functions() {
    static const std::map<std::string, std::string> functions{
        {"SUM", "sum"},       {"AVG", "avg"},           {"COUNT", "count"},       {"MIN", "min"},
        {"MAX", "max"},       {"ABS", "abs"},           {"UCASE", "upper"},       {"LCASE", "lower"},
        {"LEN", "length"},    {"TRIM", "trim"},         {"LTRIM", "ltrim"},       {"RTRIM", "rtrim"},
        {"CCUR", "jet_ccur"}, {"CDBL", "jet_cdbl"},     {"CLNG", "jet_clng"},     {"CINT", "jet_cint"},
        {"INT", "jet_int"},   {"FIX", "jet_fix"},       {"YEAR", "jet_year"},     {"MONTH", "jet_month"},
        {"DAY", "jet_day"},   {"IIF", "jet_iif"},       {"LEFT", "jet_left"},     {"RIGHT", "jet_right"},
        {"MID", "jet_mid"},
    };
    return functions;
}

// Words that SQLite reads as Jet does; every other word is a name.
const std::set<std::string>& Keywords() {
    static const std::set<std::string> words{
        "SELECT", "FROM", "WHERE", "GROUP", "BY",    "HAVING", "ORDER", "ASC",    "DESC", "AS",    "AND",
        "OR",     "NOT",  "IS",    "NULL",  "BETWEEN", "IN",   "LIKE",  "EXISTS", "DISTINCT", "INNER",
        "LEFT",   "RIGHT", "OUTER", "JOIN", "ON",   "ALL",    "ANY",   "SOME",
    };
    return words;
}

// The words that end an operand of "&".
const std::set<std::string>& OperandEnds() {
    static const std::set<std::string> words{
        "SELECT", "FROM", "WHERE", "GROUP", "BY", "HAVING", "ORDER", "ASC", "DESC", "AS", "AND", "OR", "NOT",
        "IS", "BETWEEN", "IN", "LIKE", "EXISTS", "DISTINCT", "INNER", "LEFT", "RIGHT", "OUTER", "JOIN", "ON",
        "ALL", "ANY", "SOME", "=", "<>", "<", ">", "<=", ">=", ",",
    };
    return words;
}

class Translator {
public:
    explicit Translator(const StoredQuery& q) : q_(q) {}

    std::string Expression(const std::string& jet) {
        std::vector<Token> tokens = Tokens(jet);
        size_t at = 0;
        const std::string out = Level(tokens, at);
        if (at < tokens.size()) Refuse(fmt::format("a \")\" that opens nothing in {}", jet));
        return out;
    }

    std::vector<std::string> names;  // every name met

    [[noreturn]] void Refuse(const std::string& what) const {
        throw Error(errnum::kNotSupported,
                    fmt::format("The query '{}' cannot be opened: it uses {}, which cannot be run here.", q_.name, what));
    }

private:
    std::vector<Token> Tokens(const std::string& s) {
        std::vector<Token> out;
        auto wordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (c & 0x80); };
        for (size_t i = 0; i < s.size();) {
            const char c = s[i];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '"' || c == '\'') {
                std::string text;
                size_t j = i + 1;
                for (; j < s.size(); ++j) {
                    if (s[j] == c && j + 1 < s.size() && s[j + 1] == c) text += s[++j];
                    else if (s[j] == c) break;
                    else text += s[j];
                }
                out.push_back({Token::Kind::Text, text});
                i = j + 1;
            } else if (c == '[' || c == '#') {
                const size_t close = s.find(c == '[' ? ']' : '#', i + 1);
                if (close == std::string::npos) Refuse(fmt::format("an unclosed \"{}\" in {}", c, s));
                out.push_back({c == '[' ? Token::Kind::Name : Token::Kind::Date, s.substr(i + 1, close - i - 1)});
                i = close + 1;
            } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                       (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
                size_t j = i;
                while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
                if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
                    ++j;
                    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
                    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
                }
                out.push_back({Token::Kind::Number, s.substr(i, j - i)});
                i = j;
            } else if (wordChar(c)) {
                size_t j = i;
                while (j < s.size() && wordChar(s[j])) ++j;
                out.push_back({Token::Kind::Word, s.substr(i, j - i)});
                i = j;
            } else {
                std::string mark(1, c);
                if (i + 1 < s.size() && ((c == '<' && (s[i + 1] == '>' || s[i + 1] == '=')) || (c == '>' && s[i + 1] == '=')))
                    mark += s[i + 1];
                out.push_back({Token::Kind::Mark, mark});
                i += mark.size();
            }
        }
        return out;
    }

    static bool IsMark(const std::vector<Token>& t, size_t i, const char* mark) {
        return i < t.size() && t[i].kind == Token::Kind::Mark && t[i].text == mark;
    }

    // One piece of output and whether it ends an operand of "&" or is an "&".
    struct Piece {
        std::string sql;
        bool end = false, ampersand = false;
    };

    // The tokens from `at` up to the ")" that closes this level (or the end), written out.
    std::string Level(const std::vector<Token>& t, size_t& at) {
        std::vector<Piece> pieces;
        std::string previousWord;
        while (at < t.size() && !IsMark(t, at, ")")) {
            const Token& token = t[at];
            const std::string upper = vb::UCase(token.text);
            Piece p;
            switch (token.kind) {
                case Token::Kind::Text: {
                    std::string text = token.text;
                    if (previousWord == "LIKE") {
                        // "#" (a digit) and "[...]" (a set of characters) have no LIKE of SQLite's.
                        if (text.find_first_of("#[") != std::string::npos)
                            Refuse(fmt::format("the Like pattern \"{}\"", text));
                        text = LikePattern(text);
                    }
                    p.sql = QuoteText(text) + " COLLATE NOCASE";
                    break;
                }
                case Token::Kind::Date: p.sql = QuoteText(DateLiteral(token.text)); break;
                case Token::Kind::Number: p.sql = token.text; break;
                case Token::Kind::Name: p.sql = NameAt(t, at); break;
                case Token::Kind::Word:
                    if (IsMark(t, at + 1, "(") && (Functions().count(upper) || !Keywords().count(upper))) {
                        auto f = Functions().find(upper);
                        if (f == Functions().end())
                            throw Error(3085, fmt::format("Undefined function '{}' in expression: the query '{}' "
                                                          "calls a function that cannot be run here.",
                                                          token.text, q_.name));
                        at += 2;
                        p.sql = f->second + "(" + Level(t, at) + ")";
                        break;
                    }
                    if (upper == "YES" || upper == "TRUE") p.sql = "1";
                    else if (upper == "NO" || upper == "FALSE") p.sql = "0";
                    else if (upper == "MOD") p.sql = "%";
                    else if (upper == "DISTINCTROW") p.sql = "";
                    else if (upper == "XOR" || upper == "EQV" || upper == "IMP" || upper == "TOP" || upper == "UNION" ||
                             upper == "TRANSFORM" || upper == "PIVOT" || upper == "PARAMETERS")
                        Refuse(fmt::format("\"{}\"", token.text));
                    else if (Keywords().count(upper)) {
                        p.sql = upper;
                        p.end = OperandEnds().count(upper) > 0;
                    } else {
                        p.sql = NameAt(t, at);
                    }
                    break;
                case Token::Kind::Mark:
                    if (token.text == "(") {
                        ++at;
                        p.sql = "(" + Level(t, at) + ")";
                    } else if (token.text == "&") {
                        p.ampersand = true;
                    } else if (token.text == "/") {
                        // Jet divides as floating point; SQLite divides whole numbers as whole
                        // numbers, and the copy keeps 14.0 in a currency column as 14.
                        p.sql = "* 1.0 /";
                    } else if (token.text == "\\" || token.text == "^") {
                        Refuse(fmt::format("the operator \"{}\"", token.text));
                    } else if (token.text == "!") {
                        Parameter(token.text);
                    } else {
                        p.sql = token.text;
                        p.end = OperandEnds().count(token.text) > 0;
                    }
                    break;
            }
            previousWord = token.kind == Token::Kind::Word ? upper : "";
            pieces.push_back(std::move(p));
            if (at < t.size()) ++at;
        }
        return Joined(pieces);
    }

    // The pieces of one level, each run that holds an "&" as one jet_concat call.
    static std::string Joined(const std::vector<Piece>& pieces) {
        std::string out, operand;
        std::vector<std::string> operands;
        auto append = [](std::string& to, const std::string& sql) {
            if (sql.empty()) return;
            if (!to.empty() && to.back() != '.' && sql != "." && sql != ")" && sql != ",") to += ' ';
            to += sql;
        };
        auto endRun = [&] {
            if (!operands.empty()) {
                operands.push_back(operand);
                std::string call = "jet_concat(";
                for (size_t i = 0; i < operands.size(); ++i) call += (i ? ", " : "") + operands[i];
                append(out, call + ")");
                operands.clear();
            } else {
                append(out, operand);
            }
            operand.clear();
        };
        for (const Piece& p : pieces) {
            if (p.ampersand) {
                operands.push_back(operand);
                operand.clear();
            } else if (p.end) {
                endRun();
                // "x In (...)" compares by the collation of x alone: texts without regard to case.
                if (p.sql == "IN") {
                    const bool negated = out.size() >= 4 && out.compare(out.size() - 4, 4, " NOT") == 0;
                    if (negated) out.resize(out.size() - 4);
                    append(out, negated ? "COLLATE NOCASE NOT" : "COLLATE NOCASE");
                }
                append(out, p.sql);
            } else {
                append(operand, p.sql);
            }
        }
        endRun();
        return out;
    }

    // A name, or a qualified one ("T.C", "T.*"), at `at`; `at` ends on its last token.
    std::string NameAt(const std::vector<Token>& t, size_t& at) {
        std::string out = sqlite::QuoteName(t[at].text);
        names.push_back(t[at].text);
        if (IsMark(t, at + 1, "!")) Parameter(t[at].text);
        while (IsMark(t, at + 1, ".")) {
            if (IsMark(t, at + 2, "*")) {
                at += 2;
                return out + ".*";
            }
            if (at + 2 >= t.size() || (t[at + 2].kind != Token::Kind::Name && t[at + 2].kind != Token::Kind::Word)) break;
            at += 2;
            out += "." + sqlite::QuoteName(t[at].text);
            if (IsMark(t, at + 1, "!")) Parameter(t[at].text);
        }
        return out;
    }

    // "Forms!F!C": a value the query asks of a form, a parameter when the form is not there.
    [[noreturn]] void Parameter(const std::string& near) const {
        throw Error(errnum::kTooFewParameters,
                    fmt::format("Too few parameters. Expected 1: the query '{}' asks for a value ({}!...) that it is "
                                "given when it runs, and a parameter query cannot be opened here.",
                                q_.name, near));
    }

    static std::string LikePattern(const std::string& jet) {
        std::string out;
        for (char c : jet) out += c == '*' ? '%' : c == '?' ? '_' : c;
        return out;
    }

    // #m/d/yyyy [h:nn[:ss] [AM|PM]]# (or #yyyy-mm-dd ...#) as the copy stores a date.
    std::string DateLiteral(const std::string& jet) const {
        int m = 0, d = 0, y = 0, h = 0, n = 0, s = 0, used = 0;
        char ampm[3] = {};
        if (std::sscanf(jet.c_str(), " %d/%d/%d%n", &m, &d, &y, &used) < 3 &&
            std::sscanf(jet.c_str(), " %d-%d-%d%n", &y, &m, &d, &used) < 3)
            Refuse(fmt::format("the date #{}#", jet));
        std::sscanf(jet.c_str() + used, " %d:%d:%d", &h, &n, &s);
        if (std::sscanf(jet.c_str() + used, "%*[^AaPp]%2s", ampm) == 1) {
            const bool pm = std::toupper(static_cast<unsigned char>(ampm[0])) == 'P';
            if (pm && h < 12) h += 12;
            if (!pm && h == 12) h = 0;
        }
        if (y < 30) y += 2000;
        else if (y < 100) y += 1900;
        return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", y, m, d, h, n, s);
    }

    const StoredQuery& q_;
};

// A result column's name as Jet gives it: a column's own name ("T.C" when another column of
// the query has that name too), else Expr1000, Expr1001, ...
std::vector<std::string> ColumnNames(const StoredQuery& q) {
    std::vector<std::string> names(q.columns.size());
    std::vector<std::string> qualified(q.columns.size());
    for (size_t i = 0; i < q.columns.size(); ++i) {
        if (!q.columns[i].alias.empty()) {
            names[i] = q.columns[i].alias;
            continue;
        }
        // [T].[C], T.C or C alone.
        std::string e = q.columns[i].expression;
        std::vector<std::string> parts;
        for (size_t at = 0; at <= e.size();) {
            std::string part;
            if (at < e.size() && e[at] == '[') {
                const size_t close = e.find(']', at);
                if (close == std::string::npos) break;
                part = e.substr(at + 1, close - at - 1);
                at = close + 1;
            } else {
                size_t end = at;
                while (end < e.size() && (std::isalnum(static_cast<unsigned char>(e[end])) || e[end] == '_' || (e[end] & 0x80))) ++end;
                part = e.substr(at, end - at);
                at = end;
            }
            if (part.empty()) break;
            parts.push_back(part);
            if (at == e.size()) {
                at = e.size() + 1;
                break;
            }
            if (e[at] != '.') {
                parts.clear();
                break;
            }
            ++at;
        }
        if (parts.size() == 1 || parts.size() == 2) {
            names[i] = parts.back();
            qualified[i] = parts.size() == 2 ? parts[0] + "." + parts[1] : parts[0];
        }
    }
    int expr = 1000;
    const std::vector<std::string> plain = names;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty()) {
            names[i] = "Expr" + std::to_string(expr++);
            continue;
        }
        if (!q.columns[i].alias.empty()) continue;
        for (size_t j = 0; j < names.size(); ++j)
            if (j != i && vb::UCase(plain[j]) == vb::UCase(plain[i]) && !qualified[i].empty()) {
                names[i] = qualified[i];
                break;
            }
    }
    return names;
}

}  // namespace

ViewSql SqliteView(const StoredQuery& q) {
    if (q.kind != QueryKind::Select)
        throw Error(errnum::kNotSupported,
                    fmt::format("The query '{}' cannot be opened: it is {}, and only the select queries of an "
                                "Access file are run here.",
                                q.name, KindName(q.kind)));
    if (!q.parameters.empty()) {
        std::string asked;
        for (const std::string& p : q.parameters) asked += (asked.empty() ? "[" : "], [") + p;
        throw Error(errnum::kTooFewParameters,
                    fmt::format("Too few parameters. Expected {}: the query '{}' asks for {}] when it runs, and a "
                                "parameter query cannot be opened here.",
                                q.parameters.size(), q.name, asked));
    }
    Translator t(q);
    if (!q.unknownAttributes.empty()) t.Refuse(fmt::format("a part of kind {}", q.unknownAttributes[0]));
    if (q.topPercent) t.Refuse("TOP ... PERCENT");
    if (q.tables.empty()) t.Refuse("no table");

    const std::vector<std::string> names = ColumnNames(q);
    std::string items = q.allFields ? "*" : "", outer;
    bool stars = q.allFields;
    for (size_t i = 0; i < q.columns.size(); ++i) {
        std::string item = t.Expression(q.columns[i].expression);
        if (item.size() >= 2 && item.compare(item.size() - 2, 2, ".*") == 0) {
            stars = true;
        } else {
            item += " AS " + sqlite::QuoteName(names[i]);
            outer += (outer.empty() ? "" : ", ") + sqlite::QuoteName(names[i]);
        }
        items += (items.empty() ? "" : ", ") + item;
    }
    if (items.empty()) t.Refuse("no output column");
    std::string body = " FROM " + t.Expression(FromClause(q));
    if (!q.where.empty()) body += " WHERE " + t.Expression(q.where);
    // Jet groups and orders texts without regard to case (a number is not touched by it).
    for (size_t i = 0; i < q.groupBy.size(); ++i)
        body += (i ? ", " : " GROUP BY ") + t.Expression(q.groupBy[i]) + " COLLATE NOCASE";
    if (!q.having.empty()) body += " HAVING " + t.Expression(q.having);
    std::string order;
    for (size_t i = 0; i < q.orderBy.size(); ++i)
        order += (i ? ", " : "") + t.Expression(q.orderBy[i].expression) + " COLLATE NOCASE" +
                 (q.orderBy[i].descending ? " DESC" : "");
    const std::string select = q.distinct ? "SELECT DISTINCT " : "SELECT ";
    if (q.top.empty()) return {select + items + body + (order.empty() ? "" : " ORDER BY " + order), t.names};

    const std::string& n = q.top;
    if (n.find_first_not_of("0123456789") != std::string::npos) t.Refuse(fmt::format("TOP {}", n));
    // Jet's TOP n keeps the rows that tie with the n-th in the order: the rows ranked n or
    // better. Without an order, or where the columns are not all named, the first n rows.
    if (order.empty() || stars || q.distinct)
        return {select + items + body + (order.empty() ? "" : " ORDER BY " + order) + " LIMIT " + n, t.names};
    return {"SELECT " + outer + " FROM (" + select + items + ", rank() OVER (ORDER BY " + order + ") AS \"~rank\"" +
                body + ") WHERE \"~rank\" <= " + n + " ORDER BY \"~rank\"",
            t.names};
}

namespace {

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

// A number argument: numbers as they are, texts that read as numbers; nothing otherwise.
std::optional<double> NumberOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT: return sqlite3_value_double(v);
        case SQLITE_TEXT:
            try {
                return vb::ParseDouble(reinterpret_cast<const char*>(sqlite3_value_text(v)));
            } catch (...) {
                return std::nullopt;
            }
        default: return std::nullopt;
    }
}

void TypeMismatch(sqlite3_context* ctx) { sqlite3_result_error(ctx, "Type mismatch", -1); }

template <double (*F)(double)>
void NumberFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const auto d = NumberOf(argv[0]);
    if (!d) return TypeMismatch(ctx);
    sqlite3_result_double(ctx, F(*d));
}

double Currency(double d) { return vb::Round(d, 4); }
double Same(double d) { return d; }
double Floor(double d) { return std::floor(d); }
double Trunc(double d) { return std::trunc(d); }

template <bool Long>
void WholeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const auto d = NumberOf(argv[0]);
    if (!d) return TypeMismatch(ctx);
    try {
        sqlite3_result_int64(ctx, Long ? vb::CLng(*d) : vb::CInt(*d));
    } catch (...) {
        sqlite3_result_error(ctx, "Overflow", -1);
    }
}

// Year, month or day of a stored date (its text) or a serial.
template <int Part>
void DatePartFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::optional<double> serial;
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT)
        serial = ParseStoredDate(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    else serial = NumberOf(argv[0]);
    if (!serial) return TypeMismatch(ctx);
    const std::string text = DateStorageText(*serial);  // yyyy-mm-dd ...
    const int value = Part == 0 ? std::stoi(text.substr(0, 4)) : Part == 1 ? std::stoi(text.substr(5, 2)) : std::stoi(text.substr(8, 2));
    sqlite3_result_int(ctx, value);
}

void Iif(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const auto c = NumberOf(argv[0]);
    sqlite3_result_value(ctx, c && *c != 0 ? argv[1] : argv[2]);
}

std::string TextOf(sqlite3_value* v) {
    const unsigned char* p = sqlite3_value_text(v);
    return p ? std::string(reinterpret_cast<const char*>(p), size_t(sqlite3_value_bytes(v))) : std::string();
}

// The length of a UTF-8 text in characters, and the byte offset of character i.
size_t Characters(const std::string& s) {
    size_t n = 0;
    for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}
size_t ByteAt(const std::string& s, size_t character) {
    size_t i = 0;
    for (size_t n = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (n == character) return i;
            ++n;
        }
    }
    return s.size();
}

// Left(s, n), Right(s, n), Mid(s, start[, n]) over characters; Null in, Null out.
template <int Which>
void Substring(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const std::string s = TextOf(argv[0]);
    const size_t length = Characters(s);
    auto count = [&](int i) -> std::optional<size_t> {
        const auto d = NumberOf(argv[i]);
        if (!d || *d < 0) return std::nullopt;
        return size_t(vb::CLng(*d));
    };
    size_t from = 0, n = length;
    if (Which == 0 || Which == 1) {
        const auto c = count(1);
        if (!c) return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
        n = std::min(*c, length);
        from = Which == 0 ? 0 : length - n;
    } else {
        const auto start = count(1);
        if (!start || *start < 1) return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
        from = std::min(*start - 1, length);
        n = length - from;
        if (argc > 2) {
            const auto c = count(2);
            if (!c) return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
            n = std::min(*c, n);
        }
    }
    const size_t begin = ByteAt(s, from), end = ByteAt(s, from + n);
    sqlite3_result_text(ctx, s.data() + begin, int(end - begin), SQLITE_TRANSIENT);
}

// Jet's "&": the texts of its operands, a Null taken as "".
void Concat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string out;
    bool allNull = true;
    for (int i = 0; i < argc; ++i) {
        if (IsNull(argv[i])) continue;
        allNull = false;
        const int type = sqlite3_value_type(argv[i]);
        if (type == SQLITE_FLOAT) out += vb::NumberText(sqlite3_value_double(argv[i]));
        else out += TextOf(argv[i]);
    }
    if (allNull) return sqlite3_result_null(ctx);
    sqlite3_result_text(ctx, out.data(), int(out.size()), SQLITE_TRANSIENT);
}

}  // namespace

void RegisterJetFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    struct Function {
        const char* name;
        int args;
        void (*call)(sqlite3_context*, int, sqlite3_value**);
    };
    const Function functions[] = {
        {"jet_ccur", 1, NumberFunction<Currency>}, {"jet_cdbl", 1, NumberFunction<Same>},
        {"jet_int", 1, NumberFunction<Floor>},     {"jet_fix", 1, NumberFunction<Trunc>},
        {"jet_clng", 1, WholeFunction<true>},      {"jet_cint", 1, WholeFunction<false>},
        {"jet_year", 1, DatePartFunction<0>},      {"jet_month", 1, DatePartFunction<1>},
        {"jet_day", 1, DatePartFunction<2>},       {"jet_iif", 3, Iif},
        {"jet_left", 2, Substring<0>},             {"jet_right", 2, Substring<1>},
        {"jet_mid", 2, Substring<2>},              {"jet_mid", 3, Substring<2>},
        {"jet_concat", -1, Concat},
    };
    for (const Function& f : functions) sqlite3_create_function(db, f.name, f.args, flags, nullptr, f.call, nullptr, nullptr);
}

}  // namespace db::access

// A stored query's tree rendered as SQLite SQL, and the SQL functions the views call. The tree
// comes from the layer's parser; nothing of the query's text reaches SQLite except as rendered
// here from the tree: names quoted (and checked by the layer's name rule), literals written
// as SQLite literals, functions only from the table below.
#include "platform/db/access_view_sql.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "platform/db/database.h"
#include "platform/db/sql_names.h"
#include "platform/db/sql_parser.h"
#include "platform/db/sqlite_backend.h"
#include "platform/vb/rounding.h"
#include "platform/vb/strings.h"
#include "platform/vb/types.h"

namespace db::access {
namespace {

using sql::Expr;
using sql::FromItem;

// A SQLite text literal.
std::string QuoteText(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// A name of the query as SQLite gets it: checked by the layer's rule, then quoted.
std::string QuotedName(const std::string& name, NameKind kind) {
    QuotedPlainName(name, kind);  // db::Error 3125 for a name that cannot be quoted
    return sqlite::QuoteName(name);
}

// A function a query may call: what the view calls, the arguments it takes, and whether it is
// one of ours (given the query's name last, for its errors) or SQLite's own.
struct Function {
    const char* sqlite;
    int minArgs, maxArgs;
    bool ours;
};

const std::map<std::string, Function>& Functions() {
    static const std::map<std::string, Function> functions{
        {"ABS", {"abs", 1, 1, false}},         {"UCASE", {"upper", 1, 1, false}},   {"LCASE", {"lower", 1, 1, false}},
        {"LEN", {"length", 1, 1, false}},      {"TRIM", {"trim", 1, 1, false}},     {"LTRIM", {"ltrim", 1, 1, false}},
        {"RTRIM", {"rtrim", 1, 1, false}},     {"CCUR", {"jet_ccur", 1, 1, true}},  {"CDBL", {"jet_cdbl", 1, 1, true}},
        {"CLNG", {"jet_clng", 1, 1, true}},    {"CINT", {"jet_cint", 1, 1, true}},  {"INT", {"jet_int", 1, 1, true}},
        {"FIX", {"jet_fix", 1, 1, true}},      {"YEAR", {"jet_year", 1, 1, true}},  {"MONTH", {"jet_month", 1, 1, true}},
        {"DAY", {"jet_day", 1, 1, true}},      {"IIF", {"jet_iif", 3, 3, true}},    {"LEFT", {"jet_left", 2, 2, true}},
        {"RIGHT", {"jet_right", 2, 2, true}},  {"MID", {"jet_mid", 2, 3, true}},
    };
    return functions;
}

[[noreturn]] void Refuse(const std::string& query, const std::string& what) {
    throw Error(errnum::kNotSupported,
                fmt::format("The query '{}' cannot be opened: it uses {}, which cannot be run here.", query, what));
}

// "Forms!F!C" or a declared parameter: a value the query is given when it runs.
[[noreturn]] void Parameters(const std::string& query, size_t count, const std::string& asked) {
    throw Error(errnum::kTooFewParameters,
                fmt::format("Too few parameters. Expected {}: the query '{}' asks for {} when it runs, and a "
                            "parameter query cannot be opened here.",
                            count, query, asked));
}

// The parser's and the name rule's errors with the query named; a text outside the grammar is
// a query that cannot be run here.
Error Named(const std::string& query, const Error& e) {
    const int number = e.number() == errnum::kSyntaxError || e.number() == errnum::kInvalidSql ? errnum::kNotSupported
                                                                                                : e.number();
    return Error(number, fmt::format("The query '{}' cannot be opened: {}", query, e.description()));
}

std::string LikePattern(const std::string& jet) {
    std::string out;
    for (char c : jet) out += c == '*' ? '%' : c == '?' ? '_' : c;
    return out;
}

// Every part of a select and its subqueries, for the checks and the names of its sources.
template <class Visit>
void Walk(const Expr& e, const Visit& visit);

template <class Visit>
void Walk(const FromItem& f, const Visit& visit) {
    visit(f);
    for (const FromItem& side : f.sides) Walk(side, visit);
    if (f.on) Walk(*f.on, visit);
}

template <class Visit>
void Walk(const sql::Select& s, const Visit& visit) {
    for (const sql::SelectItem& item : s.items)
        if (!item.star) Walk(item.expr, visit);
    for (const FromItem& f : s.sources) Walk(f, visit);
    if (s.where) Walk(*s.where, visit);
    for (const Expr& g : s.groupBy) Walk(g, visit);
    if (s.having) Walk(*s.having, visit);
    for (const sql::OrderItem& o : s.orderBy) Walk(o.expr, visit);
}

template <class Visit>
void Walk(const Expr& e, const Visit& visit) {
    visit(e);
    for (const Expr& a : e.args) Walk(a, visit);
    if (e.subquery) Walk(*e.subquery, visit);
}

// The tables of a FROM item, left to right.
void Leaves(const FromItem& f, std::vector<const FromItem*>& out) {
    if (f.join == FromItem::Join::None) out.push_back(&f);
    for (const FromItem& side : f.sides) Leaves(side, out);
}

bool HasAggregate(const Expr& e) {
    if (e.kind == Expr::Kind::Aggregate) return true;
    return std::any_of(e.args.begin(), e.args.end(), HasAggregate);
}

// Jet's numeric types from least to most precise, for the type of an arithmetic result.
int Precision(FieldType t) {
    switch (t) {
        case dbBoolean:
        case dbByte: return 1;
        case dbInteger: return 2;
        case dbLong: return 3;
        case dbSingle: return 4;
        case dbDouble: return 5;
        case dbCurrency: return 6;
        default: return 0;
    }
}

DeclaredType Typed(FieldType t) { return {t, true, JetFieldSize(t, 0)}; }

class Renderer {
public:
    Renderer(const std::string& query, const SourceLookup& lookup) : query_(query), lookup_(lookup) {}

    // The tables and queries a select sees: by alias or name (upper-cased), the source's name.
    struct Scope {
        std::vector<std::pair<std::string, std::string>> visible;
        const Scope* outer = nullptr;
    };

    ViewSql View(const sql::Select& s) {
        Scope scope = ScopeOf(s, nullptr);
        ViewSql out;
        // The output columns: "*" and "T.*" as the columns they stand for.
        struct Item {
            std::string sql;
            std::string plain, qualified;  // a column's own name, and "T.C"
            std::string alias;
            DeclaredType type;
        };
        std::vector<Item> items;
        std::vector<std::string> outputSources;  // upper-cased visible names whose fields are output
        bool outputKnown = true;
        for (const sql::SelectItem& item : s.items) {
            if (item.star) {
                for (const auto& [visible, table] : scope.visible) {
                    if (item.starOf && vb::UCase(item.starOf->text) != visible) continue;
                    const SourceInfo info = Source(table);
                    const std::string shown = ShownName(s, visible);
                    for (size_t c = 0; c < info.columns.size(); ++c)
                        items.push_back({QuotedName(shown, NameKind::Table) + "." +
                                             QuotedName(info.columns[c], NameKind::Field),
                                         info.columns[c], shown + "." + info.columns[c], "", info.types[c]});
                    outputSources.push_back(visible);
                }
                if (item.starOf && std::find(outputSources.begin(), outputSources.end(),
                                             vb::UCase(item.starOf->text)) == outputSources.end())
                    throw Error(errnum::kNoSuchTable,
                                fmt::format("The query '{}' cannot be opened: it reads '{}.*', and '{}' is not a table "
                                            "of its FROM clause.",
                                            query_, item.starOf->text, item.starOf->text));
                continue;
            }
            Item it{Render(item.expr, scope), "", "", item.alias, TypeOf(item.expr, scope).value_or(DeclaredType{})};
            if (item.expr.kind == Expr::Kind::Column) {
                it.plain = item.expr.name.text;
                it.qualified = item.expr.qualifier ? item.expr.qualifier->text + "." + it.plain : it.plain;
            }
            Walk(item.expr, [&](const auto& part) {
                if constexpr (std::is_same_v<std::decay_t<decltype(part)>, Expr>) {
                    if (part.kind != Expr::Kind::Column) return;
                    if (auto visible = Owner(part, scope)) outputSources.push_back(*visible);
                    else outputKnown = false;
                }
            });
            items.push_back(std::move(it));
        }
        if (items.empty()) Refuse(query_, "no output column");
        // Jet's names: an alias, a column's own name ("T.C" when another output column has that
        // name too), else Expr1000, Expr1001, ...
        int expr = 1000;
        for (size_t i = 0; i < items.size(); ++i) {
            std::string name = items[i].alias;
            if (name.empty() && items[i].plain.empty()) name = "Expr" + std::to_string(expr++);
            if (name.empty()) {
                name = items[i].plain;
                for (size_t j = 0; j < items.size(); ++j)
                    if (j != i && items[j].alias.empty() && vb::UCase(items[j].plain) == vb::UCase(items[i].plain))
                        name = items[i].qualified;
            }
            out.columns.push_back(name);
            out.types.push_back(items[i].type);
        }
        std::string list, outer;
        for (size_t i = 0; i < items.size(); ++i) {
            list += (i ? ", " : "") + items[i].sql + " AS " + QuotedName(out.columns[i], NameKind::Field);
            outer += (i ? ", " : "") + QuotedName(out.columns[i], NameKind::Field);
        }
        const std::string body = Body(s, scope);
        const std::string order = Order(s, scope);

        // DISTINCTROW: one row per record of the tables whose fields are output. It changes
        // nothing where every table's fields are output, or where the query groups.
        std::vector<const FromItem*> leaves;
        for (const FromItem& f : s.sources) Leaves(f, leaves);
        std::sort(outputSources.begin(), outputSources.end());
        outputSources.erase(std::unique(outputSources.begin(), outputSources.end()), outputSources.end());
        bool grouped = !s.groupBy.empty() || s.having;
        for (const sql::SelectItem& item : s.items) grouped = grouped || (!item.star && HasAggregate(item.expr));
        if (s.distinctRow && !s.distinct && !grouped && outputKnown && outputSources.size() < leaves.size()) {
            std::string keys;
            for (const std::string& visible : outputSources) {
                const std::string table = Table(visible, scope);
                const SourceInfo info = Source(table);
                const std::string shown = QuotedName(ShownName(s, visible), NameKind::Table);
                if (info.table) {
                    keys += (keys.empty() ? "" : ", ") + shown + ".rowid";
                } else {
                    for (const std::string& c : info.columns)
                        keys += (keys.empty() ? "" : ", ") + shown + "." + QuotedName(c, NameKind::Field);
                }
            }
            if (keys.empty()) keys = "NULL";
            std::string inner = "SELECT " + list + ", row_number() OVER (PARTITION BY " + keys + ") AS \"~row\"";
            if (!order.empty()) inner += ", rank() OVER (ORDER BY " + order + ") AS \"~rank\"";
            out.select = "SELECT " + outer + " FROM (" + inner + body + ") WHERE \"~row\" = 1" +
                         (order.empty() ? "" : " ORDER BY \"~rank\"") + (s.top.empty() ? "" : " LIMIT " + s.top);
            return out;
        }
        const std::string select = s.distinct ? "SELECT DISTINCT " : "SELECT ";
        if (s.top.empty()) {
            out.select = select + list + body + (order.empty() ? "" : " ORDER BY " + order);
        } else if (order.empty() || s.distinct) {
            out.select = select + list + body + (order.empty() ? "" : " ORDER BY " + order) + " LIMIT " + s.top;
        } else {
            // Jet's TOP n keeps the rows that tie with the n-th in the order: the rows ranked n
            // or better.
            out.select = "SELECT " + outer + " FROM (SELECT " + list + ", rank() OVER (ORDER BY " + order +
                         ") AS \"~rank\"" + body + ") WHERE \"~rank\" <= " + s.top + " ORDER BY \"~rank\"";
        }
        return out;
    }

private:
    // A subquery: its own scope, with the outer query's names seen through it.
    std::string Subselect(const sql::Select& s, const Scope& outer) {
        const Scope scope = ScopeOf(s, &outer);
        std::string out = s.distinct ? "SELECT DISTINCT " : "SELECT ";
        for (size_t i = 0; i < s.items.size(); ++i) {
            const sql::SelectItem& item = s.items[i];
            out += i ? ", " : "";
            if (item.star) out += item.starOf ? QuotedName(item.starOf->text, NameKind::Table) + ".*" : "*";
            else out += Render(item.expr, scope);
        }
        const std::string order = Order(s, scope);
        return out + Body(s, scope) + (order.empty() ? "" : " ORDER BY " + order) +
               (s.top.empty() ? "" : " LIMIT " + s.top);
    }

    static Scope ScopeOf(const sql::Select& s, const Scope* outer) {
        Scope scope;
        scope.outer = outer;
        std::vector<const FromItem*> leaves;
        for (const FromItem& f : s.sources) Leaves(f, leaves);
        for (const FromItem* f : leaves)
            scope.visible.emplace_back(vb::UCase(f->alias.empty() ? f->table.text : f->alias), f->table.text);
        return scope;
    }

    // The alias or name as FROM writes it.
    static std::string ShownName(const sql::Select& s, const std::string& visible) {
        std::vector<const FromItem*> leaves;
        for (const FromItem& f : s.sources) Leaves(f, leaves);
        for (const FromItem* f : leaves) {
            const std::string& shown = f->alias.empty() ? f->table.text : f->alias;
            if (vb::UCase(shown) == visible) return shown;
        }
        return visible;
    }

    static std::string Table(const std::string& visible, const Scope& scope) {
        for (const Scope* sc = &scope; sc; sc = sc->outer)
            for (const auto& [v, table] : sc->visible)
                if (v == visible) return table;
        return visible;
    }

    SourceInfo Source(const std::string& table) const {
        std::optional<SourceInfo> info = lookup_ ? lookup_(table) : std::nullopt;
        if (!info)
            throw Error(errnum::kNoSuchTable,
                        fmt::format("The query '{}' cannot be opened: it reads '{}', which is neither a table nor a "
                                    "query of the file.",
                                    query_, table));
        info->types.resize(info->columns.size());
        return *info;
    }

    // The source a column belongs to (upper-cased visible name): its qualifier, or the one table
    // of the nearest scope that has a column of that name; nothing when that is not known.
    std::optional<std::string> Owner(const Expr& column, const Scope& scope) const {
        if (column.qualifier) return vb::UCase(column.qualifier->text);
        for (const Scope* sc = &scope; sc; sc = sc->outer) {
            std::optional<std::string> found;
            for (const auto& [visible, table] : sc->visible) {
                const std::optional<SourceInfo> info = lookup_ ? lookup_(table) : std::nullopt;
                if (!info) return std::nullopt;
                for (const std::string& c : info->columns)
                    if (sql::SameName(c, column.name.text)) {
                        if (found) return std::nullopt;  // ambiguous: SQLite will say so
                        found = visible;
                    }
            }
            if (found) return found;
        }
        return std::nullopt;
    }

    // The Jet type of an expression; nothing where its values decide.
    std::optional<DeclaredType> TypeOf(const Expr& e, const Scope& scope) const {
        switch (e.kind) {
            case Expr::Kind::Column: {
                const auto owner = Owner(e, scope);
                if (!owner) return std::nullopt;
                const std::optional<SourceInfo> info = lookup_ ? lookup_(Table(*owner, scope)) : std::nullopt;
                if (!info) return std::nullopt;
                for (size_t c = 0; c < info->columns.size() && c < info->types.size(); ++c)
                    if (sql::SameName(info->columns[c], e.name.text) && info->types[c].typed) return info->types[c];
                return std::nullopt;
            }
            case Expr::Kind::Literal:
                switch (e.literal.kind()) {
                    case Value::Kind::Integer:
                    case Value::Kind::Long: return Typed(dbLong);
                    case Value::Kind::Double: return Typed(dbDouble);
                    case Value::Kind::Date: return Typed(dbDate);
                    case Value::Kind::Text: return Typed(dbText);
                    default: return std::nullopt;
                }
            case Expr::Kind::Concat: return Typed(dbText);
            case Expr::Kind::Negate: return TypeOf(e.args[0], scope);
            case Expr::Kind::Aggregate: {
                if (e.fn == sql::AggregateFn::Count) return Typed(dbLong);
                const auto arg = TypeOf(e.args[0], scope);
                if (!arg) return std::nullopt;
                if (e.fn == sql::AggregateFn::Min || e.fn == sql::AggregateFn::Max) return arg;
                if (arg->type == dbCurrency) return Typed(dbCurrency);
                if (e.fn == sql::AggregateFn::Avg) return Typed(dbDouble);
                const int p = Precision(arg->type);
                return p == 0 ? std::nullopt : std::optional<DeclaredType>(Typed(p <= 3 ? dbLong : dbDouble));
            }
            case Expr::Kind::Arith: {
                FieldType result = dbByte;
                bool date = false;
                for (size_t i = 0; i < e.args.size(); ++i) {
                    const auto t = TypeOf(e.args[i], scope);
                    if (!t) return std::nullopt;
                    if (t->type == dbDate) {
                        date = true;
                        continue;
                    }
                    if (Precision(t->type) == 0) return std::nullopt;
                    if (Precision(t->type) > Precision(result)) result = t->type;
                    if (i > 0 && e.ops[i - 1] == "/" && result != dbCurrency) result = dbDouble;
                }
                const bool divides = std::find(e.ops.begin(), e.ops.end(), "/") != e.ops.end();
                const bool mod = std::find(e.ops.begin(), e.ops.end(), "MOD") != e.ops.end();
                if (date) return divides || mod ? std::nullopt : std::optional<DeclaredType>(Typed(dbDate));
                if (mod) return Typed(Precision(result) <= 2 ? dbInteger : dbLong);
                if (divides && result != dbCurrency) return Typed(dbDouble);
                if (result == dbBoolean || result == dbByte) result = dbInteger;
                return Typed(result);
            }
            case Expr::Kind::Call: {
                const std::string f = vb::UCase(e.name.text);
                if (f == "CCUR") return Typed(dbCurrency);
                if (f == "CDBL") return Typed(dbDouble);
                if (f == "CLNG" || f == "LEN") return Typed(dbLong);
                if (f == "CINT" || f == "YEAR" || f == "MONTH" || f == "DAY") return Typed(dbInteger);
                if (f == "INT" || f == "FIX" || f == "ABS") return TypeOf(e.args[0], scope);
                if (f == "IIF") {
                    const auto a = TypeOf(e.args[1], scope), b = TypeOf(e.args[2], scope);
                    if (a && b && a->type == b->type) return a;
                    return std::nullopt;
                }
                return Typed(dbText);  // the text functions
            }
            default: return std::nullopt;
        }
    }

    // FROM ... WHERE ... GROUP BY ... HAVING ...
    std::string Body(const sql::Select& s, const Scope& scope) {
        std::string out = " FROM ";
        for (size_t i = 0; i < s.sources.size(); ++i) out += (i ? ", " : "") + From(s.sources[i], scope);
        if (s.where) out += " WHERE " + Render(*s.where, scope);
        // Jet groups texts without regard to case (a number is not touched by it).
        for (size_t i = 0; i < s.groupBy.size(); ++i)
            out += (i ? ", " : " GROUP BY ") + Render(s.groupBy[i], scope) + " COLLATE NOCASE";
        if (s.having) out += " HAVING " + Render(*s.having, scope);
        return out;
    }

    // Jet orders texts letters first, then accents, then case.
    std::string Order(const sql::Select& s, const Scope& scope) {
        std::string out;
        for (size_t i = 0; i < s.orderBy.size(); ++i)
            out += (i ? ", " : "") + Render(s.orderBy[i].expr, scope) + " COLLATE jet_text" +
                   (s.orderBy[i].descending ? " DESC" : "");
        return out;
    }

    // Every table name of the view and of its subqueries is written here. A name the file does
    // not know would reach SQLite's own tables and functions (sqlite_master, pragma_...), so it
    // is refused whatever the query selects of it.
    std::string From(const FromItem& f, const Scope& scope) {
        if (f.join == FromItem::Join::None) {
            std::string out = QuotedName(f.table.text, NameKind::Table);
            if (!f.alias.empty()) out += " AS " + QuotedName(f.alias, NameKind::Table);
            Source(f.table.text);
            return out;
        }
        const char* join = f.join == FromItem::Join::Left    ? " LEFT JOIN "
                           : f.join == FromItem::Join::Right ? " RIGHT JOIN "
                                                             : " INNER JOIN ";
        auto side = [&](const FromItem& x) {
            return x.join == FromItem::Join::None ? From(x, scope) : "(" + From(x, scope) + ")";
        };
        return side(f.sides[0]) + join + side(f.sides[1]) + " ON " + Render(*f.on, scope);
    }

    std::string Render(const Expr& e, const Scope& scope) {
        auto list = [&](size_t from, const char* separator) {
            std::string out;
            for (size_t i = from; i < e.args.size(); ++i) out += (i > from ? separator : "") + Render(e.args[i], scope);
            return out;
        };
        const std::string no = e.negated ? " NOT" : "";
        switch (e.kind) {
            case Expr::Kind::Column:
                return (e.qualifier ? QuotedName(e.qualifier->text, NameKind::Table) + "." : "") +
                       QuotedName(e.name.text, NameKind::Field);
            case Expr::Kind::Literal: return Literal(e.literal);
            case Expr::Kind::Null: return "NULL";
            case Expr::Kind::Aggregate: {
                static const char* const names[] = {"count", "sum", "max", "min", "avg"};
                return std::string(names[int(e.fn)]) + "(" + (e.star ? "*" : Render(e.args[0], scope)) + ")";
            }
            case Expr::Kind::Compare:
                return "(" + Render(e.args[0], scope) + " " + sql::CompareOpText(e.op) + " " + Render(e.args[1], scope) +
                       ")";
            case Expr::Kind::And: return "(" + list(0, " AND ") + ")";
            case Expr::Kind::Or: return "(" + list(0, " OR ") + ")";
            case Expr::Kind::Not: return "(NOT " + Render(e.args[0], scope) + ")";
            case Expr::Kind::IsNull: return "(" + Render(e.args[0], scope) + " IS NULL)";
            case Expr::Kind::IsNotNull: return "(" + Render(e.args[0], scope) + " IS NOT NULL)";
            case Expr::Kind::Arith: {
                std::string out = "(" + Render(e.args[0], scope);
                for (size_t i = 1; i < e.args.size(); ++i) {
                    const std::string& op = e.ops[i - 1];
                    // Jet divides as floating point; SQLite divides whole numbers as whole
                    // numbers, and the copy keeps 14.0 in a currency column as 14.
                    out += op == "/" ? " * 1.0 / " : op == "MOD" ? " % " : " " + op + " ";
                    out += Render(e.args[i], scope);
                }
                return out + ")";
            }
            case Expr::Kind::Concat: return "jet_concat(" + list(0, ", ") + ")";
            case Expr::Kind::Negate: return "(- " + Render(e.args[0], scope) + ")";
            case Expr::Kind::Call: return Call(e, scope);
            case Expr::Kind::Like: {
                const Expr& pattern = e.args[1];
                if (pattern.kind != Expr::Kind::Literal || pattern.literal.kind() != Value::Kind::Text)
                    Refuse(query_, fmt::format("Like with a pattern that is not a text ({})", pattern.text));
                return "(" + Render(e.args[0], scope) + no + " LIKE " + QuoteText(LikePattern(pattern.literal.AsText())) +
                       ")";
            }
            case Expr::Kind::Between:
                return "(" + Render(e.args[0], scope) + no + " BETWEEN " + Render(e.args[1], scope) + " AND " +
                       Render(e.args[2], scope) + ")";
            // "x In (...)" compares by the collation of x alone: texts without regard to case.
            case Expr::Kind::InList:
                return "(" + Render(e.args[0], scope) + " COLLATE NOCASE" + no + " IN (" + list(1, ", ") + "))";
            case Expr::Kind::InSelect:
                return "(" + Render(e.args[0], scope) + " COLLATE NOCASE" + no + " IN (" + Subselect(*e.subquery, scope) +
                       "))";
            case Expr::Kind::Exists: return "(EXISTS (" + Subselect(*e.subquery, scope) + "))";
            case Expr::Kind::Subquery: return "(" + Subselect(*e.subquery, scope) + ")";
            case Expr::Kind::Reference: Parameters(query_, 1, e.text);
        }
        Refuse(query_, fmt::format("'{}'", e.text));
    }

    std::string Call(const Expr& e, const Scope& scope) {
        const auto f = e.name.bracketed ? Functions().end() : Functions().find(vb::UCase(e.name.text));
        if (f == Functions().end())
            throw Error(3085, fmt::format("Undefined function '{}' in expression: the query '{}' calls a function "
                                          "that cannot be run here.",
                                          e.name.text, query_));
        const int n = int(e.args.size());
        if (n < f->second.minArgs || n > f->second.maxArgs)
            Refuse(query_, fmt::format("{} with {} argument{}", e.name.text, n, n == 1 ? "" : "s"));
        std::string out = std::string(f->second.sqlite) + "(";
        for (int i = 0; i < n; ++i) out += (i ? ", " : "") + Render(e.args[size_t(i)], scope);
        if (f->second.ours) out += ", " + QuoteText(query_);
        return out + ")";
    }

    static std::string Literal(const Value& v) {
        switch (v.kind()) {
            case Value::Kind::Boolean: return v.AsBool() ? "1" : "0";
            case Value::Kind::Integer:
            case Value::Kind::Long: return std::to_string(int64_t(v.ToDouble()));
            case Value::Kind::Double: return fmt::format("{:.17g}", v.AsDoubleValue());
            case Value::Kind::Date: return QuoteText(DateStorageText(v.AsDate().serial));
            case Value::Kind::Text: return QuoteText(v.AsText()) + " COLLATE NOCASE";
            default: return "NULL";
        }
    }

    const std::string& query_;
    const SourceLookup& lookup_;
};

}  // namespace

StoredView::StoredView(const StoredQuery& q) : name_(q.name) {
    if (q.kind != QueryKind::Select)
        throw Error(errnum::kNotSupported,
                    fmt::format("The query '{}' cannot be opened: it is {}, and only the select queries of an "
                                "Access file are run here.",
                                q.name, KindName(q.kind)));
    if (!q.parameters.empty()) {
        std::string asked;
        for (const std::string& p : q.parameters) asked += (asked.empty() ? "[" : "], [") + p;
        Parameters(q.name, q.parameters.size(), asked + "]");
    }
    if (!q.unknownAttributes.empty()) Refuse(q.name, fmt::format("a part of kind {}", q.unknownAttributes[0]));
    if (q.tables.empty()) Refuse(q.name, "no table");
    try {
        select_ = sql::ParseStoredSelect(SelectSql(q));
    } catch (const Error& e) {
        throw Named(q.name, e);
    }
    if (select_.topPercent) Refuse(q.name, "TOP ... PERCENT");
    // What cannot run is refused before anything is made: the functions, the references to a
    // form, the Like patterns; and the names of the sources are gathered.
    Walk(select_, [&](const auto& part) {
        if constexpr (std::is_same_v<std::decay_t<decltype(part)>, FromItem>) {
            if (part.join == FromItem::Join::None &&
                std::find(sources_.begin(), sources_.end(), part.table.text) == sources_.end())
                sources_.push_back(part.table.text);
        } else {
            if (part.kind == Expr::Kind::Reference) Parameters(q.name, 1, part.text);
            if (part.kind == Expr::Kind::Call &&
                (part.name.bracketed || !Functions().count(vb::UCase(part.name.text))))
                throw Error(3085, fmt::format("Undefined function '{}' in expression: the query '{}' calls a "
                                              "function that cannot be run here.",
                                              part.name.text, q.name));
            if (part.kind == Expr::Kind::Like && part.args[1].kind == Expr::Kind::Literal &&
                part.args[1].literal.kind() == Value::Kind::Text &&
                part.args[1].literal.AsText().find_first_of("#[") != std::string::npos)
                // "#" (a digit) and "[...]" (a set of characters) have no LIKE of SQLite's.
                Refuse(q.name, fmt::format("the Like pattern \"{}\"", part.args[1].literal.AsText()));
        }
    });
}

ViewSql StoredView::Render(const SourceLookup& lookup) const {
    try {
        return Renderer(name_, lookup).View(select_);
    } catch (const Error& e) {
        if (e.number() == errnum::kInvalidName) throw Named(name_, e);
        throw;
    }
}

namespace {

// Errors of a row's evaluation: Jet's "cannot be evaluated", naming the query (the functions'
// last argument), the function and the value.
constexpr int32_t kCannotEvaluate = 3071;

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string TextOf(sqlite3_value* v) {
    const unsigned char* p = sqlite3_value_text(v);
    return p ? std::string(reinterpret_cast<const char*>(p), size_t(sqlite3_value_bytes(v))) : std::string();
}

// An argument as the message shows it: a number as Jet writes it, a text in quotes.
std::string Shown(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER: return vb::NumberText(int64_t(sqlite3_value_int64(v)));
        case SQLITE_FLOAT: return vb::NumberText(sqlite3_value_double(v));
        case SQLITE_NULL: return "Null";
        default: return "\"" + TextOf(v) + "\"";
    }
}

// The error of function `fn` (its Jet name) in the query named by its last argument.
[[noreturn]] void Cannot(int argc, sqlite3_value** argv, const char* fn, const std::string& what) {
    throw Error(kCannotEvaluate,
                fmt::format("The query '{}' cannot be read: {}() {}.", TextOf(argv[argc - 1]), fn, what));
}

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

// The argument as a number, or the function's type mismatch.
double Number(int argc, sqlite3_value** argv, int i, const char* fn) {
    const auto d = NumberOf(argv[i]);
    if (!d || !std::isfinite(*d)) Cannot(argc, argv, fn, "of " + Shown(argv[i]) + " is not a number");
    return *d;
}

double Currency(double d) { return vb::Round(d, 4); }
double Same(double d) { return d; }
double Floor(double d) { return std::floor(d); }
double Trunc(double d) { return std::trunc(d); }

template <double (*F)(double), const char* Name>
void NumberFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const double d = Number(argc, argv, 0, Name);
    if (F == Currency && std::fabs(d) > 922337203685477.0) Cannot(argc, argv, Name, "of " + Shown(argv[0]) + " is beyond a Currency");
    sqlite3_result_double(ctx, F(d));
}

template <bool Long, const char* Name>
void WholeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const double d = Number(argc, argv, 0, Name);
    if (Long ? d < -2147483648.5 || d >= 2147483647.5 : d < -32768.5 || d >= 32767.5)
        Cannot(argc, argv, Name, "of " + Shown(argv[0]) + (Long ? " is beyond a Long" : " is beyond an Integer"));
    sqlite3_result_int64(ctx, Long ? vb::CLng(d) : vb::CInt(d));
}

// Year, month or day of a stored date (its text) or a serial within Jet's dates (the years 100
// to 9999).
template <int Part, const char* Name>
void DatePartFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    std::optional<double> serial;
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) serial = ParseStoredDate(TextOf(argv[0]));
    if (!serial) serial = NumberOf(argv[0]);
    if (!serial || !(*serial >= -657434.0 && *serial < 2958466.0))
        Cannot(argc, argv, Name, "of " + Shown(argv[0]) + " is not a date");
    const std::string text = DateStorageText(*serial);  // yyyy-mm-dd ...
    const int value = Part == 0 ? std::stoi(text.substr(0, 4)) : Part == 1 ? std::stoi(text.substr(5, 2)) : std::stoi(text.substr(8, 2));
    sqlite3_result_int(ctx, value);
}

void Iif(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const auto c = NumberOf(argv[0]);
    sqlite3_result_value(ctx, c && *c != 0 ? argv[1] : argv[2]);
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

// Left(s, n), Right(s, n), Mid(s, start[, n]) over characters; Null in, Null out. A count is
// a Long of at least 0 (a start at least 1).
template <int Which, const char* Name>
void Substring(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const std::string s = TextOf(argv[0]);
    const size_t length = Characters(s);
    auto count = [&](int i, double least) {
        const double d = Number(argc, argv, i, Name);
        if (d < least - 0.5 || d >= 2147483647.5)
            Cannot(argc, argv, Name, fmt::format("with the {} {}", i == 1 && Which == 2 ? "start" : "count", Shown(argv[i])));
        return size_t(vb::CLng(d));
    };
    size_t from = 0, n = length;
    if (Which == 0 || Which == 1) {
        n = std::min(count(1, 0), length);
        from = Which == 0 ? 0 : length - n;
    } else {
        from = std::min(count(1, 1) - 1, length);
        n = length - from;
        if (argc > 3) n = std::min(count(2, 0), n);
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

// Jet's order of texts: letters without their accents and case first, then the accents, then
// the case (lower before upper). The Latin letters from U+00C0 to U+017F by their base letters.
const char* const kBaseLetters[] = {
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o", "", "o", "u", "u", "u", "u", "y", "th", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o", "", "o", "u", "u", "u", "u", "y", "th", "y",
    "a", "a", "a", "a", "a", "a", "c", "c", "c", "c", "c", "c", "c", "c", "d", "d",
    "d", "d", "e", "e", "e", "e", "e", "e", "e", "e", "e", "e", "g", "g", "g", "g",
    "g", "g", "g", "g", "h", "h", "h", "h", "i", "i", "i", "i", "i", "i", "i", "i",
    "i", "i", "ij", "ij", "j", "j", "k", "k", "k", "l", "l", "l", "l", "l", "l", "l",
    "l", "l", "l", "n", "n", "n", "n", "n", "n", "n", "n", "n", "o", "o", "o", "o",
    "o", "o", "oe", "oe", "r", "r", "r", "r", "r", "r", "s", "s", "s", "s", "s", "s",
    "s", "s", "t", "t", "t", "t", "t", "t", "u", "u", "u", "u", "u", "u", "u", "u",
    "u", "u", "u", "u", "w", "w", "y", "y", "y", "z", "z", "z", "z", "z", "z", "s",
};
constexpr const char* kUpper = "111111111111111111111110111111100000000000000000000000000000000010101010101010101010101010101010101010101010101010101010010101010101010100101010101010101010101010101010101010101010101011010100";

struct SortKey {
    std::string letters;                 // the base letters
    std::vector<uint32_t> accents, cases;
};

SortKey KeyOf(const unsigned char* p, int n) {
    SortKey key;
    for (int i = 0; i < n;) {
        uint32_t cp = p[i];
        int len = 1;
        if (cp >= 0xC0 && cp < 0xE0 && i + 1 < n) {
            cp = ((cp & 0x1F) << 6) | (p[i + 1] & 0x3F);
            len = 2;
        } else if (cp >= 0xE0) {
            len = cp >= 0xF0 ? 4 : 3;
            len = std::min(len, n - i);
        }
        if (cp >= 0xC0 && cp < 0x180 && *kBaseLetters[cp - 0xC0]) {
            key.letters += kBaseLetters[cp - 0xC0];
            key.accents.push_back(cp);
            key.cases.push_back(kUpper[cp - 0xC0] == '1');
        } else if (cp < 0x80 && std::isalpha(int(cp))) {
            key.letters += char(std::tolower(int(cp)));
            key.accents.push_back(0);
            key.cases.push_back(std::isupper(int(cp)) ? 1 : 0);
        } else {
            key.letters.append(reinterpret_cast<const char*>(p + i), size_t(len));
            key.accents.push_back(0);
            key.cases.push_back(0);
        }
        i += len;
    }
    return key;
}

int JetText(void*, int an, const void* a, int bn, const void* b) {
    try {
        const SortKey x = KeyOf(static_cast<const unsigned char*>(a), an);
        const SortKey y = KeyOf(static_cast<const unsigned char*>(b), bn);
        if (int c = x.letters.compare(y.letters)) return c < 0 ? -1 : 1;
        if (x.accents != y.accents) return x.accents < y.accents ? -1 : 1;
        if (x.cases != y.cases) return x.cases < y.cases ? -1 : 1;
    } catch (...) {
        // out of memory: the bytes decide
    }
    const int c = std::memcmp(a, b, size_t(std::min(an, bn)));
    return c != 0 ? (c < 0 ? -1 : 1) : (an < bn ? -1 : an > bn ? 1 : 0);
}

constexpr char kCCur[] = "CCur", kCDbl[] = "CDbl", kInt[] = "Int", kFix[] = "Fix", kCLng[] = "CLng",
               kCInt[] = "CInt", kYear[] = "Year", kMonth[] = "Month", kDay[] = "Day", kLeft[] = "Left",
               kRight[] = "Right", kMid[] = "Mid";

}  // namespace

void RegisterJetFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    using sqlite::GuardedFunction;
    struct Registered {
        const char* name;
        int args;  // with the query's name
        void (*call)(sqlite3_context*, int, sqlite3_value**);
    };
    const Registered functions[] = {
        {"jet_ccur", 2, GuardedFunction<NumberFunction<Currency, kCCur>>},
        {"jet_cdbl", 2, GuardedFunction<NumberFunction<Same, kCDbl>>},
        {"jet_int", 2, GuardedFunction<NumberFunction<Floor, kInt>>},
        {"jet_fix", 2, GuardedFunction<NumberFunction<Trunc, kFix>>},
        {"jet_clng", 2, GuardedFunction<WholeFunction<true, kCLng>>},
        {"jet_cint", 2, GuardedFunction<WholeFunction<false, kCInt>>},
        {"jet_year", 2, GuardedFunction<DatePartFunction<0, kYear>>},
        {"jet_month", 2, GuardedFunction<DatePartFunction<1, kMonth>>},
        {"jet_day", 2, GuardedFunction<DatePartFunction<2, kDay>>},
        {"jet_iif", 4, GuardedFunction<Iif>},
        {"jet_left", 3, GuardedFunction<Substring<0, kLeft>>},
        {"jet_right", 3, GuardedFunction<Substring<1, kRight>>},
        {"jet_mid", 3, GuardedFunction<Substring<2, kMid>>},
        {"jet_mid", 4, GuardedFunction<Substring<2, kMid>>},
        {"jet_concat", -1, GuardedFunction<Concat>},
    };
    for (const Registered& f : functions) sqlite3_create_function(db, f.name, f.args, flags, nullptr, f.call, nullptr, nullptr);
    sqlite3_create_collation(db, "jet_text", SQLITE_UTF8, nullptr, JetText);
}

}  // namespace db::access

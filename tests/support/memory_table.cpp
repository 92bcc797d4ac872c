// The in-memory answers to count and distinct queries.
#include "tests/support/memory_table.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <stdexcept>

namespace testsupport {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

std::string Unbracket(std::string s) {
    s = Trim(s);
    if (s.size() >= 2 && s.front() == '[' && s.back() == ']') return s.substr(1, s.size() - 2);
    return s;
}

// Splits at commas outside brackets.
std::vector<std::string> SplitList(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    int depth = 0;
    for (char c : s) {
        if (c == '[' || c == '(') ++depth;
        if (c == ']' || c == ')') --depth;
        if (c == ',' && depth == 0) {
            out.push_back(Trim(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(Trim(cur));
    return out;
}

// Position of a keyword (lower-case, with its blanks) in the lower-cased text, outside brackets.
size_t FindKeyword(const std::string& lower, const std::string& word, size_t from = 0) {
    int depth = 0;
    for (size_t i = 0; i < lower.size(); ++i) {
        if (lower[i] == '[') ++depth;
        if (lower[i] == ']') --depth;
        if (depth == 0 && i >= from && lower.compare(i, word.size(), word) == 0) return i;
    }
    return std::string::npos;
}

}  // namespace

MemoryTable::MemoryTable(std::string table, std::vector<std::string> columns,
                         std::vector<std::vector<db::Value>> rows)
    : table_(std::move(table)), columns_(std::move(columns)), rows_(std::move(rows)) {}

int MemoryTable::Compare(const db::Value& x, const db::Value& y) {
    if (x.IsNull() || y.IsNull()) return x.IsNull() == y.IsNull() ? 0 : (x.IsNull() ? -1 : 1);
    const bool xt = x.kind() == db::Value::Kind::Text, yt = y.kind() == db::Value::Kind::Text;
    if (xt != yt) return xt ? 1 : -1;
    if (xt) {
        const std::string a = Lower(x.AsText()), b = Lower(y.AsText());
        return a < b ? -1 : (a == b ? 0 : 1);
    }
    const double a = x.ToDouble(), b = y.ToDouble();
    return a < b ? -1 : (a == b ? 0 : 1);
}

int MemoryTable::ColumnOf(const std::string& name) const {
    const std::string want = Lower(Unbracket(name));
    for (size_t c = 0; c < columns_.size(); ++c)
        if (Lower(columns_[c]) == want) return int(c);
    return -1;
}

bool MemoryTable::Selected(const std::vector<db::Value>& row, const std::string& where) const {
    if (Trim(where).empty()) return true;
    std::string rest = where;
    for (;;) {
        const size_t andAt = FindKeyword(Lower(rest), " and ");
        const std::string cond = Trim(andAt == std::string::npos ? rest : rest.substr(0, andAt));
        const size_t eq = cond.find('=');
        if (eq == std::string::npos) throw std::invalid_argument("condition without '=': " + cond);
        const int col = ColumnOf(cond.substr(0, eq));
        if (col < 0) throw db::Error(db::errnum::kTooFewParameters, "Too few parameters. Expected 1.");
        const std::string lit = Trim(cond.substr(eq + 1));
        const db::Value& cell = row[size_t(col)];
        bool ok;
        if (Lower(lit) == "yes" || Lower(lit) == "no") {
            const bool flag = !cell.IsNull() && cell.kind() == db::Value::Kind::Boolean && cell.AsBool();
            ok = flag == (Lower(lit) == "yes");  // a Null flag counts as No
        } else if (lit.size() >= 2 && lit.front() == '"') {
            ok = !cell.IsNull() && Compare(cell, db::Value(lit.substr(1, lit.size() - 2))) == 0;
        } else {
            ok = !cell.IsNull() && cell.IsNumeric() && cell.ToDouble() == std::stod(lit);
        }
        if (!ok) return false;
        if (andAt == std::string::npos) return true;
        rest = rest.substr(andAt + 5);
    }
}

std::optional<Result> MemoryTable::Answer(const std::string& sql) const {
    const std::string lower = Lower(sql);
    if (lower.rfind("select ", 0) != 0) return std::nullopt;
    const size_t fromAt = FindKeyword(lower, " from ");
    if (fromAt == std::string::npos) return std::nullopt;
    const size_t whereAt = FindKeyword(lower, " where ", fromAt);
    const size_t groupAt = FindKeyword(lower, " group by ", fromAt);
    const size_t tableEnd = std::min(whereAt, groupAt);
    const std::string table = Unbracket(sql.substr(fromAt + 6, tableEnd == std::string::npos ? std::string::npos : tableEnd - fromAt - 6));
    if (Lower(table) != Lower(table_)) {
        throw db::Error(db::errnum::kNoSuchTable,
                        "The Microsoft Jet database engine cannot find the input table or query '" + table + "'.");
    }
    std::string where;
    if (whereAt != std::string::npos)
        where = sql.substr(whereAt + 7, groupAt == std::string::npos ? std::string::npos : groupAt - whereAt - 7);

    std::vector<const std::vector<db::Value>*> rows;
    for (const auto& r : rows_)
        if (Selected(r, where)) rows.push_back(&r);

    std::string list = sql.substr(7, fromAt - 7);
    // DISTINCT over one column is its groups without a count.
    if (Lower(Trim(list)).rfind("distinct ", 0) == 0) list = Trim(list).substr(9);
    std::vector<std::string> items = SplitList(list);

    // The count expression, when the first item is one.
    int weight = -2;  // -2: no count column; -1: Count(*); else the summed column
    const std::string first = Lower(items[0]);
    if (first == "count(*)") {
        weight = -1;
    } else if (first.rfind("sum(", 0) == 0 && first.back() == ')') {
        weight = ColumnOf(items[0].substr(4, items[0].size() - 5));
        if (weight < 0) throw db::Error(db::errnum::kTooFewParameters, "Too few parameters. Expected 1.");
    }
    std::vector<int> keys;
    for (size_t i = weight == -2 ? 0 : 1; i < items.size(); ++i) {
        const int c = ColumnOf(items[i]);
        if (c < 0) throw db::Error(db::errnum::kTooFewParameters, "Too few parameters. Expected 1.");
        keys.push_back(c);
    }

    // Groups in the layer's order of their key cells, first key most significant.
    auto less = [&](const std::vector<db::Value>* x, const std::vector<db::Value>* y) {
        for (int k : keys) {
            const int c = Compare((*x)[size_t(k)], (*y)[size_t(k)]);
            if (c != 0) return c < 0;
        }
        return false;
    };
    std::stable_sort(rows.begin(), rows.end(), less);

    Result result;
    if (weight != -2) result.columns.push_back("Expr1000");
    for (int k : keys) result.columns.push_back(columns_[size_t(k)]);
    for (size_t i = 0; i < rows.size();) {
        size_t j = i;
        double sum = 0;
        bool anyWeight = false;
        while (j < rows.size() && !less(rows[i], rows[j]) && !less(rows[j], rows[i])) {
            if (weight >= 0) {
                const db::Value& w = (*rows[j])[size_t(weight)];
                if (!w.IsNull()) {
                    sum += w.ToDouble();
                    anyWeight = true;
                }
            }
            ++j;
        }
        std::vector<db::Value> out;
        if (weight == -1) out.emplace_back(int32_t(j - i));
        if (weight >= 0) out.push_back(anyWeight ? db::Value(sum) : db::Value::Null());
        for (int k : keys) out.push_back((*rows[i])[size_t(k)]);
        result.rows.push_back(std::move(out));
        i = j;
    }
    // A count over no grouping column is one row, also over no rows.
    if (keys.empty() && result.rows.empty() && weight != -2)
        result.rows.push_back({weight == -1 ? db::Value(int32_t(0)) : db::Value::Null()});
    return result;
}

void MemoryTable::AttachTo(RecordingDatabase& db) const {
    MemoryTable copy = *this;
    db.AnswerWith([copy](const std::string& sql) { return copy.Answer(sql); });
}

}  // namespace testsupport

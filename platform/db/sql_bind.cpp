// Resolves parsed statements against a table's columns and applies Jet's typing rules, so that
// every back end renders the same meaning (see sql_bind.h for the rules themselves).
#include "platform/db/sql_bind.h"

#include <fmt/format.h>

#include <cmath>

namespace db::sql {
namespace {

bool IsTextType(FieldType t) { return t == dbText || t == dbMemo; }
bool IsIntegerType(FieldType t) { return t == dbByte || t == dbInteger || t == dbLong; }
bool IsNumberType(FieldType t) {
    return IsIntegerType(t) || t == dbCurrency || t == dbSingle || t == dbDouble;
}

// Jet's value of a Boolean or number literal compared with a number.
std::optional<double> NumericLiteral(const Value& v) {
    if (v.kind() == Value::Kind::Boolean) return v.AsBool() ? -1.0 : 0.0;
    if (v.IsNumeric()) return v.ToDouble();
    return std::nullopt;
}

Value NumberValue(double d) {
    if (d == std::floor(d) && d >= -2147483648.0 && d <= 2147483647.0) return Value(int32_t(d));
    return Value(d);
}

// Every column a query reads is bound here or by "*": the one place where a column whose cells
// could not be read is refused.
void CheckReadable(const TableInfo& table, int column) {
    const ColumnInfo& c = table.columns[size_t(column)];
    if (c.unreadable.empty()) return;
    throw Error(errnum::kNotSupported,
                fmt::format("The field '{}' of table '{}' cannot be read: its type ({}) is not one that can be "
                            "decoded here. Leave the field out of the query to read the table's other fields.",
                            c.name, table.name, c.unreadable));
}

class Binder {
public:
    explicit Binder(const TableInfo& table) : table_(table) {}

    BoundExpr Column(const Expr& e) const {
        if (e.qualifier && !SameName(e.qualifier->text, table_.name)) throw NoSuchField(e.text, table_.name);
        int index = table_.Find(e.name.text);
        if (index < 0) throw NoSuchField(e.name.text, table_.name);
        CheckReadable(table_, index);
        BoundExpr b;
        b.kind = BoundExpr::Kind::Column;
        b.column = index;
        b.type = table_.columns[index].type;
        b.typed = table_.columns[index].typed;
        return b;
    }

    BoundExpr Bind(const Expr& e, bool allowAggregates) const {
        BoundExpr b;
        switch (e.kind) {
            case Expr::Kind::Column: return Column(e);
            case Expr::Kind::Literal:
                b.kind = BoundExpr::Kind::Literal;
                b.literal = e.literal;
                b.type = LiteralType(e.literal);
                return b;
            case Expr::Kind::Null:
                b.kind = BoundExpr::Kind::Null;
                b.typed = false;
                return b;
            case Expr::Kind::Aggregate: return Aggregate(e, allowAggregates);
            case Expr::Kind::Compare: return Compare(e, allowAggregates);
            case Expr::Kind::And:
            case Expr::Kind::Or:
            case Expr::Kind::Not:
            case Expr::Kind::IsNull:
            case Expr::Kind::IsNotNull:
                b.kind = e.kind == Expr::Kind::And    ? BoundExpr::Kind::And
                         : e.kind == Expr::Kind::Or   ? BoundExpr::Kind::Or
                         : e.kind == Expr::Kind::Not  ? BoundExpr::Kind::Not
                         : e.kind == Expr::Kind::IsNull ? BoundExpr::Kind::IsNull
                                                        : BoundExpr::Kind::IsNotNull;
                for (const Expr& a : e.args) b.args.push_back(Bind(a, allowAggregates));
                b.type = dbBoolean;
                return b;
            default: break;  // the stored-query grammar's own kinds are not bound here
        }
        throw TypeMismatch(e.text);
    }

private:
    static FieldType LiteralType(const Value& v) {
        switch (v.kind()) {
            case Value::Kind::Boolean: return dbBoolean;
            case Value::Kind::Long: return dbLong;
            case Value::Kind::Text: return dbText;
            default: return dbDouble;
        }
    }

    BoundExpr Aggregate(const Expr& e, bool allowed) const {
        if (!allowed)
            throw Error(3096, fmt::format("Cannot have aggregate function in WHERE clause ({}).", e.text));
        BoundExpr b;
        if (e.star) {
            b.kind = BoundExpr::Kind::CountStar;
            b.type = dbLong;
            return b;
        }
        b.kind = BoundExpr::Kind::Aggregate;
        b.fn = e.fn;
        b.args.push_back(Column(e.args.at(0)));
        const BoundExpr& col = b.args[0];
        switch (e.fn) {
            case AggregateFn::Count: b.type = dbLong; break;
            case AggregateFn::Avg:
            case AggregateFn::Sum:
                if (col.typed && (IsTextType(col.type) || col.type == dbBinary || col.type == dbLongBinary))
                    throw TypeMismatch(e.text);
                b.type = e.fn == AggregateFn::Avg ? dbDouble
                         : (IsIntegerType(col.type) || col.type == dbBoolean) ? dbLong
                                                                               : dbDouble;
                b.typed = col.typed;
                break;
            case AggregateFn::Max:
            case AggregateFn::Min:
                b.type = col.type;
                b.typed = col.typed;
                break;
        }
        return b;
    }

    BoundExpr Compare(const Expr& e, bool allowAggregates) const {
        BoundExpr b;
        b.kind = BoundExpr::Kind::Compare;
        b.op = e.op;
        b.type = dbBoolean;
        BoundExpr left = Bind(e.args[0], allowAggregates);
        BoundExpr right = Bind(e.args[1], allowAggregates);
        // Keep a column (or aggregate) on the left so the literal's coercion reads one way.
        if (left.kind == BoundExpr::Kind::Literal && right.kind != BoundExpr::Kind::Literal) {
            std::swap(left, right);
            switch (b.op) {
                case CompareOp::Lt: b.op = CompareOp::Gt; break;
                case CompareOp::Gt: b.op = CompareOp::Lt; break;
                case CompareOp::Le: b.op = CompareOp::Ge; break;
                case CompareOp::Ge: b.op = CompareOp::Le; break;
                default: break;
            }
        }
        if (right.kind == BoundExpr::Kind::Literal && left.kind != BoundExpr::Kind::Literal) {
            b.mode = CoerceLiteral(left, right.literal, b.op, e.text);
        } else if (right.kind != BoundExpr::Kind::Null && left.kind != BoundExpr::Kind::Null) {
            b.mode = ((left.typed && IsTextType(left.type)) || (right.typed && IsTextType(right.type)) ||
                      !left.typed || !right.typed)
                         ? CompareMode::Text
                         : CompareMode::Plain;
        }
        b.args.push_back(std::move(left));
        b.args.push_back(std::move(right));
        return b;
    }

    // Makes the literal fit the other side's type and says how the comparison is rendered.
    static CompareMode CoerceLiteral(const BoundExpr& side, Value& literal, CompareOp op, const std::string& text) {
        const bool isText = literal.kind() == Value::Kind::Text;
        const bool isBoolean = literal.kind() == Value::Kind::Boolean;
        std::optional<double> number = NumericLiteral(literal);
        if (!side.typed) {
            if (literal.kind() == Value::Kind::Boolean) literal = Value(int32_t(literal.AsBool() ? -1 : 0));
            return isText ? CompareMode::Text : CompareMode::Plain;
        }
        // A flag kept as a number (SQLite has no Boolean type, and other tools write 0/1): yes
        // matches every non-zero value and no the zero and the Null, as on a Boolean column.
        // Compared with -1 as a number, yes would match no row stored 1.
        if (isBoolean && (op == CompareOp::Eq || op == CompareOp::Ne) && IsNumberType(side.type)) {
            literal = NumberValue(*number);
            return CompareMode::Boolean;
        }
        switch (side.type) {
            case dbText:
            case dbMemo:
                if (!isText) throw TypeMismatch(text);
                return CompareMode::Text;
            case dbBoolean:
                if (!number) throw TypeMismatch(text);
                literal = NumberValue(*number);
                return CompareMode::Boolean;
            case dbSingle:
                if (!number) throw TypeMismatch(text);
                literal = Value(double(float(*number)));
                return CompareMode::Single;
            case dbDate:
                if (!number) throw TypeMismatch(text);
                literal = Value(*number);
                return CompareMode::Date;
            case dbBinary:
            case dbLongBinary: throw TypeMismatch(text);
            default:
                if (!number) throw TypeMismatch(text);
                literal = NumberValue(*number);
                return CompareMode::Plain;
        }
    }

    const TableInfo& table_;
};


OrderKey MakeOrderKey(const BoundExpr& e, bool descending) {
    OrderKey k;
    k.expr = e;
    k.descending = descending;
    k.caseInsensitive = IsCaseInsensitive(e);
    k.jetBoolean = IsJetBoolean(e);
    return k;
}

bool SameColumn(const BoundExpr& a, const BoundExpr& b) {
    return a.kind == BoundExpr::Kind::Column && b.kind == BoundExpr::Kind::Column && a.column == b.column;
}

std::string ResultName(const BoundExpr& e, const TableInfo& table, int& exprNumber) {
    static const char* const prefix[] = {"CountOf", "SumOf", "MaxOf", "MinOf", "AvgOf"};
    switch (e.kind) {
        case BoundExpr::Kind::Column: return table.columns[e.column].name;
        case BoundExpr::Kind::Aggregate: return prefix[int(e.fn)] + table.columns[e.args[0].column].name;
        default: return fmt::format("Expr{}", exprNumber++);
    }
}

}  // namespace

namespace {

// A name with the letters SameName folds upper-cased, as the index's key.
std::string FoldedName(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return key;
}

}  // namespace

int TableInfo::Find(const std::string& column) const {
    if (byName) {
        auto it = byName->find(FoldedName(column));
        if (it != byName->end() && size_t(it->second) < columns.size() &&
            SameName(columns[size_t(it->second)].name, column))
            return it->second;
    }
    for (size_t i = 0; i < columns.size(); ++i)
        if (SameName(columns[i].name, column)) return int(i);
    return -1;
}

void TableInfo::IndexNames() {
    auto index = std::make_shared<std::unordered_map<std::string, int>>();
    index->reserve(columns.size());
    // The first of two equal names keeps the slot, as the scan finds it first.
    for (size_t i = 0; i < columns.size(); ++i) index->emplace(FoldedName(columns[i].name), int(i));
    byName = std::move(index);
}

std::vector<int> InsertTargets(const Insert& ins, const TableInfo& table) {
    std::vector<int> targets;
    for (const Name& n : ins.columns) {
        int i = table.Find(n.text);
        if (i < 0)
            throw Error(3127, fmt::format("The INSERT INTO statement contains the following unknown field name: "
                                          "'{}'. Make sure you have typed the name correctly, and try the "
                                          "operation again.",
                                          n.text));
        targets.push_back(i);
    }
    if (targets.empty())
        for (size_t i = 0; i < table.columns.size(); ++i) targets.push_back(int(i));
    return targets;
}

TableDef TableDefOf(const std::string& table, const TableLookup& lookup) {
    TableInfo info;
    try {
        info = lookup(table);
    } catch (const Error& e) {
        if (e.number() != errnum::kNoSuchTable) throw;
        throw Error(errnum::kItemNotFound, fmt::format("Item not found in this collection: no table '{}'.", table));
    }
    TableDef def;
    def.Name = info.name;
    for (const ColumnInfo& c : info.columns) {
        Field f;
        f.Name = c.name;
        f.Type = c.type;
        f.Size = c.size;
        def.Fields.push_back(std::move(f));
    }
    return def;
}

Error NoSuchTable(const std::string& table) {
    return Error(errnum::kNoSuchTable,
                 fmt::format("The Microsoft Jet database engine cannot find the input table or query '{}'. "
                             "Make sure it exists and that its name is spelled correctly.",
                             table));
}

Error NoSuchField(const std::string& field, const std::string& table) {
    return Error(errnum::kTooFewParameters,
                 fmt::format("Too few parameters. Expected 1. The table '{}' has no field '{}'.", table, field));
}

Error TypeMismatch(const std::string& expression) {
    return Error(3464, fmt::format("Data type mismatch in criteria expression '{}'.", expression));
}

BoundSelect BindSelect(const Select& select, const TableLookup& lookup) {
    if (select.from.database)
        throw Error(3170, fmt::format("Could not find installable ISAM: reading from '{}' is not supported.",
                                      *select.from.database));
    BoundSelect out;
    out.table = lookup(select.from.name.text);
    out.into = select.into;
    Binder binder(out.table);

    int exprNumber = 1000;
    bool anyAggregate = false;
    for (const SelectItem& item : select.items) {
        if (item.star) {
            if (!select.groupBy.empty())
                throw Error(3120, "Cannot group on fields selected with '*'.");
            for (size_t c = 0; c < out.table.columns.size(); ++c) {
                CheckReadable(out.table, int(c));
                BoundItem bi;
                bi.expr.kind = BoundExpr::Kind::Column;
                bi.expr.column = int(c);
                bi.expr.type = out.table.columns[c].type;
                bi.expr.typed = out.table.columns[c].typed;
                bi.name = out.table.columns[c].name;
                out.items.push_back(std::move(bi));
            }
            continue;
        }
        BoundItem bi;
        bi.expr = binder.Bind(item.expr, true);
        if (bi.expr.kind == BoundExpr::Kind::CountStar || bi.expr.kind == BoundExpr::Kind::Aggregate)
            anyAggregate = true;
        bi.name = item.alias.empty() ? ResultName(bi.expr, out.table, exprNumber) : item.alias;
        out.items.push_back(std::move(bi));
    }
    if (select.where) out.where = binder.Bind(*select.where, false);

    for (const Expr& g : select.groupBy) {
        if (g.kind != Expr::Kind::Column) throw Error(errnum::kSyntaxError, fmt::format("Cannot group on '{}'.", g.text));
        BoundExpr col = binder.Column(g);
        out.groupBy.push_back({col, IsCaseInsensitive(col)});
    }

    if (select.distinct && !anyAggregate && select.groupBy.empty()) {
        // DISTINCT over columns is a grouping over them: one row per case-insensitive value, in
        // the order of the columns, Null first, the same as GROUP BY gives.
        bool allColumns = true;
        for (const BoundItem& item : out.items) allColumns = allColumns && item.expr.kind == BoundExpr::Kind::Column;
        if (allColumns) {
            for (const BoundItem& item : out.items) {
                bool known = false;
                for (const GroupKey& k : out.groupBy) known = known || SameColumn(k.expr, item.expr);
                if (!known) out.groupBy.push_back({item.expr, IsCaseInsensitive(item.expr)});
            }
        } else {
            out.distinctRows = true;
        }
    } else if (select.distinct) {
        out.distinctRows = true;
    }

    out.aggregate = anyAggregate || !out.groupBy.empty();
    if (out.aggregate) {
        for (BoundItem& item : out.items) {
            if (item.expr.kind != BoundExpr::Kind::Column) continue;
            const GroupKey* key = nullptr;
            for (const GroupKey& k : out.groupBy)
                if (SameColumn(k.expr, item.expr)) key = &k;
            if (!key)
                throw Error(3122, fmt::format("You tried to execute a query that does not include the specified "
                                              "expression '{}' as part of an aggregate function.",
                                              item.name));
            item.representative = key->caseInsensitive;
        }
    }

    for (const OrderItem& o : select.orderBy) out.orderBy.push_back(MakeOrderKey(binder.Bind(o.expr, true), o.descending));
    for (const GroupKey& k : out.groupBy) {
        bool known = false;
        for (const OrderKey& o : out.orderBy) known = known || SameColumn(o.expr, k.expr);
        if (!known) out.orderBy.push_back(MakeOrderKey(k.expr, false));
    }
    return out;
}

BoundExpr BindCondition(const Expr& condition, const TableInfo& table) {
    return Binder(table).Bind(condition, false);
}

Value CoerceForColumn(const Value& v, const ColumnInfo& column) {
    if (v.IsNull() || !column.typed) return v;
    auto mismatch = [&]() -> Error {
        return Error(3464, fmt::format("Data type mismatch: the field '{}' cannot hold this value.", column.name));
    };
    const bool isText = v.kind() == Value::Kind::Text;
    switch (column.type) {
        case dbText:
        case dbMemo: {
            if (!isText) throw mismatch();
            if (column.type == dbText && column.size > 0) {
                int64_t chars = 0;  // UTF-8 characters, not bytes
                for (char c : v.AsText()) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
                if (chars > column.size)
                    throw Error(3163, fmt::format("The field '{}' is too small to accept the amount of data you "
                                                  "attempted to add. Try inserting or pasting less data.",
                                                  column.name));
            }
            return v;
        }
        case dbBoolean: {
            if (v.kind() == Value::Kind::Boolean) return v;
            if (v.IsNumeric()) return Value(v.ToDouble() != 0);
            throw mismatch();
        }
        case dbDate:
            if (v.kind() == Value::Kind::Date) return v;
            if (v.IsNumeric()) return Value(Date{v.ToDouble()});
            throw mismatch();
        case dbSingle:
            if (v.IsNumeric() || v.kind() == Value::Kind::Boolean) return Value(float(v.ToDouble()));
            throw mismatch();
        case dbByte:
        case dbInteger:
        case dbLong: {
            if (!(v.IsNumeric() || v.kind() == Value::Kind::Boolean)) throw mismatch();
            double d = std::nearbyint(v.ToDouble());  // Jet rounds to the nearest whole number, halves to even
            if (d < -2147483648.0 || d > 2147483647.0) throw Error(6, "Overflow");
            if (column.type == dbLong) return Value(int32_t(d));
            if (d < -32768 || d > 32767 || (column.type == dbByte && (d < 0 || d > 255))) throw Error(6, "Overflow");
            return Value(int16_t(d));
        }
        case dbBinary:
        case dbLongBinary: return v;
        default:
            if (v.IsNumeric() || v.kind() == Value::Kind::Boolean) return Value(v.ToDouble());
            throw mismatch();
    }
}

}  // namespace db::sql

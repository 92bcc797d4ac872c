// The classifier file (.bnc): WriteBnc stores a learned classifier as text, ReadBncStru reads
// its head and structure back and ReadBncCPT its class prior and probability tables, after
// which the engine classifies exactly as after learning. Reads and writes TableName, numfld,
// nc, FieldNames, FF, VluLbl, IsMultiNet_, Feature, CostTable, DefaultCost, CostTablePut,
// Graph, ClassChildren, IsClassChild, Parents, CPTIndex and CPTStore.
//
// Layout (lines end in CR LF; "list" lines are comma-separated list-style items):
//   //Created by BN Kalvex <time>  <date>
//   BAYES_NET: <table>   or   MULTI_NET: <table>
//   FIELDS: <numfld in print style>
//   list: the field names;  per field, list: name, FF, the labels (0 and none when over the limit)
//   blank; multi-net only: "Feature Subset: " and list: the flags;  blank
//   DEFAULT COST TABLE   or   COST TABLE and nc list lines;  blank
//   single net: STRUCTURE, numfld list lines of layer 0, "child | parents" lines, blank
//   multi-net, per class value k: "STRUCTURE  <class> = <label k>", the lines i = 2..numfld of
//     layer k (columns 2..numfld), "field | parents" per feature, blank
//   CLASS PROB, list: the prior, blank
//   single net: CPTABLES, then per class child "Table: <name>  (<rows> entries)" and its rows
//   multi-net, per k: "CPTABLES <class> = <label k>", a Table block per feature, blank
// The readers find each section by its line exactly as the writer writes it, so a parent line
// of a field named like a section (STRUCTURE1, CPTABLES2) is never taken for one.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "classifier_engine/data_engine.h"
#include "classifier_engine/errors.h"
#include "platform/vb/regional.h"
#include "platform/vb/replacing_file.h"
#include "platform/vb/strings.h"
#include "platform/vb/text_file.h"
#include "platform/vb/types.h"

namespace zorvapi {

namespace {

const char* const kStructure = "STRUCTURE";
const char* const kTables = "CPTABLES";
const char* const kClassProb = "CLASS PROB";
const char* const kFeatureSubset = "Feature Subset: ";
const char* const kCostTable = "COST TABLE";
const char* const kDefaultCostTable = "DEFAULT COST TABLE";

// A malformed file: the runtime's type-mismatch number, with a text that says what is wrong.
[[noreturn]] void Damaged(const std::string& what) {
    throw vb::RuntimeError(13, "Type mismatch: the classifier file is damaged (" + what + ")");
}

std::string TrimRight(const std::string& s) {
    size_t end = s.size();
    while (end > 0 && (s[end - 1] == ' ' || s[end - 1] == '\t')) --end;
    return s.substr(0, end);
}

// After the items of a list line: the writer ends every list line after its last item, so a
// line that holds more items, or a last line cut off inside its last number, would be read as
// other values. A cut file is past its end (62), any other is damaged.
void LineRead(vb::TextReader& in, const std::string& what) {
    if (in.AtLineStart()) return;
    if (in.AtEnd()) throw in.PastEnd();
    Damaged(what + " holds more items than it should");
}

// Reads lines until one that is `header` (trailing blanks aside); past the end is error 62.
void SkipTo(vb::TextReader& in, const std::string& header) {
    const std::string want = TrimRight(header);
    while (TrimRight(in.LineInput()) != want) {
    }
}

// Item k of a list line that has n items: the last goes without the comma that would let more
// follow on the line.
template <typename T>
void Item(vb::TextWriter& out, const T& value, bool last) {
    if (last) out.WriteLine(value);
    else out.Write(value);
}

// The section headers of a multi-net's layer of class value `label`.
std::string StructureHeader(const std::string& classField, const std::string& label) {
    return std::string(kStructure) + "  " + classField + " = " + label;
}
std::string TablesHeader(const std::string& classField, const std::string& label) {
    return std::string(kTables) + " " + classField + " = " + label;
}

// The class children of a single net and their parents from layer 0: i is a child when the
// class is its parent; j is a parent of child c when the layer's cells say so. The class is
// therefore each child's first parent.
struct SingleNet {
    std::vector<Integer> children;
    std::vector<std::vector<Integer>> parents;  // by position in children
};
SingleNet ClassBlanket(const vb::Array<Integer>& Graph, Integer numfld) {
    SingleNet net;
    for (Integer i = 2; i <= numfld; ++i)
        if (Graph(0, 1, i) == 1 || Graph(0, i, 1) == 2) net.children.push_back(i);
    for (Integer c : net.children) {
        std::vector<Integer>& list = net.parents.emplace_back();
        for (Integer j = 1; j <= numfld; ++j)
            if (j != c && (Graph(0, j, c) == 1 || Graph(0, c, j) == 2)) list.push_back(j);
    }
    return net;
}

// The number of rows of a table whose parents have `ff` values each (the class included for a
// single net), cut off above any store's size.
template <typename ValueCount>
int64_t TableRowsFor(Integer np, ValueCount ff) {
    int64_t rows = 1;
    for (Integer s = 1; s <= np; ++s) rows = std::min<int64_t>(rows * ff(s), int64_t(1) << 32);
    return rows;
}

}  // namespace

double DataEngine::ExactSingle(Single v) {
    if (!std::isfinite(v)) return v;
    return vb::ParseDouble(fmt::format("{}", v));
}

// ---- writing ---------------------------------------------------------------------------------

void DataEngine::WriteBnc(std::string& FileNM) {
    TrapErrors([&] {
        const Integer n = numfld;
        const Integer classes = FF(1);
        std::string time, date;
        if (BncClock) {
            BncClock(time, date);
        } else {
            time = vb::CurrentTimeText();
            date = vb::CurrentDateText();
        }
        auto names = [&](const std::vector<Integer>& fields) {
            std::string text;
            for (size_t m = 0; m < fields.size(); ++m)
                text += (m > 0 ? ", " : "") + FieldNames(fields[m]);
            return text;
        };

        // The reader ends every item and line at a line break: refuse such a text before the
        // file is touched.
        if (TableName.find_first_of("\r\n") != std::string::npos)
            throw EngineError(kLineBreakInFile, "the table name " + TableName);
        if (const std::string text = FirstTextHolding("\r\n"); !text.empty())
            throw EngineError(kLineBreakInFile, text);
        // Written beside the target and renamed over it when complete, so a failed write
        // leaves the user's earlier classifier as it was.
        vb::ReplacingFile file(FileNM);
        vb::TextWriter out(file.path(), FileNM);
        out.PrintLine("//Created by BN Kalvex " + time + "  " + date);
        out.PrintLine(std::string(IsMultiNet_ ? "MULTI_NET: " : "BAYES_NET: ") + TableName);
        out.Print("FIELDS: ").Print(n).EndLine();
        for (Integer i = 1; i <= n; ++i) Item(out, FieldNames(i), i == n);
        for (Integer i = 1; i <= n; ++i) {
            out.Write(FieldNames(i));
            // A field over the value limit has no labels and takes part in no table.
            if (FF(i) > MaxVlus) {
                Feature(i) = 0;
                out.WriteLine(Integer(0));
                continue;
            }
            Item(out, FF(i), FF(i) == 0);
            for (Integer v = 1; v <= FF(i); ++v) Item(out, VluLbl(i, v), v == FF(i));
        }
        out.PrintLine();
        if (IsMultiNet_) {
            out.PrintLine(kFeatureSubset);
            for (Integer i = 1; i <= n; ++i) Item(out, Feature(i), i == n);
        }
        out.PrintLine();

        // An engine that never got a cost table decides by the default one.
        if (DefaultCost || !CostTablePut || !CostTable.allocated()) {
            out.PrintLine(kDefaultCostTable);
        } else {
            out.PrintLine(kCostTable);
            for (Integer i = 1; i <= classes; ++i)
                for (Integer j = 1; j <= classes; ++j)
                    Item(out, ExactSingle(CostTable(i, j)), j == classes);
        }
        out.PrintLine();

        if (!IsMultiNet_) {
            out.PrintLine(kStructure);
            for (Integer i = 1; i <= n; ++i)
                for (Integer j = 1; j <= n; ++j) Item(out, Graph(0, i, j), j == n);
            for (Integer m = 1; m <= ClassChildren(0); ++m) {
                const Integer c = ClassChildren(m);
                std::vector<Integer> parents;
                for (Integer s = 1; s <= Parents(c, 0); ++s) parents.push_back(Parents(c, s));
                out.PrintLine(FieldNames(c), " | ", names(parents));
            }
            out.PrintLine();
        } else {
            for (Integer k = 1; k <= classes; ++k) {
                out.PrintLine(StructureHeader(FieldNames(1), VluLbl(1, k)));
                for (Integer i = 2; i <= n; ++i)
                    for (Integer j = 2; j <= n; ++j) Item(out, Graph(k, i, j), j == n);
                for (Integer i = 2; i <= n; ++i) {
                    if (Feature(i) != 1) continue;
                    std::vector<Integer> parents;
                    for (Integer s = 1; s <= Parents(k, i, 0); ++s)
                        parents.push_back(Parents(k, i, s));
                    out.PrintLine(FieldNames(i), " | ", names(parents));
                }
                out.PrintLine();
            }
        }

        out.PrintLine(kClassProb);
        for (Integer v = 1; v <= classes; ++v) Item(out, ExactSingle(CPTStore(1, v)), v == classes);
        out.PrintLine();

        auto table = [&](Integer field, Long first, Long last) {
            out.PrintLine("Table: " + FieldNames(field) + "  (" + vb::NumberText(last - first) +
                          " entries)");
            for (Long r = first + 1; r <= last; ++r)
                for (Integer v = 1; v <= FF(field); ++v)
                    Item(out, ExactSingle(CPTStore(r, v)), v == FF(field));
        };
        if (!IsMultiNet_) {
            out.PrintLine(kTables);
            for (Integer m = 1; m <= ClassChildren(0); ++m) {
                const Integer c = ClassChildren(m);
                table(c, CPTIndex(c), CPTIndex(c + 1));
            }
        } else {
            for (Integer k = 1; k <= classes; ++k) {
                out.PrintLine(TablesHeader(FieldNames(1), VluLbl(1, k)));
                for (Integer i = 2; i <= n; ++i)
                    if (Feature(i) == 1) table(i, CPTIndex(k, i), CPTIndex(k, i + 1));
                out.PrintLine();
            }
        }
        out.Close();
        file.Commit();
    });
}

// ---- reading ---------------------------------------------------------------------------------

void DataEngine::ReadBncStru(std::string& FileNM) {
    TrapErrors([&] {
        vb::TextReader in(FileNM);
        // The kind line; the comment line and anything else before it is skipped.
        std::string line;
        for (;;) {
            line = in.LineInput();
            if (line.compare(0, 5, "MULTI") == 0 || line.compare(0, 5, "BAYES") == 0) break;
        }
        IsMultiNet_ = line.compare(0, 5, "MULTI") == 0;
        // A fresh engine takes the table name the file was learned on.
        if (TableName.empty()) {
            const size_t colon = line.find(':');
            TableName =
                colon == std::string::npos ? "" : line.substr(std::min(colon + 2, line.size()));
        }

        do line = in.LineInput();
        while (line.compare(0, 8, "FIELDS: ") != 0);
        const double fields = vb::Val(line.substr(8));
        if (fields < 1 || fields > 32767) Damaged("the FIELDS line holds no field count");
        numfld = vb::CInt(fields);
        const Integer n = numfld;
        // The structure holds at least (numfld - 1)^2 numbers of two characters ("0,") a layer:
        // a count the file is too short for is damage, found before anything is sized by it.
        std::error_code sizeError;
        const double fileBytes = double(std::filesystem::file_size(FileNM, sizeError));
        auto needs = [&](double layers) {
            if (!sizeError && fileBytes < 2.0 * layers * (n - 1) * (n - 1))
                Damaged("the FIELDS line counts more fields than the file holds");
        };
        needs(1);

        FieldNames.ReDim(vb::To(n));
        VluLbl.ReDim(vb::To(n), vb::To(MaxVlus));
        FF.ReDim(vb::To(n));
        for (Integer i = 1; i <= n; ++i) FieldNames(i) = in.ReadItem();
        LineRead(in, "the line of field names");
        for (Integer i = 1; i <= n; ++i) {
            in.ReadItem();  // the name again
            FF(i) = in.ReadInteger();
            if (FF(i) < 0) Damaged("a negative value count");
            // A field with more values than this engine's limit fails here: error 556.
            for (Integer v = 1; v <= FF(i); ++v) VluLbl(i, v) = in.ReadItem();
            LineRead(in, "the line of field " + FieldNames(i));
        }
        nc = FF(1);
        const Integer classes = nc;
        if (classes < 1) Damaged("the class field has no values");
        needs(IsMultiNet_ ? classes : 1);

        Graph.ReDim(vb::To(classes), vb::To(n), vb::To(n));
        Feature.ReDim(vb::To(n));
        if (IsMultiNet_) {
            SkipTo(in, kFeatureSubset);
            for (Integer i = 1; i <= n; ++i) Feature(i) = in.ReadInteger();
            LineRead(in, "the feature subset");
        }

        do line = TrimRight(in.LineInput());
        while (line != kCostTable && line != kDefaultCostTable);
        DefaultCost = line == kDefaultCostTable;
        CostTable.ReDim(vb::To(classes), vb::To(classes));
        if (!DefaultCost)
            for (Integer i = 1; i <= classes; ++i) {
                for (Integer j = 1; j <= classes; ++j) CostTable(i, j) = in.ReadSingle();
                LineRead(in, "a cost table row");
            }
        // The file's costs count as put: inference would otherwise fall back to the default.
        CostTablePut = true;

        if (!IsMultiNet_) {
            SkipTo(in, kStructure);
            for (Integer i = 1; i <= n; ++i) {
                for (Integer j = 1; j <= n; ++j) Graph(0, i, j) = in.ReadInteger();
                LineRead(in, "a structure row");
            }
            // Only a multi-net carries its feature subset; a single net's is the class, its
            // children and their parents, which ClsfyBatch needs to find the test columns.
            const SingleNet net = ClassBlanket(Graph, n);
            for (size_t m = 0; m < net.children.size(); ++m) {
                Feature(net.children[m]) = 1;
                for (Integer p : net.parents[m]) Feature(p) = 1;
            }
        } else {
            for (Integer k = 1; k <= classes; ++k) {
                SkipTo(in, StructureHeader(FieldNames(1), VluLbl(1, k)));
                for (Integer i = 2; i <= n; ++i) {
                    for (Integer j = 2; j <= n; ++j) Graph(k, i, j) = in.ReadInteger();
                    LineRead(in, "a structure row");
                }
            }
        }
    }, {kMapSubscriptTo556});
}

void DataEngine::ReadBncCPT(std::string& FileNM) {
    TrapErrors([&] {
        const Integer n = numfld;
        const Integer classes = FF(1);
        if (!IsMultiNet_) {
            Parents.ReDim(vb::To(n), vb::To(n));
            CPTIndex.ReDim(vb::To(n + 1));
            CPTStore.ReDim(vb::To(MaxRows), vb::To(MaxVlus));
            ClassChildren.ReDim(vb::To(n));
            IsClassChild.ReDim(vb::To(n));
            const SingleNet net = ClassBlanket(Graph, n);
            for (size_t m = 0; m < net.children.size(); ++m) {
                const Integer c = net.children[m];
                ClassChildren(++ClassChildren(0)) = c;
                IsClassChild(c) = 1;
                for (Integer p : net.parents[m]) Parents(c, ++Parents(c, 0)) = p;
            }
        } else {
            Parents.ReDim(vb::To(classes), vb::To(n), vb::To(n));
            CPTIndex.ReDim(vb::To(classes), vb::To(n + 1));
            CPTStore.ReDim(vb::To(vb::LongMul(2, MaxRows)), vb::To(MaxVlus));
            // Each layer is the network of one class value: the class is never a parent.
            for (Integer k = 1; k <= classes; ++k)
                for (Integer i = 2; i <= n; ++i)
                    for (Integer j = 2; j <= n; ++j)
                        if (j != i && (Graph(k, j, i) == 1 || Graph(k, i, j) == 2))
                            Parents(k, i, ++Parents(k, i, 0)) = j;
        }

        vb::TextReader in(FileNM);
        std::string line;
        do line = vb::UCase(TrimRight(in.LineInput()));
        while (line != kClassProb);
        for (Integer v = 1; v <= classes; ++v) CPTStore(1, v) = in.ReadSingle();
        LineRead(in, "the class prior");

        Long offset = 1;
        // The rows of field f's table after the "Table:" line; `rows` is what the parents'
        // configurations call for, so that inference never reads another table's row.
        auto table = [&](Integer f, int64_t rows) {
            do line = in.LineInput();
            while (vb::UCase(line.substr(0, 5)) != "TABLE");
            const size_t open = line.find('(', FieldNames(f).size() + 9);
            if (open == std::string::npos)
                Damaged("no row count on the table line of " + FieldNames(f));
            const double count = std::nearbyint(vb::Val(line.substr(open + 1)));
            if (count != double(rows))
                Damaged("the table of " + FieldNames(f) + " has " + vb::NumberText(count) +
                        " rows where its parents have " + vb::NumberText(rows) + " configurations");
            // A file whose tables need more rows than the store holds fails as learning would.
            if (int64_t(offset) + rows > CPTStore.UBound(1))
                throw vb::RuntimeError::SubscriptOutOfRange();
            for (Long r = 1; r <= Long(rows); ++r) {
                for (Integer v = 1; v <= FF(f); ++v) CPTStore(offset + r, v) = in.ReadSingle();
                LineRead(in, "a table row of " + FieldNames(f));
            }
            offset += Long(rows);
        };
        if (!IsMultiNet_) {
            SkipTo(in, kTables);
            for (Integer i = 2; i <= n; ++i) {
                CPTIndex(i) = offset;
                if (IsClassChild(i) == 1) {
                    table(i, TableRowsFor(Parents(i, 0),
                                          [&](Integer s) { return FF(Parents(i, s)); }));
                }
            }
            CPTIndex(n + 1) = offset;
        } else {
            for (Integer k = 1; k <= classes; ++k) {
                SkipTo(in, TablesHeader(FieldNames(1), VluLbl(1, k)));
                for (Integer i = 2; i <= n; ++i) {
                    CPTIndex(k, i) = offset;
                    if (Feature(i) != 1) continue;
                    // A field of one value (or over the limit) has an empty table.
                    int64_t rows = 0;
                    if (FF(i) > 1 && FF(i) <= MaxVlus)
                        rows = TableRowsFor(Parents(k, i, 0),
                                            [&](Integer s) { return FF(Parents(k, i, s)); });
                    table(i, rows);
                }
                CPTIndex(k, n + 1) = offset;
            }
        }
    });
}

}  // namespace zorvapi

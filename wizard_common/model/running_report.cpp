// The line sequences of zorv's and vrell's running reports and of zorv's structure listing,
// built from one set of blocks: name cells, lists that end their line after a fixed number of
// items, the knowledge sections and the structure listing.
#include "wizard_common/model/running_report.h"

#include <string>

#include "platform/vb/regional.h"

namespace wizard {

namespace {

constexpr int kCellWidth = 6;
constexpr int kNamesPerLine = 10;
constexpr int kPairsPerLine = 5;
constexpr int kOdbcListIndex = 16;

// The byte length of the first `chars` characters of a UTF-8 text (a stray byte counts as one).
size_t PrefixBytes(std::string_view s, int chars, int* taken) {
    size_t i = 0;
    int n = 0;
    while (i < s.size() && n < chars) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        ++n;
    }
    *taken = n;
    return i;
}

// A cell outside the array, or in an array never sized, reads 0.
int16_t CellOr0(const vb::Array<int16_t>& a, int64_t i) {
    return a.dims() == 1 && a.InBounds(1, i) ? a(int32_t(i)) : 0;
}
int16_t CellOr0(const vb::Array<int16_t>& a, int64_t i, int64_t j) {
    return a.dims() == 2 && a.InBounds(1, i) && a.InBounds(2, j) ? a(int32_t(i), int32_t(j)) : 0;
}
int16_t CellOr0(const vb::Array<int16_t>& a, int64_t t, int64_t i, int64_t j) {
    return a.dims() == 3 && a.InBounds(1, t) && a.InBounds(2, i) && a.InBounds(3, j)
               ? a(int32_t(t), int32_t(i), int32_t(j))
               : 0;
}

std::string ItemOrEmpty(const std::vector<std::string>& v, int i) {
    return i >= 0 && size_t(i) < v.size() ? v[size_t(i)] : std::string();
}

// The fields a report speaks of: their names by index and the index range in use.
struct Fields {
    std::vector<std::string> names;  // by field index
    int first = 0, last = -1;
    std::string Name(int i) const { return ItemOrEmpty(names, i); }
};

// Items written one after another, the line ended after every `perLine`-th item. The count is
// of the items on the current line, so it is above 0 exactly when a line is left partly filled.
class CountedLine {
public:
    CountedLine(ReportSink& sink, int perLine) : sink_(sink), perLine_(perLine) {}
    void Add(const std::string& item) {
        sink_.Write(item, BodyFont());
        if (++count_ == perLine_) {
            sink_.EndLine(BodyFont());
            count_ = 0;
        }
    }
    int count() const { return count_; }
    void Reset() { count_ = 0; }

private:
    ReportSink& sink_;
    int perLine_;
    int count_ = 0;
};

// Left name cells and a blank, ten to a line, of the fields that `take` accepts.
template <typename Take>
void NameList(ReportSink& sink, const Fields& f, Take take) {
    CountedLine line(sink, kNamesPerLine);
    for (int i = f.first; i <= f.last; ++i)
        if (take(i)) line.Add(LeftCell(f.Name(i)) + " ");
}

// "Partial ordering:  " and its kin: YES and the pairs of the matrix, five to a line, or NO.
// Every cell is looked at (both directions), so a pair held in both cells is listed twice.
void KnowledgeSection(ReportSink& sink, const Fields& f, const char* caption, bool ticked,
                      const vb::Array<int16_t>& m, const char* mark) {
    sink.Write(caption, BodyFont());
    if (!ticked) {
        sink.WriteLine("NO", BodyFont());
        return;
    }
    sink.WriteLine("YES", BodyFont());
    CountedLine line(sink, kPairsPerLine);
    for (int a = f.first; a <= f.last; ++a)
        for (int b = f.first; b <= f.last; ++b)
            if (CellOr0(m, a, b) != 0)
                line.Add(RightCell(f.Name(a)) + mark + LeftCell(f.Name(b)) + " ");
    sink.EndLine(BodyFont());
}

void RootLeafList(ReportSink& sink, const Fields& f, const char* caption,
                  const vb::Array<int16_t>& flags) {
    sink.WriteLine(caption, BodyFont());
    NameList(sink, f, [&](int i) { return CellOr0(flags, i) == 1; });
    sink.EndLine(BodyFont());
}

// Sections 8 to 19 of both reports: the field names, the four knowledge tabs and the root and
// leaf lists. vrell leaves an empty line after each of the last two.
void FieldsAndKnowledge(ReportSink& sink, const Fields& f, const ReportKnowledge& k,
                        int16_t fieldCount, bool emptyLineAfterRootsAndLeaves) {
    const ReportFont body = BodyFont();
    sink.WriteLine("Number of fields:  " + std::to_string(fieldCount), body);
    NameList(sink, f, [](int) { return true; });
    sink.EndLine(body);
    sink.EndLine(body);
    sink.Write("Complete ordering:  ", body);
    sink.WriteLine(k.chkco ? "YES" : "NO", body);
    sink.EndLine(body);
    KnowledgeSection(sink, f, "Partial ordering:  ", k.chkpo, k.po, ">>");
    sink.EndLine(body);
    KnowledgeSection(sink, f, "Causes & Effects:  ", k.chkce, k.ce, "->");
    sink.EndLine(body);
    KnowledgeSection(sink, f, "Forbidden Links:  ", k.chkfl, k.fl, "-X-");
    sink.EndLine(body);
    RootLeafList(sink, f, "Root fields:  ", k.rt);
    if (emptyLineAfterRootsAndLeaves) sink.EndLine(body);
    RootLeafList(sink, f, "Leaf fields:  ", k.lf);
    if (emptyLineAfterRootsAndLeaves) sink.EndLine(body);
}

// How a structure listing writes a link: the report in name cells with bare arrows, five to a
// line; the result box in whole names with blanks around the arrows, four to a line.
struct ListingStyle {
    bool cells;
    int perLine;
    const char* gap;
};
constexpr ListingStyle kReportListing{true, kPairsPerLine, " "};
constexpr ListingStyle kResultBoxListing{false, 4, "   "};

std::string Arrow(int16_t code, bool spaced) {
    const char* a = code == 1 ? "->" : code == 2 ? "<-" : code == 3 ? "--" : "<>";
    return spaced ? std::string(" ") + a + " " : std::string(a);
}

// The links (cells i < j above 0) of the layers, each layer of a multi-net headed by its class
// value and set apart from the one before by an empty line (a partly filled line is ended
// first). `cell(t, i, j)` reads the matrix. The listing ends without a line end of its own.
template <typename Cell>
void StructureListing(ReportSink& sink, const Fields& f, const ListingStyle& style, bool multi,
                      int firstLayer, int lastLayer, const std::string& classField,
                      const std::vector<std::string>& classLabels, Cell cell) {
    const ReportFont body = BodyFont();
    CountedLine line(sink, style.perLine);
    for (int t = firstLayer; t <= lastLayer; ++t) {
        if (multi) {
            if (t != firstLayer) {
                sink.EndLine(body);
                if (line.count() > 0) sink.EndLine(body);
            }
            sink.WriteLine("[" + classField + " = " + ItemOrEmpty(classLabels, t) + "]", body);
            line.Reset();
        }
        for (int i = f.first; i < f.last; ++i)
            for (int j = i + 1; j <= f.last; ++j) {
                const int16_t code = cell(t, i, j);
                if (code <= 0) continue;
                const std::string a = style.cells ? RightCell(f.Name(i)) : f.Name(i);
                const std::string b = style.cells ? LeftCell(f.Name(j)) : f.Name(j);
                line.Add(a + Arrow(code, !style.cells) + b + style.gap);
            }
    }
}

// zorv's fields in a network: from FirstNode to FieldCount.
Fields NetworkFields(const ClassifierNets& n) {
    return {n.FieldNames, FirstNodeOf(n.IsMultiNetFlag), n.FieldCount};
}

void ClassifierListing(ReportSink& sink, const ClassifierNets& n, const vb::Array<int16_t>& graph,
                       const ListingStyle& style) {
    const bool multi = n.IsMultiNetFlag;
    StructureListing(sink, NetworkFields(n), style, multi, multi ? 1 : 0, multi ? n.NetCount : 0,
                     ItemOrEmpty(n.FieldNames, 1), n.ClassLabels,
                     [&](int t, int i, int j) { return CellOr0(graph, t, i, j); });
}

std::string Title(const char* word, std::time_t now) {
    return std::string("Belief Network ") + word + ".       " + vb::LocalTimeText(now) + "  " +
           vb::LocalDateText(now);
}

}  // namespace

std::string LeftCell(std::string_view name) {
    int n = 0;
    std::string cell(name.substr(0, PrefixBytes(name, kCellWidth, &n)));
    return cell + std::string(size_t(kCellWidth - n), ' ');
}

std::string RightCell(std::string_view name) {
    int n = 0;
    std::string cell(name.substr(0, PrefixBytes(name, kCellWidth, &n)));
    return std::string(size_t(kCellWidth - n), ' ') + cell;
}

std::string WriteGrafTxt(const ClassifierNets& nets, int16_t& learnedCounter) {
    if (learnedCounter < INT16_MAX) ++learnedCounter;
    const ReportFont body = BodyFont();
    ReportTextSink text;
    text.EndLine(body);
    text.Write(nets.IsMultiNetFlag ? "Bayesian Multi_network" : "Bayesian Network", body);
    bool selected = false;  // a field other than the class field was left out
    for (int i = 2; i <= nets.FieldCount; ++i)
        if (size_t(i) >= nets.FieldUsed.size() || nets.FieldUsed[size_t(i)] == 0) selected = true;
    if (selected) {
        text.Write(" (with Feature Selection)", body);
        text.EndLine(body);
    }
    text.EndLine(body);
    ClassifierListing(text, nets, nets.GraphArr, kResultBoxListing);
    text.EndLine(body);
    return text.Text();
}

void BuildZorvReport(const ZorvReportData& d, ReportCopy copy, std::time_t now, ReportSink& sink) {
    const ReportFont body = BodyFont();
    const ClassifierNets& n = d.nets;
    sink.WriteLine(Title("Kalvex", now), TitleFont());
    for (int k = copy == ReportCopy::Printed ? 3 : 2; k > 0; --k) sink.EndLine(body);
    sink.WriteLine("Database:  " + d.DBName, body);
    sink.EndLine(body);
    sink.WriteLine("Dataset:  " + d.CboTbName, body);
    sink.EndLine(body);
    FieldsAndKnowledge(sink, Fields{n.FieldNames, 1, n.FieldCount}, d.knowledge, n.FieldCount,
                       false);

    const auto threshold = [&] {
        sink.Write("Threshold: ", body);
        sink.WriteLine(d.OptAuto ? "Auto" : d.CmbEps + " times of the default value.", body);
    };
    if (copy == ReportCopy::Saved) {
        threshold();
        sink.EndLine(body);
    }
    sink.WriteLine("Input logfile: " + d.txtinputlog, body);
    sink.EndLine(body);
    sink.WriteLine("Output logfile: " + d.txtoutputlog, body);
    sink.EndLine(body);
    if (copy == ReportCopy::Printed) threshold();

    sink.Write("Results: ", body);
    sink.WriteLine(n.IsMultiNetFlag ? "[Multi-Net]" : "[Bayesian Net]", body);
    if (CellOr0(d.LearnedGraph, 0, 0, 0) > 2) {
        ClassifierListing(sink, n, d.LearnedGraph, kReportListing);
        sink.EndLine(body);
        sink.EndLine(body);
        sink.WriteLine("After Editing:", body);
    }
    ClassifierListing(sink, n, n.GraphArr, kReportListing);
}

void BuildVrellReport(const VrellReportData& d, std::time_t now, ReportSink& sink) {
    const ReportFont body = BodyFont();
    Fields f{{}, 0, d.NumFlds - 1};
    for (int i = 0; i < d.NumFlds; ++i)
        f.names.push_back(d.arrfldnm.dims() == 1 && d.arrfldnm.InBounds(1, i) ? d.arrfldnm(i)
                                                                               : std::string());

    sink.WriteLine(Title("Tormid", now), TitleFont());
    for (int k = 0; k < 3; ++k) sink.EndLine(body);
    sink.Write("Database:  ", body);
    sink.WriteLine(d.lstdbfmt == kOdbcListIndex ? "ODBC " : d.txtdbname, body);
    sink.EndLine(body);
    sink.WriteLine("Dataset:  " + d.cboTbName, body);
    sink.EndLine(body);
    FieldsAndKnowledge(sink, f, d.knowledge, d.NumFlds, true);
    sink.WriteLine("Threshold: " + d.CmbEps + " times of the default value.", body);
    sink.EndLine(body);
    sink.WriteLine("Input logfile: " + d.txtinputlog, body);
    sink.EndLine(body);
    sink.WriteLine("Output logfile: " + d.txtoutputlog, body);
    sink.EndLine(body);
    sink.EndLine(body);
    sink.WriteLine("Results:", body);

    const auto listing = [&](const vb::Array<int16_t>& m) {
        StructureListing(sink, f, kReportListing, false, 0, 0, std::string(), {},
                         [&](int, int i, int j) { return CellOr0(m, i, j); });
    };
    if (CellOr0(d.rstSaved, 0, 0) > 0) {
        listing(d.rstSaved);
        sink.EndLine(body);
        sink.EndLine(body);
        sink.WriteLine("After Editing:", body);
    }
    listing(d.rst);
}

}  // namespace wizard

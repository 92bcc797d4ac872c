// The classifier's learning log: WriteLog saves the statistics of a finished learning run, and
// the set-up (InitLearnStru) reads them back through ReadLearningLog, so that a later run on the
// same data counts only what the log lacks. The log is matched to the reading run by field
// name (LogMap); it serves only runs with the hold-out setting it was written under. Reads and
// writes FieldNames, LearnRowsOnly, NetTotal, FF, VluLbl, VluCnt, MICache, MIWork, SetCache and
// LogMap.
//
// Layout (list style, lines end in CR LF; a list line ends with a comma):
//   n;  the n upper-case field names;  the hold-out flag (#TRUE#/#FALSE#);  NetTotal(0)
//   per field: FF and, unless the field is over the value limit, its labels
//   per layer 0..nc, per field: FF and, unless over the limit, the value counts
//   per layer, per field i < n: the mutual information of (i, j > i) as "##0.00000" texts in
//     the regional decimal symbol, the absolute value of MICache (so a pair never computed,
//     -100, is written as 100.00000)
//   one line k, i, j, m, s1..sm, cmi per cached conditioning set (no comma at its end)
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "classifier_engine/data_engine.h"
#include "classifier_engine/errors.h"
#include "platform/db/sql_names.h"
#include "platform/vb/regional.h"
#include "platform/vb/replacing_file.h"
#include "platform/vb/strings.h"
#include "platform/vb/text_file.h"
#include "platform/vb/types.h"

namespace zorvapi {

namespace {

// Mutual information is at most the logarithm of a value count, far below this; the log's
// 100.00000 is a pair that was never computed.
constexpr Single kNotComputedInLog = 100;

[[noreturn]] void InvalidLog() { throw EngineError(kInvalidLogFile); }

// One line of the log as its items; the empty item after a list line's last comma is not among
// them. Reading past the end of the file is the runtime's error 62, and so is a line that has no
// line end: the writer ends every line, so that is a log cut off inside its last line, whose
// last number may be cut short too. An item that is not the number asked for is error 13.
class LogLine {
public:
    explicit LogLine(vb::TextReader& file) {
        vb::TextReader line = vb::TextReader::FromText(file.LineInput());
        if (!file.AtLineStart()) throw vb::RuntimeError::InputPastEnd();
        while (!line.AtEnd()) items_.push_back(line.ReadItem());
    }
    size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const std::string& Text(size_t k) const { return items_.at(k); }
    Integer Int(size_t k) const { return vb::CInt(vb::ParseDouble(Text(k))); }
    Long Lng(size_t k) const { return vb::CLng(vb::ParseDouble(Text(k))); }
    Single Sgl(size_t k) const { return vb::ParseSingle(Text(k)); }
    bool Flag(size_t k) const {
        const std::string t = vb::UCase(Text(k));
        if (t == "#TRUE#" || t == "TRUE") return true;
        if (t == "#FALSE#" || t == "FALSE") return false;
        return vb::ParseDouble(t) != 0;
    }
    // The mutual information of a pair. It is written with the regional decimal symbol, so a
    // log may come from settings with a comma: both separators are read (the texts carry no
    // thousands separator). A pair never computed comes back as not computed.
    Single MI(size_t k, Single notComputed) const {
        std::string t = Text(k);
        for (char& c : t)
            if (c == ',') c = '.';
        const Single v = vb::ParseSingle(t);
        return v >= kNotComputedInLog ? notComputed : v;
    }
    // Exactly `n` items, or the log is not one the engine wrote.
    const LogLine& Expect(size_t n) const {
        if (items_.size() != n) InvalidLog();
        return *this;
    }

private:
    std::vector<std::string> items_;
};

}  // namespace

void DataEngine::OpenLog() {
    logFile_ = std::make_unique<vb::ReplacingFile>(logo);
    try {
        WriteLogText(logFile_->path());
    } catch (...) {
        logFile_.reset();
        throw;
    }
}

void DataEngine::WriteLog() {
    // Replaces an earlier log only when complete: a failed write leaves it as it was.
    std::unique_ptr<vb::ReplacingFile> file = std::move(logFile_);
    if (!file) file = std::make_unique<vb::ReplacingFile>(logo);
    WriteLogText(file->path());
    file->Commit();
}

void DataEngine::WriteLogText(const std::string& path) {
    vb::TextWriter out(path, logo);
    const Integer n = numfld;
    const Integer limit = MaxVlus + 1;
    out.WriteLine(n);
    for (Integer i = 1; i <= n; ++i) out.Write(vb::UCase(FieldNames(i)));
    out.EndLine();
    out.WriteLine(LearnRowsOnly);
    out.WriteLine(NetTotal(0));
    for (Integer i = 1; i <= n; ++i) {
        out.Write(FF(i));
        if (FF(i) < limit)
            for (Integer v = 1; v <= FF(i); ++v) out.Write(VluLbl(i, v));
        out.EndLine();
    }
    for (Integer k = 0; k <= nc; ++k)
        for (Integer i = 1; i <= n; ++i) {
            out.Write(FF(i));
            if (FF(i) < limit)
                for (Integer v = 1; v <= FF(i); ++v) out.Write(VluCnt(k, i, v));
            out.EndLine();
        }
    for (Integer k = 0; k <= nc; ++k)
        for (Integer i = 1; i < n; ++i) {
            for (Integer j = Integer(i + 1); j <= n; ++j)
                out.Write(vb::RegionalFixed(std::fabs(MICache(k, i, j)), 5));
            out.EndLine();
        }
    for (Integer k = 0; k <= nc; ++k)
        for (Integer i = 1; i < n; ++i)
            for (Integer j = Integer(i + 1); j <= n; ++j)
                for (const core::CachedSet& set : SetCache.Slots(k, i, j)) {
                    out.Write(k).Write(i).Write(j).Write(Integer(set.fields.size()));
                    for (Integer f : set.fields) out.Write(f);
                    out.WriteLine(ExactSingle(set.cmi));
                }
    out.Close();
}

void DataEngine::ReadLearningLog(const std::string& logi) {
    vb::TextReader in(logi);
    const Integer logFields = LogLine(in).Expect(1).Int(0);
    if (logFields < 3) InvalidLog();
    const size_t k = size_t(logFields);

    LogMap.ReDim(vb::To(logFields));
    const LogLine names = LogLine(in).Expect(k);
    for (Integer f = 1; f <= logFields; ++f) {
        // "[UNIT PRICE]" and "UNIT PRICE" are one field, whichever quoting the writing run applied.
        const std::string name = db::BareSqlName(vb::UCase(names.Text(size_t(f - 1))));
        for (Integer j = 1; j <= numfld && LogMap(f) == 0; ++j)
            if (db::BareSqlName(vb::UCase(FieldNames(j))) == name) LogMap(f) = j;
    }
    if (LogMap(1) != 1) InvalidLog();
    // A name twice in the log would give one field of this run two sets of statistics.
    for (Integer f = 2; f <= logFields; ++f)
        for (Integer g = 1; g < f; ++g)
            if (LogMap(f) != 0 && LogMap(f) == LogMap(g)) InvalidLog();

    // A log counted under the other hold-out setting describes other rows: it is ignored and
    // the set-up counts everything from the database.
    if (LogLine(in).Expect(1).Flag(0) != LearnRowsOnly) return;

    const Long total = LogLine(in).Expect(1).Lng(0);
    if (total <= 0) InvalidLog();
    NetTotal(0) = total;

    // The statistics of a log field are used when this run has the field and the log knows
    // its values within this run's limit. A field over the limit in both runs gets its marker
    // and nothing else; one the log wrote without labels but this run could label (the log
    // was written under a lower limit) is left to the database, as if the log lacked it.
    std::vector<Integer> values(k + 1, 0);
    std::vector<bool> labelled(k + 1, false), used(k + 1, false);
    for (Integer f = 1; f <= logFields; ++f) {
        const LogLine line(in);
        if (line.empty()) InvalidLog();
        const Integer c = line.Int(0);
        if (c < 0 || (line.size() != 1 && line.size() != size_t(c) + 1)) InvalidLog();
        values[size_t(f)] = c;
        labelled[size_t(f)] = line.size() == size_t(c) + 1;
        const Integer j = LogMap(f);
        if (f == 1) {
            // The class values decide the layers; a log of other class values is another table.
            if (c != nc || !labelled[1]) InvalidLog();
            for (Integer v = 1; v <= c; ++v)
                if (line.Text(size_t(v)) != VluLbl(1, v)) InvalidLog();
            used[1] = true;
        } else if (j == 0) {
            continue;
        } else if (c > MaxVlus) {
            FF(j) = Integer(MaxVlus + 1);
        } else if (labelled[size_t(f)]) {
            FF(j) = c;
            for (Integer v = 1; v <= c; ++v) VluLbl(j, v) = line.Text(size_t(v));
            used[size_t(f)] = true;
        }
    }

    for (Integer layer = 0; layer <= nc; ++layer)
        for (Integer f = 1; f <= logFields; ++f) {
            const LogLine line(in);
            const size_t items = labelled[size_t(f)] ? size_t(values[size_t(f)]) + 1 : 1;
            if (line.Expect(items).Int(0) != values[size_t(f)]) InvalidLog();
            if (!used[size_t(f)]) continue;
            for (Integer v = 1; v <= values[size_t(f)]; ++v)
                VluCnt(layer, LogMap(f), v) = line.Lng(size_t(v));
        }

    const Single notComputed = settings_.notComputed;
    for (Integer layer = 0; layer <= nc; ++layer)
        for (Integer f = 1; f < logFields; ++f) {
            const LogLine line(in);
            line.Expect(size_t(logFields - f));
            for (Integer g = Integer(f + 1); g <= logFields; ++g) {
                const Single mi = line.MI(size_t(g - f - 1), notComputed);
                if (!used[size_t(f)] || !used[size_t(g)]) continue;
                const Integer a = LogMap(f), b = LogMap(g);
                MICache(layer, a, b) = MICache(layer, b, a) = mi;
                MIWork(layer, a, b) = MIWork(layer, b, a) = mi;
            }
        }

    // The cached sets, to the end of the file. A set that names a field the log cannot give
    // this run is skipped whole; the others are stored in this run's field numbers, ascending.
    while (!in.AtEnd()) {
        const LogLine line(in);
        if (line.empty()) continue;
        if (line.size() < 5) InvalidLog();
        const Integer layer = line.Int(0), a = line.Int(1), b = line.Int(2), m = line.Int(3);
        auto known = [&](Integer f) { return f >= 1 && f <= logFields; };
        if (layer < 0 || layer > nc || !known(a) || !known(b) || a == b || m < 0 || m > 20)
            InvalidLog();
        line.Expect(size_t(m) + 5);
        bool keep = used[size_t(a)] && used[size_t(b)];
        std::vector<Integer> set;
        for (Integer s = 0; s < m; ++s) {
            const Integer f = line.Int(size_t(4 + s));
            if (!known(f)) InvalidLog();
            keep = keep && used[size_t(f)];
            set.push_back(LogMap(f));
        }
        const Single cmi = line.Sgl(size_t(4 + m));
        if (!keep) continue;
        for (size_t s = 0; s + 1 < set.size(); ++s)
            for (size_t t = s + 1; t < set.size(); ++t)
                if (set[s] > set[t]) std::swap(set[s], set[t]);
        SetCache.Append(layer, LogMap(a), LogMap(b), std::move(set), cmi);
    }
}

}  // namespace zorvapi

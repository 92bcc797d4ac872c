// The construction log: the statistics of a finished run (fields, total, states and their
// counts, the mutual information of every pair, the cached conditioning sets), written by
// Construct and read back by Init so that a later run on the same table counts only what the
// log lacks. The log is matched to the reading run by field name. Reads and writes FieldNames,
// TotalRows, NumStates, StateLbl, StateCnt, MICache, MIWork, SetCache and LogMap.
//
// Layout (list style, lines end in CR LF): n; the n upper-case field names, each followed by a
// comma; the total; per field its number of states and, below 66, its labels; per field its
// number of states and, below 66, its counts; per i < n the MI of the pairs (i, j > i) as
// quoted "##0.0000" texts; then one line i, j, m, s1..sm, v per cached set.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include <fmt/format.h>

#include "construction_engine/data_set.h"
#include "construction_engine/errors.h"
#include "platform/db/sql_names.h"
#include "platform/vb/regional.h"
#include "platform/vb/replacing_file.h"
#include "platform/vb/strings.h"
#include "platform/vb/text_file.h"

namespace vrellapi {

namespace {

// A pair keeps at most this many sets from a log, so that the run that reads it can still add
// its own to the cache.
constexpr int kLogSetsPerPair = 80;

// The mutual information of a pair as the log holds it. Older logs wrote it with the regional
// decimal symbol, so a comma is read as the decimal separator as well as a period; the texts
// never carry a thousands separator.
Single ParseLogMI(const std::string& item) {
    std::string text = item;
    if (text.find('.') == std::string::npos)
        for (char& c : text)
            if (c == ',') c = '.';
    return vb::ParseSingle(text);
}

// A Single as the shortest decimal that reads back to the same Single, handed to the writer as
// the double of that decimal, so the log keeps every bit of the value.
double ShortestSingle(Single v) { return vb::ParseDouble(fmt::format("{}", v)); }

}  // namespace

void DataSet::WriteLog(const std::string& path) {
    // Replaces an earlier log only when complete: a failed write leaves it as it was.
    vb::ReplacingFile file(path);
    vb::TextWriter w(file.path(), path);
    const Integer n = numfld;
    w.WriteLine(n);
    for (Integer i = 1; i <= n; ++i) w.Write(vb::UCase(FieldNames(i)));
    w.EndLine();
    w.WriteLine(TotalRows());
    for (Integer i = 1; i <= n; ++i) {
        w.Write(NumStates(i));
        if (NumStates(i) != kOverLimit)
            for (Integer s = 1; s <= NumStates(i); ++s) w.Write(StateLbl(i, s));
        w.EndLine();
    }
    for (Integer i = 1; i <= n; ++i) {
        w.Write(NumStates(i));
        if (NumStates(i) != kOverLimit)
            for (Integer s = 1; s <= NumStates(i); ++s) w.Write(StateCnt(i, s));
        w.EndLine();
    }
    // With the regional decimal symbol, as logs have always been written; the reader takes
    // either symbol, so a log moves between regional settings unharmed.
    for (Integer i = 1; i < n; ++i) {
        for (Integer j = i + 1; j <= n; ++j) w.Write(vb::RegionalFixed(std::fabs(MICache(0, i, j)), 4));
        w.EndLine();
    }
    for (Integer i = 1; i < n; ++i) {
        for (Integer j = i + 1; j <= n; ++j) {
            for (const core::CachedSet& set : SetCache.Slots(0, i, j)) {
                w.Write(i).Write(j).Write(Integer(set.fields.size()));
                for (Integer f : set.fields) w.Write(f);
                w.WriteLine(ShortestSingle(set.cmi));
            }
        }
    }
    w.Close();
    file.Commit();
}

void DataSet::CheckLogWritable(const std::string& path) {
    if (const std::string text = FirstTextHolding("\""); !text.empty()) throw EngineError(kQuoteInLog, text);
    if (const std::string text = FirstTextHolding("\r\n"); !text.empty())
        throw EngineError(kLineBreakInLog, text);
    // An existing log keeps its contents (a cancelled run must leave it as it was).
    try {
        vb::CheckWritable(path);
    } catch (const vb::RuntimeError&) {
        throw EngineError(kLogNotCreatable, path);
    }
}

void DataSet::ReadLog(const std::string& path) {
    vb::TextReader r(path);
    try {
        const Integer k = r.ReadInteger();
        if (k < 3) throw EngineError(kInvalidLogFile);
        LogMap.ReDim(vb::To(k));
        for (Integer i = 1; i <= k; ++i) {
            const std::string name = db::BareSqlName(r.ReadItem());
            for (Integer j = 1; j <= numfld && LogMap(i) == 0; ++j)
                if (db::BareSqlName(vb::UCase(FieldNames(j))) == name) LogMap(i) = j;
        }
        r.ReadItem();

        const Long total = r.ReadLong();
        if (total <= 0) throw EngineError(kInvalidLogFile);
        TotalRows() = total;

        // Data of a log field that this run does not have (LogMap 0) are read and dropped.
        std::vector<Integer> states(size_t(k) + 1, 0);
        for (Integer i = 1; i <= k; ++i) {
            const Integer c = r.ReadInteger();
            if (c < 0 || c > kOverLimit) throw EngineError(kInvalidLogFile);
            states[size_t(i)] = c;
            const Integer f = LogMap(i);
            if (f != 0) NumStates(f) = c;
            if (c != kOverLimit)
                for (Integer s = 1; s <= c; ++s) {
                    std::string label = r.ReadItem();
                    if (f != 0) StateLbl(f, s) = std::move(label);
                }
            r.ReadItem();
        }
        for (Integer i = 1; i <= k; ++i) {
            const Integer c = r.ReadInteger();
            if (c != states[size_t(i)]) throw EngineError(kInvalidLogFile);
            const Integer f = LogMap(i);
            if (c != kOverLimit)
                for (Integer s = 1; s <= c; ++s) {
                    const Long count = r.ReadLong();
                    if (f != 0) StateCnt(f, s) = count;
                }
            r.ReadItem();
        }
        for (Integer i = 1; i < k; ++i) {
            for (Integer j = i + 1; j <= k; ++j) {
                const Single mi = ParseLogMI(r.ReadItem());
                const Integer a = LogMap(i), b = LogMap(j);
                if (a != 0 && b != 0)
                    MICache(0, a, b) = MICache(0, b, a) = MIWork(0, a, b) = MIWork(0, b, a) = mi;
            }
            r.ReadItem();
        }

        // One line per set; a line naming a field this run lacks is skipped whole.
        while (!r.AtEnd()) {
            const std::string line = r.LineInput();
            if (vb::Trim(line).empty()) continue;
            vb::TextReader items = vb::TextReader::FromText(line);
            const Integer a = items.ReadInteger(), b = items.ReadInteger(), m = items.ReadInteger();
            // A set of more than 20 fields does not fit a cached set, and a field number beyond
            // the log's fields has no entry in LogMap: both are the runtime's out-of-range error.
            if (m > 20) throw vb::RuntimeError::SubscriptOutOfRange();
            if (m < 0) throw EngineError(kInvalidLogFile);
            std::vector<Integer> set(static_cast<size_t>(m));
            // A pair of one field with itself is never tested, so such a set is of no use.
            bool used = LogMap(a) != 0 && LogMap(b) != 0 && a != b;
            for (Integer& s : set) {
                s = LogMap(items.ReadInteger());
                used = used && s != 0;
            }
            const Single v = items.ReadSingle();
            if (!used) continue;
            // The cache holds each set in ascending field order of this run.
            for (size_t t = 0; t + 1 < set.size(); ++t)
                for (size_t u = t + 1; u < set.size(); ++u)
                    if (set[t] > set[u]) std::swap(set[t], set[u]);
            SetCache.AppendUpTo(0, LogMap(a), LogMap(b), std::move(set), v, kLogSetsPerPair);
        }
        r.Close();
    } catch (const vb::RuntimeError& e) {
        // Only the reading's own failures mean a bad log: a log that ends too early, or an item
        // that is not the number it should be.
        if (e.number() == vb::RuntimeError::InputPastEnd().number()) throw EngineError(kLogPastEnd);
        if (e.number() == vb::RuntimeError::TypeMismatch().number())
            throw EngineError(kLogRegionalFormat);
        throw;
    }
}

}  // namespace vrellapi

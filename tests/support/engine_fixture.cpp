// The classifier-engine fixture: a SQLite table written in code and an engine bound to it with
// the set-up's members computed from the same rows (see engine_fixture.h).
#include "tests/support/engine_fixture.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <stdexcept>

#include <gtest/gtest.h>

#include "platform/db/sql_names.h"
#include "platform/db/value_text.h"
#include "tests/support/memory_table.h"

namespace testsupport {

namespace {

std::string LabelOf(const db::Value& v) { return v.IsNull() ? "?" : db::LabelText(v); }

}  // namespace

void ProgressRecorder::PercentDone(vb::Single Percent1, vb::Single Percent2, bool& Cancel) {
    calls.emplace_back(Percent1, Percent2);
    if (cancelAt_ > 0 && int(calls.size()) == cancelAt_) Cancel = true;
}

CommaLocale::CommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name)) return;
    built_.emplace();
    const std::string cmd =
        "localedef -i de_DE -f UTF-8 '" + built_->Path("de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) == 0) {
        ::setenv("LOCPATH", built_->path().c_str(), 1);
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) return;
    }
    ok_ = false;
}

CommaLocale::~CommaLocale() {
    std::setlocale(LC_NUMERIC, "C");
    if (built_) ::unsetenv("LOCPATH");
}

EngineFixture::EngineFixture(TableSpec tableSpec, std::vector<std::string> fieldList, vb::Long maxRows,
                             vb::Integer maxVlus, std::string frequency)
    : table(std::move(tableSpec)), fields(std::move(fieldList)), freq(std::move(frequency)) {
    CreateSqliteFile(dir.Path("train.db"), {table});
    db = db::DBEngine::OpenDatabase(dir.Path("train.db"));
    engine.Init(maxRows, maxVlus);
    std::string name = table.name, cnt = freq;
    engine.InitLearn(db, name, cnt);

    const auto n = vb::Integer(fields.size());
    engine.numfld = n;
    engine.FieldNames.ReDim(vb::To(n));
    engine.FF.ReDim(vb::To(n));
    engine.VluLbl.ReDim(vb::To(n), vb::To(maxVlus));
    for (vb::Integer i = 1; i <= n; ++i) {
        engine.FieldNames(i) = db::SqlName(fields[size_t(i - 1)]);
        const int col = ColumnOf(fields[size_t(i - 1)]);
        std::vector<db::Value> distinct;
        for (const auto& row : table.rows) {
            const db::Value& v = row[size_t(col)];
            if (std::none_of(distinct.begin(), distinct.end(),
                             [&](const db::Value& d) { return MemoryTable::Compare(d, v) == 0; }))
                distinct.push_back(v);
        }
        std::sort(distinct.begin(), distinct.end(), [](const db::Value& a, const db::Value& b) {
            return MemoryTable::Compare(a, b) < 0;
        });
        if (int(distinct.size()) > maxVlus) {
            engine.FF(i) = vb::Integer(maxVlus + 1);  // over the limit: no labels
            continue;
        }
        engine.FF(i) = vb::Integer(distinct.size());
        for (size_t v = 0; v < distinct.size(); ++v)
            engine.VluLbl(i, vb::Integer(v + 1)) = LabelOf(distinct[v]);
    }
    engine.nc = engine.FF(1);
    engine.Feature.ReDim(vb::To(n));
    LoadCounts(false);
}

int EngineFixture::ColumnOf(const std::string& name) const {
    for (size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c].name == name) return int(c);
    throw std::invalid_argument("no column " + name);
}

bool EngineFixture::IsHoldOut(const std::vector<db::Value>& row) const {
    for (size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c].name == "zorv_holdout") return !row[c].IsNull() && row[c].AsBool();
    return false;
}

void EngineFixture::LoadCounts(bool learnRowsOnly) {
    zorvapi::DataEngine& e = engine;
    e.NetTotal.ReDim(vb::To(e.nc));
    e.VluCnt.ReDim(vb::To(e.nc), vb::To(e.numfld), vb::To(e.MaxVlus));
    const int weightCol = freq.empty() ? -1 : ColumnOf(freq);
    for (const auto& row : table.rows) {
        if (learnRowsOnly && IsHoldOut(row)) continue;
        const vb::Long w = weightCol < 0 ? 1 : row[size_t(weightCol)].AsLong();
        const vb::Integer k = Label(1, LabelOf(row[size_t(ColumnOf(fields[0]))]));
        e.NetTotal(0) += w;
        e.NetTotal(k) += w;
        for (vb::Integer i = 1; i <= e.numfld; ++i) {
            if (e.FF(i) > e.MaxVlus) continue;
            const vb::Integer v = Label(i, LabelOf(row[size_t(ColumnOf(fields[size_t(i - 1)]))]));
            e.VluCnt(0, i, v) += w;
            e.VluCnt(k, i, v) += w;
        }
    }
}

vb::Array<vb::Integer> EngineFixture::NewGraph() const {
    return vb::Array<vb::Integer>(vb::To(engine.nc), vb::To(engine.numfld), vb::To(engine.numfld));
}

void EngineFixture::Arc(vb::Array<vb::Integer>& graph, vb::Integer layer, vb::Integer parent,
                        vb::Integer child) {
    if (parent < child) graph(layer, parent, child) = 1;
    else graph(layer, child, parent) = 2;
}

vb::Integer EngineFixture::Label(vb::Integer f, const std::string& label) const {
    for (vb::Integer v = 1; v <= engine.FF(f); ++v)
        if (engine.VluLbl(f, v) == label) return v;
    ADD_FAILURE() << "field " << f << " has no label " << label;
    return 0;
}

}  // namespace testsupport

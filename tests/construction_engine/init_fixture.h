// Shared set-up of the construction engine's tests: the arguments of DataSet.Init with zeroed
// knowledge arrays over n fields, a scripted table answered through the recording database, and
// an event sink that records every PercentDone and can ask to cancel.
#pragma once

#include <algorithm>
#include <functional>
#include <optional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "construction_engine/data_set.h"
#include "tests/support/recording_db.h"

namespace vrelltest {

using vb::Integer;
using vb::Long;
using vb::Single;

// Init's arguments, by the host's conventions: names and knowledge 0-based.
struct InitArgs {
    std::string table = "T";
    Integer numfld = 0;
    vb::Array<std::string> names;
    std::string cntfld;
    bool bord = false;
    vb::Array<Integer> po, ce, fl, rt, lf;
    std::string logi, logo;

    explicit InitArgs(const std::vector<std::string>& fieldNames) {
        numfld = Integer(fieldNames.size());
        const int32_t top = std::max<int32_t>(numfld - 1, 0);
        names.ReDim(vb::To(top));
        for (size_t i = 0; i < fieldNames.size(); ++i) names(int32_t(i)) = fieldNames[i];
        for (vb::Array<Integer>* m : {&po, &ce, &fl}) m->ReDim(vb::To(top), vb::To(top));
        rt.ReDim(vb::To(top));
        lf.ReDim(vb::To(top));
    }
    void Run(vrellapi::DataSet& d, std::shared_ptr<db::Database> dbase) {
        d.Init(dbase, table, numfld, names, cntfld, bord, po, ce, fl, rt, lf, logi, logo);
    }
};

// A table as the recording database answers Init's queries about it: the total under the count
// expression and the distinct values of each field (in the order given).
struct ScriptedTable {
    std::string table = "[T]";
    db::Value total = int32_t(100);
    Long rows = 100;  // "select count(*)", asked only with a frequency field
    std::map<std::string, std::vector<db::Value>> values;  // SQL form of the name -> values

    std::shared_ptr<testsupport::RecordingDatabase> Database(const std::string& connect = "") const {
        auto rdb = std::make_shared<testsupport::RecordingDatabase>(connect);
        ScriptedTable t = *this;
        rdb->AnswerWith([t](const std::string& sql) -> std::optional<testsupport::Result> {
            const std::string distinct = "select distinct ";
            if (sql.rfind(distinct, 0) == 0) {
                const std::string name = sql.substr(distinct.size(), sql.find(" from ") - distinct.size());
                auto it = t.values.find(name);
                if (it == t.values.end()) return std::nullopt;
                testsupport::Result r{{name}, {}};
                for (const db::Value& v : it->second) r.rows.push_back({v});
                return r;
            }
            if (sql == "select count(*) from " + t.table) return testsupport::Result{{"n"}, {{t.rows}}};
            if (sql.rfind("select  ", 0) == 0 && sql.find("from " + t.table) != std::string::npos &&
                sql.find(" group by ") == std::string::npos)
                return testsupport::Result{{"total"}, {{t.total}}};
            return std::nullopt;
        });
        return rdb;
    }
};

// Values "V1".."Vn" as text cells.
inline std::vector<db::Value> TextValues(int n) {
    std::vector<db::Value> v;
    for (int i = 1; i <= n; ++i) v.emplace_back("V" + std::to_string(i));
    return v;
}

class RecordingSink : public vrellapi::DataSetEvents {
public:
    std::vector<Single> seen;
    std::function<bool(int call, Single percent)> cancelWhen;  // call counts from 1
    void PercentDone(Single Percent, bool& Cancel) override {
        seen.push_back(Percent);
        if (cancelWhen && cancelWhen(int(seen.size()), Percent)) Cancel = true;
    }
};

}  // namespace vrelltest

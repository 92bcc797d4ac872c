// Taking a learned model from the engine into the session, and the plain learning run.
#include "zorv/learned_model.h"

#include <algorithm>

#include "platform/db/sql_names.h"

namespace zorv {

std::vector<std::string> FieldNamesOf(zorvapi::IDataEngine& engine) {
    vb::Array<std::string> names;
    engine.GetFldNM(names);
    std::vector<std::string> bare(size_t(std::max(names.UBound(), 0)) + 1);
    for (int k = 1; k <= names.UBound(); ++k) bare[size_t(k)] = db::BareSqlName(names(k));
    return bare;
}

void TakeLearnedModel(zorvapi::IDataEngine& engine, ZorvSession& s) {
    vb::Array<std::string> labels;
    vb::Array<vb::Integer> used;
    engine.GetClsLbl(labels);
    s.NetCount = int16_t(labels.UBound());
    s.ClassLabels.assign(size_t(s.NetCount) + 1, "");
    for (int k = 1; k <= s.NetCount; ++k) s.ClassLabels[size_t(k)] = labels(k);
    engine.GetGraph(s.GraphArr);
    s.IsMultiNetFlag = engine.IsMultiNet();
    s.FieldNames = FieldNamesOf(engine);
    s.FieldCount = int16_t(s.FieldNames.size() - 1);
    engine.GetRelative(used);
    s.FieldUsed.assign(size_t(s.FieldCount) + 1, 0);
    for (int k = 1; k <= s.FieldCount && k <= used.UBound(); ++k) s.FieldUsed[size_t(k)] = used(k);
}

void LearnIntoSession(zorvapi::IDataEngine& engine, std::shared_ptr<db::Database> database,
                      const std::string& table, const std::vector<std::string>& fields,
                      int16_t BMMode, int16_t FSM, ZorvSession& session) {
    vb::Long rows = 100000;
    vb::Integer vlus = 45;
    engine.Init(rows, vlus);
    std::string tb = table, cnt;
    engine.InitLearn(database, tb, cnt);
    vb::Integer numfld = vb::Integer(fields.size());
    vb::Array<std::string> names(vb::To(numfld));
    for (int i = 1; i <= numfld; ++i) names(i) = fields[size_t(i - 1)];
    vb::Array<vb::Integer> po(vb::To(numfld), vb::To(numfld)), ce(vb::To(numfld), vb::To(numfld)),
        fl(vb::To(numfld), vb::To(numfld)), rt(vb::To(numfld)), lf(vb::To(numfld));
    bool bord = false, bpres = false, fixedThr = false, roc = false, filter = false, noOrd = false;
    std::string logi, logo;
    vb::Integer mode = BMMode, fsm = FSM;
    engine.InitLearnStru(numfld, names, bord, po, ce, fl, rt, lf, bpres, logi, logo, mode, fixedThr, fsm,
                         roc, filter, noOrd);
    vb::Single threshold = -1;
    engine.LearnStru(threshold);
    TakeLearnedModel(engine, session);
    session.FeatureSelected = FSM == 1;
}

}  // namespace zorv

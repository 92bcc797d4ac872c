// The labels are the contract with the classifier engine: when it classifies a raw value of a
// discretized field it reads the cut points back out of the label texts. A raw value must
// land on the label the wizard wrote for it, in every text form a cut can take (seven digits,
// exponents, negatives) and under a comma locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <string>
#include <vector>

#include "core/learner.h"
#include "platform/db/value_text.h"
#include "tests/support/comma_locale.h"
#include "trune/discretize/equal_width.h"
#include "trune/discretize/interval_label.h"

namespace trune {
namespace {

// The engine with one field whose labels are the interval labels of the cuts, stored as it
// stores them: upper-cased, in the order the table's distinct labels come (text order).
class Engine : public core::Learner {
public:
    explicit Engine(std::vector<std::string> labels) : core::Learner(core::CoreSettings::Classifier(60)) {
        std::sort(labels.begin(), labels.end());
        numfld = 1;
        MaxVlus = 60;
        FF.ReDim(vb::To(1));
        VluLbl.ReDim(vb::To(1), vb::To(MaxVlus));
        FF(1) = vb::Integer(labels.size());
        for (size_t v = 0; v < labels.size(); ++v) VluLbl(1, vb::Integer(v + 1)) = db::LabelText(db::Value(labels[v]));
    }
    bool Progress(vb::Single) override { return false; }
    // The label the engine maps the raw value onto; "" for none.
    std::string LabelOf(db::Value v) {
        const vb::Integer k = GetVluIdx(1, v);
        return k > 0 ? VluLbl(1, k) : "";
    }
};

// Every field's cut points, and raw values inside each interval. Never on a cut: there the
// wizard's label is the interval above (closed below), while the engine takes the first label
// in its order whose range holds the value with both bounds included, which can be the
// interval below.
struct Field {
    CutPoints cuts;
    std::vector<db::Value> values;
};

std::vector<Field> Fields() {
    return {
        {EqualWidthCuts(0, 1, 10), {db::Value(0.05), db::Value(0.45), db::Value(0.85), db::Value(0.95), db::Value(7.0f)}},
        {{-2.5f, 1.5e-5f, 0.125f}, {db::Value(-3.0), db::Value(int16_t(-1)), db::Value(1e-6), db::Value(0.1), db::Value(9.0)}},
        {{1.5e7f, 2.25e8f}, {db::Value(int32_t(3)), db::Value(2e7), db::Value(3e9)}},
        {{1.5f, 3.25f}, {db::Value("1"), db::Value("2.5"), db::Value("1e3")}},
    };
}

void ExpectEngineAgrees() {
    for (const Field& f : Fields()) {
        std::vector<std::string> labels;
        for (const db::Value& v : f.values) labels.push_back(IntervalLabel(v, f.cuts, {}));
        Engine engine(labels);
        for (size_t i = 0; i < f.values.size(); ++i)
            EXPECT_EQ(engine.LabelOf(f.values[i]), db::LabelText(db::Value(labels[i])))
                << ::testing::PrintToString(f.values[i]) << " labelled " << labels[i];
    }
}

TEST(LabelContract, TheEngineReadsTheLabelsBack) {
    std::setlocale(LC_NUMERIC, "C");
    ExpectEngineAgrees();
}

class LabelContractComma : public testsupport::CommaLocaleTest {};

TEST_F(LabelContractComma, TheEngineReadsTheLabelsBack) { ExpectEngineAgrees(); }

}  // namespace
}  // namespace trune

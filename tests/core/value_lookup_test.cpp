// GetVluIdx: raw cell values against text labels and the interval labels of discretized fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/learner.h"

namespace {

class Labels : public core::Learner {
public:
    explicit Labels(const std::vector<std::vector<std::string>>& fields)
        : core::Learner(core::CoreSettings::Classifier(10)) {
        numfld = vb::Integer(fields.size());
        MaxVlus = 10;
        FF.ReDim(vb::To(numfld));
        VluLbl.ReDim(vb::To(numfld), vb::To(MaxVlus));
        for (size_t f = 0; f < fields.size(); ++f) {
            FF(vb::Integer(f + 1)) = vb::Integer(fields[f].size());
            for (size_t v = 0; v < fields[f].size(); ++v)
                VluLbl(vb::Integer(f + 1), vb::Integer(v + 1)) = fields[f][v];
        }
    }
    bool Progress(vb::Single) override { return false; }
};

struct LookupCase {
    const char* what;
    vb::Integer field;
    db::Value value;
    vb::Integer expected;
};

TEST(ValueLookup, RawValuesAgainstLabels) {
    Labels e({
        {"<5.5", ">5.5<7", ">7"},          // 1: a discretized field
        {"?", "YES", "NO"},                // 2: text labels with the missing value
        {"3", "<-1", ">-1<2", ">2"},       // 3: -1 as a cut point, and a text label "3"
        {"<10", ">10<20", ">20"},          // 4: values on the cut points
        {"<ABC", ">10"},                   // 5: a label whose number cannot be read
        {"<0.7", ">0.7"},                  // 6: a cut that is not exact in Single
        {"RED", "BLUE"},                   // 7: text only
    });
    const LookupCase cases[] = {
        {"below the first cut", 1, 2.0, 1},
        {"on the first cut", 1, 5.5, 1},
        {"between", 1, 6, 2},
        {"on the second cut", 1, 7.0, 2},
        {"above", 1, 8.0, 3},
        {"a number held as text", 1, "6.5", 2},
        {"Null is the missing value", 2, db::Value::Null(), 1},
        {"blanks and case", 2, "  yes ", 2},
        {"no such text", 2, "maybe", 0},
        {"the text step comes first", 3, 3.0, 1},
        {"below -1", 3, -5.0, 2},
        {"on -1", 3, -1.0, 2},
        {"-1 is a bound, not 'no bound'", 3, 0.0, 3},
        {"above 2", 3, 5.0, 4},
        {"10 belongs to the first range that holds it", 4, 10, 1},
        {"20 likewise", 4, 20, 2},
        {"an unreadable label is no interval", 5, 3.0, 0},
        {"a readable one next to it", 5, 12.0, 2},
        // The cut 0.7 is held as a Single (0.69999999...), as the conditioning wizard compared
        // it when it wrote the labels, so the double 0.7 lies above it there and here.
        {"a cut compared at Single precision", 6, 0.7, 2},
        {"a value that is not a number lies in no interval", 1, "N/A", 0},
        {"Null without a ? label", 1, db::Value::Null(), 0},
        {"text field, unknown value", 7, "GREEN", 0},
        {"a field number outside the list", 9, "RED", 0},
    };
    for (const auto& c : cases) {
        db::Value v = c.value;
        EXPECT_EQ(e.GetVluIdx(c.field, v), c.expected) << c.what;
    }
}

TEST(ValueLookup, NullBecomesTheMissingLabelInTheCallersVariable) {
    Labels e(std::vector<std::vector<std::string>>{{"?", "A"}});
    db::Value v = db::Value::Null();
    e.GetVluIdx(1, v);
    EXPECT_EQ(v, db::Value("?"));
}

}  // namespace

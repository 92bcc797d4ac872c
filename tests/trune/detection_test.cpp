// Continuous-field detection on the copy and page 5's lists: the rule at T = 5 and T = 2, the
// "_d" columns with detection on and off, Null counted among the distinct values, a field of
// 40,000 distinct values, "Auto Set", the reset question, the supervised method and a count
// the interval list cannot show.
#include "tests/trune/trune_fixture.h"

namespace trunetest {
namespace {

using db::Value;

constexpr int kNext = 3;

struct Found {
    std::string field;
    int32_t distinct;
    int32_t intervals;
    bool operator==(const Found& o) const {
        return field == o.field && distinct == o.distinct && intervals == o.intervals;
    }
};
void PrintTo(const Found& f, std::ostream* os) { *os << f.field << " d=" << f.distinct << " n=" << f.intervals; }

class DetectionTest : public TruneTest {
protected:
    void SetUp() override {
        TruneTest::SetUp();
        testsupport::TableSpec data{"Data",
                                    {{"Cont", db::dbDouble, 0},
                                     {"Few", db::dbLong, 0},
                                     {"Words", db::dbText, 10},
                                     {"Codes", db::dbText, 10},
                                     {"Age_d", db::dbDouble, 0},
                                     {"WithNull", db::dbLong, 0},
                                     {"Const", db::dbText, 5}},
                                    {}};
        for (int i = 0; i < 30; ++i) {
            // Words: one number among thirty words; Codes: two.
            const std::string word = i == 0 ? "7" : "w" + std::to_string(i);
            const std::string code = i < 2 ? std::to_string(100 + i) : "c" + std::to_string(i);
            data.rows.push_back({Value(i * 1.5), Value(int32_t(i % 5)), Value(word), Value(code), Value(i * 2.0),
                                 i % 6 == 5 ? Value() : Value(int32_t(i % 6)), Value("k")});
        }
        source = SourceFile("data.db", {data, {"Emptied", {{"V", db::dbDouble, 0}}, {{Value(1.0)}}}});
        MakeWizard();
    }

    // Pages 0 to 5 with limit index `limitIndex` (T = index + 2) and detection on or off.
    void Detect(const QString& table, int limitIndex, bool automatic) {
        wizard->NavButton(kNext)->click();
        wizard->settings->CmbVlu->setCurrentIndex(limitIndex);
        if (!automatic) wizard->settings->AutoDetect->click();
        wizard->NavButton(kNext)->click();
        wizard->sourceFile->txtdbname->setText(source);
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurrentStep, 4);
        ChooseTable(table);
        wizard->table->NDbName->setText(dir.filePath("copy.db"));
        wizard->NavButton(kNext)->click();
        ASSERT_EQ(wizard->CurrentStep, 5);
    }

    std::vector<Found> Result() const {
        std::vector<Found> out;
        for (int i = 1; i <= session.ContCount; ++i)
            out.push_back({session.ContFields[size_t(i)], session.DistinctCounts[size_t(i)], session.Intervals[size_t(i)]});
        return out;
    }

    void ExpectListShows(const std::vector<Found>& found) {
        QListWidget* list = wizard->method->LstConFld;
        ASSERT_EQ(list->count(), int(found.size()));
        for (int i = 0; i < list->count(); ++i) {
            EXPECT_EQ(list->item(i)->text().toStdString(), found[size_t(i)].field);
            EXPECT_EQ(list->item(i)->checkState(), Qt::Checked);
        }
    }

    QString source;
};

TEST_F(DetectionTest, RuleAtFive) {
    Detect("Data", 3, true);
    const std::vector<Found> atFive{{"Cont", 30, 5}, {"Codes", 30, 5}, {"WithNull", 6, 5}};
    EXPECT_EQ(Result(), atFive);
    ExpectListShows(atFive);
    EXPECT_EQ(wizard->method->LstConFld->currentRow(), 0);
    EXPECT_EQ(wizard->method->LstIntvl->currentItem()->text(), "5");
    EXPECT_EQ(wizard->method->CboReset->currentText(), "5");
    EXPECT_EQ(wizard->ResetIndex, 3);
    // The class-field list: NONE, then the copy's fields.
    EXPECT_EQ(wizard->method->CmbFlds->count(), 8);
    EXPECT_EQ(wizard->method->CmbFlds->currentText(), "NONE");

    for (int back = 0; back < 3; ++back) wizard->NavButton(2)->click();
    ASSERT_EQ(wizard->CurrentStep, 1);
    wizard->settings->CmbVlu->setCurrentIndex(0);
    wizard->NavButton(2)->click();
    wizard->NavButton(kNext)->click();  // page 1 entered forward presets T = 5 again
    EXPECT_EQ(wizard->ValueLimit, 5);
}

TEST_F(DetectionTest, RuleAtTwo) {
    Detect("Data", 0, true);
    EXPECT_EQ(Result(), (std::vector<Found>{{"Cont", 30, 5}, {"Few", 5, 5}, {"Words", 30, 5}, {"Codes", 30, 5},
                                            {"WithNull", 6, 5}}));
    EXPECT_EQ(fake.prompts.Take(), std::vector<Box>{});
}

TEST_F(DetectionTest, WithoutDetectionEveryFieldIsListedAndAutoSetCounts) {
    Detect("Data", 3, false);
    std::vector<Found> all{{"Cont", 0, 5},  {"Few", 0, 5},      {"Words", 0, 5}, {"Codes", 0, 5},
                           {"Age_d", 0, 5}, {"WithNull", 0, 5}, {"Const", 0, 5}};
    EXPECT_EQ(Result(), all);
    ExpectListShows(all);
    wizard->method->CmdAutoDis->click();
    EXPECT_EQ(Result(), (std::vector<Found>{{"Cont", 30, 9},
                                            {"Few", 5, 4},
                                            {"Words", 30, 9},
                                            {"Codes", 30, 9},
                                            {"Age_d", 30, 9},
                                            {"WithNull", 6, 5},
                                            {"Const", 1, 2}}));
    EXPECT_EQ(wizard->method->LstIntvl->currentItem()->text(), "9");
}

// A source without rows is refused before the detection; a copy emptied behind the wizard's
// back leaves a field without any value, whose count has no logarithm.
TEST_F(DetectionTest, AutoSetOnAFieldWithoutValuesFailsAndKeepsTheCounts) {
    Detect("Emptied", 3, false);
    session.TargetDb->Execute("delete from Emptied");
    wizard->method->CmdAutoDis->click();
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Warning("Invalid procedure call or argument")}));
    EXPECT_EQ(Result(), (std::vector<Found>{{"V", 0, 5}}));
}

TEST_F(DetectionTest, ResetAllAsksFirst) {
    Detect("Data", 3, true);
    QComboBox* reset = wizard->method->CboReset;
    fake.prompts.answers = {false};
    reset->setCurrentIndex(8);
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("Reset the number of intervals of all fields to 10?")}));
    EXPECT_EQ(reset->currentText(), "5");
    EXPECT_EQ(Result()[1].intervals, 5);

    fake.prompts.answers = {true};
    reset->setCurrentIndex(8);
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("Reset the number of intervals of all fields to 10?")}));
    for (const Found& f : Result()) EXPECT_EQ(f.intervals, 10) << f.field;
    EXPECT_EQ(wizard->method->LstIntvl->currentItem()->text(), "10");
    wizard->CboReset_Click();  // the count in force: nothing asked
    fake.prompts.answers = {true};
    wizard->method->Command1->click();  // "Reset all to" asks every time
    EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Question("Reset the number of intervals of all fields to 10?")}));
}

TEST_F(DetectionTest, CountsFollowTheListAndTheMethod) {
    Detect("Data", 3, true);
    QListWidget* fields = wizard->method->LstConFld;
    QListWidget* counts = wizard->method->LstIntvl;
    fields->setCurrentRow(1);
    counts->setCurrentRow(10);  // "12"
    EXPECT_EQ(session.Intervals[2], 12);
    fields->setCurrentRow(0);
    EXPECT_EQ(counts->currentItem()->text(), "5");
    fields->setCurrentRow(1);
    EXPECT_EQ(counts->currentItem()->text(), "12");
    // An unchecked field has no count to set.
    fields->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(counts->isEnabled());
    fields->item(1)->setCheckState(Qt::Checked);
    EXPECT_TRUE(counts->isEnabled());

    // A count the list has no entry for shows no selection and fails nothing.
    session.Intervals[1] = 40;
    fields->setCurrentRow(0);
    EXPECT_EQ(counts->currentRow(), -1);
    EXPECT_TRUE(counts->selectedItems().isEmpty());

    wizard->method->OptEnt->click();
    for (QWidget* w : std::vector<QWidget*>{wizard->method->Command1, counts, wizard->method->CboReset,
                                            wizard->method->CmdAutoDis})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    fields->setCurrentRow(2);
    EXPECT_FALSE(counts->isEnabled());
    EXPECT_FALSE(wizard->ValidateStep());
    EXPECT_EQ(fake.prompts.Take(),
              (std::vector<Box>{Warning("You have chosen the supervised discretization, please select a field that "
                                        "contains the class labels.")}));
    wizard->method->OptEW->click();
    EXPECT_TRUE(wizard->method->CmdAutoDis->isEnabled());
    EXPECT_TRUE(counts->isEnabled());
}

TEST_F(DetectionTest, FortyThousandDistinctValues) {
    testsupport::TableSpec big{"Big", {{"Amount", db::dbDouble, 0}}, {}};
    for (int i = 0; i < 40000; ++i) big.rows.push_back({Value(i * 0.25)});
    source = SourceFile("big.db", {big});
    Detect("Big", 3, true);
    EXPECT_EQ(Result(), (std::vector<Found>{{"Amount", 40000, 5}}));
    wizard->method->CmdAutoDis->click();
    EXPECT_EQ(Result(), (std::vector<Found>{{"Amount", 40000, 30}}));
}

}  // namespace
}  // namespace trunetest

// The learning options of step 2 and the result-file choice of step 9: the rules of the option
// buttons in any click order, the texts, the reset when step 2 is entered again, and the
// result-file dialog.
#include <QtTest/QTest>
#include <algorithm>
#include <array>

#include "tests/zorv/zorv_fixture.h"
#include "zorv/data_pages.h"
#include "zorv/learning_options.h"
#include "zorv/page_knowledge.h"

namespace zorvtest {
namespace {

using zorv::LearningOptions;

// A control's own Enabled state: the page it is on is off while another page is shown.
bool On(const QWidget* w) { return !w->testAttribute(Qt::WA_ForceDisabled); }

class LearningOptionsTest : public ZorvTest {
protected:
    // The options with step 2's frame usable, as when step 2 is shown.
    LearningOptions& Options() {
        if (!wizard) MakeWizard();
        wizard->Page(2)->setEnabled(true);
        return *wizard->options;
    }
};

TEST_F(LearningOptionsTest, RocIsOffExactlyWhenAFixedThresholdMeetsAModelWithoutChoice) {
    LearningOptions& o = Options();
    QRadioButton* thresholds[] = {o.OptAuto, o.OptFixed};
    QRadioButton* models[] = {o.OptBN, o.OptMN, o.OptBoth};
    QRadioButton* selections[] = {o.OptFSN, o.OptFSA, o.OptFSI};
    for (QRadioButton* t : thresholds)
        for (QRadioButton* m : models)
            for (QRadioButton* f : selections) {
                std::array<QRadioButton*, 3> order{t, m, f};
                std::sort(order.begin(), order.end());
                do {
                    // A click on a button that is off does nothing: under the Bayesian net the
                    // feature selection stays as it was.
                    for (QRadioButton* b : order) b->click();
                    const bool fixed = o.OptFixed->isChecked(), bn = o.OptBN->isChecked(),
                               mn = o.OptMN->isChecked(), fsi = o.OptFSI->isChecked();
                    EXPECT_EQ(On(o.ChKROC), !(fixed && (bn || (mn && !fsi))))
                        << t->objectName().toStdString() << " " << m->objectName().toStdString() << " "
                        << f->objectName().toStdString() << " first " << order[0]->objectName().toStdString();
                } while (std::next_permutation(order.begin(), order.end()));
            }
}

TEST_F(LearningOptionsTest, BayesianNetTurnsFeatureSelectionOffButKeepsTheChoice) {
    LearningOptions& o = Options();
    // At creation: Bayesian net, automatic threshold, "If it performs better".
    EXPECT_TRUE(o.OptBN->isChecked() && o.OptAuto->isChecked() && o.OptFSI->isChecked());
    EXPECT_FALSE(On(o.FrameFS));
    EXPECT_FALSE(On(o.CmbEps));
    EXPECT_EQ(o.CmbEps->currentText(), "1.0");
    EXPECT_EQ(session.ModelMode, 1);

    o.OptBoth->click();
    EXPECT_EQ(session.ModelMode, 3);
    EXPECT_TRUE(On(o.FrameFS) && On(o.OptFSA));
    o.OptFSA->click();
    o.OptBN->click();
    EXPECT_EQ(session.ModelMode, 1);
    EXPECT_FALSE(On(o.FrameFS) || On(o.OptFSN) || On(o.OptFSA) || On(o.OptFSI));
    EXPECT_TRUE(o.OptFSA->isChecked());
    EXPECT_EQ(o.FeatureSelectionMode(), 1);
    o.OptFixed->click();
    EXPECT_TRUE(On(o.CmbEps) && On(o.LblEps));
    EXPECT_FALSE(On(o.ChKROC));
    // A check box turned off keeps its mark.
    o.ChKROC->setChecked(true);
    o.OptAuto->click();
    o.ChKROC->setChecked(true);
    o.OptFixed->click();
    EXPECT_TRUE(o.ChKROC->isChecked());
}

TEST_F(LearningOptionsTest, TextsAreTheProgramsOwn) {
    LearningOptions& o = Options();
    EXPECT_EQ(o.OptBoth->text(), "Learn the better classifer of both categories");
    EXPECT_EQ(o.OptFixed->text(), "Using specified threshod:");
    EXPECT_EQ(wizard->findChild<QLabel*>("ChkFilteringCaption")->text(),
              "Enable Automatic Feature Filtering (When there are irrelavent features in the data set, feature "
              "filtering can speed up the learning process.)");
    EXPECT_EQ(o.chkpreserve->text().replace("&&", "&"),
              "Preserve the Cause & effect relationships entered in this step in the final result.");
    QTabWidget* tabs = wizard->knowledge->page->SSTab1;
    ASSERT_EQ(tabs->count(), 7);
    EXPECT_EQ(tabs->tabText(5), "&Algorithm settings");
    EXPECT_EQ(tabs->tabText(6), "&Dataset settings");
    EXPECT_EQ(o.CmbEps->count(), 26);
    EXPECT_EQ(o.CmbEps->itemText(0), "50");
    EXPECT_EQ(o.CmbEps->itemText(25), "0.1");
}

TEST_F(LearningOptionsTest, EnteringStep2AgainHandsOnTheBayesianNet) {
    MakeWizard();
    wizard->cover->Option1->click();
    wizard->cover->DBName->setText(dbFile);
    wizard->NavButton(3)->click();
    wizard->NavButton(3)->click();
    ASSERT_EQ(wizard->CurrentStep, 2);
    LearningOptions& o = *wizard->options;
    o.OptMN->click();
    o.OptFSN->click();
    o.OptFixed->click();
    o.CmbEps->setCurrentIndex(3);
    EXPECT_EQ(session.ModelMode, 2);
    wizard->NavButton(2)->click();
    wizard->NavButton(3)->click();
    ASSERT_EQ(wizard->CurrentStep, 2);
    EXPECT_TRUE(o.OptBN->isChecked());
    EXPECT_EQ(session.ModelMode, 1);
    EXPECT_TRUE(o.OptAuto->isChecked() && o.OptFSI->isChecked());
    EXPECT_EQ(o.CmbEps->currentText(), "1.0");
    EXPECT_FALSE(On(o.CmbEps) || On(o.LblEps) || On(o.FrameFS));
    EXPECT_TRUE(On(o.ChKROC));
}

TEST_F(LearningOptionsTest, ResultFileChoice) {
    MakeWizard();
    wizard->Page(9)->setEnabled(true);
    zorv::TestTablePage& p = *wizard->testTable;
    p.OptNoSave->setEnabled(true);
    p.OptNoSave->click();
    EXPECT_FALSE(On(p.RstName) || On(p.CmdRst));
    p.OptSaveRst->click();
    EXPECT_TRUE(On(p.RstName) && On(p.CmdRst));

    wizard->ResultPath = "/start";
    p.RstName->setText("kept.txt");
    fake.files.answers = {""};
    p.CmdRst->click();
    EXPECT_EQ(p.RstName->text(), "kept.txt");
    EXPECT_EQ(wizard->ResultPath, "/start");
    ASSERT_EQ(fake.files.requests.size(), 1u);
    EXPECT_EQ(fake.files.requests[0].kind, testsupport::FileRequest::Save);
    EXPECT_EQ(fake.files.requests[0].title, "Save classification result to text file");
    EXPECT_EQ(fake.files.requests[0].filter, "text file (*.txt)|*.txt|All Files (*.*)|*.*");
    EXPECT_EQ(fake.files.requests[0].startFolder, "/start");

    fake.files.answers = {"/results/new.txt"};
    p.CmdRst->click();
    EXPECT_EQ(p.RstName->text(), "/results/new.txt");
    EXPECT_EQ(wizard->ResultPath, "/results");
    // Typed without an extension: the chosen filter's, none for "All Files".
    fake.files.answers = {"/results/classified", "/results/raw"};
    fake.files.saveFilters = {0, 1};
    p.CmdRst->click();
    EXPECT_EQ(p.RstName->text(), "/results/classified.txt");
    p.CmdRst->click();
    EXPECT_EQ(p.RstName->text(), "/results/raw");
}

}  // namespace
}  // namespace zorvtest

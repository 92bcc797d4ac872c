// Clicks through the wizard with scripted answers (every question Yes, no file dialog) and
// grabs each page as it is shown.
#include "zorv/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QFrame>
#include <QVBoxLayout>

#include "wizard_common/about_dialog.h"
#include "wizard_common/frm_dbpwd.h"
#include "wizard_common/help_viewer.h"
#include "wizard_common/links.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/qt_services.h"
#include "wizard_common/screenshot_kit.h"
#include "wizard_common/table_message.h"
#include "platform/com/object.h"
#include "zorv/frm_bne.h"
#include "zorv/frm_inst_cls.h"
#include "zorv/frm_mdi_bne.h"
#include "zorv/frm_setting.h"
#include "zorv/frm_wizard.h"
#include "zorv/learned_model.h"
#include "zorv/page_knowledge.h"
#include "zorv/page_costs.h"
#include "zorv/pages.h"
#include "zorv/screens_knowledge.h"

namespace zorv {

namespace {

// The demo database's customers with the class field first and the tenure as its labels.
const std::vector<std::string> kDemoFields{"Churn", "Contract", "Tenure_d", "Support", "Satisfaction",
                                           "Payment", "Internet", "Region", "Age", "Complaints"};

// The editor over what the engine learns on the demo database: a single net, or a multi-net
// (without feature selection, so that each class value's network keeps its links) with its
// windows tiled. Nothing is saved when the demo database or the engine is missing.
void GrabEditor(FrmWizard& w, ZorvSession& session, const QString& programDir, wizard::WindowGrabber& grab,
                int16_t BMMode, const QString& name) {
    try {
        auto database = db::DBEngine::OpenDatabase(QDir(programDir).filePath("demo.db").toStdString());
        auto engine = com::CreateObjectAs<zorvapi::IDataEngine>("ZORVAPI.DataEngine");
        LearnIntoSession(*engine, database, "Customers", kDemoFields, BMMode, 2, session);
        database->Close();
    } catch (const std::exception&) {
        return;
    }
    w.cmdeditor_Click();
    auto* frame = w.findChild<FrmMDIBNE*>("FrmMDIBNE");
    if (!frame) return;
    frame->resize(1000, 720);
    if (BMMode == 2) frame->Toolbar1_ButtonMenuClick("tilt");
    grab.Save(frame, name);
    frame->close();
    QApplication::processEvents();
}

// Proceed on step 3 with the real engine; while it learns, once its progress shows, step 3 is
// grabbed (a zero timer runs whenever the progress handler lets events run).
void LearnWhileGrabbing(FrmWizard& w, wizard::WindowGrabber& grab) {
    bool grabbed = false;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (grabbed || !w.LearningActive || w.learn->ProgressBar1a->value() < 10) return;
        grabbed = true;
        grab.Save(&w, "zorv_learning");
    });
    timer.start();
    w.NavButton(4)->click();
    timer.stop();
}

// Step 6's Instant Classification with one case classified.
void GrabInstantClassification(FrmWizard& w, wizard::WindowGrabber& grab, const QString& name) {
    w.RunInstDialog = [&](FrmInstCls& d) {
        d.CmdClsfy_Click();
        d.show();
        grab.Save(&d, name);
    };
    w.format->CmdCls->click();
    w.RunInstDialog = {};
}

// The summary box shown in place over the wizard, so that the page behind it shows too.
void GrabMessageOver(FrmWizard& w, const QString& text, const QString& name, wizard::WindowGrabber& grab) {
    auto* frame = new QFrame(&w);
    frame->setFrameShape(QFrame::Box);
    frame->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(1, 1, 1, 1);
    auto* box = new wizard::TableMessageBox(frame, text, QString::fromStdString(wizard::ZorvFrame().title),
                                            wizard::Icon::Information, w.geometry());
    const QSize size = box->size();
    box->setWindowFlags(Qt::Widget);
    box->setMinimumSize(size);
    column->addWidget(box);
    frame->show();
    QApplication::processEvents();
    frame->adjustSize();
    frame->move(std::max(0, (w.width() - frame->width()) / 2), std::max(0, (w.height() - frame->height()) / 2));
    grab.Save(&w, name);
    delete frame;
}

// The damaged-database question and the exit question as the user gets them, over the wizard:
// the whole screen is grabbed, so that where a box opens shows too.
void GrabQuestionsOverTheWizard(FrmWizard& w, wizard::WindowGrabber& grab) {
    QTemporaryDir folder;
    const QString damaged = QDir(folder.path()).filePath("damaged.db");
    QString question;
    try {
        // A database whose first page, behind its header, is overwritten.
        auto database = db::DBEngine::CreateDatabase(damaged.toStdString());
        database->Execute("CREATE TABLE Customers (Churn TEXT(10))");
        database->Close();
        QFile f(damaged);
        if (!f.open(QIODevice::ReadWrite) || !f.seek(100)) return;
        f.write(QByteArray(3996, '\x5a'));
        f.close();
        db::DBEngine::OpenDatabase(damaged.toStdString())->TableNames();
    } catch (const vb::NumberedError& e) {
        if (e.number() == db::errnum::kDamaged)
            question = QString::fromStdString(e.description()) + "\n\nAttempt to Repair it?";
    }
    const QString title = QString::fromStdString(wizard::ZorvFrame().title);
    for (const auto& [text, name] : {std::pair{question, QString("zorv_damaged_question")},
                                     std::pair{QString("Exit Kalvex?"), QString("zorv_exit_question")}}) {
        if (text.isEmpty()) continue;
        auto box = wizard::NewMessageBox(&w, text, title, name == "zorv_exit_question" ? wizard::Icon::None
                                                                                     : wizard::Icon::Warning);
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->show();
        grab.SaveScreen(box.get(), name);
        box->hide();
    }
}

// A table of plant diseases as a user brings it: 19 classes, field names with hyphens, one of
// them long. Each disease shows in a few symptoms, blurred by a fixed share of noise.
QString WritePlantTable(const QString& folder) {
    static const char* kDiseases[] = {
        "diaporthe-stem-canker", "charcoal-rot", "rhizoctonia-root-rot", "phytophthora-rot", "brown-stem-rot",
        "powdery-mildew", "downy-mildew", "brown-spot", "bacterial-blight", "bacterial-pustule",
        "purple-seed-stain", "anthracnose", "phyllosticta-leaf-spot", "alternarialeaf-spot",
        "frog-eye-leaf-spot", "diaporthe-pod-stem-blight", "cyst-nematode", "herbicide-injury", "root-knot"};
    const QString path = QDir(folder).filePath("plants.db");
    auto database = db::DBEngine::CreateDatabase(path.toStdString());
    database->Execute("CREATE TABLE Plants ([disease] TEXT(50), [plant-stand] TEXT(50), hail TEXT(50), "
                      "[leaf-spots] TEXT(50), [canker-lesion] TEXT(50), [fruit-pods] TEXT(50), "
                      "[synfuels-corporation-cutback] TEXT(50), ZORV_HoldOut YESNO)");
    uint32_t x = 12345;
    auto next = [&] { return (x = x * 1103515245u + 12345u) >> 16; };
    auto value = [&](int v, int count) { return next() % 3 == 0 ? int(next() % unsigned(count)) : v % count; };
    for (int r = 0; r < 1900; ++r) {
        const int c = r % 19;
        const std::string row = std::string("'") + kDiseases[c] + "', 'v" + std::to_string(value(c, 4)) + "', 'v" +
                                std::to_string(value(c / 4, 5)) + "', 'v" + std::to_string(value(c, 3)) + "', 'v" +
                                std::to_string(value(c, 5)) + "', 'v" + std::to_string(value(c / 5, 4)) + "', 'v" +
                                std::to_string(value(c, 2)) + "', " + (next() % 3 == 0 ? "True" : "False");
        database->Execute("INSERT INTO Plants VALUES (" + row + ")");
    }
    database->Close();
    return path;
}

// The plant table's classifier in the wizard: Instant Classification over its hyphenated
// fields, then the batch of step 8 over the same table with its summary of 19 classes, in the
// box the user gets. Nothing is saved when the engine is missing.
void GrabPlantClassifier(FrmWizard& w, ZorvSession& session, wizard::WindowGrabber& grab) {
    QTemporaryDir folder;
    std::shared_ptr<zorvapi::IDataEngine> engine;
    try {
        const QString file = WritePlantTable(folder.path());
        auto database = db::DBEngine::OpenDatabase(file.toStdString());
        engine = com::CreateObjectAs<zorvapi::IDataEngine>("ZORVAPI.DataEngine");
        LearnIntoSession(*engine, database,
                         "Plants", {"disease", "plant-stand", "hail", "leaf-spots", "canker-lesion", "fruit-pods",
                                    "synfuels-corporation-cutback"},
                         1, 2, session);
        std::string table = "Plants", frequency;
        engine->InitLearn(database, table, frequency);
        bool multiNet = false;
        if (!engine->LearnCPT(multiNet)) return;
        database->Close();
        engine->SetEventSink(&w);
    } catch (const std::exception&) {
        return;
    }
    w.MyDataEng = engine;
    for (int back = 0; back < 3 && w.CurrentStep > 6; ++back) w.NavButton(2)->click();
    if (w.CurrentStep != 6) return;
    GrabInstantClassification(w, grab, "zorv_inst_cls_names");

    // Step 8 on the plant table as the test data.
    w.format->Lstdbfmt->setCurrentRow(0);
    w.NavButton(3)->click();
    if (w.CurrentStep != 7) return;
    w.testFile->DbNameT->setText(QDir(folder.path()).filePath("plants.db"));
    w.NavButton(3)->click();
    if (w.CurrentStep != 9) return;
    TestTablePage& p = *w.testTable;
    p.CboTBNameT->setCurrentIndex(p.CboTBNameT->findText("Plants"));
    w.CboTBNameT_Click();
    p.CboClsT->setCurrentIndex(p.CboClsT->findText("disease"));
    w.CboClsT_Click();
    p.RstName->setText(QDir(folder.path()).filePath("results.txt"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder.path());
    w.LastSummary.clear();
    w.NavButton(4)->click();
    QDir::setCurrent(previous);
    if (w.LastSummary.isEmpty()) return;
    wizard::TableMessageBox box(&w, w.LastSummary, QString::fromStdString(wizard::ZorvFrame().title),
                                wizard::Icon::Information);
    box.show();
    grab.Save(&box, "zorv_summary_many");
    box.hide();

    // The editor over the plant fields: the long names shortened in their boxes, the longest
    // one focused, so that the status line shows it whole.
    w.cmdeditor_Click();
    auto* frame = w.findChild<FrmMDIBNE*>("FrmMDIBNE");
    if (!frame) return;
    frame->resize(1000, 720);
    if (FrmBNE* net = frame->ActiveWindow()) {
        for (int16_t k = 1; k <= net->model().NodeCount(); ++k)
            if (net->model().NodeName(k) == "synfuels-corporation-cutback") net->model().NodeGotFocus(k);
        net->Refresh();
    }
    grab.Save(frame, "zorv_editor_long_names");
    frame->close();
    QApplication::processEvents();
}

}  // namespace

QStringList TakeScreenshots(const QString& outDir, const QString& programDir) {
    wizard::ScreenshotServices fakes;
    wizard::Services services = fakes.bundle();
    ZorvSession session;
    FrmWizard w(services, session, programDir);
    w.show();
    wizard::WindowGrabber grab(outDir);
    auto page = [&](int n) { grab.Save(&w, QString("zorv_page_%1").arg(n)); };

    // Work mode 1 on the demo database: the cover, then every page that Next reaches.
    w.cover->Option1->click();
    if (w.cover->DBName->text().isEmpty())
        w.cover->DBName->setText(QDir(programDir).filePath("demo.db"));
    page(0);
    for (int expected : {1, 2, 3, 4, 5, 6}) {
        if (w.CurrentStep == 3) {
            LearnWhileGrabbing(w, grab);
            // Without an engine the network is built by hand: the skip path.
            if (w.CurrentStep == 3) w.NavButton(3)->click();
        } else {
            w.NavButton(3)->click();
        }
        if (w.CurrentStep == 1 && w.fields->CboTbName->count() > 1) {
            // The first table with its first field as the class field, previewed.
            w.fields->CboTbName->setCurrentIndex(1);
            w.CboTbName_Click();
            w.fields->CboCls->setCurrentIndex(0);
            w.CboCls_Click();
        }
        if (w.CurrentStep == 2 && expected == 2) {
            QTemporaryDir networks;
            WalkKnowledgePage(
                w, session, networks.path(), [&](const QString& name) { fakes.files.next = name; },
                [&] { return fakes.prompts.last; }, [&] { page(2); }, [&] { grab.Save(&w, "zorv_import"); });
            // The learning options on the two tabs after the knowledge tabs.
            QTabWidget* tabs = w.knowledge->page->SSTab1;
            tabs->setCurrentIndex(5);
            grab.Save(&w, "zorv_page_2_algorithm");
            tabs->setCurrentIndex(6);
            grab.Save(&w, "zorv_page_2_dataset");
            tabs->setCurrentIndex(0);
            continue;
        }
        if (w.CurrentStep == 5 && expected == 5) {
            // One cost changed through its dialog.
            w.RunCostDialog = [&](frmEditCost& d) {
                d.NewVlu->setText("2.5");
                d.show();
                grab.Save(&d, "zorv_edit_cost");
                d.CmdOK_Click();
            };
            w.GridCosts_DblClick(1, 2);
            w.RunCostDialog = {};
        }
        if (w.CurrentStep == 6 && expected == 6) {
            GrabInstantClassification(w, grab, "zorv_inst_cls");
        }
        if (w.CurrentStep == expected) page(expected);
        if (w.CurrentStep == 1 && expected == 1) {
            // The same page in a large window: its lists take the room.
            const QSize normal = w.size();
            w.resize(1260, 960);
            grab.Save(&w, "zorv_page_1_large");
            w.resize(normal);
        }
    }
    w.testFile->DbNameT->setText(QDir(programDir).filePath("demo.db"));
    w.NavButton(3)->click();  // 6 -> 7
    if (w.CurrentStep == 7) page(7);
    w.NavButton(3)->click();  // 7 -> 9
    if (w.CurrentStep == 9) {
        // The last table as the test table.
        w.testTable->CboTBNameT->setCurrentIndex(w.testTable->CboTBNameT->count() - 1);
        w.CboTBNameT_Click();
        const int cls = w.testTable->CboClsT->findText("Churn");
        if (cls > 0) {
            w.testTable->CboClsT->setCurrentIndex(cls);
            w.CboClsT_Click();
        }
        QTemporaryDir results;
        w.testTable->RstName->setText(results.filePath("results.txt"));
        page(9);
        // The batch into a results file (the engine's ROC files go to the working folder) and
        // its summary over the page.
        const QString previous = QDir::currentPath();
        QDir::setCurrent(results.path());
        fakes.prompts.last.clear();
        w.NavButton(4)->click();
        QDir::setCurrent(previous);
        if (!w.LastSummary.isEmpty()) GrabMessageOver(w, w.LastSummary, "zorv_summary", grab);
    }
    // The ODBC page: back to the format list and choose "Remote (ODBC)".
    w.NavButton(2)->click();
    w.NavButton(2)->click();
    w.format->Lstdbfmt->setCurrentRow(16);
    w.NavButton(3)->click();
    if (w.CurrentStep == 8) {
        // A data source chosen: the driver and server boxes are off.
        wizard::OdbcControls& values = *w.odbc->values;
        if (values.cboDSNList->count() > 1) values.cboDSNList->setCurrentIndex(1);
        wizard::cboDSNList_Click(values);
        values.txtUID->setText("analyst");
        page(8);
    }

    wizard::frmAbout about({QString::fromStdString(wizard::ZorvFrame().title), wizard::kZorvHelpPage, programDir},
                           fakes.bundle(), &w);
    about.show();
    grab.Save(&about, "zorv_about");
    about.close();

    // The box's page link on a desktop whose opener fails: the page in the program's viewer,
    // which stays open when the box closes.
    {
        struct NoOpener : wizard::ScreenshotServices::NoShell {
            bool OpenDocument(const QString&) override { return false; }
        } shell;
        const wizard::Services noOpener{fakes.prompts, fakes.files, shell, fakes.printer};
        wizard::frmAbout box({QString::fromStdString(wizard::ZorvFrame().title), wizard::kZorvHelpPage, programDir},
                             noOpener, &w);
        box.show();
        box.vrell_Click();
        if (auto* viewer = box.findChild<wizard::HelpViewer*>()) grab.Save(viewer, "zorv_about_page");
        box.close();
        delete w.findChild<wizard::HelpViewer*>();
    }

    wizard::frmDBPWD password(&w);
    password.txtPassword->setText("secret");
    password.show();
    grab.Save(&password, "zorv_password");
    password.close();

    FrmSetting settings(w.MaxCPTrows, w.MaxVlus, fakes.prompts, &w);
    settings.show();
    grab.Save(&settings, "zorv_settings");
    settings.close();

    // Help on a desktop with no program for HTML files: the program's own viewer.
    {
        struct NoHtmlProgram : wizard::ScreenshotServices::NoShell {
            bool OpenDocument(const QString&) override { return false; }
        } shell;
        wizard::HelpViewer* help =
            wizard::OpenHelpPage(shell, &w, QDir(programDir).filePath(wizard::kZorvHelpPage));
        grab.Save(help, "zorv_help");
        delete help;
    }

    GrabQuestionsOverTheWizard(w, grab);
    GrabPlantClassifier(w, session, grab);
    GrabEditor(w, session, programDir, grab, 1, "zorv_editor_bn");
    GrabEditor(w, session, programDir, grab, 2, "zorv_editor_mn");
    w.hide();
    return grab.written();
}

}  // namespace zorv

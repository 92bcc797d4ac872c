// Step 2 for the screenshots (screens_knowledge.h).
#include "zorv/screens_knowledge.h"

#include <QDir>
#include <QFrame>
#include <QVBoxLayout>
#include <fstream>

#include "wizard_common/model/step_caption.h"
#include "wizard_common/qt_services.h"
#include "zorv/page_knowledge.h"

namespace zorv {

namespace {

// What step 1 selects on the demo table with Churn as the class field ("Tenure" gives way to
// its labels "Tenure_d").
const char* const kDemoFields[] = {"Churn", "Contract", "Tenure_d", "Support", "Satisfaction",
                                   "Payment", "Internet", "Region", "Age", "Complaints"};

// The demo table's network as a BIF file; the links into Churn are refused (the class field is
// a cause only), the two entered by hand are duplicates.
const char* const kDemoNetwork =
    "network Customers {\n}\n"
    "probability ( Contract | Age ) {\n}\n"
    "probability ( Support | Internet ) {\n}\n"
    "probability ( Satisfaction | Support ) {\n}\n"
    "probability ( Tenure_d | Contract ) {\n}\n"
    "probability ( Churn | Contract, Satisfaction ) {\n}\n"
    "probability ( Payment | Churn ) {\n}\n"
    "probability ( Complaints | Churn, Support ) {\n}\n";

int Row(const wizard::KnowledgePage& page, const char* field) {
    const auto items = page.lstfld[2]->findItems(field, Qt::MatchExactly);
    return items.isEmpty() ? -1 : page.lstfld[2]->row(items.first());
}

// Picks the two fields in the columns of the causes-and-effects tab (or, `forbidden`, of the
// forbidden-links tab) and presses the add button.
void AddByHand(wizard::KnowledgePage& page, bool forbidden, const char* first, const char* second) {
    page.lstfld[forbidden ? 5 : 2]->setCurrentRow(Row(page, first));
    page.lstfld[forbidden ? 6 : 3]->setCurrentRow(Row(page, second));
    (forbidden ? page.cmdright3 : page.cmdright2)->click();
}

}  // namespace

void WalkKnowledgePage(FrmWizard& w, ZorvSession& session, const QString& networkFolder,
                       const std::function<void(const QString&)>& answerOpen,
                       const std::function<QString()>& lastMessage, const std::function<void()>& grabPage,
                       const std::function<void()>& grabImport) {
    wizard::KnowledgePage& page = *w.knowledge->page;
    if (page.model().fieldCount() == 0) {
        session.FieldNames = {""};
        for (const char* f : kDemoFields) session.FieldNames.push_back(f);
        session.FieldCount = int16_t(std::size(kDemoFields));
        page.Fill(SelectedFields(session));
    }
    AddByHand(page, true, "Region", "Churn");
    AddByHand(page, false, "Age", "Contract");
    AddByHand(page, false, "Internet", "Support");
    page.SSTab1->setCurrentIndex(2);
    grabPage();

    const QString network = QDir(networkFolder).filePath("customers.bif");
    std::ofstream(network.toStdString(), std::ios::binary) << kDemoNetwork;
    answerOpen(network);
    page.cmdImport_Click();

    // The count message as the program shows it, placed over the page so that one picture
    // holds both.
    auto* frame = new QFrame(&w);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(frame);
    const QString title = QString::fromStdString(wizard::ZorvFrame().title);
    auto* caption = new QLabel(title);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    column->addWidget(caption);
    std::unique_ptr<QMessageBox> box = wizard::NewMessageBox(frame, lastMessage(), title, wizard::Icon::None);
    box->setWindowFlags(Qt::Widget);
    column->addWidget(box.release());
    frame->adjustSize();
    frame->move((w.width() - frame->width()) / 2, (w.height() - frame->height()) / 2);
    frame->show();
    grabImport();
    delete frame;
}

}  // namespace zorv

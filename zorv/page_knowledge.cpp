// zorv's step 2 and the wizard's two pieces of work on it: the set-up when it is entered moving
// forward and the check when it is left with Next.
#include "zorv/page_knowledge.h"

#include <QBoxLayout>
#include <algorithm>

#include "wizard_common/model/step_caption.h"
#include "zorv/frm_wizard.h"
#include "zorv/data_pages.h"
#include "zorv/learning_options.h"

namespace zorv {

KnowledgeStep::KnowledgeStep(wizard::knowledge::KnowledgeModel& model, wizard::Services services,
                             const QString& title, QString& IMEXPath, QWidget* parent)
    : WizardPage(2, 2, QString::fromStdString(wizard::ZorvFrame().pageNames[2]), parent) {
    page = new wizard::KnowledgePage(model, services, title, IMEXPath);
    body()->addWidget(page, 1);
    StretchBody();
}

std::vector<std::string> SelectedFields(const ZorvSession& session) {
    std::vector<std::string> fields;
    for (size_t i = 1; i <= size_t(std::max<int16_t>(session.FieldCount, 0)) && i < session.FieldNames.size(); ++i)
        fields.push_back(session.FieldNames[i]);
    return fields;
}

// Coming back from step 3 keeps what the user entered; only a forward entry starts afresh.
void FrmWizard::ResetKnowledgePage() {
    // The fields selected on step 1, in list order (the class field is item 0), become the
    // model's fields.
    if (fields->Lstfields->count() > 0) {
        session_.FieldNames = {""};
        for (int i = 0; i < fields->Lstfields->count(); ++i)
            if (fields->Lstfields->item(i)->isSelected())
                session_.FieldNames.push_back(fields->Lstfields->item(i)->text().toStdString());
        session_.FieldCount = int16_t(session_.FieldNames.size() - 1);
    }
    knowledge->page->Fill(SelectedFields(session_));
    options->Reset();
}

bool FrmWizard::CheckKnowledgeTabs() { return knowledge->page->CheckOnLeave(); }

}  // namespace zorv

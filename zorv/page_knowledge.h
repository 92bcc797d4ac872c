// zorv's step 2: the shared knowledge page (wizard_common/knowledge_page.h) in the step's frame,
// over the session's knowledge model with zorv's class-field rules.
#pragma once

#include "wizard_common/knowledge_page.h"
#include "zorv/pages.h"
#include "zorv/session.h"

namespace zorv {

class KnowledgeStep : public WizardPage {
public:
    KnowledgeStep(wizard::knowledge::KnowledgeModel& model, wizard::Services services, const QString& title,
                  QString& IMEXPath, QWidget* parent = nullptr);
    wizard::KnowledgePage* page;
};

// The fields chosen on step 1 in their order, the class field first: FieldNames 1 to
// FieldCount.
std::vector<std::string> SelectedFields(const ZorvSession& session);

}  // namespace zorv

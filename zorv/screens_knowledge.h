// The screenshot driver's walk over step 2: knowledge entered as a user would, a network file
// imported, and the import's count message shown over the page.
#pragma once

#include <QString>
#include <functional>

#include "wizard_common/services.h"
#include "zorv/frm_wizard.h"
#include "zorv/session.h"

namespace zorv {

// On step 2: enters a few pairs (the page then shows the causes-and-effects tab) and calls
// `grabPage`; then imports a network of the demo fields from `networkFolder`, the file dialog
// answering through `answerOpen`, and calls `grabImport` while the count message, read from
// `lastMessage`, stands over the page. A walk that left step 1 without fields gets the demo
// table's.
void WalkKnowledgePage(FrmWizard& w, ZorvSession& session, const QString& networkFolder,
                       const std::function<void(const QString&)>& answerOpen,
                       const std::function<QString()>& lastMessage, const std::function<void()>& grabPage,
                       const std::function<void()>& grabImport);

}  // namespace zorv

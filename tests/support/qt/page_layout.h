// Layout checks over a wizard's pages: every list, grid and text box of a page takes the room
// a larger window gives the page.
#pragma once

#include <QString>
#include <vector>

#include "wizard_common/wizard_form.h"

namespace testsupport {

// Shows `wizard` at its own size and then `grow` pixels wider and higher, on each of its
// `pageCount` pages in turn, and names the lists, grids and text boxes in view ("page 1:
// Lstfields") that did not grow in height by at least half of `grow`.
std::vector<QString> ListsThatDoNotGrow(wizard::WizardForm& wizard, int pageCount, int grow = 300);

}  // namespace testsupport

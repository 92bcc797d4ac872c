// The window caption of each wizard page: the program's title, " - ", the page's name and, on
// the numbered steps, the count of steps (zorv's page 7 reads "Belief Network Kalvex - Step 7a
// of 8"). One table per program, kept here so the three wizards cannot drift apart.
#pragma once

#include <string>
#include <vector>

namespace wizard {

struct WizardFrame {
    std::string title;                  // "Belief Network Kalvex"
    std::string suffix;                 // " of 8"
    int firstNumbered;                  // pages firstNumbered..lastNumbered get the suffix
    int lastNumbered;
    std::vector<std::string> pageNames; // the caption of each page frame, by page index
};

const WizardFrame& ZorvFrame();
const WizardFrame& VrellFrame();
const WizardFrame& TruneFrame();

// The caption for `page`; just the title for a page the table does not know.
std::string StepCaption(const WizardFrame& frame, int page);

}  // namespace wizard

// Page names and step counts of the three wizards, and the caption built from them.
#include "wizard_common/model/step_caption.h"

namespace wizard {

const WizardFrame& ZorvFrame() {
    static const WizardFrame f{"Belief Network Kalvex", " of 8", 1, 9,
                               {"Cover", "Step 1", "Step 2", "Step 3", "Step 4", "Step 5", "Step 6",
                                "Step 7a", "Step 7b", "Step 8"}};
    return f;
}

// The two "Introduction " names end with a blank, and the caption keeps it.
const WizardFrame& VrellFrame() {
    static const WizardFrame f{"Belief Network Tormid", " of 5", 1, 6,
                               {"Introduction ", "Step 1", "Step 2a", "Step 2b", "Step 3", "Step 4",
                                "Step 5", "Finished!"}};
    return f;
}

const WizardFrame& TruneFrame() {
    static const WizardFrame f{"Sorvane", " of 4", 1, 5,
                               {"Introduction ", "Step 1", "Step 2a", "Step 2b", "Step 3", "Step 4",
                                "Finished!"}};
    return f;
}

std::string StepCaption(const WizardFrame& frame, int page) {
    if (page < 0 || size_t(page) >= frame.pageNames.size()) return frame.title;
    std::string caption = frame.title + " - " + frame.pageNames[size_t(page)];
    if (page >= frame.firstNumbered && page <= frame.lastNumbered) caption += frame.suffix;
    return caption;
}

}  // namespace wizard

// The targets the About boxes, the hidden step-picture link and the Help buttons open: our own
// help pages next to the programs and the one mail address the suite answers. Defined once, so
// the three programs cannot point at different places.
#pragma once

namespace wizard {

// Relative to the program's folder.
inline constexpr const char* kZorvHelpPage = "zorvhlp/index.html";
inline constexpr const char* kVrellHelpPage = "vrellhlp/index.html";
inline constexpr const char* kTruneHelpPage = "trunehlp.htm";
// The suite's own page (what the About boxes show as the makers' home page).
inline constexpr const char* kSuitePage = "index.html";

inline constexpr const char* kMailAddress = "bnsuite@example.org";

}  // namespace wizard

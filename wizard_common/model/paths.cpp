// The path splitter shared by the three wizards' browse buttons and page checks.
#include "wizard_common/model/paths.h"

namespace wizard {

std::string GetPath(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    // "/data.db" lives in the root folder; an empty folder would read as "no folder".
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

}  // namespace wizard

// The manual network of a skipped construction and the listing of links (result_listing.h).
#include "vrell/result_listing.h"

namespace vrell {

void TakeCauseEffectPairs(const vb::Array<vb::Integer>& ce, vb::Array<vb::Integer>& rst, int n) {
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b) {
            if (ce(a, b) != 0)
                rst(a, b) = 1;
            else if (ce(b, a) != 0)
                rst(a, b) = 2;
        }
}

std::string ListLinks(const vb::Array<vb::Integer>& rst, const vb::Array<std::string>& names, int n) {
    std::string text;
    int count = 0;
    for (int a = 0; a + 1 < n; ++a)
        for (int b = a + 1; b < n; ++b) {
            const vb::Integer code = rst(a, b);
            if (code <= 0) continue;
            const char* link = code == 1 ? " -> " : code == 2 ? " <- " : code == 3 ? " -- " : " <> ";
            text += names(a) + link + names(b) + "   ";
            if (++count == 4) {
                count = 0;
                text += "\r\n";
            }
        }
    return text;
}

}  // namespace vrell

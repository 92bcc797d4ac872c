// The check that a field's values can be bounded by Single cut points (see cut_points.h).
#include "trune/discretize/cut_points.h"

#include <fmt/format.h>

#include "platform/vb/regional.h"

namespace trune {

void CheckCuttable(const std::string& field, double v) {
    const double limit = double(std::numeric_limits<vb::Single>::max());
    if (std::isfinite(v) && std::fabs(v) <= limit) return;
    const std::string max = vb::RegionalText(std::numeric_limits<vb::Single>::max());
    throw vb::RuntimeError(6, fmt::format("The field '{}' holds the value {}, which no interval can bound. The "
                                          "fields to be cut must hold numbers from -{} to {}: correct the value, "
                                          "or leave the field out.",
                                          field, vb::RegionalText(v), max, max));
}

}  // namespace trune

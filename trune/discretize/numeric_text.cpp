// Whole-text numbers and the numeric reading of cells (see numeric_text.h).
#include "trune/discretize/numeric_text.h"

#include <cmath>

#include "platform/vb/regional.h"
#include "platform/vb/runtime_error.h"
#include "platform/vb/strings.h"

namespace trune {

std::optional<double> TextNumber(std::string_view text) {
    for (const std::string& symbol : {vb::RegionalDecimal(), std::string(".")}) {
        try {
            return vb::ParseDouble(text, symbol);
        } catch (const vb::RuntimeError&) {
            // Not a number in this form (or beyond a Double): try the other one.
        }
    }
    return std::nullopt;
}

std::optional<double> CellNumber(const db::Value& v) {
    switch (v.kind()) {
        case db::Value::Kind::Null:
        case db::Value::Kind::Date: return std::nullopt;
        case db::Value::Kind::Text: return TextNumber(v.AsText());
        default: {
            // A NaN is no number: it sorts and compares with nothing, so it is kept like a text.
            const double x = v.ToDouble();
            if (std::isnan(x)) return std::nullopt;
            return x;
        }
    }
}

}  // namespace trune

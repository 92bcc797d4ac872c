// GetVluIdx: the value index of a raw cell when the classifier classifies test or hold-out rows.
// A label equal to the cell's text wins; otherwise a field discretized by the data-conditioning
// wizard carries interval labels ("<c", ">c<d", ">c"), and a raw number is placed in the first
// interval, in label order, whose range holds it. Reads VluLbl and FF only; never raises, since
// a row whose value cannot be placed is simply a row with no label for that field (index 0).
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "core/learner.h"
#include "platform/db/value_text.h"
#include "platform/vb/regional.h"
#include "platform/vb/strings.h"

namespace core {

namespace {

// A number as the interval labels are written: in the regional form of the machine that
// discretized the table, or with "." when the label came from elsewhere. No number: nullopt.
std::optional<double> LabelNumber(std::string_view text) {
    try {
        return double(vb::ParseRegionalSingle(text));
    } catch (...) {
    }
    try {
        return double(vb::ParseSingle(text));
    } catch (...) {
    }
    return std::nullopt;
}

// The raw value as a number, widened to double as the wizard compared it when it wrote the
// labels; nullopt for a text that is not a number.
std::optional<double> CellNumber(const db::Value& v) {
    if (v.IsNull()) return std::nullopt;
    if (v.kind() == db::Value::Kind::Text) {
        try {
            return vb::ParseRegionalDouble(v.AsText());
        } catch (...) {
        }
        try {
            return vb::ParseDouble(v.AsText());
        } catch (...) {
        }
        return std::nullopt;
    }
    try {
        return v.ToDouble();
    } catch (...) {
        return std::nullopt;
    }
}

// The range of an interval label. Each bound is either present or not: a cut point of -1 is a
// bound like any other. A label whose numbers cannot be read is no interval label.
struct Interval {
    std::optional<double> lo, hi;
};

std::optional<Interval> ParseInterval(const std::string& t) {
    if (t.empty() || (t[0] != '<' && t[0] != '>')) return std::nullopt;
    Interval r;
    if (t[0] == '<') {
        r.hi = LabelNumber(std::string_view(t).substr(1));
        if (!r.hi) return std::nullopt;
        return r;
    }
    size_t p = t.find('<', 1);
    if (p == std::string::npos) {
        r.lo = LabelNumber(std::string_view(t).substr(1));
        if (!r.lo) return std::nullopt;
        return r;
    }
    r.lo = LabelNumber(std::string_view(t).substr(1, p - 1));
    r.hi = LabelNumber(std::string_view(t).substr(p + 1));
    if (!r.lo || !r.hi) return std::nullopt;
    return r;
}

bool Holds(const Interval& r, double x) {
    if (r.lo && x < *r.lo) return false;
    if (r.hi && x > *r.hi) return false;
    return true;
}

}  // namespace

Integer Learner::GetVluIdx(Integer fld, db::Value& val) const {
    if (val.IsNull()) val = db::Value("?");
    try {
        // A field over the value limit has a count but no labels.
        const Integer count = Integer(std::min<int32_t>(FF(fld), VluLbl.UBound(2)));
        const std::string cell = vb::UCase(vb::Trim(db::ValueText(val)));
        for (Integer k = 1; k <= count; ++k)
            if (vb::Trim(VluLbl(fld, k)) == cell) return k;

        // A value that is not a number lies in no interval.
        const std::optional<double> x = CellNumber(val);
        if (!x) return 0;
        for (Integer k = 1; k <= count; ++k) {
            std::optional<Interval> r = ParseInterval(VluLbl(fld, k));
            if (r && Holds(*r, *x)) return k;
        }
    } catch (...) {
        // A field number outside the lists: no label matches.
    }
    return 0;
}

}  // namespace core

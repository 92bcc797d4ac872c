// The chi-square table of the independence test: the 5 % critical value for each number of
// degrees of freedom, and the test that admits one configuration of a conditioning set. Reads
// and writes ChiSq; the test's weighting comes from the engine's settings.
#include "core/learner.h"

namespace core {

namespace {

// Critical values for df 1..30, each stored as the Single nearest to the decimal.
constexpr float kFirstThirty[30] = {
    3.84f,  5.99f,  7.81f,  9.48f,  11.07f, 12.59f, 14.07f, 15.5f,  16.9f,  18.3f,
    19.68f, 21.03f, 22.36f, 23.68f, 25.0f,  26.3f,  27.59f, 28.87f, 30.14f, 31.41f,
    32.67f, 33.92f, 35.17f, 36.42f, 37.65f, 38.89f, 40.11f, 41.34f, 42.56f, 43.77f,
};

// Beyond df 30 the table grows by whole numbers: df plus an offset that widens with df.
float CriticalValue(Long df) {
    if (df <= 0) return 0;
    if (df <= 30) return kFirstThirty[df - 1];
    if (df <= 40) return float(df + 14);
    if (df <= 50) return float(df + 16);
    if (df <= 60) return float(df + 18);
    if (df <= 80) return float(df + 20);
    return float(df + 22);
}

}  // namespace

void Learner::FillChiSq(Long top) {
    ChiSq.ReDim(vb::To(top));
    for (Long df = 1; df <= top; ++df) ChiSq(df) = CriticalValue(df);
}

bool Learner::AdmitsConfiguration(Single S, Integer df) const {
    const Single critical = ChiSq(df);
    switch (settings_.test) {
        case ConfigTest::WeightedStatistic: return Single(2.5 * double(S)) > critical;
        case ConfigTest::HalfCritical: return S > Single(0.5 * double(critical));
    }
    return false;
}

}  // namespace core

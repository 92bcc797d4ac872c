#include "platform/vb/rnd.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/vb/strings.h"

namespace {

TEST(Rnd, UnseededSequenceIsTheRuntimes) {
    vb::ResetRnd();
    // The runtime's first values in a process that never seeds.
    const char* first[] = {"0.7055475", "0.533424", "0.5795186", "0.2895625", "0.301948"};
    for (const char* expected : first) EXPECT_EQ(vb::NumberText(vb::Rnd()), expected);

    // The generator recomputed in 64-bit arithmetic, over a long stretch.
    vb::ResetRnd();
    uint64_t x = 0x50000;
    for (int i = 0; i < 100000; ++i) {
        x = (x * 0x43FD43FDull + 0xC39EC3ull) % (1ull << 24);
        float r = vb::Rnd();
        ASSERT_EQ(r, float(double(x) / 16777216.0)) << "draw " << i;
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
    }
}

TEST(Rnd, ResetAndSeedRepeatTheirSequences) {
    vb::ResetRnd();
    float a = vb::Rnd(), b = vb::Rnd();
    vb::ResetRnd();
    EXPECT_EQ(vb::Rnd(), a);
    EXPECT_EQ(vb::Rnd(), b);

    // Seeding keeps the state's low byte, as the runtime does, so equal seeds repeat a
    // sequence only from equal states: reset first.
    vb::ResetRnd();
    vb::Randomize(12345.0);
    float s1 = vb::Rnd(), s2 = vb::Rnd();
    vb::ResetRnd();
    vb::Randomize(12345.0);
    EXPECT_EQ(vb::Rnd(), s1);
    EXPECT_EQ(vb::Rnd(), s2);
    vb::ResetRnd();
    vb::Randomize(54321.0);
    EXPECT_NE(vb::Rnd(), s1);

    vb::Randomize();  // from the clock: only has to stay in range
    for (int i = 0; i < 1000; ++i) {
        float r = vb::Rnd();
        ASSERT_TRUE(r >= 0.0f && r < 1.0f);
    }
    vb::ResetRnd();
}

}  // namespace

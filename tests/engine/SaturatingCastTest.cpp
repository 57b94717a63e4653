#include "engine/SaturatingCast.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>

namespace {
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
} // namespace

TEST(SaturatingCast, WideSignedValuesStopAtThe32BitLimits) {
    const struct {
        std::int64_t value;
        std::int32_t expected;
    } cases[] = {
        {0, 0},
        {-1, -1},
        {kMax, kMax},
        {kMin, kMin},
        {std::int64_t{kMax} + 1, kMax},
        {std::int64_t{kMin} - 1, kMin},
        {std::int64_t{1} << 40, kMax},
        {-(std::int64_t{1} << 40), kMin},
        {std::numeric_limits<std::int64_t>::max(), kMax},
        {std::numeric_limits<std::int64_t>::min(), kMin},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SaturatingCast<std::int32_t>(c.value), c.expected) << c.value;
}

TEST(SaturatingCast, UnsignedAndSignedMeetWithoutWrapping) {
    const struct {
        std::uint64_t value;
        std::int32_t expected;
    } toSigned[] = {
        {0, 0},
        {static_cast<std::uint64_t>(kMax), kMax},
        {0x80000000u, kMax},
        {0xFFFFFFFFu, kMax},
        {std::numeric_limits<std::size_t>::max(), kMax},
    };
    for (const auto& c : toSigned) {
        EXPECT_EQ(SaturatingCast<std::int32_t>(c.value), c.expected) << c.value;
        if (c.value <= 0xFFFFFFFFu) {
            const auto narrow = static_cast<std::uint32_t>(c.value);
            EXPECT_EQ(SaturatingCast<std::int32_t>(narrow), c.expected) << c.value;
        }
    }
    const struct {
        std::int32_t value;
        std::uint32_t expected;
    } toUnsigned[] = {{-1, 0u}, {kMin, 0u}, {0, 0u}, {kMax, static_cast<std::uint32_t>(kMax)}};
    for (const auto& c : toUnsigned)
        EXPECT_EQ(SaturatingCast<std::uint32_t>(c.value), c.expected) << c.value;
}

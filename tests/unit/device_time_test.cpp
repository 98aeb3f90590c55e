// Packing and unpacking the terminal's 31-day-month date-time.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "records/device_time.h"

namespace {

using tl::CalendarTime;
using tl::DecodeDeviceTime;
using tl::EncodeDeviceTime;

TEST(DeviceTime, KnownValues) {
    EXPECT_EQ(EncodeDeviceTime(2011, 4, 15, 8, 30, 5), 362824205u);
    EXPECT_EQ(DecodeDeviceTime(362824205u), (CalendarTime{2011, 4, 15, 8, 30, 5}));
    EXPECT_EQ(EncodeDeviceTime(2000, 1, 1, 0, 0, 1), 1u);
    EXPECT_EQ(EncodeDeviceTime(2100, 1, 1, 0, 0, 0), 0u);
    EXPECT_EQ(EncodeDeviceTime(2023, 2, 30, 0, 0, 0), 744422400u);
    EXPECT_EQ(DecodeDeviceTime(744422400u), (CalendarTime{2023, 2, 30, 0, 0, 0}));
    EXPECT_EQ(DecodeDeviceTime(4294967295u), (CalendarTime{2133, 8, 18, 6, 28, 15}));
    EXPECT_EQ(DecodeDeviceTime(0), (CalendarTime{2000, 1, 1, 0, 0, 0}));
}

TEST(DeviceTime, OutOfRangeFieldsAreAddedIn) {
    // Day 32 of January is day 1 of February.
    EXPECT_EQ(EncodeDeviceTime(2020, 1, 32, 0, 0, 0), EncodeDeviceTime(2020, 2, 1, 0, 0, 0));
    // Wrapping arithmetic, never undefined behaviour.
    EncodeDeviceTime(-2147483647 - 1, 2147483647, -5, 99999, -99999, 2147483647);
}

TEST(DeviceTime, RoundTripsEveryCenturyDate) {
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        CalendarTime t{static_cast<int>(2000 + rng() % 100), static_cast<int>(1 + rng() % 12),
                       static_cast<int>(1 + rng() % 31),     static_cast<int>(rng() % 24),
                       static_cast<int>(rng() % 60),         static_cast<int>(rng() % 60)};
        ASSERT_EQ(DecodeDeviceTime(EncodeDeviceTime(t)), t);
    }
}

// The day-cached decoder must give DecodeDeviceTime's answer whatever order
// the times come in: ascending runs within a day, day boundaries, jumps back
// and the extremes of the 32-bit range.
TEST(DeviceTime, DayCachedDecoderMatchesPlainDecoding) {
    tl::DayCachedDecoder decoder;
    std::vector<std::uint32_t> values = {
        0, 86399, 86400, 86399, 362824205, 362824205, 4294967295, 4294967295 - 86400, 0};
    std::mt19937 rng(11);
    std::uint32_t v = 744422400u;
    for (int i = 0; i < 20000; ++i) {
        values.push_back(v);
        v += rng() % 5000;  // mostly the same day, in order
        if (rng() % 100 == 0) v = static_cast<std::uint32_t>(rng());  // now and then anywhere
    }
    for (const std::uint32_t value : values)
        ASSERT_EQ(decoder.Decode(value), DecodeDeviceTime(value)) << value;
}

}  // namespace

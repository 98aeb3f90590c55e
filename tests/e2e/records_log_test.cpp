// Large attendance logs downloaded from the simulated terminal and iterated
// record by record, in every firmware profile: the host must hand out exactly
// the terminal's punches, in order, with the right user numbers and times.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "session/session.h"
#include "termsim/model.h"

namespace {

constexpr std::size_t kLogBuffer = 8388608;    // the download buffer of a log read
constexpr std::size_t kRoom = kLogBuffer - 4;  // less the leading byte count

// Bytes of the compact layout for these punches: a 4-byte record when the time
// is at most 1023 s after the last full time, else an 8-byte one.
std::size_t CompactBytes(const std::vector<termsim::Punch>& punches) {
    bool haveBase = false;
    std::uint32_t base = 0;
    std::size_t n = 0;
    for (const auto& p : punches) {
        if (haveBase && p.time >= base && p.time - base <= 1023) {
            n += 4;
        } else {
            n += 8;
            base = p.time;
            haveBase = true;
        }
    }
    return n;
}

std::size_t LogBytes(const termsim::Model& model) {
    const int size = model.LogRecordSize();
    const auto punches = model.Punches();
    return size == 0 ? CompactBytes(punches) : punches.size() * static_cast<std::size_t>(size);
}

// Fills the model with a generated log as close below the buffer's room as
// the record sizes allow.
void GenerateFullLog(termsim::Model& model) {
    termsim::GenerateSpec spec;
    spec.seed = 7;
    spec.users = 400;
    spec.days = 60;
    const int size = model.LogRecordSize();
    spec.punches = static_cast<int>(kRoom / (size == 0 ? 8 : static_cast<std::size_t>(size)));
    model.Generate(spec);
    if (size != 0) return;
    // Compact records are 4 or 8 bytes: scale the count to the room, then
    // step down until it fits.
    std::size_t bytes = LogBytes(model);
    spec.punches = static_cast<int>(static_cast<double>(spec.punches) * 0.995 *
                                    static_cast<double>(kRoom) / static_cast<double>(bytes));
    for (;;) {
        model.Generate(spec);
        bytes = LogBytes(model);
        if (bytes <= kRoom) break;
        spec.punches -= spec.punches / 100 + 1;
    }
}

struct Got {
    int pin = 0;
    unsigned char mode = 0, state = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int extraCode = 0, extraWord = 0;
};

class LargeLog : public ::testing::TestWithParam<termsim::Profile> {};

TEST_P(LargeLog, DownloadedLogIsExactlyTheTerminalsPunches) {
    termsim::Config config;
    config.profile = GetParam();
    termsim::Model model(config);
    GenerateFullLog(model);
    const auto punches = model.Punches();
    const std::size_t bytes = LogBytes(model);
    ASSERT_LE(bytes, kRoom);
    ASSERT_GE(bytes, kRoom - kRoom / 50);  // an 8 MiB log, within 2 %

    e2e::HarnessOptions options;
    options.ptys = 0;
    e2e::SimTerminal sim(model, options);
    TL_HANDLE h = sim.ConnectNetEx();
    ASSERT_NE(h, nullptr) << TL_LastError();
    int width = 0;
    ASSERT_EQ(TL_GetPINWidth(h, &width), 1);
    EXPECT_EQ(width, model.PinWidth());
    const bool textIds = GetParam() == termsim::Profile::Tft;

    ASSERT_EQ(TL_ReadLog(h, 1), 1);
    EXPECT_EQ(static_cast<std::size_t>(tl::as_session(h)->logDataLen), bytes);

    std::size_t i = 0;
    for (;; ++i) {
        Got g;
        char id[25];
        std::memset(id, 0, sizeof id);
        const int r = textIds
                          ? TL_SSR_GetLog(h, id, &g.mode, &g.state, &g.year, &g.month, &g.day,
                                          &g.hour, &g.minute, &g.second, &g.extraCode)
                          : TL_GetExtLog(h, &g.pin, &g.mode, &g.state, &g.year, &g.month, &g.day,
                                         &g.hour, &g.minute, &g.second, &g.extraCode, &g.extraWord);
        if (r == 0) break;
        ASSERT_EQ(r, 1) << "record " << i;
        ASSERT_LT(i, punches.size());
        const auto& p = punches[i];
        const auto t = termsim::DecodeTime(p.time);
        SCOPED_TRACE("record " + std::to_string(i));
        if (textIds) {
            ASSERT_EQ(std::string(id), p.id);
        } else {
            // Wide user numbers are handed out as the enrolled number.
            const std::uint32_t expected = (width > 5 && p.pin2 != 0) ? p.pin2 : p.pin;
            ASSERT_EQ(static_cast<std::uint32_t>(g.pin), expected);
            ASSERT_EQ(g.extraWord, 0);
        }
        ASSERT_EQ(g.mode, p.verify);
        ASSERT_EQ(g.state, p.state);
        ASSERT_EQ(static_cast<std::uint32_t>(g.extraCode), p.workCode);
        ASSERT_EQ(g.year, t.year);
        ASSERT_EQ(g.month, t.month);
        ASSERT_EQ(g.day, t.day);
        ASSERT_EQ(g.hour, t.hour);
        ASSERT_EQ(g.minute, t.minute);
        ASSERT_EQ(g.second, t.second);
    }
    EXPECT_EQ(i, punches.size());
    EXPECT_EQ(TL_Close(h), 1);
}

INSTANTIATE_TEST_SUITE_P(Profiles, LargeLog,
                         ::testing::Values(termsim::Profile::Legacy, termsim::Profile::Classic,
                                           termsim::Profile::Extended, termsim::Profile::Tft,
                                           termsim::Profile::Fp10),
                         [](const auto& info) { return termsim::ProfileName(info.param); });

}  // namespace

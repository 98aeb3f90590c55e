// Large attendance logs downloaded from the simulated terminal and iterated
// record by record, in every firmware profile: the host must hand out exactly
// the terminal's punches, in order, with the right user numbers and times.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "compact_log.h"
#include "harness.h"
#include "session/session.h"
#include "termsim/model.h"

namespace {

constexpr std::size_t kLogBuffer = 8388608;    // the download buffer of a log read
constexpr std::size_t kRoom = kLogBuffer - 4;  // less the leading byte count

std::size_t LogBytes(const termsim::Model& model) {
    const int size = model.LogRecordSize();
    const auto punches = model.Punches();
    return size == 0 ? e2e::CompactBytes(punches) : punches.size() * static_cast<std::size_t>(size);
}

// Fills the model with a generated log as close below the buffer's room as
// the record sizes allow.
void GenerateFullLog(termsim::Model& model) {
    termsim::GenerateParams plan;
    plan.seed = 7;
    plan.users = 400;
    plan.days = 60;
    const int size = model.LogRecordSize();
    if (size != 0) {
        plan.punches = static_cast<int>(kRoom / static_cast<std::size_t>(size));
        model.Generate(plan);
        return;
    }
    // Compact records are 4 or 8 bytes; generated logs come to just over 4
    // bytes a punch. Step down until the log fits.
    plan.punches = static_cast<int>(static_cast<double>(kRoom) / 4.02);
    for (;;) {
        model.Generate(plan);
        if (LogBytes(model) <= kRoom) break;
        plan.punches -= plan.punches / 100 + 1;
    }
}

struct Got {
    int pin = 0;
    unsigned char mode = 0, state = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int extraCode = 0, extraWord = 0;
    std::string id;
    bool operator==(const Got&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Got& g) {
    return o << "pin " << g.pin << " id '" << g.id << "' mode " << int(g.mode) << " state "
             << int(g.state) << " " << g.year << "-" << g.month << "-" << g.day << " " << g.hour
             << ":" << g.minute << ":" << g.second << " extra " << g.extraCode << "/"
             << g.extraWord;
}

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
    std::unique_ptr<void, int (*)(TL_HANDLE)> closer(h, TL_Close);
    // 8 MiB within the connect's 4 s is easy on loopback, but not for a
    // sanitizer build on a busy machine: allow the transfer a minute.
    tl::as_session(h)->dataTimeout = 60000;
    int width = 0;
    ASSERT_EQ(TL_GetPINWidth(h, &width), 1);
    EXPECT_EQ(width, model.PinWidth());
    const bool textIds = GetParam() == termsim::Profile::Tft;

    ASSERT_EQ(TL_ReadLog(h, 1), 1);
    EXPECT_EQ(static_cast<std::size_t>(tl::as_session(h)->log.dataLen), bytes);

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
        Got want;
        if (textIds) {
            g.id = id;
            want.id = p.id;
        } else {
            // Wide user numbers are handed out as the enrolled number.
            want.pin = static_cast<int>((width > 5 && p.pin2 != 0) ? p.pin2 : p.pin);
        }
        want.mode = p.verify;
        want.state = p.state;
        want.extraCode = static_cast<int>(p.workCode);
        want.year = t.year;
        want.month = t.month;
        want.day = t.day;
        want.hour = t.hour;
        want.minute = t.minute;
        want.second = t.second;
        // One comparison a record keeps two million records quick to check.
        if (!(g == want)) {
            ASSERT_EQ(g, want) << "record " << i;
        }
    }
    EXPECT_EQ(i, punches.size());
    EXPECT_EQ(TL_Close(closer.release()), 1);
}

INSTANTIATE_TEST_SUITE_P(Profiles, LargeLog,
                         ::testing::Values(termsim::Profile::Legacy, termsim::Profile::Classic,
                                           termsim::Profile::Extended, termsim::Profile::Tft,
                                           termsim::Profile::Fp10),
                         [](const auto& info) { return termsim::ProfileName(info.param); });

}  // namespace

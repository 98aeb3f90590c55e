// Terminal content through the whole stack against the simulated terminal:
// every kind written, read back and deleted, in the classic and the TFT
// layouts, and short keys in both firmware record sizes.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "termsim/model.h"

namespace {

struct Layout {
    termsim::Profile profile;
    std::size_t contentSize;  // short-message content field
    bool textIdUsers;
    bool customStates;  // "~ExtendFmt"
};

class ContentEndToEnd : public ::testing::TestWithParam<Layout> {};

TEST_P(ContentEndToEnd, EveryKindRoundTrips) {
    const Layout l = GetParam();
    termsim::Config config;
    config.profile = l.profile;
    termsim::Model model(config);
    e2e::SimTerminal sim(model);
    TL_HANDLE s = sim.ConnectNet();
    ASSERT_NE(s, nullptr);

    // A short message whose text fills the whole content field.
    const std::string text(l.contentSize, 'T');
    ASSERT_EQ(TL_SetSMS(s, 7, 2, 30, 2024, 3, 4, 8, 15, 0, text.c_str()), 1);
    std::string content(l.contentSize + 1, '\0');
    int kind = 0, period = 0, y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    ASSERT_EQ(TL_GetSMS(s, 7, &kind, &period, &y, &mo, &d, &h, &mi, &sec, content.data()), 1);
    EXPECT_EQ(content.c_str(), text);
    EXPECT_EQ((std::vector<int>{kind, period, y, mo, d, h, mi, sec}),
              (std::vector<int>{2, 30, 2024, 3, 4, 8, 15, 0}));

    // The message shown to one user, by PIN2 or by text ID.
    if (l.textIdUsers) {
        ASSERT_EQ(SSR_TL_SetUserInfo(s, "A17", "Ann", 0, 1, "", nullptr, 1, nullptr), 1);
        EXPECT_EQ(TL_SetSsrUData(s, "A17", 7), 1);
        EXPECT_EQ(TL_SetSsrUData(s, "B99", 7), 0);
        EXPECT_EQ(model.GetContent().links.size(), 1u);
        EXPECT_EQ(TL_DelSsrUData(s, "A17", 7), 1);
        EXPECT_EQ(TL_DelSsrUData(s, "A17", 7), 0);
    } else {
        ASSERT_EQ(TL_SetUserInfo(s, 0, "Ann", 0, 1, "", nullptr, 4321, 1, nullptr), 1);
        EXPECT_EQ(TL_SetUData(s, 0, 4321, 7), 1);
        EXPECT_EQ(TL_SetUData(s, 0, 4322, 7), 0);
        EXPECT_EQ(model.GetContent().links.size(), 1u);
        EXPECT_EQ(TL_DeleteUData(s, 0, 4321, 7), 1);
        EXPECT_EQ(TL_DeleteUData(s, 0, 4321, 7), 0);
    }
    EXPECT_TRUE(model.GetContent().links.empty());
    EXPECT_EQ(TL_DeleteSMS(s, 7), 1);
    EXPECT_EQ(TL_DeleteSMS(s, 7), 0);
    EXPECT_EQ(TL_GetSMS(s, 7, &kind, &period, &y, &mo, &d, &h, &mi, &sec, content.data()), -2);

    // Work codes, numeric and named.
    int code = 0;
    ASSERT_EQ(TL_SetWorkCode(s, 40, 123456), 1);
    ASSERT_EQ(TL_GetWorkCode(s, 40, &code), 1);
    EXPECT_EQ(code, 123456);
    EXPECT_EQ(TL_DeleteWorkCode(s, 40), 1);
    EXPECT_EQ(TL_DeleteWorkCode(s, 40), 0);
    char name[25];
    ASSERT_EQ(TL_SSR_SetWorkCode(s, 99999999, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"), 1);
    ASSERT_EQ(TL_SSR_GetWorkCode(s, 99999999, name), 1);
    EXPECT_EQ(std::string(name), "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_EQ(TL_SSR_DeleteWorkCode(s, 99999999), 1);
    EXPECT_EQ(TL_SSR_DeleteWorkCode(s, 99999999), 0);
    ASSERT_EQ(TL_SetWorkCode(s, 1, 1), 1);
    ASSERT_EQ(TL_SSR_SetWorkCode(s, 1, "x"), 1);
    EXPECT_EQ(TL_ClearWorkCode(s), 1);
    EXPECT_TRUE(model.GetContent().workCodes.empty());
    EXPECT_EQ(TL_SSR_ClearWorkCode(s), 1);
    EXPECT_TRUE(model.GetContent().workCodeNames.empty());

    // Custom states (extended-format terminals only) and voices.
    if (l.customStates) {
        ASSERT_EQ(TL_SetCustomizeAttState(s, 3, 100), 1);
        ASSERT_EQ(TL_EnableCustomizeAttState(s, 3, 0), 1);
        EXPECT_EQ(model.GetContent().states.at(3), (termsim::CustomEntry{100, "", false}));
        EXPECT_EQ(TL_DelCustomizeAttState(s, 3), 1);
        EXPECT_EQ(TL_DelCustomizeAttState(s, 3), 0);
    } else {
        EXPECT_EQ(TL_SetCustomizeAttState(s, 3, 100), 4);
    }
    ASSERT_EQ(TL_SetCustomizeVoice(s, 20, "welcome.wav"), 1);
    ASSERT_EQ(TL_EnableCustomizeVoice(s, 20, 0), 1);
    EXPECT_EQ(model.GetContent().voices.at(20), (termsim::CustomEntry{0, "welcome.wav", false}));
    EXPECT_EQ(TL_DelCustomizeVoice(s, 20), 1);
    EXPECT_EQ(TL_DelCustomizeVoice(s, 20), 0);
    EXPECT_EQ(TL_Close(s), 1);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ContentEndToEnd,
                         ::testing::Values(Layout{termsim::Profile::Extended, 60, false, true},
                                           Layout{termsim::Profile::Tft, 320, true, false}),
                         [](const auto& info) {
                             return std::string(termsim::ProfileName(info.param.profile));
                         });

// Short keys in the 32-byte (older firmware) and 34-byte records: written,
// read back, and a conflicting key refused with the table unchanged.
TEST(ContentEndToEndKeys, ShortKeysInBothRecordSizes) {
    for (const auto profile : {termsim::Profile::Legacy, termsim::Profile::Classic}) {
        termsim::Config config;
        config.profile = profile;
        termsim::Model model(config);
        e2e::SimTerminal sim(model);
        TL_HANDLE s = sim.ConnectNet();
        ASSERT_NE(s, nullptr);
        const bool wide = profile == termsim::Profile::Classic;
        const std::string label = wide ? "Lunch break 16ch" : "Lunch break 14";

        ASSERT_EQ(TL_SSR_SetShortKey(s, 5, 1, 9, label.c_str(), 1, "8:30;12:0;"), 1);
        int function = 0, state = 0, autoSwitch = 0;
        char got[17] = {};
        char times[43];
        ASSERT_EQ(TL_SSR_GetShortKey(s, 5, &function, &state, got, &autoSwitch, times), 1);
        EXPECT_EQ(std::string(got), label);
        EXPECT_EQ(std::string(times), "08:30;12:00;00:00;00:00;00:00;00:00;00:00;");
        EXPECT_EQ((std::vector<int>{function, state, autoSwitch}), (std::vector<int>{1, 9, 1}));

        // Key 1 holds state 0 on a fresh terminal; key 5 switches at 08:30.
        const termsim::Content before = model.GetContent();
        EXPECT_EQ(TL_SSR_SetShortKey(s, 6, 1, 0, "Again", 0, ""), 4);
        EXPECT_EQ(TL_SSR_SetShortKey(s, 6, 1, 20, "Same time", 1, "8:30;"), 4);
        EXPECT_EQ(model.GetContent(), before);
        ASSERT_EQ(TL_SSR_SetShortKey(s, 6, 2, 0, nullptr, 0, nullptr), 1);
        EXPECT_EQ(TL_SSR_SetShortKey(s, 7, 2, 0, nullptr, 0, nullptr), 4);
        ASSERT_EQ(TL_SSR_GetShortKey(s, 6, &function, &state, got, &autoSwitch, times), 1);
        EXPECT_EQ((std::vector<int>{function, state, autoSwitch}), (std::vector<int>{2, 0, 0}));
        EXPECT_EQ(TL_SSR_GetShortKey(s, 7, &function, &state, got, &autoSwitch, times), 0);
        EXPECT_EQ(TL_Close(s), 1);
    }
}

}  // namespace

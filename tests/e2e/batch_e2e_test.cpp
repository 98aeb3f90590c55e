// Batch update end to end: thousands of users with their fingerprint
// templates queued through libtermlink, uploaded in one block over the
// network plug-in, applied by the simulated terminal, and read back through
// the template table and the query exports; identification on the terminal.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "harness.h"
#include "sample_templates.h"
#include "termsim/model.h"

namespace {

// Under the sanitizer the simulated terminal's per-write checks (each new
// user and template is compared with every stored one) make the full size
// slow; the layout of the test is the same.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kUsers = 1000;
#else
constexpr int kUsers = 5000;
#endif

struct Case {
    termsim::Profile profile;
    const char* name;
};

class BatchImport : public testing::TestWithParam<Case> {};

std::string TextId(int i) {
    return "E-" + std::to_string(i * 7 + 3);
}
int Pin2(int i) {
    return 100000 + i * 7;
}
std::vector<std::uint8_t> TemplateOf(int i, int finger) {
    return e2e::VariedTemplate(static_cast<std::uint32_t>(i * 2 + finger + 1));
}

TEST_P(BatchImport, FiveThousandUsersWithTwoTemplatesEachInOneBatch) {
    termsim::Config config;
    config.profile = GetParam().profile;
    termsim::Model model(config);
    e2e::HarnessOptions options;
    options.ptys = 0;
    e2e::SimTerminal sim(model, options);
    TL_HANDLE h = sim.ConnectNetEx();
    ASSERT_NE(h, nullptr);
    int width = 0, tft = 0;
    ASSERT_EQ(TL_GetPINWidth(h, &width), 1);
    ASSERT_EQ(TL_IsTFTMachine(h, &tft), 1);
    const bool textIds = tft != 0;

    // Text-ID terminals: finger 0 through the number form (the ID just added
    // resolves to its new internal number), finger 1 through the ID form.
    ASSERT_EQ(TL_BeginBatchUpdate(h, 0), 1);
    for (int i = 0; i < kUsers; ++i) {
        // Long names on text-ID terminals: their records must never be read
        // as 28-byte records (a name's bytes would pass for a PIN2).
        const std::string name =
            textIds ? "Employee No " + std::to_string(100000 + i) : "U" + std::to_string(i % 10000);
        auto t0 = TemplateOf(i, 0), t1 = TemplateOf(i, 1);
        // The library reads as far as a template of this layout may reach.
        t0.resize(4096);
        t1.resize(4096);
        if (textIds) {
            const std::string id = TextId(i);
            char field[24] = {};
            id.copy(field, sizeof field);
            ASSERT_EQ(
                SSR_TL_SetUserInfo(h, id.c_str(), name.c_str(), 0, 1, "", nullptr, 1, nullptr), 1)
                << i;
            ASSERT_EQ(SSR_TL_SetUserTmp(h, id.c_str(), 0, t0.data()), 1) << i;
            ASSERT_EQ(SSR_TL_SetUserTmpExt(h, 0, field, 1, t1.data()), 1) << i;
        } else {
            ASSERT_EQ(TL_SetUserInfo(h, 0, name.c_str(), 0, 1, "", nullptr, Pin2(i), 1, nullptr), 1)
                << i;
            ASSERT_EQ(TL_SetUserTmp(h, Pin2(i), 0, t0.data()), 1) << i;
            ASSERT_EQ(TL_SetUserTmp(h, Pin2(i), 1, t1.data()), 1) << i;
        }
    }
    ASSERT_TRUE(model.Users().empty());  // nothing sent while the batch is open
    ASSERT_EQ(TL_BatchUpdate(h), 1);
    int batches = 0;
    for (const auto& in : model.Installs()) batches += in.code == 12;
    EXPECT_EQ(batches, 1);

    // The terminal holds exactly the users and the templates as sent.
    std::map<std::string, std::uint16_t> pinOf;  // ID or PIN2 -> internal number
    for (const auto& u : model.Users()) pinOf[textIds ? u.id : std::to_string(u.pin2)] = u.pin;
    ASSERT_EQ(pinOf.size(), static_cast<std::size_t>(kUsers));
    std::map<std::pair<std::uint16_t, int>, std::vector<std::uint8_t>> held;
    for (const auto& t : model.Templates()) {
        EXPECT_EQ(t.flag, 0);
        held[{t.pin, t.finger}] = t.data;
    }
    ASSERT_EQ(held.size(), static_cast<std::size_t>(2 * kUsers));
    auto key = [&](int i) { return textIds ? TextId(i) : std::to_string(Pin2(i)); };
    for (int i = 0; i < kUsers; ++i) {
        const std::uint16_t pin = pinOf.at(key(i));
        ASSERT_EQ(held[std::make_pair(pin, 0)], TemplateOf(i, 0)) << i;
        ASSERT_EQ(held[std::make_pair(pin, 1)], TemplateOf(i, 1)) << i;
    }

    // Read back from the template table with every query form: byte for
    // byte what the terminal holds.
    ASSERT_EQ(TL_ReadTempData(h), 1);
    std::vector<std::uint8_t> buf(4096);
    for (int i = 0; i < kUsers; ++i) {
        const std::string k = key(i);
        for (int finger = 0; finger < 2; ++finger) {
            const auto& want = held[{pinOf.at(k), finger}];
            int length = static_cast<int>(buf.size()), flag = -1;
            ASSERT_EQ(TL_QueryUserTempEx(h, k.c_str(), finger, &flag, buf.data(), &length), 1);
            ASSERT_EQ(std::vector<std::uint8_t>(buf.begin(), buf.begin() + length), want) << k;
            EXPECT_EQ(flag, 0);
            length = static_cast<int>(buf.size());
            if (textIds) {
                ASSERT_EQ(SSR_TL_QueryUserTemp(h, k.c_str(), finger, buf.data(), &length), 1);
            } else {
                ASSERT_EQ(TL_QueryUserTemp(h, Pin2(i), finger, buf.data(), &length), 1);
            }
            ASSERT_EQ(std::vector<std::uint8_t>(buf.begin(), buf.begin() + length), want) << k;
        }
        int length = static_cast<int>(buf.size());
        ASSERT_EQ(TL_QueryUserTempEx(h, k.c_str(), 2, nullptr, buf.data(), &length), 0);
    }

    // Identification names the user the template was enrolled for: the
    // enrolled number on numeric terminals, the internal number on text-ID
    // ones (their records have no enrolled number).
    for (int i = 0; i < kUsers; i += kUsers / 25) {
        auto probe = TemplateOf(i, i % 2);
        probe.resize(4096);
        int number = -1;
        ASSERT_EQ(TL_TestUserTmp(h, &number, probe.data()), 1) << i;
        EXPECT_EQ(number, textIds ? pinOf.at(key(i)) : Pin2(i)) << i;
    }
    auto stranger = e2e::SampleTemplate(0xFFFFFF, 40);
    stranger.resize(4096);
    int number = -1;
    EXPECT_EQ(TL_TestUserTmp(h, &number, stranger.data()), 0);
    EXPECT_EQ(TL_Close(h), 1);
}

INSTANTIATE_TEST_SUITE_P(Profiles, BatchImport,
                         testing::Values(Case{termsim::Profile::Classic, "classic"},
                                         Case{termsim::Profile::Tft, "tft"}),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace

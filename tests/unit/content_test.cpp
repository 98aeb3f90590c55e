// Terminal content against the fake transport: short messages in both
// layouts, user links, work codes in both forms, custom states and voices,
// short keys with their switch times and conflict rules.
#include <cstring>
#include <functional>
#include <string>

#include "common/bytes.h"
#include "test_support.h"

using namespace tltest;
using fakepmx::Op;

namespace {

Bytes U16(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}
Bytes Pad(const std::string& s, std::size_t n) {
    Bytes b(n, 0);
    std::memcpy(b.data(), s.data(), std::min(n, s.size()));
    return b;
}
// A table download's answer: the count word, then the records.
fakepmx::Reply Table(const Bytes& records) {
    return fakepmx::Ok(Cat({U32(static_cast<std::uint32_t>(records.size())), records}));
}

Bytes Key(std::size_t size, std::uint8_t id, std::uint8_t function, std::uint8_t state,
          const std::string& label, std::initializer_list<std::uint16_t> times,
          std::uint8_t autoSwitch) {
    Bytes r = Cat({Bytes{id, function, state}, Pad(label, size - 18)});
    std::size_t n = 0;
    for (auto t : times) r = Cat({r, U16(t)}), ++n;
    for (; n < 7; ++n) r = Cat({r, U16(0)});
    r.push_back(autoSwitch);
    return r;
}

class Content : public FakeTransportTest {
  protected:
    tl::DeviceSession* Open(const char* platform = "ZEM",
                            const char* version = "Ver 6.60 Apr 15 2011",
                            const char* extendFmt = "1") {
        fakepmx::Terminal t;
        t.version = version;
        t.options = {{"~Platform", platform}};
        if (extendFmt) t.options.push_back({"~ExtendFmt", extendFmt});
        return ConnectTo(t);
    }
    fakepmx::Call OnlyCall() {
        auto calls = NewCalls();
        EXPECT_EQ(calls.size(), 1u);
        return calls.empty() ? fakepmx::Call{} : calls.back();
    }
};

TEST_F(Content, NullSessionSendsNothing) {
    char text[400];
    int v = 0;
    EXPECT_EQ(TL_GetSMS(nullptr, 1, &v, &v, &v, &v, &v, &v, &v, &v, text), -1);
    EXPECT_EQ(TL_SetUData(nullptr, 0, 5, 1), -1);
    EXPECT_EQ(TL_SSR_SetWorkCode(nullptr, 123456789, "x"), -1);
    EXPECT_EQ(TL_SetCustomizeAttState(nullptr, 9, 0), -1);
    EXPECT_EQ(TL_SetCustomizeVoice(nullptr, 30, "beep.wav"), -1);
    EXPECT_EQ(TL_SSR_SetShortKey(nullptr, 1, 1, 1, "", 0, "24:00;"), -1);
    EXPECT_EQ(TL_SSR_ClearWorkCode(nullptr), -1);
    EXPECT_TRUE(fakepmx::Calls().empty());
}

// Every argument the library refuses returns 4 before any traffic.
TEST_F(Content, RefusedArgumentsSendNothing) {
    auto* s = Open();
    auto* noExt = Open("ZEM", "Ver 6.60 Apr 15 2011", nullptr);
    char text[400] = {};
    int v = 0;
    const std::string twenty(20, 'a');
    struct Case {
        const char* what;
        int result;
    } cases[] = {
        {"sms id 65536", TL_GetSMS(s, 65536, &v, &v, &v, &v, &v, &v, &v, &v, text)},
        {"sms null content", TL_GetSMS(s, 1, &v, &v, &v, &v, &v, &v, &v, &v, nullptr)},
        {"sms set id -1", TL_SetSMS(s, -1, 0, 0, 2024, 1, 1, 0, 0, 0, "x")},
        {"sms set null", TL_SetSMS(s, 1, 0, 0, 2024, 1, 1, 0, 0, 0, nullptr)},
        {"sms delete id", TL_DeleteSMS(s, 70000)},
        {"link message id", TL_SetUData(s, 3, 0, 65536)},
        {"link user number", TL_DeleteUData(s, 65536, 0, 1)},
        {"ssr link null id", TL_SetSsrUData(s, nullptr, 1)},
        {"work code id", TL_GetWorkCode(s, -1, &v)},
        {"work code set id", TL_SetWorkCode(s, 65536, 1)},
        {"text id 9 digits", TL_SSR_SetWorkCode(s, 123456789, "x")},
        {"text id -8 digits", TL_SSR_GetWorkCode(s, -12345678, text)},
        {"text id delete", TL_SSR_DeleteWorkCode(s, 100000000)},
        {"text name null", TL_SSR_SetWorkCode(s, 1, nullptr)},
        {"state no ExtendFmt", TL_SetCustomizeAttState(noExt, 0, 5)},
        {"state enable no ExtendFmt", TL_EnableCustomizeAttState(noExt, 0, 1)},
        {"state index 8", TL_SetCustomizeAttState(s, 8, 5)},
        {"state index -1", TL_DelCustomizeAttState(s, -1)},
        {"state code 128", TL_SetCustomizeAttState(s, 0, 128)},
        {"state code -1", TL_SetCustomizeAttState(s, 0, -1)},
        {"voice index 21", TL_SetCustomizeVoice(s, 21, "a.wav")},
        {"voice index -1", TL_EnableCustomizeVoice(s, -1, 1)},
        {"voice delete 21", TL_DelCustomizeVoice(s, 21)},
        {"voice empty", TL_SetCustomizeVoice(s, 0, "")},
        {"voice backslash", TL_SetCustomizeVoice(s, 0, "a\\b.wav")},
        {"voice beep", TL_SetCustomizeVoice(s, 0, "beep.wav")},
        {"voice 20 chars", TL_SetCustomizeVoice(s, 0, twenty.c_str())},
        {"key hour 24", TL_SSR_SetShortKey(s, 1, 1, 0, "L", 1, "8:30;24:00;")},
        {"key minute 60", TL_SSR_SetShortKey(s, 1, 1, 0, "L", 1, "8:60;")},
        {"key negative hour", TL_SSR_SetShortKey(s, 1, 1, 0, "L", 1, "-1:00;")},
        {"key id 256", TL_SSR_SetShortKey(s, 256, 2, 0, nullptr, 0, nullptr)},
        {"key state 256", TL_SSR_SetShortKey(s, 1, 1, 256, "L", 0, "")},
        {"key null label", TL_SSR_SetShortKey(s, 1, 1, 0, nullptr, 0, "")},
        {"get key id", TL_SSR_GetShortKey(s, -1, &v, &v, text, &v, text)},
        {"get key null text", TL_SSR_GetShortKey(s, 1, &v, &v, text, &v, nullptr)},
    };
    for (const auto& c : cases) EXPECT_EQ(c.result, 4) << c.what;
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(noExt);
    TL_Close(s);
}

TEST_F(Content, MessagesInBothLayouts) {
    for (const bool tft : {false, true}) {
        auto* s = Open(tft ? "ZMM100_TFT" : "ZEM");
        const std::size_t field = tft ? 320 : 60, size = field + 12;
        const std::string long_(field + 5, 'm');
        fakepmx::Push(fakepmx::Ok());
        EXPECT_EQ(TL_SetSMS(s, 300, 0x104, 0x10060, 2011, 4, 15, 8, 30, 5, long_.c_str()), 1);
        auto c = OnlyCall();
        EXPECT_EQ(c.command, 70);
        EXPECT_EQ(c.bufferSize, static_cast<int>(size));
        // Kind and period as their low bits, 2011-04-15 08:30:05, the text cut
        // to the field, a closing zero byte.
        const Bytes record = Cat({Bytes{4}, U16(300), U16(0x60), Bytes(2, 0), U32(362824205),
                                  Bytes(field, 'm'), Bytes{0}});
        EXPECT_EQ(c.request, record);

        // A short text is read to its terminator only.
        ClearCalls();
        fakepmx::Push(fakepmx::Ok());
        EXPECT_EQ(TL_SetSMS(s, 1, 0, 0, 2000, 1, 1, 0, 0, 1, "Hi"), 1);
        const Bytes shortText = OnlyCall().request;
        EXPECT_EQ(Bytes(shortText.begin() + 7, shortText.begin() + 14),
                  Cat({U32(1), Bytes{'H', 'i', 0}}));

        // Reading copies the whole field into the caller's buffer, no more.
        ClearCalls();
        fakepmx::Push(fakepmx::Ok(record));
        std::string out(field + 8, '#');
        int kind = 0, period = 0, y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
        EXPECT_EQ(TL_GetSMS(s, 300, &kind, &period, &y, &mo, &d, &h, &mi, &sec, out.data()), 1);
        c = OnlyCall();
        EXPECT_EQ(c.command, 71);
        EXPECT_EQ(c.request, U16(300));
        EXPECT_EQ(c.bufferSize, static_cast<int>(size + 2));
        EXPECT_EQ(out, std::string(field, 'm') + std::string(8, '#'));
        EXPECT_EQ((std::vector<int>{kind, period, y, mo, d, h, mi, sec}),
                  (std::vector<int>{4, 0x60, 2011, 4, 15, 8, 30, 5}));

        // A reply that ends inside the content is a failure; nothing written.
        fakepmx::Push(fakepmx::Ok(Bytes(record.begin(), record.end() - 2)));
        kind = -7;
        EXPECT_EQ(TL_GetSMS(s, 300, &kind, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, out.data()),
                  -2);
        EXPECT_EQ(kind, -7);
        TL_Close(s);
    }
}

// Deletes ask for no answer area, except the custom state and voice deletes,
// which offer their 4 request bytes; "not there" is REPLY_ERROR with exactly
// two reply bytes.
TEST_F(Content, DeletesTellNotFoundByTheReplyLength) {
    auto* s = Open();
    struct Case {
        const char* what;
        std::function<int()> call;
        int command;
        Bytes request;
        int bufferSize;
    } cases[] = {
        {"sms", [&] { return TL_DeleteSMS(s, 0x1234); }, 72, U16(0x1234), 0},
        {"link", [&] { return TL_DeleteUData(s, 9, 0, 7); }, 74, Cat({U16(9), U16(7)}), 0},
        {"work code", [&] { return TL_DeleteWorkCode(s, 5); }, 84, U16(5), 0},
        {"text work code", [&] { return TL_SSR_DeleteWorkCode(s, -42); }, 84, Pad("-42", 9), 0},
        {"state", [&] { return TL_DelCustomizeAttState(s, 7); }, 1707, Cat({U16(7), U16(0)}), 4},
        {"voice", [&] { return TL_DelCustomizeVoice(s, 20); }, 1708, Cat({U16(20), U16(0)}), 4},
    };
    for (auto& c : cases) {
        ClearCalls();
        fakepmx::Push(fakepmx::Ok());
        EXPECT_EQ(c.call(), 1) << c.what;
        fakepmx::Push(fakepmx::Exact(REPLY_ERROR, 2));
        EXPECT_EQ(c.call(), 0) << c.what;
        fakepmx::Push(fakepmx::Exact(REPLY_ERROR, 0));
        EXPECT_EQ(c.call(), -2) << c.what;
        fakepmx::Push(fakepmx::Exact(REPLY_ERROR, 4));
        EXPECT_EQ(c.call(), -2) << c.what;
        for (const auto& call : NewCalls()) {
            EXPECT_EQ(call.command, c.command) << c.what;
            EXPECT_EQ(call.request, c.request) << c.what;
            EXPECT_EQ(call.bufferSize, c.bufferSize) << c.what;
            EXPECT_EQ(call.timeout, 8000) << c.what;
        }
    }
    TL_Close(s);
}

TEST_F(Content, LinksFindTheUserFirst) {
    auto* s = Open();
    Bytes user(28, 0);
    tl::store_u16(user.data(), 9);
    tl::store_u32(user.data() + 24, 900);
    fakepmx::Push(Table(user));
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUData(s, 0, 900, 7), 1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].command, 73);
    EXPECT_EQ(calls[1].request, Cat({U16(9), U16(7)}));
    EXPECT_EQ(calls[1].bufferSize, 4);
    // A PIN2 no user has: 0, nothing sent.
    ClearCalls();
    EXPECT_EQ(TL_SetUData(s, 0, 901, 7), 0);
    EXPECT_EQ(TL_DeleteUData(s, 0, 901, 7), 0);
    EXPECT_TRUE(NewCalls().empty());
    // A user number is the internal number as it is.
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetUData(s, 12, 0, 3), 1);
    EXPECT_EQ(OnlyCall().request, Cat({U16(12), U16(3)}));
    TL_Close(s);

    // A table that cannot be read sends no link either.
    s = Open();
    fakepmx::Push(fakepmx::Reply{2005, {}, 0, true});
    fakepmx::Push(fakepmx::Reply{2001, {}, -1, true});
    EXPECT_EQ(TL_SetUData(s, 0, 900, 7), -2);
    for (const auto& c : NewCalls()) EXPECT_NE(c.command, 73);
    TL_Close(s);
}

// Text-ID terminals keep 72-byte users: walked as 28-byte records, the name
// bytes at offset 24 would read as PIN2 1234 of "user" 5.
TEST_F(Content, PinTwoLookupFindsNothingInTextIdTables) {
    auto* s = Open("ZMM100_TFT");
    Bytes user(72, 0);
    tl::store_u16(user.data(), 5);
    tl::store_u32(user.data() + 24, 1234);
    std::memcpy(user.data() + 48, "77", 2);
    fakepmx::Push(Table(user));
    EXPECT_EQ(TL_SetUData(s, 0, 1234, 1), 0);
    EXPECT_EQ(TL_QueryUserByPIN2(s, 1234), 0);
    for (const auto& c : NewCalls()) EXPECT_NE(c.command, 73);
    // By text ID the same user is found.
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetSsrUData(s, "77", 2), 1);
    EXPECT_EQ(OnlyCall().request, Cat({U16(5), U16(2)}));
    EXPECT_EQ(TL_DelSsrUData(s, "78", 2), 0);
    EXPECT_EQ(TL_SetSsrUData(s, "7", 2), 0);
    TL_Close(s);

    // The other way round: a classic table read in 72-byte steps would find
    // "77" in the card bytes of its second user. No link, no traffic.
    s = Open();
    ClearCalls();
    Bytes classic(84, 0);
    std::memcpy(classic.data() + 48, "77", 2);
    fakepmx::Push(Table(classic));
    EXPECT_EQ(TL_SetSsrUData(s, "77", 2), 0);
    EXPECT_EQ(TL_DelSsrUData(s, "77", 2), 0);
    EXPECT_TRUE(NewCalls().empty());
    TL_Close(s);
}

TEST_F(Content, WorkCodesInBothForms) {
    auto* s = Open();
    int code = 0;
    fakepmx::Push(fakepmx::Ok(Cat({U16(3), U32(0xCAFE0001), Bytes(2, 0)})));
    EXPECT_EQ(TL_GetWorkCode(s, 3, &code), 1);
    EXPECT_EQ(code, static_cast<int>(0xCAFE0001));
    auto c = OnlyCall();
    EXPECT_EQ(c.command, 83);
    EXPECT_EQ(c.request, U16(3));
    EXPECT_EQ(c.bufferSize, 12);
    fakepmx::Push(fakepmx::Ok(Cat({U16(3), U16(1)})));  // code cut short
    EXPECT_EQ(TL_GetWorkCode(s, 3, &code), -2);

    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SetWorkCode(s, 65535, -1), 1);
    c = OnlyCall();
    EXPECT_EQ(c.command, 82);
    EXPECT_EQ(c.request, Cat({U16(65535), U32(0xFFFFFFFF), Bytes(2, 0)}));
    EXPECT_EQ(c.bufferSize, 8);

    // Text form: the id as decimal text in its field, the name's 24 bytes.
    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    const std::string longName(30, 'n');
    EXPECT_EQ(TL_SSR_SetWorkCode(s, 12345678, longName.c_str()), 1);
    c = OnlyCall();
    EXPECT_EQ(c.request, Cat({Bytes(2, 0), Pad("12345678", 9), Bytes(24, 'n'), Bytes(1, 0)}));
    EXPECT_EQ(c.bufferSize, 36);

    ClearCalls();
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SSR_SetWorkCode(s, 7, "Night"), 1);
    EXPECT_EQ(OnlyCall().request, Cat({Bytes(2, 0), Pad("7", 9), Pad("Night", 24), Bytes(1, 0)}));

    // A name that fills its field arrives terminated in the caller's 25 bytes.
    ClearCalls();
    fakepmx::Push(fakepmx::Ok(Cat({Bytes(2, 0), Pad("7", 9), Bytes(24, 'z'), Bytes(5, 'q')})));
    std::string name(32, '#');
    EXPECT_EQ(TL_SSR_GetWorkCode(s, 7, name.data()), 1);
    EXPECT_EQ(name, std::string(24, 'z') + '\0' + std::string(7, '#'));
    c = OnlyCall();
    EXPECT_EQ(c.request, Cat({Bytes{0}, Pad("7", 9)}));
    EXPECT_EQ(c.bufferSize, 40);
    fakepmx::Push(fakepmx::Ok(Bytes(34, 0)));  // ends inside the name
    EXPECT_EQ(TL_SSR_GetWorkCode(s, 7, name.data()), -2);

    // Clearing by table kind.
    for (const auto& [clear, kind] :
         {std::pair{&TL_ClearWorkCode, 9}, std::pair{&TL_SSR_ClearWorkCode, 17}}) {
        ClearCalls();
        fakepmx::Push(fakepmx::Ok());
        EXPECT_EQ(clear(s), 1);
        c = OnlyCall();
        EXPECT_EQ(c.command, 14);
        EXPECT_EQ(c.request, Bytes{static_cast<std::uint8_t>(kind)});
        EXPECT_EQ(c.timeout, 7000);
    }
    TL_Close(s);
}

TEST_F(Content, StatesAndVoices) {
    auto* s = Open();
    struct Case {
        const char* what;
        std::function<int()> call;
        int command;
        Bytes request;
    } cases[] = {
        {"state", [&] { return TL_SetCustomizeAttState(s, 7, 127); }, 1703,
         Cat({U16(7), U16(127), U16(1)})},
        {"enable state", [&] { return TL_EnableCustomizeAttState(s, 0, 5); }, 1705,
         Cat({U16(0), U16(1), U16(0)})},
        {"disable state", [&] { return TL_EnableCustomizeAttState(s, 0, 0); }, 1705,
         Cat({U16(0), U16(0), U16(0)})},
        {"voice", [&] { return TL_SetCustomizeVoice(s, 20, "Beep.wav"); }, 1704,
         Cat({U16(20), Bytes(8, 0), Pad("Beep.wav", 20), U16(1)})},
        {"voice 19 chars", [&] { return TL_SetCustomizeVoice(s, 0, "abcdefghijklmno.wav"); }, 1704,
         Cat({U16(0), Bytes(8, 0), Pad("abcdefghijklmno.wav", 20), U16(1)})},
        {"enable voice", [&] { return TL_EnableCustomizeVoice(s, 3, -1); }, 1706,
         Cat({U16(3), U16(1), U16(0)})},
    };
    for (auto& c : cases) {
        ClearCalls();
        fakepmx::Push(fakepmx::Ok());
        EXPECT_EQ(c.call(), 1) << c.what;
        auto call = OnlyCall();
        EXPECT_EQ(call.command, c.command) << c.what;
        EXPECT_EQ(call.request, c.request) << c.what;
        EXPECT_EQ(call.bufferSize, static_cast<int>(c.request.size())) << c.what;
        fakepmx::Push(fakepmx::Error());
        EXPECT_EQ(c.call(), -2) << c.what;
    }
    TL_Close(s);
}

TEST_F(Content, ShortKeySwitchTimesRoundTrip) {
    auto* s = Open();
    const Bytes table = Key(34, 1, 1, 0, "Check-In", {}, 0);
    fakepmx::Push(Table(table));
    fakepmx::Push(fakepmx::Ok());
    EXPECT_EQ(TL_SSR_SetShortKey(s, 5, 1, 3, "Lunch", 1, "8:30;12:0;"), 1);
    auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, Op::ReadData);
    EXPECT_EQ(calls[0].command, 86);
    EXPECT_EQ(calls[0].requestLength, 0);
    EXPECT_EQ(calls[0].bufferSize, 5120);
    EXPECT_EQ(calls[0].timeout, 5000);
    const Bytes stored = Key(34, 5, 1, 3, "Lunch", {830, 1200}, 1);
    EXPECT_EQ(calls[1].command, 85);
    EXPECT_EQ(calls[1].request, stored);
    EXPECT_EQ(calls[1].bufferSize, 34);

    fakepmx::Push(Table(Cat({table, stored})));
    int function = 0, state = 0, autoSwitch = 0;
    char label[16], times[43];
    EXPECT_EQ(TL_SSR_GetShortKey(s, 5, &function, &state, label, &autoSwitch, times), 1);
    EXPECT_EQ(std::string(times), "08:30;12:00;00:00;00:00;00:00;00:00;00:00;");
    EXPECT_EQ(std::string(label), "Lunch");
    EXPECT_EQ((std::vector<int>{function, state, autoSwitch}), (std::vector<int>{1, 3, 1}));
    fakepmx::Push(Table(table));
    EXPECT_EQ(TL_SSR_GetShortKey(s, 5, &function, &state, label, &autoSwitch, times), 0);

    // Other functions: state 0, empty label and text. A 16-character label
    // fills the caller's 16 bytes; a time above 99:99 keeps the text's size.
    fakepmx::Push(Table(
        Cat({Key(34, 2, 4, 255, "", {}, 0), Key(34, 3, 1, 9, "ABCDEFGHIJKLMNOP", {65535}, 2)})));
    EXPECT_EQ(TL_SSR_GetShortKey(s, 2, &function, &state, label, &autoSwitch, times), 1);
    EXPECT_EQ((std::vector<int>{function, state, autoSwitch, label[0], times[0]}),
              (std::vector<int>{4, 0, 0, 0, 0}));
    fakepmx::Push(Table(
        Cat({Key(34, 2, 4, 255, "", {}, 0), Key(34, 3, 1, 9, "ABCDEFGHIJKLMNOP", {65535}, 2)})));
    char big[64];
    std::memset(big, '#', sizeof big);
    EXPECT_EQ(TL_SSR_GetShortKey(s, 3, &function, &state, big, &autoSwitch, big + 16), 1);
    EXPECT_EQ(std::string(big, 16), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(std::string(big + 16), "99:35;00:00;00:00;00:00;00:00;00:00;00:00;");
    EXPECT_EQ(big[16 + 43], '#');
    TL_Close(s);
}

TEST_F(Content, ShortKeyConflictsAreRefused) {
    auto* s = Open();
    const Bytes stored = Cat({Key(34, 2, 1, 3, "In", {830}, 1), Key(34, 6, 2, 255, "", {}, 0),
                              Key(34, 7, 1, 4, "Out", {900, 1000}, 1)});
    struct Case {
        const char* what;
        int key, function, state, autoSwitch;
        const char* times;
        int result;
    } cases[] = {
        {"state code held by key 2", 5, 1, 3, 0, "", 4},
        {"key 2 itself rebound", 2, 1, 3, 1, "8:30;", 1},
        {"same first time, both automatic", 5, 1, 9, 1, "8:30;", 4},
        {"same time, other position", 5, 1, 9, 1, "7:00;8:30;", 1},
        {"same time, not automatic", 5, 1, 9, 0, "8:30;", 1},
        {"second time equal to key 7's", 5, 1, 9, 1, "7:00;10:00;", 4},
        {"second function 2 key", 5, 2, 0, 0, "", 4},
        {"function 2 over itself", 6, 2, 0, 0, "", 1},
        {"first function 3 key", 5, 3, 0, 0, "", 1},
        {"other function, untested", 5, 9, 0, 0, "", 1},
    };
    for (const auto& c : cases) {
        ClearCalls();
        fakepmx::Push(Table(stored));
        if (c.result == 1) fakepmx::Push(fakepmx::Ok());
        EXPECT_EQ(TL_SSR_SetShortKey(s, c.key, c.function, c.state, "L", c.autoSwitch, c.times),
                  c.result)
            << c.what;
        // A refusal reads the table and writes nothing.
        EXPECT_EQ(NewCalls().size(), c.result == 1 ? 2u : 1u) << c.what;
    }
    // A non-state key: state 255, the rest zero.
    EXPECT_EQ(NewCalls().back().request, Cat({Bytes{5, 9, 255}, Bytes(31, 0)}));
    TL_Close(s);
}

TEST_F(Content, ShortKeyTableLayoutsAndBrokenTables) {
    // Older firmware: 32-byte records with a 14-byte label.
    auto* s = Open("ZEM", "Ver 6.50 Jan 01 2010");
    const Bytes key = Key(32, 4, 1, 2, "ABCDEFGHIJKLMN", {815}, 1);
    fakepmx::Push(Table(key));
    int function = 0, state = 0, autoSwitch = 0;
    char label[16], times[43];
    EXPECT_EQ(TL_SSR_GetShortKey(s, 4, &function, &state, label, &autoSwitch, times), 1);
    // The label field alone: the first switch time is not part of it.
    EXPECT_EQ(std::string(label, 16), std::string("ABCDEFGHIJKLMN") + std::string(2, '\0'));
    EXPECT_EQ(std::string(times, 6), "08:15;");
    EXPECT_EQ(autoSwitch, 1);
    ClearCalls();
    fakepmx::Push(Table(Bytes{}));
    fakepmx::Push(fakepmx::Ok());
    const std::string longLabel(20, 'x');
    EXPECT_EQ(TL_SSR_SetShortKey(s, 4, 1, 2, longLabel.c_str(), 1, "8:15"), 1);
    EXPECT_EQ(NewCalls().back().request, Key(32, 4, 1, 2, std::string(14, 'x'), {815}, 1));

    // Tables that are not whole records, or a refused read: -2, nothing
    // written, outputs untouched.
    const fakepmx::Reply broken[] = {fakepmx::Ok(Cat({U32(33), key, Bytes{1}})),
                                     fakepmx::Ok(Bytes{1, 2}), fakepmx::Error()};
    for (const auto& reply : broken) {
        ClearCalls();
        fakepmx::Push(reply);
        function = -5;
        EXPECT_EQ(TL_SSR_GetShortKey(s, 4, &function, &state, label, &autoSwitch, times), -2);
        EXPECT_EQ(function, -5);
        fakepmx::Push(reply);
        EXPECT_EQ(TL_SSR_SetShortKey(s, 9, 2, 0, nullptr, 0, nullptr), -2);
        EXPECT_EQ(NewCalls().size(), 2u);
    }
    TL_Close(s);
}

}  // namespace

// The model's data memory, restore, capture and MF card answers, byte-exact.
#include <gtest/gtest.h>

#include "support.h"

using namespace termsim;
using namespace termsim::test;

namespace {

Response Push(Model& m, B data) {
    Request r;
    r.op = Op::Data;
    r.data = std::move(data);
    return m.Handle(r);
}

// The image a host stores: per memory block the transport's 4-byte count
// and the first 65532 bytes after it; the table block behind its kind word.
B HostImage(Model& m) {
    const Response map = Cmd(m, 51);
    EXPECT_EQ(map.reply, kReplyOk);
    B image;
    for (std::size_t i = 0; i < map.data[1]; ++i) {
        const std::uint8_t kind = map.data[2 + i];
        if (kind >= 10) continue;
        B block;
        if (kind == 4) {
            const Response t = Read(m, 7, {4});
            block = Cat({U32(4), U32(static_cast<std::uint32_t>(t.data.size())), t.data});
            block.resize(block.size() - 4);  // the host keeps n - 4 of n bytes
        } else {
            const Response r =
                Read(m, 111,
                     Cat({U32(0xFF880000 + static_cast<std::uint32_t>(i) * 0x10000), U32(65536)}));
            EXPECT_EQ(r.data.size(), 65532u);
            block = Cat({U32(static_cast<std::uint32_t>(r.data.size())), r.data});
        }
        block.resize(65536, 0xFF);
        image.insert(image.end(), block.begin(), block.end());
    }
    return image;
}

TEST(TermsimBackup, MemoryBlocksRestoreIntoAnotherTerminal) {
    Model a(ProfileConfig(Profile::Tft));
    a.Generate(GenerateParams{.seed = 3, .users = 300, .punches = 4000});
    const Response map = Cmd(a, 51);
    ASSERT_GE(map.data.size(), 4u);
    EXPECT_EQ(map.data[0], 0);
    const std::size_t count = map.data[1];
    ASSERT_EQ(map.data.size(), 2 + count);
    EXPECT_EQ(B(map.data.end() - 2, map.data.end()), (B{255, 4}));
    EXPECT_EQ(B(map.data.begin() + 2, map.data.end() - 2), B(count - 2, 1));
    EXPECT_GT(count, 3u);  // more than one memory block
    // The reserved block and blocks past the memory are not served.
    EXPECT_EQ(Read(a, 111, Cat({U32(0xFF880000 + (count - 2) * 0x10000), U32(65536)})).reply,
              kReplyError);
    EXPECT_EQ(Read(a, 111, Cat({U32(0xFF880004), U32(65536)})).reply, kReplyError);
    // Block 120 and later sit past 0xFFFFFFFF: their addresses wrap to 0.
    Model big;
    big.Generate(GenerateParams{.seed = 3, .users = 2000, .punches = 175000});
    const Response bigMap = Cmd(big, 51);
    ASSERT_EQ(bigMap.reply, kReplyOk);
    ASSERT_GT(bigMap.data[1], 122);
    EXPECT_EQ(Read(big, 111, Cat({U32(0), U32(65536)})).data.size(), 65532u);

    const B image = HostImage(a);
    Model b(ProfileConfig(Profile::Tft));
    ASSERT_EQ(Push(b, image).reply, kReplyOk);
    ASSERT_EQ(Cmd(b, 110, Cat({U32(7), U32(0x80000)})).reply, kReplyOk);
    EXPECT_EQ(b.Users(), a.Users());
    EXPECT_EQ(b.Punches(), a.Punches());
    EXPECT_EQ(b.OpLog(), a.OpLog());
    EXPECT_EQ(b.Departments(), a.Departments());

    // Anything else pushed is refused and changes nothing.
    B foreign = image;
    foreign[100] ^= 1;
    for (const B& bad : {foreign, B(image.begin(), image.end() - 1), B(65536, 0)}) {
        Model c(ProfileConfig(Profile::Tft));
        c.Generate(GenerateParams{.seed = 9, .users = 3});
        const auto users = c.Users();
        Push(c, bad);
        EXPECT_EQ(Cmd(c, 110, Cat({U32(7), U32(0x80000)})).reply, kReplyError);
        EXPECT_EQ(c.Users(), users);
    }
}

TEST(TermsimBackup, CaptureReplyForms) {
    Model m;
    const auto full = SyntheticFingerprint(640, 480);
    EXPECT_EQ(Read(m, 1012).data, B(full.begin() + 4, full.end()));
    EXPECT_EQ(Read(m, 1012, U32(320)).data,
              Cat({U32(320), U32(240), SyntheticFingerprint(320, 240)}));
    EXPECT_EQ(Read(m, 1009, U32(500)).data,
              Cat({U32(256), U32(288), SyntheticFingerprint(256, 288)}));
    EXPECT_EQ(Read(m, 1009, Cat({U32(500), U32(1)})).data.size(), 8u + 1);
    EXPECT_EQ(Read(m, 1009, U32(501)).reply, kReplyError);
    EXPECT_EQ(Read(m, 1012, U32(0)).reply, kReplyError);
}

TEST(TermsimBackup, CardBlocksMustMatchTheirDescriptor) {
    Model m(ProfileConfig(Profile::Classic));
    const B descriptor = {2, 0, 9, 0, 0, 0, 0, 0, 0, 1, 0, 0};
    EXPECT_EQ(Cmd(m, 78).data.size(), 2u);  // no card at the reader
    m.PresentCard(1);
    const std::size_t head = m.PinWidth() > 5 ? 4 : 2;
    const B number = head == 4 ? U32(42) : U16(42);
    Push(m, Cat({number, descriptor, B{7, 8}}));  // one byte short
    const Response refused = Cmd(m, 76);
    EXPECT_EQ(refused.reply, kReplyError);
    EXPECT_EQ(refused.data, B{0});
    Push(m, Cat({number, descriptor, B{7, 8, 9}}));
    EXPECT_EQ(Cmd(m, 76).reply, kReplyOk);
    std::array<std::uint8_t, 12> d{};
    std::copy(descriptor.begin(), descriptor.end(), d.begin());
    EXPECT_EQ(m.Cards().at(1), (MfCard{42, d, {7, 8, 9}}));
}

}  // namespace

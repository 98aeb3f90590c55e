// The version-10 template container: scrambling, merge, split and their
// trace lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "termlink.h"
#include "users/template_container.h"

namespace {

using ByteVec = std::vector<std::uint8_t>;

// A plain container with the given embedded template lengths.
ByteVec Plain(std::initializer_list<int> lengths, std::uint8_t kindA = 0x12, unsigned seed = 1) {
    std::mt19937 rng(seed);
    ByteVec c(24, 0);
    std::memcpy(c.data(), "ICRS21", 6);
    c[16] = c[18] = 0xC5;
    c[20] = kindA;
    c[21] = 0x01;
    c[22] = 0x34;
    c[23] = 0x00;
    int index = 0;
    for (int e : lengths) {
        ByteVec t(static_cast<std::size_t>(e));
        for (auto& b : t) b = static_cast<std::uint8_t>(rng());
        t[2] = static_cast<std::uint8_t>(index++);
        t[3] = static_cast<std::uint8_t>((t[3] & 0xF0) | (e >> 8));
        t[4] = static_cast<std::uint8_t>(e);
        c.insert(c.end(), t.begin(), t.end());
    }
    c[8] = static_cast<std::uint8_t>(c.size() >> 8);
    c[9] = static_cast<std::uint8_t>(c.size());
    c[10] = static_cast<std::uint8_t>(lengths.size());
    return c;
}

ByteVec Scrambled(ByteVec c) {
    EXPECT_EQ(tl::ScrambleContainer(c), 1);
    return c;
}

ByteVec Unscrambled(ByteVec c) {
    EXPECT_EQ(tl::UnscrambleContainer(c), 1);
    return c;
}

std::string Dump(const ByteVec& c) {
    std::string s;
    char buf[8];
    for (std::size_t i = 0; i < 64 && i < c.size(); ++i) {
        std::snprintf(buf, sizeof buf, "[%x]", c[i]);
        s += buf;
    }
    return s + "\n";
}

TEST(TemplateContainer, ScramblingRoundTrips) {
    const ByteVec plain = Plain({300, 120});
    const ByteVec s = Scrambled(plain);
    EXPECT_NE(s, plain);
    EXPECT_FALSE(tl::IsPlainContainer(s));
    EXPECT_EQ(s[8], plain[8]);  // the length stays readable
    EXPECT_EQ(s[9], plain[9]);
    EXPECT_EQ(Unscrambled(s), plain);
    // An already plain container is left as it is.
    EXPECT_EQ(Unscrambled(plain), plain);
    // Known bytes: key = plain bytes 8..17; byte 0 'I' ^ key[0].
    EXPECT_EQ(s[0], 'I' ^ plain[8]);
    const int t = plain[9] ^ 2;
    EXPECT_EQ(s[10], plain[10] ^ ((t + t % 5) & 0xFF));
}

TEST(TemplateContainer, LengthsOutsideTheContainerAreNotTouched) {
    ByteVec c = Plain({100});
    c[8] = 0x40;  // 16385 bytes claimed
    c[9] = 0x01;
    const ByteVec before = c;
    EXPECT_EQ(tl::ScrambleContainer(c), 0);
    EXPECT_EQ(c, before);
    c[0] = 'X';
    EXPECT_EQ(tl::UnscrambleContainer(c), 0);
    c = Plain({100});
    c[9] = 200;  // more than the span holds
    const ByteVec claimed = c;
    EXPECT_EQ(tl::ScrambleContainer(c), 0);
    EXPECT_EQ(c, claimed);
}

struct Captured {
    int result;
    std::string out;
};

template <typename F>
Captured Capture(F&& f) {
    ::testing::internal::CaptureStdout();
    int r = f();
    return {r, ::testing::internal::GetCapturedStdout()};
}

TEST(TemplateContainer, MergeTwoSingles) {
    ByteVec a = Scrambled(Plain({276}, 0x12, 1));
    ByteVec b = Scrambled(Plain({376}, 0x12, 2));
    const ByteVec a0 = a, b0 = b;
    ByteVec out(16384, 0xEE);
    unsigned char* in[] = {a.data(), b.data()};
    auto got = Capture([&] { return FRILEX_MERGE_TEMPLATE(in, 2, out.data()); });
    ASSERT_EQ(got.result, 676);
    EXPECT_EQ(got.out, "FRILEX_MERGE_TEMPLATE\nprocessPos=300\nprocessPos=676\n");
    EXPECT_EQ(a, a0);  // inputs handed back scrambled, as they came
    EXPECT_EQ(b, b0);
    out.resize(676);
    const ByteVec merged = Unscrambled(out);
    EXPECT_EQ(std::string(merged.begin(), merged.begin() + 6), "ICRS21");
    EXPECT_EQ(merged[8] << 8 | merged[9], 676);
    EXPECT_EQ(merged[10], 2);
    EXPECT_EQ(merged[16], 0xC5);
    EXPECT_EQ(merged[18], 0xC5);
    EXPECT_EQ(ByteVec(merged.begin() + 20, merged.begin() + 24), (ByteVec{0x12, 0x01, 0x34, 0}));
    const ByteVec pa = Unscrambled(a0), pb = Unscrambled(b0);
    EXPECT_TRUE(std::equal(pa.begin() + 24, pa.end(), merged.begin() + 24));
    EXPECT_EQ(merged[300 + 2], 1);  // the second template's index
    EXPECT_TRUE(std::equal(pb.begin() + 27, pb.end(), merged.begin() + 303));

    // The same through the library's usual prefix.
    ByteVec out2(16384);
    auto again = Capture([&] { return TL_MergeTemplate(in, 2, out2.data()); });
    EXPECT_EQ(again.result, 676);
    EXPECT_EQ(again.out, got.out);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), out2.begin()));
}

TEST(TemplateContainer, MergeOfOneReturnsItUnchanged) {
    ByteVec a = Scrambled(Plain({200}));
    const ByteVec a0 = a;
    ByteVec out(16384);
    unsigned char* in[] = {a.data()};
    auto got = Capture([&] { return FRILEX_MERGE_TEMPLATE(in, 1, out.data()); });
    ASSERT_EQ(got.result, 224);
    EXPECT_EQ(got.out, "FRILEX_MERGE_TEMPLATE\n");
    EXPECT_EQ(a, a0);
    EXPECT_TRUE(std::equal(a0.begin(), a0.end(), out.begin()));
}

TEST(TemplateContainer, MergeRefusals) {
    ByteVec a = Scrambled(Plain({100}, 0x12));
    ByteVec b = Scrambled(Plain({100}, 0x13));  // other kind words
    ByteVec junk(64, 0x55);
    junk[8] = 0;
    junk[9] = 64;
    const ByteVec a0 = a, b0 = b, junk0 = junk;
    ByteVec out(16384, 0xEE);
    unsigned char* mixed[] = {a.data(), b.data()};
    auto got = Capture([&] { return FRILEX_MERGE_TEMPLATE(mixed, 2, out.data()); });
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.out, "FRILEX_MERGE_TEMPLATE\nprocessPos=124\n");
    EXPECT_EQ(a, a0);
    EXPECT_EQ(b, b0);
    unsigned char* notFirst[] = {a.data(), junk.data()};
    EXPECT_EQ(Capture([&] { return FRILEX_MERGE_TEMPLATE(notFirst, 2, out.data()); }).result, 0);
    EXPECT_EQ(a, a0);
    EXPECT_EQ(junk, junk0);
    EXPECT_EQ(out[0], 0xEE);  // nothing written
    EXPECT_EQ(Capture([&] { return FRILEX_MERGE_TEMPLATE(nullptr, 2, out.data()); }).out,
              "FRILEX_MERGE_TEMPLATE\n");
    EXPECT_EQ(Capture([&] { return FRILEX_MERGE_TEMPLATE(mixed, 0, out.data()); }).result, 0);
    EXPECT_EQ(Capture([&] { return FRILEX_MERGE_TEMPLATE(mixed, 2, nullptr); }).result, 0);
    unsigned char* withNull[] = {a.data(), nullptr};
    EXPECT_EQ(Capture([&] { return FRILEX_MERGE_TEMPLATE(withNull, 2, out.data()); }).result, 0);
    EXPECT_EQ(a, a0);
}

TEST(TemplateContainer, MergeBeyond16384BytesIsRefused) {
    std::vector<ByteVec> parts;
    for (int i = 0; i < 5; ++i) parts.push_back(Scrambled(Plain({4000}, 0x12, i)));
    std::vector<unsigned char*> in;
    for (auto& p : parts) in.push_back(p.data());
    const auto before = parts;
    ByteVec out(16384);
    // Four fit: 24 + 4 x 4000 = 16024.
    EXPECT_EQ(Capture([&] { return FRILEX_MERGE_TEMPLATE(in.data(), 4, out.data()); }).result,
              16024);
    EXPECT_EQ(Capture([&] { return FRILEX_MERGE_TEMPLATE(in.data(), 5, out.data()); }).result, 0);
    EXPECT_EQ(parts, before);
}

TEST(TemplateContainer, MergeWalksInputsWithSeveralTemplates) {
    ByteVec two = Scrambled(Plain({100, 150}, 0x12, 3));
    ByteVec none = Scrambled(Plain({}, 0x12, 4));
    ByteVec one = Scrambled(Plain({80}, 0x12, 5));
    ByteVec out(16384);
    unsigned char* in[] = {two.data(), none.data(), one.data()};
    auto got = Capture([&] { return FRILEX_MERGE_TEMPLATE(in, 3, out.data()); });
    ASSERT_EQ(got.result, 24 + 100 + 150 + 80);
    EXPECT_EQ(got.out, "FRILEX_MERGE_TEMPLATE\nprocessPos=124\nprocessPos=274\nprocessPos=354\n");
    out.resize(354);
    const ByteVec m = Unscrambled(out);
    EXPECT_EQ(m[10], 3);
    EXPECT_EQ(m[24 + 2], 0);
    EXPECT_EQ(m[124 + 2], 1);
    EXPECT_EQ(m[274 + 2], 2);
    // A template length running past its container is refused.
    ByteVec bad = Plain({100, 150});
    bad[124 + 4] = 200;  // second template claims 200 of the 150 bytes left
    bad = Scrambled(bad);
    unsigned char* badIn[] = {bad.data(), one.data()};
    ByteVec out2(16384);
    EXPECT_EQ(Capture([&] { return FRILEX_MERGE_TEMPLATE(badIn, 2, out2.data()); }).result, 0);
}

TEST(TemplateContainer, MergeKeepsInputFormsEvenWhenListedTwice) {
    ByteVec a = Scrambled(Plain({50}));
    ByteVec plain = Plain({60}, 0x12, 9);
    const ByteVec a0 = a, plain0 = plain;
    ByteVec out(16384);
    unsigned char* in[] = {a.data(), a.data(), plain.data()};
    auto got = Capture([&] { return FRILEX_MERGE_TEMPLATE(in, 3, out.data()); });
    EXPECT_EQ(got.result, 24 + 50 + 50 + 60);
    EXPECT_EQ(a, a0);          // restored once, not scrambled twice
    EXPECT_EQ(plain, plain0);  // a plain input stays plain
}

TEST(TemplateContainer, SplitBackIntoSingles) {
    ByteVec a = Scrambled(Plain({276}, 0x12, 1));
    ByteVec b = Scrambled(Plain({376}, 0x12, 2));
    ByteVec merged(16384);
    unsigned char* in[] = {a.data(), b.data()};
    ASSERT_EQ(Capture([&] { return FRILEX_MERGE_TEMPLATE(in, 2, merged.data()); }).result, 676);
    merged.resize(676);
    const ByteVec merged0 = merged;

    ByteVec o0(300, 0xEE), o1(400, 0xEE);
    unsigned char* outs[] = {o0.data(), o1.data()};
    int count = 0;
    int sizes[2] = {};
    auto got = Capture([&] { return FRILEX_SPLIT_TEMPLATE(merged.data(), outs, &count, sizes); });
    ASSERT_EQ(got.result, 2);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(sizes[0], 300);
    EXPECT_EQ(sizes[1], 400);
    EXPECT_EQ(got.out, "FRILEX_SPLIT_TEMPLATE\n" + Dump(Unscrambled(merged0)) +
                           "processPos:300,FingerSizes[0]:300\n"
                           "processPos:676,FingerSizes[1]:400\n");
    EXPECT_EQ(merged, merged0);
    // Each output is the original single container (index bytes 0).
    EXPECT_EQ(o0, a);
    EXPECT_EQ(Unscrambled(o1), Plain({376}, 0x12, 2));
    EXPECT_EQ(o1, b);  // b's index byte was 0 already

    ByteVec p0(300), p1(400);
    unsigned char* outs2[] = {p0.data(), p1.data()};
    EXPECT_EQ(Capture([&] { return TL_SplitTemplate(merged.data(), outs2, &count, sizes); }).result,
              2);
    EXPECT_EQ(p0, o0);
}

TEST(TemplateContainer, SplitOfOneAndOfNone) {
    ByteVec one = Scrambled(Plain({100}));
    ByteVec out(124);
    unsigned char* outs[] = {out.data()};
    int count = 0, sizes[1] = {};
    auto got = Capture([&] { return FRILEX_SPLIT_TEMPLATE(one.data(), outs, &count, sizes); });
    ASSERT_EQ(got.result, 1);
    EXPECT_EQ(got.out, "FRILEX_SPLIT_TEMPLATE\n" + Dump(Plain({100})));
    EXPECT_EQ(out, one);
    EXPECT_EQ(sizes[0], 124);
    EXPECT_EQ(count, 1);

    ByteVec none = Scrambled(Plain({}));
    const ByteVec none0 = none;
    count = 7;
    got = Capture([&] { return FRILEX_SPLIT_TEMPLATE(none.data(), outs, &count, sizes); });
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(none, none0);
    EXPECT_EQ(Capture([&] { return FRILEX_SPLIT_TEMPLATE(nullptr, outs, &count, sizes); }).out,
              "FRILEX_SPLIT_TEMPLATE\n");
    EXPECT_EQ(
        Capture([&] { return FRILEX_SPLIT_TEMPLATE(one.data(), nullptr, &count, sizes); }).result,
        0);
}

TEST(TemplateContainer, SplitRefusesBrokenContainersBeforeWritingAnything) {
    ByteVec c = Plain({100, 150});
    c[124 + 3] = 0x0F;  // second template claims 4095 bytes
    c[124 + 4] = 0xFF;
    c = Scrambled(c);
    const ByteVec c0 = c;
    ByteVec o0(124, 0xEE), o1(4200, 0xEE);
    unsigned char* outs[] = {o0.data(), o1.data()};
    int count = 0, sizes[2] = {};
    EXPECT_EQ(Capture([&] { return FRILEX_SPLIT_TEMPLATE(c.data(), outs, &count, sizes); }).result,
              0);
    EXPECT_EQ(c, c0);
    EXPECT_EQ(o0, ByteVec(124, 0xEE));
    // A missing output buffer refuses too.
    ByteVec good = Scrambled(Plain({100, 150}));
    unsigned char* missing[] = {o0.data(), nullptr};
    EXPECT_EQ(
        Capture([&] { return FRILEX_SPLIT_TEMPLATE(good.data(), missing, &count, sizes); }).result,
        0);
    EXPECT_EQ(o0, ByteVec(124, 0xEE));
    // One template whose container length disagrees with it, either way: the
    // caller sized output 0 from the template (its length + 24).
    for (int claimed : {100 + 24 + 16, 100 + 24 - 1}) {
        ByteVec one = Plain({100});
        one.resize(200, 0);
        one[8] = static_cast<std::uint8_t>(claimed >> 8);
        one[9] = static_cast<std::uint8_t>(claimed);
        one = Scrambled(one);
        const ByteVec one0 = one;
        ByteVec exact(124, 0xEE);
        unsigned char* outs1[] = {exact.data()};
        EXPECT_EQ(
            Capture([&] { return FRILEX_SPLIT_TEMPLATE(one.data(), outs1, &count, sizes); }).result,
            0)
            << claimed;
        EXPECT_EQ(exact, ByteVec(124, 0xEE));
        EXPECT_EQ(one, one0);
    }
    // Not a container at all.
    ByteVec junk(64, 0x41);
    junk[8] = 0;
    junk[9] = 64;
    EXPECT_EQ(
        Capture([&] { return FRILEX_SPLIT_TEMPLATE(junk.data(), outs, &count, sizes); }).result, 0);
    EXPECT_EQ(junk[0], 0x41);
}

}  // namespace

// The frame codec, its CRC and the serial byte stuffing: every corruption is
// refused, every length is checked before it is trusted.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/bytes.h"
#include "core/crc32c.h"
#include "core/frame.h"
#include "core/keyproof.h"
#include "core/stuffing.h"

namespace {

using namespace pmx;

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint32_t seed) {
    std::vector<std::uint8_t> v(n);
    std::mt19937 rng(seed);
    for (auto& b : v) b = static_cast<std::uint8_t>(rng());
    return v;
}

FrameHeader Header() {
    FrameHeader h;
    h.type = FrameType::Data;
    h.session = 0x11223344;
    h.seq = 7;
    h.code = 2000;
    h.arg = 65472;
    return h;
}

TEST(Crc32c, KnownValueAndEveryLengthMatchesTheReference) {
    const char* text = "123456789";
    EXPECT_EQ(Crc32c(0, reinterpret_cast<const std::uint8_t*>(text), 9), 0xE3069283u);
    // The multi-stream path against the byte-at-a-time one, across the
    // block boundaries and at odd alignments; pieces continue a CRC.
    auto data = Bytes(200000, 1);
    for (std::size_t n : {0, 1, 7, 8, 9, 767, 768, 769, 24575, 24576, 24577, 65472, 200000}) {
        for (std::size_t off : {0, 1, 5}) {
            if (off > n) continue;
            SCOPED_TRACE(n);
            EXPECT_EQ(Crc32c(0, data.data() + off, n - off),
                      Crc32cPortable(0, data.data() + off, n - off));
        }
    }
    std::uint32_t whole = Crc32c(0, data.data(), 100000);
    std::uint32_t pieces = Crc32c(Crc32c(0, data.data(), 33333), data.data() + 33333, 66667);
    EXPECT_EQ(whole, pieces);
}

TEST(Frame, RoundTripsHeaderAndPayload) {
    auto payload = Bytes(1000, 2);
    auto bytes = EncodeFrame(Header(), payload);
    ASSERT_EQ(bytes.size(), kHeaderSize + payload.size());
    EXPECT_EQ(bytes[0], 'P');
    EXPECT_EQ(bytes[1], 'X');
    auto f = DecodeFrame(bytes);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->header.type, FrameType::Data);
    EXPECT_EQ(f->header.session, 0x11223344u);
    EXPECT_EQ(f->header.seq, 7u);
    EXPECT_EQ(f->header.code, 2000u);
    EXPECT_EQ(f->header.arg, 65472u);
    EXPECT_EQ(std::vector<std::uint8_t>(f->payload.begin(), f->payload.end()), payload);
    EXPECT_EQ(FrameSize(bytes), bytes.size());
}

TEST(Frame, EveryFlippedBitIsRefused) {
    auto bytes = EncodeFrame(Header(), Bytes(64, 3));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            auto bad = bytes;
            bad[i] ^= static_cast<std::uint8_t>(1 << bit);
            ASSERT_FALSE(DecodeFrame(bad)) << "byte " << i << " bit " << bit;
        }
    }
}

TEST(Frame, LengthsAreCheckedBeforeTheyAreTrusted) {
    auto bytes = EncodeFrame(Header(), Bytes(10, 4));
    // Short and long buffers.
    EXPECT_FALSE(DecodeFrame(std::span(bytes).first(bytes.size() - 1)));
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(DecodeFrame(longer));
    EXPECT_FALSE(FrameSize(std::span(bytes).first(kHeaderSize - 1)));
    EXPECT_FALSE(DecodeFrame({}));

    // A header claiming more than the limit is refused before any payload.
    auto huge = bytes;
    StoreU32(huge.data() + 20, kMaxPayload + 1);
    EXPECT_FALSE(FrameSize(huge));
    StoreU32(huge.data() + 20, kMaxPayload);
    EXPECT_EQ(FrameSize(huge), kMaxFrame);
    StoreU32(huge.data() + 20, 0xFFFFFFFF);
    EXPECT_FALSE(FrameSize(huge));

    // Wrong magic, version or type.
    for (std::size_t at : {0, 1, 2}) {
        auto bad = bytes;
        bad[at] ^= 0x40;
        EXPECT_FALSE(FrameSize(bad)) << at;
    }
    auto badType = bytes;
    badType[3] = 0;
    EXPECT_FALSE(FrameSize(badType));
    badType[3] = kLastFrameType + 1;
    EXPECT_FALSE(FrameSize(badType));
}

TEST(Stuffing, FramesSurviveFlagsEscapesNoiseAndSplits) {
    std::vector<std::uint8_t> payload = {kFlag, kEscape, 0x00, kFlag, kFlag, kEscape, 0x5E, 0x5D};
    auto frame = EncodeFrame(Header(), payload);
    std::vector<std::uint8_t> line = {0x41, 0x54, 0x0D, kEscape, 0x99};  // noise first
    StuffFrame(std::span(frame).first(10), std::span(frame).subspan(10), line);
    StuffFrame(frame, {}, line);  // the same frame twice, back to back
    // Only the opening and closing flags of the two frames remain bare.
    EXPECT_EQ(std::count(line.begin(), line.end(), kFlag), 4);
    Unstuffer u(kMaxFrame);
    int frames = 0;
    for (std::uint8_t b : line) {
        if (u.Push(b)) {
            ++frames;
            auto got = u.Frame();
            EXPECT_EQ(std::vector<std::uint8_t>(got.begin(), got.end()), frame);
            EXPECT_TRUE(DecodeFrame(got));
        }
    }
    EXPECT_EQ(frames, 2);
}

TEST(Stuffing, OversizedOrBrokenFramesAreDroppedAndTheNextOneFound) {
    Unstuffer u(16);
    std::vector<std::uint8_t> line;
    std::vector<std::uint8_t> big(40, 0x11), small = {1, 2, 3};
    StuffFrame(big, {}, line);  // longer than the limit: dropped
    line.push_back(kEscape);    // an escape right before a flag: broken, dropped
    line.push_back(kFlag);
    StuffFrame(small, {}, line);  // found
    std::vector<std::vector<std::uint8_t>> got;
    for (std::uint8_t b : line)
        if (u.Push(b)) got.emplace_back(u.Frame().begin(), u.Frame().end());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], small);
}

TEST(KeyProof, DependsOnKeyNonceChallengeSessionAndStation) {
    auto nonce = Bytes(16, 5), challenge = Bytes(16, 6);
    Proof p = KeyProof(1234, nonce, challenge, 99, 1);
    EXPECT_TRUE(ProofMatches(p, p));
    EXPECT_FALSE(ProofMatches(p, KeyProof(1235, nonce, challenge, 99, 1)));
    EXPECT_FALSE(ProofMatches(p, KeyProof(1234, Bytes(16, 7), challenge, 99, 1)));
    EXPECT_FALSE(ProofMatches(p, KeyProof(1234, nonce, Bytes(16, 8), 99, 1)));
    EXPECT_FALSE(ProofMatches(p, KeyProof(1234, nonce, challenge, 98, 1)));
    EXPECT_FALSE(ProofMatches(p, KeyProof(1234, nonce, challenge, 99, 2)));
    EXPECT_FALSE(ProofMatches(p, std::span(p).first(31)));
    // The proof never contains the key's bytes in the clear as its start.
    std::uint8_t a[16], b[16];
    ASSERT_TRUE(RandomBytes(a, 16));
    ASSERT_TRUE(RandomBytes(b, 16));
    EXPECT_NE(std::vector<std::uint8_t>(a, a + 16), std::vector<std::uint8_t>(b, b + 16));
}

}  // namespace

// Scrambling, merging and splitting of version-10 template containers.
#include "users/template_container.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tl {
namespace {

constexpr std::size_t kKeyOffset = 8;
constexpr std::size_t kKeySize = 10;
constexpr std::size_t kCountOffset = 10;
constexpr std::size_t kKindOffset = 20;
constexpr std::size_t kIndexInTemplate = 2;
constexpr int kMaxTemplates = 255;

// The mask that hides key byte i behind the byte before it.
std::uint8_t KeyMask(std::uint8_t previous, int i) {
    const int t = previous ^ i;
    return static_cast<std::uint8_t>((t + t % 5) & 0xFF);
}

// The length when the container may be processed in this span, else 0.
std::size_t UsableLength(Bytes c) {
    const std::size_t len = ContainerLength(c);
    if (len < kContainerHeader || len > kContainerMax || len > c.size()) return 0;
    return len;
}

void XorWithKey(MutBytes c, std::size_t len, const std::array<std::uint8_t, kKeySize>& key) {
    for (std::size_t i = 0; i < len; ++i) c[i] ^= key[i % kKeySize];
}

// Length of the embedded template at `pos`: 12 bits, big-endian, at bytes 3-4.
std::size_t EmbeddedLength(Bytes c, std::size_t pos) {
    return static_cast<std::size_t>((c[pos + 3] & 0x0F) << 8 | c[pos + 4]);
}

void WriteHeader(std::uint8_t* out, std::size_t length, int count, const std::uint8_t* kinds) {
    std::memset(out, 0, kContainerHeader);
    std::memcpy(out, "ICRS21", 6);
    out[8] = static_cast<std::uint8_t>(length >> 8);
    out[9] = static_cast<std::uint8_t>(length);
    out[kCountOffset] = static_cast<std::uint8_t>(count);
    out[16] = 0xC5;
    out[18] = 0xC5;
    std::memcpy(out + kKindOffset, kinds, 4);
}

// Remembers which caller buffers were unscrambled here, to hand each back in
// the form it came in (a buffer listed twice is unscrambled once).
class Unscrambled {
  public:
    explicit Unscrambled(std::span<const MutBytes> buffers)
        : buffers_(buffers), done_(buffers.size(), 0) {
        for (std::size_t i = 0; i < buffers.size(); ++i) {
            if (!IsPlainContainer(buffers[i]) && UnscrambleContainer(buffers[i]) == 1) done_[i] = 1;
        }
    }
    ~Unscrambled() { Restore(); }
    void Restore() {
        for (std::size_t i = 0; i < buffers_.size(); ++i) {
            if (done_[i]) ScrambleContainer(buffers_[i]);
            done_[i] = 0;
        }
    }

  private:
    std::span<const MutBytes> buffers_;
    std::vector<char> done_;
};

}  // namespace

bool IsPlainContainer(Bytes c) {
    return c.size() >= 4 && std::memcmp(c.data(), "ICRS", 4) == 0;
}

std::size_t ContainerLength(Bytes c) {
    if (c.size() < kKeyOffset + 2) return 0;
    return static_cast<std::size_t>(c[8] << 8 | c[9]);
}

int ScrambleContainer(MutBytes c) {
    const std::size_t len = UsableLength(c);
    if (len == 0) return 0;
    std::array<std::uint8_t, kKeySize> key;
    std::memcpy(key.data(), c.data() + kKeyOffset, kKeySize);
    XorWithKey(c, len, key);
    c[kKeyOffset] = key[0];
    c[kKeyOffset + 1] = key[1];
    for (int i = 2; i < static_cast<int>(kKeySize); ++i) {
        c[kKeyOffset + static_cast<std::size_t>(i)] = key[i] ^ KeyMask(key[i - 1], i);
    }
    return 1;
}

int UnscrambleContainer(MutBytes c) {
    if (IsPlainContainer(c)) return 1;
    const std::size_t len = UsableLength(c);
    if (len == 0) return 0;
    std::array<std::uint8_t, kKeySize> key;
    key[0] = c[kKeyOffset];
    key[1] = c[kKeyOffset + 1];
    for (int i = 2; i < static_cast<int>(kKeySize); ++i) {
        key[i] = c[kKeyOffset + static_cast<std::size_t>(i)] ^ KeyMask(key[i - 1], i);
    }
    XorWithKey(c, len, key);
    std::memcpy(c.data() + kKeyOffset, key.data(), kKeySize);
    return 1;
}

std::size_t MergeContainers(std::span<const MutBytes> inputs, MutBytes output) {
    std::printf("%s\n", "FRILEX_MERGE_TEMPLATE");
    if (inputs.empty() || output.empty()) return 0;
    Unscrambled guard(inputs);
    for (const MutBytes& in : inputs) {
        if (!IsPlainContainer(in) || UsableLength(in) == 0) return 0;
    }
    std::vector<std::uint8_t> scratch(kContainerMax);
    const Bytes first = inputs[0];
    std::size_t pos = 0;
    if (inputs.size() == 1) {
        pos = UsableLength(first);
        std::memcpy(scratch.data(), first.data(), pos);
    } else {
        pos = kContainerHeader;
        int count = 0;
        auto append = [&](Bytes from, std::size_t at, std::size_t len) {
            if (len < kEmbeddedMin || pos + len > kContainerMax || count >= kMaxTemplates) {
                return false;
            }
            std::memcpy(scratch.data() + pos, from.data() + at, len);
            scratch[pos + kIndexInTemplate] = static_cast<std::uint8_t>(count++);
            pos += len;
            std::printf("processPos=%d\n", static_cast<int>(pos));
            return true;
        };
        for (const MutBytes& in : inputs) {
            if (std::memcmp(in.data() + kKindOffset, first.data() + kKindOffset, 4) != 0) return 0;
            const std::size_t len = UsableLength(in);
            const int embedded = in[kCountOffset];
            if (embedded == 1) {
                if (!append(in, kContainerHeader, len - kContainerHeader)) return 0;
                continue;
            }
            std::size_t at = kContainerHeader;
            for (int j = 0; j < embedded; ++j) {
                if (at + kEmbeddedMin > len) return 0;
                const std::size_t e = EmbeddedLength(in, at);
                if (e > len - at || !append(in, at, e)) return 0;
                at += e;
            }
        }
        WriteHeader(scratch.data(), pos, count, first.data() + kKindOffset);
    }
    // Inputs first, then the output: an output that shares a buffer with an
    // input ends up holding the result.
    guard.Restore();
    if (pos > output.size()) return 0;
    std::memcpy(output.data(), scratch.data(), pos);
    if (ScrambleContainer(output.first(pos)) != 1) return 0;
    return pos;
}

int SplitContainer(MutBytes container, const SplitBuffer& buffer) {
    std::printf("%s\n", "FRILEX_SPLIT_TEMPLATE");
    if (container.empty()) return 0;
    const MutBytes one[] = {container};
    Unscrambled guard(one);
    const std::size_t shown = std::min<std::size_t>(64, container.size());
    for (std::size_t i = 0; i < shown; ++i) std::printf("[%x]", container[i]);
    std::printf("\n");
    if (!IsPlainContainer(container)) return 0;
    const std::size_t len = UsableLength(container);
    if (len == 0) return 0;
    const int n = container[kCountOffset];
    if (n == 0) return 0;

    // Work on a plain copy: outputs may share memory with the container.
    std::vector<std::uint8_t> plain(container.begin(), container.begin() + static_cast<long>(len));
    guard.Restore();

    if (n == 1) {
        // Callers size output 0 from the embedded template (its length + 24),
        // so a length field that disagrees with it is refused rather than
        // copied past that size.
        if (len < kContainerHeader + kEmbeddedMin ||
            EmbeddedLength(plain, kContainerHeader) + kContainerHeader != len) {
            return 0;
        }
        MutBytes out = buffer(0, len);
        if (out.size() < len) return 0;
        std::memcpy(out.data(), plain.data(), len);
        ScrambleContainer(out.first(len));
        return 1;
    }

    struct Piece {
        std::size_t at, len;
        MutBytes out;
    };
    std::vector<Piece> pieces;
    std::size_t at = kContainerHeader;
    for (int i = 0; i < n; ++i) {
        if (at + kEmbeddedMin > len) return 0;
        const std::size_t e = EmbeddedLength(plain, at);
        if (e < kEmbeddedMin || e > len - at) return 0;
        MutBytes out = buffer(i, e + kContainerHeader);
        if (out.size() < e + kContainerHeader) return 0;
        pieces.push_back({at, e, out.first(e + kContainerHeader)});
        at += e;
    }
    for (int i = 0; i < n; ++i) {
        const Piece& p = pieces[static_cast<std::size_t>(i)];
        WriteHeader(p.out.data(), p.len + kContainerHeader, 1, plain.data() + kKindOffset);
        std::memcpy(p.out.data() + kContainerHeader, plain.data() + p.at, p.len);
        p.out[kContainerHeader + kIndexInTemplate] = 0;
        ScrambleContainer(p.out);
        std::printf("processPos:%d,FingerSizes[%d]:%d\n", static_cast<int>(p.at + p.len), i,
                    static_cast<int>(p.len + kContainerHeader));
    }
    return n;
}

}  // namespace tl

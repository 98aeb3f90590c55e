#include "core/pack.h"

#include <fstream>
#include <limits>

#include "platform/platform.h"

namespace qvupdate {
namespace {

std::uint32_t U32At(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

struct Header {
    std::uint8_t kind = 0, flags = 0;
    std::array<std::uint32_t, kPackSections> lengths{};
    std::uint64_t total = 0;  // header + every section
};

Header ReadHeader(const std::uint8_t* p) {
    Header h;
    h.kind = p[0];
    h.flags = p[1];
    h.total = kPackHeaderSize;
    for (std::size_t i = 0; i < kPackSections; ++i) {
        h.lengths[i] = U32At(p + 2 + 4 * i);
        h.total += h.lengths[i];
    }
    return h;
}

PackRead Fail(PackError e, std::string message) {
    PackRead r;
    r.error = e;
    r.message = std::move(message);
    return r;
}

// Refusals that follow from the header and the size of what holds the pack.
PackRead CheckHeader(const Header& h, std::uint64_t size) {
    constexpr auto kMaxSection = static_cast<std::uint32_t>(std::numeric_limits<int>::max());
    for (std::size_t i = 0; i < kPackSections; ++i)
        if (h.lengths[i] > kMaxSection)
            return Fail(PackError::Overflow, "section " + std::to_string(i + 1) + " declares " +
                                                 std::to_string(h.lengths[i]) +
                                                 " bytes, more than can be sent");
    if (h.total - kPackHeaderSize > std::numeric_limits<std::uint32_t>::max())
        return Fail(PackError::Overflow, "the section lengths add up beyond 4 GiB");
    if (size < h.total)
        return Fail(PackError::Short, "the pack declares " + std::to_string(h.total) +
                                          " bytes but holds " + std::to_string(size));
    return {};
}

}  // namespace

PackRead ParsePack(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kPackHeaderSize)
        return Fail(PackError::Short, "the pack holds " + std::to_string(bytes.size()) +
                                          " bytes, less than its 22-byte header");
    const Header h = ReadHeader(bytes.data());
    PackRead r = CheckHeader(h, bytes.size());
    if (r.error != PackError::None) return r;
    r.pack.kind = h.kind;
    r.pack.flags = h.flags;
    std::size_t at = kPackHeaderSize;
    for (std::size_t i = 0; i < kPackSections; ++i) {
        auto s = bytes.subspan(at, h.lengths[i]);
        r.pack.sections[i].assign(s.begin(), s.end());
        at += h.lengths[i];
    }
    return r;
}

PackRead ReadPackFile(const std::string& path) {
    if (!platform::IsRegularFile(path)) return Fail(PackError::Missing, "no such file: " + path);
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(PackError::Unreadable, "cannot open " + path);
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    in.seekg(0, std::ios::beg);
    if (!in || end < 0) return Fail(PackError::Unreadable, "cannot read " + path);
    const auto size = static_cast<std::uint64_t>(end);

    std::array<std::uint8_t, kPackHeaderSize> head{};
    if (size < kPackHeaderSize)
        return Fail(PackError::Short, "the pack holds " + std::to_string(size) +
                                          " bytes, less than its 22-byte header");
    if (!in.read(reinterpret_cast<char*>(head.data()), head.size()))
        return Fail(PackError::Unreadable, "cannot read " + path);
    const Header h = ReadHeader(head.data());
    PackRead r = CheckHeader(h, size);
    if (r.error != PackError::None) return r;
    r.pack.kind = h.kind;
    r.pack.flags = h.flags;
    for (std::size_t i = 0; i < kPackSections; ++i) {
        auto& s = r.pack.sections[i];
        s.resize(h.lengths[i]);
        if (!s.empty() &&
            !in.read(reinterpret_cast<char*>(s.data()), static_cast<std::streamsize>(s.size())))
            return Fail(PackError::Unreadable, "cannot read " + path);
    }
    return r;
}

std::vector<std::uint8_t> BuildPack(const Pack& pack) {
    std::vector<std::uint8_t> out{pack.kind, pack.flags};
    for (const auto& s : pack.sections) {
        const auto n = static_cast<std::uint32_t>(s.size());
        for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(n >> (8 * b)));
    }
    for (const auto& s : pack.sections) out.insert(out.end(), s.begin(), s.end());
    return out;
}

}  // namespace qvupdate

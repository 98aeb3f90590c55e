// The arguments a caller builds: texts and fields in heap blocks of exactly
// their size, templates as far as their encoding reaches, and the report
// chain's folder.
#include <algorithm>

#include "hostile/caller.h"
// What a caller needs to size template inputs: a template's own length and
// the bound its magic allows.
#include "users/template_codec.h"
#include "users/template_model.h"

namespace hostile {

// A text argument in a heap block of exactly its length and NUL.
std::unique_ptr<Buf> InText(const std::string& t) {
    auto b = std::make_unique<Buf>(t.size() + 1);
    b->SetBytes(t.c_str(), t.size() + 1);
    return b;
}
// A fixed-field text argument: a terminated text of up to `width` characters,
// the whole field without a terminator, or null.
std::unique_ptr<Buf> FieldArg(Program& P, std::size_t width) {
    switch (P.Small(4)) {
        case 0:
            return nullptr;
        case 1: {
            auto b = std::make_unique<Buf>(width);
            std::vector<std::uint8_t> raw(width);
            P.Copy(raw.data(), width);
            for (auto& c : raw) c = c ? c : '1';
            b->SetBytes(raw.data(), width);
            return b;
        }
        default:
            return InText(P.Text(width));
    }
}
char* Ptr(const std::unique_ptr<Buf>& b) {
    return b ? b->text() : nullptr;
}

std::string& ReportDir() {
    static std::string dir;
    return dir;
}
std::string InDir(const char* name) {
    return ReportDir() + "/" + name;
}

// The bytes a decodable template's encoding reaches: its own length, and in
// the current layout a grid block that byte 3 announces even when the block
// proves invalid (the length then stops at the block's start, but the block's
// size bytes and cells were part of what the template claims).
std::size_t TemplateReach(const std::vector<std::uint8_t>& b, std::size_t own) {
    if (own < 5 ||
        tl::LayoutOfMagic(static_cast<std::uint16_t>(b[0] | b[1] << 8)) != tl::TemplateLayout::C ||
        !(b[3] & 0x80)) {
        return own;
    }
    const std::size_t n = b[2] | (((b[3] >> 5) & 3u) << 8);
    const std::size_t pos = 5 + n * 5 + (b[3] & 7u) * 4;
    if (pos + 2 > b.size()) return std::max(own, b.size());
    const std::size_t block = 2 + std::size_t{b[pos] + 1u} * (b[pos + 1] + 1u);
    return std::min(b.size(), std::max(own, pos + block));
}

// A template as a caller holds it: as far as its encoding reaches when it
// decodes, else as much as its magic lets the library read; at least `room`
// bytes.
std::unique_ptr<Buf> TemplateArg(Program& P, std::size_t room) {
    std::vector<std::uint8_t> bytes = P.Blob(3000);
    const std::uint16_t magic =
        bytes.size() >= 2 ? static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8) : 0;
    bytes.resize(tl::TemplateBound(magic), 0);
    if (const std::size_t own = tl::TemplateLength(bytes)) bytes.resize(TemplateReach(bytes, own));
    bytes.resize(std::max(bytes.size(), room), 0);
    auto b = std::make_unique<Buf>(bytes.size());
    b->SetBytes(bytes.data(), bytes.size());
    return b;
}

std::size_t ZoneBytes(Ctx& c) {
    int tft = 0;
    return TL_IsTFTMachine(c.h, &tft) == 1 && tft == 1 ? 16 : 12;
}

// A user ID text of up to 25 characters (one more than an ID holds), or null.
std::unique_ptr<Buf> IdArg(Program& P) {
    return P.OneIn(16) ? nullptr : InText(P.Text(25));
}

// A 24-byte ID field, NUL-padded, or null.
std::unique_ptr<Buf> IdFieldArg(Program& P) {
    if (P.OneIn(16)) return nullptr;
    std::string id = P.Text(24);
    id.resize(24, '\0');
    auto b = std::make_unique<Buf>(24);
    b->SetBytes(id.data(), 24);
    return b;
}

int FingerArg(Program& P) {
    return P.Pick({0, 1, 5, 9, 15, 255, 16, -1});
}

}  // namespace hostile

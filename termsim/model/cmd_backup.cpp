// The terminal's data memory for backup and restore, the sensor's image
// capture and MF card writing.
//
// Data memory (the simulator's own layout, docs/termsim.md): a 16-byte head
// "TSDM", u32 layout version 1, u32 text length, u32 FNV-1a of the text,
// then the state-file text of the data tables. It is served in segments of
// 65532 bytes, one per memory block: a host that stores the first 65536
// bytes of each read (the transport's 4-byte count, then the segment) keeps
// every byte. The block map lists the memory blocks (kind 1), one reserved
// block (kind 255, never read) and, when the operation log has records, the
// operation-log table (kind 4, read with CMD_READ_TABLE).
#include <cmath>

#include "internal.h"

namespace termsim {
namespace {

constexpr std::uint32_t kBlockBase = 0xFF880000;
constexpr std::size_t kBlock = 65536;
constexpr std::size_t kSegment = kBlock - 4;
constexpr std::size_t kHead = 16;
constexpr std::uint32_t kLayoutVersion = 1;
constexpr std::uint8_t kKindMemory = 1;
constexpr std::uint8_t kKindReserved = 255;
constexpr std::uint8_t kKindTable = 4;
constexpr int kMaxBlocks = 127;

std::uint32_t Fnv1a(le::Bytes b) {
    std::uint32_t h = 2166136261u;
    for (auto c : b) h = (h ^ c) * 16777619u;
    return h;
}

std::vector<std::uint8_t> Memory(const Model::State& s) {
    const std::string text = SerializeState(s, StateParts::Data);
    const le::Bytes t(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    std::vector<std::uint8_t> m = {'T', 'S', 'D', 'M'};
    le::Append32(m, kLayoutVersion);
    le::Append32(m, static_cast<std::uint32_t>(text.size()));
    le::Append32(m, Fnv1a(t));
    m.insert(m.end(), t.begin(), t.end());
    m.resize((m.size() + kSegment - 1) / kSegment * kSegment, 0xFF);
    return m;
}

std::vector<std::uint8_t> BlockMap(const Model::State& s, std::size_t memoryBlocks) {
    std::vector<std::uint8_t> kinds(memoryBlocks, kKindMemory);
    kinds.push_back(kKindReserved);
    if (!s.oplog.empty()) kinds.push_back(kKindTable);
    return kinds;
}

// Reply: byte 0 zero, byte 1 the block count, then one kind per block.
Response GetBackupMap(Model::State& s, const Call&) {
    s.memorySnapshot = Memory(s);
    const std::vector<std::uint8_t> kinds = BlockMap(s, s.memorySnapshot.size() / kSegment);
    if (kinds.size() > kMaxBlocks) return Error();  // more data than a backup holds
    std::vector<std::uint8_t> reply = {0, static_cast<std::uint8_t>(kinds.size())};
    reply.insert(reply.end(), kinds.begin(), kinds.end());
    return Ok(std::move(reply));
}

// Request: u32 block address, u32 65536. Only memory blocks are served.
Response ReadMemory(Model::State& s, const Call& c) {
    if (c.request.size() < 8 || le::U32(c.request, 4) != kBlock) return Error();
    // Addresses are 32-bit: from block 120 on they wrap past 0xFFFFFFFF to
    // 0, so the offset from the base is taken modulo 2^32 as well.
    const std::uint32_t offset = le::U32(c.request, 0) - kBlockBase;
    if (offset % kBlock != 0) return Error();
    const std::size_t index = offset / kBlock;
    if (s.memorySnapshot.empty()) s.memorySnapshot = Memory(s);
    const std::vector<std::uint8_t>& memory = s.memorySnapshot;
    if (index >= memory.size() / kSegment) return Error();
    const auto from = memory.begin() + static_cast<std::ptrdiff_t>(index * kSegment);
    return Ok(std::vector<std::uint8_t>(from, from + kSegment));
}

// ---- capture

constexpr std::size_t kMaxPixels = 307208;  // the host's exchange buffer less the head

// An image of `width` scaled from base x baseH, or nothing when no height
// keeps it within the host's buffer.
std::optional<std::pair<int, int>> Size(std::uint32_t width, int baseW, int baseH) {
    if (width == 0 || width > kMaxPixels) return std::nullopt;
    std::size_t h = std::max<std::size_t>(1, std::size_t{width} * baseH / baseW);
    if (width * h > kMaxPixels) h = kMaxPixels / width;
    if (h == 0) return std::nullopt;
    return std::pair<int, int>{static_cast<int>(width), static_cast<int>(h)};
}

Response SizedImage(int w, int h) {
    std::vector<std::uint8_t> reply;
    le::Append32(reply, static_cast<std::uint32_t>(w));
    le::Append32(reply, static_cast<std::uint32_t>(h));
    const auto pixels = SyntheticFingerprint(w, h);
    reply.insert(reply.end(), pixels.begin(), pixels.end());
    return Ok(std::move(reply));
}

// Full image: without a width the 640 x 480 image as the whole transfer (the
// transport's 4-byte count stands in for its first four pixels); with a
// width, the sized form u32 width, u32 height, pixels.
Response CaptureImage(Model::State&, const Call& c) {
    if (c.request.size() >= 4) {
        const auto size = Size(le::U32(c.request, 0), 640, 480);
        if (!size) return Error();
        return SizedImage(size->first, size->second);
    }
    auto pixels = SyntheticFingerprint(640, 480);
    return Ok(std::vector<std::uint8_t>(pixels.begin() + 4, pixels.end()));
}

// Sensor image: request u32 500, then an optional u32 width; 256 x 288 by
// default. Always the sized form.
Response CaptureFinger(Model::State&, const Call& c) {
    if (c.request.size() < 4 || le::U32(c.request, 0) != 500) return Error();
    const auto size = c.request.size() >= 8 ? Size(le::U32(c.request, 4), 256, 288)
                                            : std::optional<std::pair<int, int>>({256, 288});
    if (!size) return Error();
    return SizedImage(size->first, size->second);
}

// ---- MF cards

// Status replies: no card at the reader -> 2 bytes; a block the terminal
// cannot read -> 1 byte.
Response NoCard() {
    return Response{kReplyError, {0, 0}};
}
Response BadBlock() {
    return Response{kReplyError, {0}};
}

// Pushed block: user number (u32 when the user-number width is above 5,
// else u16), 12-byte descriptor, then the bytes its four lengths cover.
Response MfWrite(Model::State& s, const Call& c) {
    if (!s.presentedCard) return NoCard();
    const std::size_t head = s.PinWidth() > 5 ? 4 : 2;
    if (c.data.size() < head + 12) return BadBlock();
    std::size_t payload = 0;
    for (int i = 0; i < 4; ++i) payload += le::U16(c.data, head + 3 * i);
    if (payload > 4096 || c.data.size() != head + 12 + payload) return BadBlock();
    MfCard card;
    card.user = head == 4 ? le::U32(c.data, 0) : le::U16(c.data, 0);
    for (std::size_t i = 0; i < 12; ++i) card.descriptor[i] = c.data[head + i];
    card.data.assign(c.data.begin() + static_cast<std::ptrdiff_t>(head + 12), c.data.end());
    s.cards[*s.presentedCard] = std::move(card);
    return Ok();
}

Response MfEmpty(Model::State& s, const Call&) {
    if (!s.presentedCard) return NoCard();
    s.cards[*s.presentedCard] = MfCard{};
    return Ok();
}

}  // namespace

// The pushed image: 64 KiB blocks, each the 4-byte count the host kept and
// a segment (count 65532: memory) or the operation-log table (count word
// 4, skipped: the memory already holds the log).
bool ApplyRestore(Model::State& s, le::Bytes image) {
    if (image.empty() || image.size() % kBlock != 0) return false;
    std::vector<std::uint8_t> memory;
    for (std::size_t off = 0; off < image.size(); off += kBlock) {
        const std::uint32_t head = le::U32(image, off);
        if (head == kKindTable) continue;
        if (head != kSegment) return false;
        memory.insert(memory.end(), image.begin() + static_cast<std::ptrdiff_t>(off + 4),
                      image.begin() + static_cast<std::ptrdiff_t>(off + kBlock));
    }
    if (memory.size() < kHead || le::U32(memory, 4) != kLayoutVersion) return false;
    if (!(memory[0] == 'T' && memory[1] == 'S' && memory[2] == 'D' && memory[3] == 'M'))
        return false;
    const std::uint32_t length = le::U32(memory, 8);
    if (length > memory.size() - kHead) return false;
    const le::Bytes text(memory.data() + kHead, length);
    if (Fnv1a(text) != le::U32(memory, 12)) return false;
    Model::State n;
    if (!ParseState(std::string(text.begin(), text.end()), n, nullptr)) return false;
    s.users = std::move(n.users);
    s.punches = std::move(n.punches);
    s.oplog = std::move(n.oplog);
    s.templates = std::move(n.templates);
    s.faces = std::move(n.faces);
    s.content = std::move(n.content);
    s.timeZones = std::move(n.timeZones);
    s.groups = std::move(n.groups);
    s.holidays = n.holidays;
    s.combos = n.combos;
    s.departments = std::move(n.departments);
    s.shifts = std::move(n.shifts);
    s.rule = n.rule;
    return true;
}

std::vector<std::uint8_t> SyntheticFingerprint(int width, int height) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(std::max(width, 0)) *
                                  static_cast<std::size_t>(std::max(height, 0)));
    const double cx = width / 2.0, cy = height / 2.0;
    const double rx = width * 0.42, ry = height * 0.46;
    const double period = std::max(4.0, std::min(width, height) / 28.0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double dx = (x - cx) / rx, dy = (y - cy) / ry;
            const double e = dx * dx + dy * dy;
            std::uint8_t v = 235;  // background
            if (e < 1.0) {
                // A whorl: rings whose phase turns with the angle.
                const double r = std::hypot(x - cx, (y - cy) * 0.85);
                const double ridge = std::sin(2 * M_PI * r / period + std::atan2(y - cy, x - cx));
                const double fade = 1.0 - e * e;
                v = static_cast<std::uint8_t>(std::lround(235 - fade * (95 + 85 * ridge)));
            }
            out[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(x)] = v;
        }
    return out;
}

void RegisterBackupCommands(CommandTable& t) {
    t[CMD_GET_BACKUP_MAP] = GetBackupMap;
    t[CMD_READ_MEMORY] = ReadMemory;
    t[CMD_CAPTURE_IMAGE] = CaptureImage;
    t[CMD_CAPTURE_FINGER] = CaptureFinger;
    t[CMD_MF_WRITE] = MfWrite;
    t[CMD_MF_EMPTY] = MfEmpty;
}

void Model::PresentCard(std::optional<std::uint64_t> serial) {
    std::lock_guard lock(state_->mu);
    state_->presentedCard = serial;
}

std::map<std::uint64_t, MfCard> Model::Cards() const {
    std::lock_guard lock(state_->mu);
    return state_->cards;
}

}  // namespace termsim

#include "maintenance/backup.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "common/bytes.h"
#include "common/platform.h"
#include "config/clear_data.h"
#include "maintenance/output_path.h"
#include "session/commands.h"
#include "session/transport.h"

namespace tl {
namespace {

// Block kinds: 4 is read as a table, 0-9 otherwise by address, 10 and above
// are skipped.
constexpr std::uint8_t kKindTable = 4;
constexpr std::uint8_t kFirstSkippedKind = 10;
constexpr int kReadTimeoutMs = 2000;

// The restore request of CMD_UPDATE: u32 7, u32 0x80000.
constexpr std::uint32_t kRestoreCode = 7;
constexpr std::uint32_t kRestoreArea = 0x80000;

using CompressFn = int (*)(const unsigned char*, const char*, int*);
using ExpandFn = int (*)(const char*, unsigned char*, int*);

// archlib, loaded for one call and released when this goes out of scope.
class Archlib {
  public:
    explicit Archlib(const std::string& name)
        : module_(platform::load_module(name.empty() ? platform::module_file_name(kArchlibName)
                                                     : name)) {}
    ~Archlib() { platform::free_module(module_); }
    Archlib(const Archlib&) = delete;
    Archlib& operator=(const Archlib&) = delete;
    template <typename Fn>
    Fn Find(const char* symbol) const {
        return reinterpret_cast<Fn>(platform::find_symbol(module_, symbol));
    }

  private:
    platform::Module module_;
};

struct Buffer {
    std::unique_ptr<std::uint8_t, decltype(&std::free)> bytes{nullptr, &std::free};
    explicit Buffer(std::size_t n)
        : bytes(static_cast<std::uint8_t*>(std::malloc(n)), &std::free) {}
    std::uint8_t* get() const { return bytes.get(); }
};

struct ReadResult {
    bool ok = false;
    std::uint32_t received = 0;  // bytes the transport placed in the buffer
};

ReadResult Read(DeviceSession& s, int code, std::uint8_t* buffer, int capacity, int requestLength) {
    int word = code;
    const int n = PMX_READDATA(s.transport, &word, buffer, capacity, requestLength, s.blockSize,
                               kReadTimeoutMs);
    ReadResult r;
    r.ok = (word & 0xFFFF) == REPLY_OK;
    r.received = static_cast<std::uint32_t>(std::clamp(n, 0, capacity));
    return r;
}

// Reads block `index` of `kind` and stores it at `block` (64 KiB). False when
// the reply is not REPLY_OK.
bool ReadBlock(DeviceSession& s, std::uint8_t* exchange, std::uint32_t index, std::uint8_t kind,
               std::uint8_t* block) {
    // Bytes the terminal did not send read as 0xFF, never as what an earlier
    // read left in the exchange buffer.
    std::memset(exchange, 0xFF, kBackupExchangeSize);
    if (kind == kKindTable) {
        // The table lands 4 bytes into the exchange buffer, behind the kind
        // as a u32; the transport gets the room that is left after them.
        store_u32(exchange, kKindTable);
        exchange[4] = kKindTable;
        const ReadResult r =
            Read(s, CMD_READ_TABLE, exchange + 4, static_cast<int>(kBackupExchangeSize - 4), 1);
        if (!r.ok) return false;
        // The block is the kind word and the first n - 4 bytes received.
        const std::uint32_t kept = r.received < 4 ? 4 : std::min(r.received, kBackupBlockSize);
        std::memcpy(block, exchange, kept);
        std::memset(block + kept, 0xFF, kBackupBlockSize - kept);
        return true;
    }
    store_u32(exchange, kBackupBlockBase + index * 0x10000u);
    store_u32(exchange + 4, kBackupBlockSize);
    const ReadResult r =
        Read(s, CMD_READ_MEMORY, exchange, static_cast<int>(kBackupExchangeSize), 8);
    if (!r.ok) return false;
    const std::uint32_t kept = std::min(r.received, kBackupBlockSize);
    std::memcpy(block, exchange, kept);
    std::memset(block + kept, 0xFF, kBackupBlockSize - kept);
    return true;
}

}  // namespace

int BackupData(DeviceSession& s, const char* path, const BackupOptions& options) {
    if (!UsablePath(path)) return 4;
    Buffer image(kBackupImageSize);
    if (!image.get()) return -100;
    Archlib archlib(options.archlib);
    const auto compress = archlib.Find<CompressFn>("CompressItToFile");
    if (!compress) return -100;

    const CommandResult map = SendCommand(s.transport, CMD_GET_BACKUP_MAP, image.get(),
                                          static_cast<int>(kBackupImageSize), 0, kReadTimeoutMs);
    // Byte 1 is the block count (a signed byte), the kinds follow from byte 2;
    // the map must hold every kind it announces.
    if (map.length < 2) return -2;
    const int count = static_cast<std::int8_t>(image.get()[1]);
    if (count < 0 || map.length < 2 + count) return -2;
    const std::vector<std::uint8_t> kinds(image.get() + 2, image.get() + 2 + count);

    Buffer exchange(kBackupExchangeSize);
    if (!exchange.get()) return -100;
    std::uint32_t fill = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t kind = kinds[static_cast<std::size_t>(i)];
        if (kind >= kFirstSkippedKind) continue;
        // At most 127 blocks: the image never fills up.
        if (!ReadBlock(s, exchange.get(), static_cast<std::uint32_t>(i), kind, image.get() + fill))
            return -2;
        fill += kBackupBlockSize;
        platform::sleep_ms(options.blockPauseMs);
    }
    if (fill == 0) return 0;
    int length = static_cast<int>(fill);
    return compress(image.get(), path, &length) != 0 ? 1 : 4;
}

int RestoreData(DeviceSession& s, const char* path, const std::string& archlibName) {
    if (!UsablePath(path)) return 4;
    Buffer image(kBackupImageSize);
    if (!image.get()) return -100;
    Archlib archlib(archlibName);
    const auto expand = archlib.Find<ExpandFn>("ExpandItFromFile");
    if (!expand) return -100;

    int capacity = static_cast<int>(kBackupImageSize);
    const int n = expand(path, image.get(), &capacity);
    // A result above the capacity is not a length this buffer holds.
    if (n <= 0 || n > static_cast<int>(kBackupImageSize)) return 4;

    SendCommand(s.transport, CMD_DISABLE_DEVICE, nullptr, 0, 0, 1000);
    if (!SendCommand(s.transport, CMD_CLEAR_DATA, nullptr, 0, 0, 1000).ok()) return 0;
    // The terminal's tables are gone: nothing cached from them is current.
    ForgetCachedTables(s);
    if (PMX_SENDDATA(s.transport, image.get(), n, 2500) == 0) return -2;
    store_u32(image.get(), kRestoreCode);
    store_u32(image.get() + 4, kRestoreArea);
    if (!SendCommand(s.transport, CMD_UPDATE, image.get(), static_cast<int>(kBackupImageSize), 8,
                     20000)
             .ok())
        return -2;
    SendCommand(s.transport, CMD_REFRESH_DATA, nullptr, 0, 0, 1000);
    return 1;
}

}  // namespace tl

#include "maintenance/file_transfer.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "common/platform.h"
#include "maintenance/firmware_file.h"
#include "records/bulk_read.h"
#include "session/commands.h"
#include "session/realtime.h"
#include "session/transport.h"

namespace tl {
namespace {

int ScaledTimeout(std::int32_t base, std::int64_t factor, std::int64_t add = 0) {
    return static_cast<int>(std::clamp<std::int64_t>(base * factor + add, INT_MIN, INT_MAX));
}

// PMX_SENDCMDDATA: `data` with the command and its request; 1 on REPLY_OK.
int SendWithData(DeviceSession& s, int code, const std::uint8_t* data, std::size_t size,
                 const std::uint8_t* request, int requestLength, int timeoutMs) {
    int word = code;
    PMX_SENDCMDDATA(s.transport, &word, data, static_cast<int>(size), request, requestLength,
                    timeoutMs);
    return (word & 0xFFFF) == REPLY_OK ? 1 : -2;
}

// The whole file, or nothing when it cannot be opened or read or is larger
// than `limit` (then *tooLarge is set).
struct FileBytes {
    bool ok = false;
    bool tooLarge = false;
    std::vector<std::uint8_t> bytes;
};
FileBytes ReadWholeFile(const char* path, long limit) {
    FileBytes out;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path, "rb"), std::fclose);
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) return out;
    const long size = std::ftell(f.get());
    if (size < 0 || std::fseek(f.get(), 0, SEEK_SET) != 0) return out;
    if (limit >= 0 && size > limit) {
        out.tooLarge = true;
        return out;
    }
    out.bytes.resize(static_cast<std::size_t>(size));  // may throw bad_alloc
    if (size > 0 && std::fread(out.bytes.data(), 1, out.bytes.size(), f.get()) != out.bytes.size())
        return out;
    out.ok = true;
    return out;
}

// A heap block for a table read, released on every path.
struct Block {
    std::uint8_t* p = nullptr;
    explicit Block(std::size_t size) : p(static_cast<std::uint8_t*>(std::calloc(size, 1))) {}
    ~Block() { std::free(p); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
};

struct TableRead {
    int reply = 0;
    int received = 0;  // bytes placed in the buffer, never more than its size
};
TableRead ReadInto(DeviceSession& s, int code, std::uint8_t* buffer, int requestLength,
                   int timeoutMs) {
    int word = code;
    const int n = PMX_READDATA(s.transport, &word, buffer, static_cast<int>(kReadBufferSize),
                               requestLength, s.blockSize, timeoutMs);
    return {word & 0xFFFF, std::clamp(n, 0, static_cast<int>(kReadBufferSize))};
}

}  // namespace

int UpdateFirmware(DeviceSession& s, const char* path) {
    if (!path) return 4;
    FileBytes file;
    try {
        file = ReadWholeFile(path, kFirmwareTextMax);
    } catch (const std::exception&) {
        return 4;  // no room to hold it: rejected like any unusable file
    }
    if (!file.ok) return 4;
    const FirmwareTarget target{s.hasOSOption != 0, s.firmwareVersion};
    FirmwareFile image = ParseFirmware(
        std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()),
        &target);
    if (image.verdict != FirmwareVerdict::Ok) return 4;
    file.bytes = {};
    std::uint8_t request[8];
    store_u32(request, kUpdateFirmware);
    store_u32(request + 4, kFirmwareTarget);
    return SendWithData(s, CMD_UPDATE, image.image.data(), image.image.size(), request, 8,
                        ScaledTimeout(s.cmdTimeout, 4));
}

int SendFile(DeviceSession& s, const char* path) {
    const std::string_view full(path);
    const std::string_view name = platform::base_name(full);
    if (name.empty() || name.size() > kFileNameMax || full.size() > INT_MAX - 5) return 4;
    FileBytes file;
    try {
        file = ReadWholeFile(path, kSendFileMax);
    } catch (const std::bad_alloc&) {
        return -4;
    }
    if (file.tooLarge) return 4;
    if (!file.ok) return -2;
    // The code, then the base name and its NUL in a zero-filled 40-byte
    // block; the request runs to the path's length + 5, zeros after the name.
    const std::size_t requestLength = full.size() + 5;
    std::vector<std::uint8_t> request(std::max(kFileBlockSize, requestLength), 0);
    store_u32(request.data(), kUpdateFile);
    std::memcpy(request.data() + 4, name.data(), name.size());
    DisableDevice(s, 3);
    const int r = SendWithData(s, CMD_UPDATE, file.bytes.data(), file.bytes.size(), request.data(),
                               static_cast<int>(requestLength), ScaledTimeout(s.cmdTimeout, 4));
    EnableDevice(s);
    return r;
}

int ReadFile(DeviceSession& s, const char* name, const char* directory) {
    if (!name || !directory || !*name) return 4;
    const std::size_t nameLength = std::strlen(name);
    std::string path(directory);
    // A path that does not fit is a file that cannot be created: -2, one of
    // the results callers of this export know, and nothing is sent.
    if (path.size() + nameLength > kReadPathMax) return -2;
    path += name;  // the directory ends with its separator
    Block buffer(kReadBufferSize);
    if (!buffer.p) return -4;
    std::memcpy(buffer.p, name, nameLength + 1);
    const TableRead r = ReadInto(s, CMD_READ_FILE, buffer.p, static_cast<int>(nameLength) + 1,
                                 ScaledTimeout(s.dataTimeout, 1, 2000));
    if (r.reply != REPLY_OK || r.received < 4) return -2;
    const std::int32_t length = ReceivedTableLength(buffer.p, r.received, kReadBufferSize);
    return platform::write_file_replacing(path, buffer.p + 4, static_cast<std::size_t>(length))
               ? 1
               : -2;
}

int UpdateLanguageById(DeviceSession& s, int id, const char* text) {
    if (id < 0 || !text) return 4;
    const std::size_t length = bounded_strlen(text, kLanguageTextMax + 1);
    if (length > kLanguageTextMax) return 4;
    std::uint8_t request[kLanguageRequest] = {};
    store_u32(request, static_cast<std::uint32_t>(id));
    std::memcpy(request + 4, text, length);
    DisableDevice(s, 3);
    const int r = OkOrRefused(SendCommand(s.transport, CMD_UPDATE_LANGUAGE, request,
                                          kLanguageRequest, kLanguageRequest, s.cmdTimeout));
    EnableDevice(s);
    return r;
}

int SendBackgroundCommand(DeviceSession& s, int command, int a, int b, int c) {
    std::uint8_t request[kBackgroundRequest] = {};
    store_u32(request, static_cast<std::uint32_t>(a));
    store_u32(request + 4, static_cast<std::uint32_t>(b));
    store_u32(request + 8, static_cast<std::uint32_t>(c));
    return OkOrRefused(
        SendCommand(s.transport, command, request, kBackgroundRequest, 12, s.cmdTimeout));
}

int GetData(DeviceSession& s, int kind, const char* outputPath) {
    if (!outputPath) return 4;
    Block buffer(kReadBufferSize);
    if (!buffer.p) return -100;
    buffer.p[0] = static_cast<std::uint8_t>(kind);
    const TableRead r = ReadInto(s, CMD_READ_TABLE, buffer.p, 1, 2000);
    // The terminal is given a moment after handing over a table.
    if (r.reply == REPLY_OK) platform::sleep_ms(1000);
    // Fewer bytes than the length prefix: nothing was received.
    if (r.received < 4) return 0;
    if (r.reply != REPLY_OK) return -2;
    const std::int32_t length = ReceivedTableLength(buffer.p, r.received, kReadBufferSize);
    return platform::write_file_replacing(outputPath, buffer.p + 4,
                                          static_cast<std::size_t>(length))
               ? 1
               : 4;
}

}  // namespace tl

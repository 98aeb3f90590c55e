// libportmux's exported operations: argument checks, plug-in loading, handle
// bookkeeping and the mapping of each PMX_ call onto one Connection::Exec.
#include "portmux.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "client/connection.h"
#include "core/bytes.h"
#include "core/module.h"
#include "portmux_errors.h"

namespace pmx {
namespace {

thread_local int t_lastError = PMXE_NONE;

int Fail(int error) {
    t_lastError = error;
    return error;
}

constexpr int kDefaultTimeoutMs = 4000;

// ---- plug-ins ------------------------------------------------------------

struct KnownPlugin {
    const char* name;  // the name callers pass; the module beside libportmux
};
constexpr KnownPlugin kPlugins[] = {
    {"netwire.dll"}, {"tcpwire.dll"}, {"serwire.dll"}, {"usbwire.dll"}};

bool SameNameIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

const KnownPlugin* FindPlugin(const char* name) {
    if (!name) return nullptr;
    for (const auto& p : kPlugins) {
        if (SameNameIgnoringCase(p.name, name)) return &p;
    }
    return nullptr;
}

// Plug-ins are searched in $PORTMUX_PLUGIN_DIR when set. Otherwise they are
// found from the folder libportmux itself was loaded from: first in its
// private module folder "portmux" (the installed layout, e.g.
// /usr/lib/portmux/), then right beside it (the build tree, and Windows,
// where plug-ins sit beside portmux.dll).
std::vector<std::string> PluginDirs() {
    if (const char* env = std::getenv("PORTMUX_PLUGIN_DIR"); env && *env) return {env};
    const std::string self = module::FolderOf(reinterpret_cast<const void*>(&PluginDirs));
    return {module::Join(self, "portmux"), self};
}

// Loaded plug-ins stay loaded for the life of the process: a table pointer
// handed to a connection must never dangle.
const PmxPluginTable* LoadPlugin(const KnownPlugin& known, int* error) {
    static std::mutex mutex;
    static std::map<std::string, const PmxPluginTable*> loaded;
    std::lock_guard<std::mutex> lock(mutex);
    std::string path;
    void* handle = nullptr;
    for (const auto& dir : PluginDirs()) {
        path = module::Join(dir, module::FileName(known.name));
        if (auto it = loaded.find(path); it != loaded.end()) return it->second;
        handle = module::Load(path);
        if (handle) break;
    }
    if (!handle) {
        *error = PMXE_PLUGIN_LOAD;
        return nullptr;
    }
    auto entry = reinterpret_cast<PmxPluginEntry>(module::Symbol(handle, "pmx_plugin_entry"));
    const PmxPluginTable* table = entry ? entry() : nullptr;
    if (!table || table->abi != PMX_PLUGIN_ABI || !table->open || !table->send || !table->receive ||
        !table->close || table->maxFrame <= kHeaderSize || table->chunk == 0) {
        module::Free(handle);
        *error = PMXE_PLUGIN_LOAD;
        return nullptr;
    }
    loaded[path] = table;
    return table;
}

// ---- handles -------------------------------------------------------------

std::mutex g_handleMutex;
std::unordered_set<Connection*> g_handles;

Connection* Lookup(PMX_HANDLE h) {
    std::lock_guard<std::mutex> lock(g_handleMutex);
    auto* c = static_cast<Connection*>(h);
    return g_handles.count(c) ? c : nullptr;
}

PMX_HANDLE Open(const char* plugin, const char* address, int port, int baud, int arg1, int arg2,
                const char* initText) {
    const KnownPlugin* known = FindPlugin(plugin);
    if (!known) {
        Fail(plugin ? PMXE_UNKNOWN_PLUGIN : PMXE_BAD_ARGUMENT);
        return nullptr;
    }
    const bool serial = std::strcmp(known->name, "serwire.dll") == 0;
    if (port < 0 || baud < 0 || (serial && baud == 0)) {
        Fail(PMXE_BAD_ARGUMENT);
        return nullptr;
    }
    int error = PMXE_PLUGIN_LOAD;
    const PmxPluginTable* table = LoadPlugin(*known, &error);
    if (!table) {
        Fail(error);
        return nullptr;
    }
    ConnectParams p;
    p.open.address = address ? address : "";
    p.open.port = port;
    p.open.baud = baud;
    p.timeoutMs = arg2 > 0 ? arg2 : kDefaultTimeoutMs;
    p.open.timeoutMs = p.timeoutMs;
    p.open.initText = initText;
    p.key = static_cast<std::uint32_t>(arg1);
    // The station addresses one terminal on a shared serial line; network
    // and USB links reach exactly one terminal, so they ask for any (0).
    p.station = serial ? static_cast<std::uint32_t>(port) : 0;
    error = PMXE_OPEN;
    Connection* c = Connection::Open(table, p, &error);
    if (!c) {
        Fail(error);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_handleMutex);
    try {
        g_handles.insert(c);
    } catch (...) {
        delete c;
        Fail(PMXE_NO_MEMORY);
        return nullptr;
    }
    return c;
}

std::span<const std::uint8_t> Bytes(const void* p, int n) {
    return {static_cast<const std::uint8_t*>(p), static_cast<std::size_t>(n)};
}

// Copies as much of the result as fits `room` bytes at `dest`: the head that
// came with the reply, then the rest pulled in chunks.
bool Collect(Connection& c, const Connection::Reply& r, std::uint32_t want, std::uint8_t* dest,
             std::uint32_t packet, int timeoutMs, int* error) {
    auto fromHead = std::min<std::uint32_t>(want, static_cast<std::uint32_t>(r.head.size()));
    if (fromHead) std::memcpy(dest, r.head.data(), fromHead);
    return c.Pull(fromHead, want, packet, dest + fromHead, timeoutMs, error);
}

int ReadTable(OpKind op, PMX_HANDLE h, int* command, void* buffer, int capacity, int requestLength,
              int packetSize, int timeoutMs) {
    Connection* c = Lookup(h);
    if (!c) return Fail(PMXE_BAD_HANDLE), -1;
    if (!command || capacity < 0 || requestLength < 0 || requestLength > capacity ||
        (!buffer && capacity > 0)) {
        if (command) *command = 0;
        return Fail(PMXE_BAD_ARGUMENT), -1;
    }
    int error = PMXE_NONE;
    Connection::Reply r;
    auto packet = static_cast<std::uint32_t>(packetSize > 0 ? packetSize : 0);
    auto* out = static_cast<std::uint8_t*>(buffer);
    if (!c->Exec(op, static_cast<std::uint32_t>(*command) & 0xFFFF, Bytes(buffer, requestLength),
                 {}, packet, timeoutMs, r, &error)) {
        *command = 0;  // no reply: never mistaken for REPLY_ERROR's empty table
        return Fail(error), -1;
    }
    *command = r.code;
    if (r.code != REPLY_OK) return 0;
    if (static_cast<std::uint64_t>(r.total) + 4 > static_cast<std::uint64_t>(capacity)) {
        // The table does not fit: nothing is cut and nothing is called a
        // success. The length prefix tells the caller how much room it needs.
        if (capacity >= 4) StoreU32(out, r.total);
        return Fail(PMXE_TOO_LARGE), -1;
    }
    if (!Collect(*c, r, r.total, out + 4, packet, timeoutMs, &error)) {
        *command = 0;
        return Fail(error), -1;
    }
    StoreU32(out, r.total);
    return static_cast<int>(r.total + 4);
}

}  // namespace
}  // namespace pmx

using namespace pmx;

extern "C" {

PMX_API PMX_HANDLE PMX_CALL PMX_INIT(const char* plugin, const char* address, int port, int baud,
                                     int arg1, int arg2, int arg3, int last) {
    (void)arg3;
    (void)last;
    return Open(plugin, address, port, baud, arg1, arg2, nullptr);
}

PMX_API PMX_HANDLE PMX_CALL PMX_INITEX(const char* plugin, const char* address, int port, int baud,
                                       int arg1, int arg2, int arg3, const char* initText) {
    (void)arg3;
    return Open(plugin, address, port, baud, arg1, arg2, initText);
}

PMX_API void PMX_CALL PMX_CLOSE(PMX_HANDLE handle) {
    Connection* c = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_handleMutex);
        auto* p = static_cast<Connection*>(handle);
        if (g_handles.erase(p)) c = p;
    }
    if (!c) {
        Fail(PMXE_BAD_HANDLE);
        return;
    }
    delete c;
}

PMX_API int PMX_CALL PMX_SENDCMD(PMX_HANDLE handle, int* command, void* buffer, int bufferSize,
                                 int requestLength, int timeoutMs) {
    Connection* c = Lookup(handle);
    if (!c) return Fail(PMXE_BAD_HANDLE), -1;
    // The request may be longer than the reply buffer: many writes send a
    // record and want no answer bytes back (buffer size 0).
    if (!command || bufferSize < 0 || requestLength < 0 ||
        (!buffer && (bufferSize > 0 || requestLength > 0))) {
        if (command) *command = 0;
        return Fail(PMXE_BAD_ARGUMENT), -1;
    }
    int error = PMXE_NONE;
    Connection::Reply r;
    if (!c->Exec(OpKind::Command, static_cast<std::uint32_t>(*command) & 0xFFFF,
                 Bytes(buffer, requestLength), {}, 0, timeoutMs, r, &error)) {
        *command = 0;
        return Fail(error), -1;
    }
    // A command reply is cut to the buffer the caller offers. The buffer also
    // held the request, so it is at least that long: commands that send a
    // record with no answer area (buffer size 0) still receive the short
    // status the terminal puts in its reply, such as the two bytes of a
    // "not found" delete.
    const auto room = static_cast<std::uint32_t>(std::max(bufferSize, requestLength));
    auto want = std::min<std::uint32_t>(r.total, room);
    if (!Collect(*c, r, want, static_cast<std::uint8_t*>(buffer), 0, timeoutMs, &error)) {
        *command = 0;
        return Fail(error), -1;
    }
    *command = r.code;
    return static_cast<int>(want);
}

PMX_API int PMX_CALL PMX_SENDDATA(PMX_HANDLE handle, const void* data, int length, int timeoutMs) {
    Connection* c = Lookup(handle);
    if (!c) return Fail(PMXE_BAD_HANDLE), 0;
    if (length < 0 || (!data && length > 0)) return Fail(PMXE_BAD_ARGUMENT), 0;
    int error = PMXE_NONE;
    Connection::Reply r;
    if (!c->Exec(OpKind::Data, 0, {}, Bytes(data, length), 0, timeoutMs, r, &error))
        return Fail(error), 0;
    return r.code == REPLY_OK ? 1 : 0;
}

PMX_API int PMX_CALL PMX_SENDCMDDATA(PMX_HANDLE handle, int* command, const void* data,
                                     int dataLength, const void* request, int requestLength,
                                     int timeoutMs) {
    Connection* c = Lookup(handle);
    if (!c) return Fail(PMXE_BAD_HANDLE), 0;
    if (!command || dataLength < 0 || requestLength < 0 || (!data && dataLength > 0) ||
        (!request && requestLength > 0)) {
        if (command) *command = 0;
        return Fail(PMXE_BAD_ARGUMENT), 0;
    }
    int error = PMXE_NONE;
    Connection::Reply r;
    if (!c->Exec(OpKind::CommandData, static_cast<std::uint32_t>(*command) & 0xFFFF,
                 Bytes(request, requestLength), Bytes(data, dataLength), 0, timeoutMs, r, &error)) {
        *command = 0;
        return Fail(error), 0;
    }
    *command = r.code;
    return 1;
}

PMX_API int PMX_CALL PMX_READDATA(PMX_HANDLE handle, int* command, void* buffer, int capacity,
                                  int requestLength, int packetSize, int timeoutMs) {
    return ReadTable(OpKind::Read, handle, command, buffer, capacity, requestLength, packetSize,
                     timeoutMs);
}

PMX_API int PMX_CALL PMX_READDATA1(PMX_HANDLE handle, int* command, void* buffer, int capacity,
                                   int requestLength, int packetSize, int timeoutMs) {
    return ReadTable(OpKind::Read1, handle, command, buffer, capacity, requestLength, packetSize,
                     timeoutMs);
}

PMX_API int PMX_CALL PMX_QUERYDATA(PMX_HANDLE handle, int tableKind, int packetSize, void* buffer,
                                   int* inOut) {
    Connection* c = Lookup(handle);
    if (!c) return Fail(PMXE_BAD_HANDLE), -1;
    if (!inOut || *inOut < 0 || (!buffer && *inOut > 0)) return Fail(PMXE_BAD_ARGUMENT), -1;
    const int capacity = *inOut;
    int error = PMXE_NONE;
    Connection::Reply r;
    auto packet = static_cast<std::uint32_t>(packetSize > 0 ? packetSize : 0);
    const int timeoutMs = c->DefaultTimeout();
    if (!c->Exec(OpKind::Query, static_cast<std::uint32_t>(tableKind), {}, {}, packet, timeoutMs, r,
                 &error))
        return Fail(error), -1;
    if (r.code != REPLY_OK) return 0;  // *inOut stays at the capacity: not a success
    if (r.total > static_cast<std::uint32_t>(capacity)) return Fail(PMXE_TOO_LARGE), -1;
    if (!Collect(*c, r, r.total, static_cast<std::uint8_t*>(buffer), packet, timeoutMs, &error))
        return Fail(error), -1;
    *inOut = 0;
    return static_cast<int>(r.total);
}

PMX_API int PMX_CALL PMX_LASTERROR(void) {
    return t_lastError;
}

}  // extern "C"

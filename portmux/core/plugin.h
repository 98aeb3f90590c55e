// The one table of functions a portmux plug-in offers. A plug-in moves whole
// frames over one kind of link; everything above (handshake, sequencing,
// chunking, retransmission) is portmux's core and is the same for all links.
//
// A plug-in module exports `pmx_plugin_entry`, which returns its table.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define PMX_PLUGIN_EXPORT __declspec(dllexport)
#else
#define PMX_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

enum {
    PMX_PLUGIN_ABI = 1,
    // Link delivers every frame once and in order (TCP): no retransmission.
    PMX_PLUGIN_RELIABLE = 1u << 0,
    // Server side: each peer is a separate datagram flow that may go silent
    // without a close (UDP); idle peers are dropped after a while.
    PMX_PLUGIN_DATAGRAM = 1u << 1,
};

struct PmxOpenParams {
    const char* address;   // host name / IP, "COMn", device path, or ""
    int port;              // network port, serial station, USB port number
    int baud;              // serial speed (0 = plug-in default)
    int timeoutMs;         // connect timeout
    const char* initText;  // serial init text (may be null)
};

struct PmxListenParams {
    const char* address;  // bind address (network) - unused for pty
    int port;             // 0 = any free port
};

// Negative results and *error values are PMXE_ codes, negated for results.
struct PmxPluginTable {
    std::uint32_t abi;       // PMX_PLUGIN_ABI
    std::uint32_t flags;     // PMX_PLUGIN_*
    std::uint32_t maxFrame;  // largest frame one send may carry
    std::uint32_t chunk;     // chunk size for outgoing bulk data
    // Client side: open a link. Null on failure with *error set.
    void* (*open)(const PmxOpenParams* params, int* error);
    // Sends one frame given as two pieces (header, payload). 0 or -PMXE_.
    int (*send)(void* link, const std::uint8_t* head, std::uint32_t headLength,
                const std::uint8_t* body, std::uint32_t bodyLength, int timeoutMs);
    // Receives one frame: its length (> 0) with *frame pointing at its bytes
    // inside the link (valid until the next receive or close on that link),
    // 0 when nothing came within the timeout, or -PMXE_.
    int (*receive)(void* link, const std::uint8_t** frame, int timeoutMs);
    // Closes a link or a listener.
    void (*close)(void* handle);
    // Server side: starts listening. `info` receives the bound port as text or
    // the pty path. Null on failure.
    void* (*listen)(const PmxListenParams* params, char* info, std::uint32_t infoSize, int* error);
    // Next peer as a link, or null when none came within the timeout.
    void* (*accept)(void* listener, int timeoutMs, int* error);
};

typedef const PmxPluginTable* (*PmxPluginEntry)(void);
}

namespace pmx {
const PmxPluginTable* TcpPlugin();
const PmxPluginTable* UdpPlugin();
const PmxPluginTable* SerialPlugin();
const PmxPluginTable* UsbPlugin();
}  // namespace pmx

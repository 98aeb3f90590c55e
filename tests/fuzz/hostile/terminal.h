// A transport for the API fuzz target: a correct portmux in front of a
// terminal that answers whatever the fuzzer says.
//
// The transport side keeps every promise of portmux.h: it writes no more than
// the buffer it is given (for a command: the larger of the buffer size and the
// request, as the real transport does), returns no more bytes than it placed,
// and reports an exchange left unanswered with command word 0, as portmux
// does. Everything the terminal decides is drawn from the script: reply codes
// (mostly REPLY_OK), reply bytes and their count, a table's length prefix,
// option values and the firmware version text. An exhausted script reads as
// zeros, which answers REPLY_OK with the first choice everywhere, so short
// inputs still connect.
//
// It also watches termlink's side of the interface: a handle that is not open,
// negative sizes, a missing buffer, a request or capacity larger than the
// memory behind it (touched so that ASan sees it); it counts open transports.
//
// transport.cpp defines the PMX_ functions themselves over the one Term().
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_stream.h"
#include "portmux.h"

namespace hostile {

[[noreturn]] inline void Fail(const char* who, const char* what) {
    std::fprintf(stderr, "\n*** %s: %s\n", who, what);
    std::fflush(stderr);
    __builtin_trap();
}

using Stream = fuzzio::Stream;

// Firmware version texts as terminals send them, across the generations the
// library tells apart ("Ver 5.04", "Ver 6.01", "Ver 6.18 20070807" once
// normalised to "Ver X.YY yyyymmdd").
inline constexpr const char* kVersions[] = {
    "Ver 6.60 Apr 15 2011",
    "Ver 5.03",
    "Ver 6.01 Feb 20 2006",
    "Ver 6.60 Oct 20 2012",
    "Ver 6.60 Jun 30 2014",
    "Ver 6.60 Mar  2 2015",
    "Ver 5.02 Mar 12 2004",
    "Ver 5.04 Jun  5 2005",
    "Ver 6.18 Aug  7 2007",
    "Ver 6.18 Aug 08 2007",
    "Ver 6.21 Nov 19 2008",
    "Ver 6.00 Dec 31 2005",
    "Ver 4.00",
    "Ver 7.00 Jan  1 2020",
    "",
};

struct OptionMenu {
    std::string_view key;
    std::array<const char*, 6> values;
};
// Values a terminal plausibly holds for the options the library looks at.
inline constexpr OptionMenu kOptionMenus[] = {
    {"~OS", {"1", "0", "NONE", "", "2", "1"}},
    {"~ExtendFmt", {"0", "1", "0", "2", "", "-1"}},
    {"ExtendOPLog", {"0", "1", "0", "", "3", "1"}},
    {"~Platform", {"ZEM500", "ZEM560_TFT", "ZEM600_TFT", "JZ4725_TFT", "ZEM510", "TFT"}},
    {"~QVFPVersion", {"10", "9", "NONE", "", "10", "8"}},
    {"~IsOnlyRFMachine", {"0", "1", "", "2", "0", "1"}},
    {"~RFCardOn", {"0", "1", "", "2", "1", "0"}},
    {"IPAddress", {"192.168.1.201", "", "0.0.0.0", "10.0.0.1", "a", "255.255.255.255"}},
};
inline constexpr const char* kNumbers[] = {
    "0",  "1",          "2",           "5",          "9",  "10", "24", "25",
    "-1", "2147483647", "-2147483648", "4294967296", " 7", "+3", "x",  "115200"};

class Terminal {
  public:
    static constexpr int kMaxHandles = 256;

    Stream script;
    // The exchanges of the export call in progress.
    int exchanges = 0;
    bool onlyReplyKnown = false;  // the last exchange carried a reply code
    int lastReply = 0;            // its low 16 bits
    int lastError = 0;

    void StartInput(const std::uint8_t* data, std::size_t size) {
        script = {data, size};
        for (int i = 0; i < opened_; ++i) open_[static_cast<std::size_t>(i)] = false;
        opened_ = 0;
        lastError = 0;
        plugin_.clear();
    }
    void StartCall() {
        exchanges = 0;
        onlyReplyKnown = false;
        lastReply = 0;
    }
    int OpenCount() const {
        return static_cast<int>(std::count(open_.begin(), open_.begin() + opened_, true));
    }
    const std::string& LastPlugin() const { return plugin_; }

    PMX_HANDLE Open(const char* plugin, const char* address) {
        plugin_ = plugin ? plugin : "";
        // A serial line needs a port name; now and then the plug-in cannot
        // reach the terminal.
        if (!address && plugin_ == "serwire.dll") return nullptr;
        if (script.Byte() == 0xFF || opened_ >= kMaxHandles) return nullptr;
        open_[static_cast<std::size_t>(opened_)] = true;
        return HandleOf(opened_++);
    }
    void Close(PMX_HANDLE h) {
        const int i = IndexOf(h, "PMX_CLOSE");
        open_[static_cast<std::size_t>(i)] = false;
    }

    int SendCmd(PMX_HANDLE h, int* command, void* buffer, int bufferSize, int requestLength) {
        Begin(h, "PMX_SENDCMD");
        if (!command || bufferSize < 0 || requestLength < 0 ||
            (!buffer && (bufferSize > 0 || requestLength > 0)))
            Fail("PMX_SENDCMD", "termlink passed a bad argument");
        auto* buf = static_cast<std::uint8_t*>(buffer);
        Touch(buf, requestLength, bufferSize);
        const int code = *command & 0xFFFF;
        const int room = std::max(bufferSize, requestLength);
        std::string key;
        if (code == kGetOption) key = RequestText(buf, requestLength);
        const Outcome o = Reply(command);
        if (o == Outcome::Silent) return Silent(command, buf, room);
        if (o == Outcome::Refused && (script.Byte() & 3) != 0) return 0;
        if (code == kGetVersion && o == Outcome::Ok) return Version(buf, room);
        if (code == kGetOption && o == Outcome::Ok) return Option(key, buf, room);
        return Raw(buf, room);
    }

    int SendData(PMX_HANDLE h, const void* data, int length) {
        Begin(h, "PMX_SENDDATA");
        if (length < 0 || (!data && length > 0)) Fail("PMX_SENDDATA", "bad argument");
        Touch(static_cast<const std::uint8_t*>(data), length, 0);
        onlyReplyKnown = false;
        return script.Byte() & 1 ? 0 : 1;
    }

    int SendCmdData(PMX_HANDLE h, int* command, const void* data, int dataLength,
                    const void* request, int requestLength) {
        Begin(h, "PMX_SENDCMDDATA");
        if (!command || dataLength < 0 || requestLength < 0 || (!data && dataLength > 0) ||
            (!request && requestLength > 0))
            Fail("PMX_SENDCMDDATA", "bad argument");
        Touch(static_cast<const std::uint8_t*>(data), dataLength, 0);
        Touch(static_cast<const std::uint8_t*>(request), requestLength, 0);
        if (Reply(command) == Outcome::Silent) {
            *command = 0;
            lastError = static_cast<int>(script.Dword());
            return 0;
        }
        // The result's meaning is the transport's own: mostly 1, sometimes
        // another small code.
        const std::uint8_t b = script.Byte();
        return b < 0xC0 ? 1 : static_cast<int>(b & 7) - 1;
    }

    int ReadData(PMX_HANDLE h, int* command, void* buffer, int capacity, int requestLength,
                 const char* who) {
        Begin(h, who);
        if (!command || capacity < 0 || requestLength < 0 || requestLength > capacity ||
            (!buffer && capacity > 0))
            Fail(who, "termlink passed a bad argument");
        auto* buf = static_cast<std::uint8_t*>(buffer);
        Touch(buf, requestLength, capacity);
        const Outcome o = Reply(command);
        if (o == Outcome::Silent) return Silent(command, buf, capacity);
        if (o == Outcome::Refused) return (script.Byte() & 3) == 0 ? Raw(buf, capacity) : 0;
        if (capacity < 4) return Silent(command, buf, 0);
        // The table, then its length prefix: mostly the true count, sometimes
        // whatever the terminal claims.
        const std::size_t n = Table(buf + 4, static_cast<std::size_t>(capacity) - 4);
        std::uint32_t prefix = static_cast<std::uint32_t>(n);
        const std::uint8_t how = script.Byte();
        if (how >= 0xC0) {
            const std::uint32_t claims[] = {prefix + 1, prefix - 1,  0,
                                            0xFFFFFFFF, 0x80000000u, script.Dword()};
            prefix = claims[how % 6];
        }
        std::memcpy(buf, &prefix, 4);  // little-endian hosts only, as the library
        return Returned(static_cast<int>(n + 4));
    }

    int QueryData(PMX_HANDLE h, void* buffer, int* inOut) {
        Begin(h, "PMX_QUERYDATA");
        if (!inOut || *inOut < 0 || (!buffer && *inOut > 0)) Fail("PMX_QUERYDATA", "bad argument");
        auto* buf = static_cast<std::uint8_t*>(buffer);
        Touch(buf, 0, *inOut);
        onlyReplyKnown = false;
        switch (script.Byte() & 7) {
            case 5:
                return 0;  // refused: *inOut stays the capacity
            case 6:
                lastError = static_cast<int>(script.Dword());
                return -1;
            case 7:
                *inOut = 0;  // an empty table
                return 0;
            default: {
                const std::size_t n = Table(buf, static_cast<std::size_t>(*inOut));
                *inOut = 0;
                return static_cast<int>(n);
            }
        }
    }

  private:
    static constexpr int kGetOption = 11;
    static constexpr int kGetVersion = 1100;
    enum class Outcome { Ok, Refused, Silent };

    std::array<bool, kMaxHandles> open_{};
    int opened_ = 0;
    std::string plugin_;

    static PMX_HANDLE HandleOf(int i) {
        // Never dereferenced: termlink must treat the handle as opaque.
        return reinterpret_cast<PMX_HANDLE>(static_cast<std::uintptr_t>(0x7100000 + 16 * i));
    }
    int IndexOf(PMX_HANDLE h, const char* who) const {
        const auto v = reinterpret_cast<std::uintptr_t>(h);
        const std::uintptr_t i = (v - 0x7100000) / 16;
        if (v < 0x7100000 || (v - 0x7100000) % 16 != 0 ||
            i >= static_cast<std::uintptr_t>(opened_) || !open_[i])
            Fail(who, "termlink used a transport handle that is not open");
        return static_cast<int>(i);
    }
    void Begin(PMX_HANDLE h, const char* who) {
        IndexOf(h, who);
        ++exchanges;
    }

    // Reads the request and the last byte of the reply area, as a transport
    // does, so that a buffer shorter than termlink claims trips ASan here.
    static void Touch(const std::uint8_t* buf, int requestLength, int room) {
        if (!buf) return;
        volatile std::uint8_t sink = 0;
        for (int i = 0; i < requestLength; ++i) sink = sink ^ buf[i];
        if (room > 0) sink = sink ^ buf[room - 1];
        (void)sink;
    }

    static std::string RequestText(const std::uint8_t* buf, int requestLength) {
        if (!buf || requestLength <= 0) return {};
        const auto* p = reinterpret_cast<const char*>(buf);
        return std::string(p, strnlen(p, static_cast<std::size_t>(requestLength)));
    }

    // The reply code: mostly REPLY_OK (now and then with junk in the high
    // bits), sometimes REPLY_ERROR, a junk code or no answer at all.
    Outcome Reply(int* command) {
        const std::uint8_t b = script.Byte();
        Outcome o = Outcome::Ok;
        int word = REPLY_OK;
        switch (b & 15) {
            case 10:
                word = 0x5A0000 | REPLY_OK;
                break;
            case 11:
            case 12:
            case 15:
                word = REPLY_ERROR;
                o = Outcome::Refused;
                break;
            case 13:
                word = script.Word();
                if (word != REPLY_OK) o = Outcome::Refused;
                break;
            case 14:
                o = Outcome::Silent;
                word = 0;
                break;
            default:
                break;
        }
        *command = word;
        onlyReplyKnown = true;
        lastReply = word & 0xFFFF;
        return o;
    }

    // No answer: possibly some bytes already landed, then the word is 0.
    int Silent(int* command, std::uint8_t* buf, int room) {
        if (buf && room > 0 && (script.Byte() & 1))
            script.Copy(buf, std::min<std::size_t>(script.Byte(), static_cast<std::size_t>(room)));
        *command = 0;
        lastError = static_cast<int>(script.Dword());
        return -1;
    }

    // A count of at most what was placed, mostly all of it.
    int Returned(int placed) {
        const std::uint8_t b = script.Byte();
        if (b < 0xE0) return placed;
        return std::max(0, placed - 1 - (b & 15));
    }

    // Reply bytes of a chosen length within `room`; 0xFF fills it, 0xFE all
    // but one byte.
    int Raw(std::uint8_t* buf, int room) {
        if (!buf || room <= 0) return 0;
        const std::uint8_t b = script.Byte();
        // Filling is bounded too: a table buffer may be megabytes.
        std::size_t n = b == 0xFF   ? static_cast<std::size_t>(room)
                        : b == 0xFE ? static_cast<std::size_t>(room - 1)
                                    : b;
        n = std::min({n, static_cast<std::size_t>(room), std::size_t{65536}});
        script.Copy(buf, n);
        return Returned(static_cast<int>(n));
    }

    int Text(std::uint8_t* buf, int room, const std::string& text, bool terminate) {
        if (!buf || room <= 0) return 0;
        std::size_t n = std::min(text.size(), static_cast<std::size_t>(room));
        std::memcpy(buf, text.data(), n);
        if (terminate && n < static_cast<std::size_t>(room)) buf[n++] = 0;
        return Returned(static_cast<int>(n));
    }

    std::string RawText(std::size_t max) {
        std::string t(script.Byte() % (max + 1), ' ');
        for (char& c : t) c = static_cast<char>(script.Byte());
        return t;
    }

    int Version(std::uint8_t* buf, int room) {
        const std::uint8_t v = script.Byte();
        constexpr std::size_t kCount = sizeof kVersions / sizeof kVersions[0];
        if (v < 0xE0) return Text(buf, room, kVersions[v % kCount], v < 0xC0);
        if (v < 0xF0)
            return Text(buf, room, std::string(kVersions[v % kCount]) + RawText(40), true);
        return Raw(buf, room);
    }

    std::string OptionValue(const std::string& key) {
        const std::uint8_t v = script.Byte();
        if (v < 0x80) {
            for (const OptionMenu& m : kOptionMenus)
                if (m.key == key) return m.values[v % m.values.size()];
        }
        if (v < 0xE0) return kNumbers[v % (sizeof kNumbers / sizeof kNumbers[0])];
        return RawText(120);
    }

    // "key=value": mostly well formed; sometimes unterminated and filling the
    // buffer, without the echoed key, or raw bytes.
    int Option(const std::string& key, std::uint8_t* buf, int room) {
        const std::uint8_t how = script.Byte() & 7;
        if (how == 7) return Raw(buf, room);
        std::string text = how == 6 ? OptionValue(key) : key + "=" + OptionValue(key);
        if (how == 5) {
            text.resize(static_cast<std::size_t>(std::max(room, 0)), '7');
            return Text(buf, room, text, false);
        }
        return Text(buf, room, text, true);
    }

    // A table of up to a few KB (now and then up to 64 KiB) in `room` bytes:
    // a pattern of records repeated, with a 16-bit field stamped upwards from
    // one repeat to the next so that numbers differ (or, with step 0, repeat).
    std::size_t Table(std::uint8_t* out, std::size_t room) {
        const std::uint8_t size = script.Byte();
        std::size_t n = size < 0xF0 ? script.Word() % 4096u : script.Word();
        n = std::min(n, room);
        std::uint8_t pattern[256];
        const std::size_t p = std::max<std::size_t>(1, script.Byte());
        script.Copy(pattern, p);
        const std::uint16_t step = script.Byte();
        const std::size_t at = script.Byte() % p;
        for (std::size_t i = 0; i < n; ++i) out[i] = pattern[i % p];
        if (step && at + 1 < p) {
            for (std::size_t base = 0, k = 0; base + at + 1 < n; base += p, ++k) {
                std::uint16_t v = static_cast<std::uint16_t>(pattern[at] | pattern[at + 1] << 8);
                v = static_cast<std::uint16_t>(v + k * step);
                out[base + at] = static_cast<std::uint8_t>(v);
                out[base + at + 1] = static_cast<std::uint8_t>(v >> 8);
            }
        }
        return n;
    }
};

inline Terminal& Term() {
    static Terminal t;
    return t;
}

}  // namespace hostile

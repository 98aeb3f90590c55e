// One terminal connection and the exchanges QVUpdate makes over it: option
// reads and writes (with the scrambled form of hidden "~" options) and
// pushing a section with CMD_UPDATE.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/hooks.h"
#include "portmux.h"

namespace qvupdate {

inline constexpr int kCmdGetOption = 11;
inline constexpr int kCmdSetOption = 12;
inline constexpr int kCmdUpdate = 110;

inline constexpr int kOptionReadBuffer = 200;
inline constexpr int kOptionReadTimeoutMs = 1000;
inline constexpr int kOptionWriteBuffer = 100;
inline constexpr int kOptionWriteTimeoutMs = 2000;
inline constexpr int kSectionTimeoutMs = 10000;
inline constexpr std::size_t kMaxScrambledLine = 399;  // the scrambled text stays below 400

// Where the terminal is. The plug-in follows from the kind.
struct Link {
    enum class Kind { Serial, Network };
    Kind kind = Kind::Network;
    std::string address;  // host, or the serial port name ("COM1")
    int port = 4370;      // network port, or the device number on the serial line
    int baud = 115200;    // serial only
};

// The rule of the dialog's fields: an address that, trimmed and upper-cased,
// begins with "COM" is a serial port; anything else a network host. The
// address comes back trimmed and upper-cased, as the dialog shows it.
Link LinkFromFields(const std::string& address, int port, int baud);

struct Device {
    PMX_HANDLE handle = nullptr;
    std::string os;         // the terminal's "~OS" as read at connect
    bool scramble = false;  // "~OS" empty or "NONE": hidden options go scrambled
    int command = 0;        // the command word of the last section sent
};

// The terminal's reply code is the low 16 bits of the command word the
// transport hands back (a word of 0x107D0 is REPLY_OK); the high bits carry
// nothing this tool uses. Every exchange reads its reply through this.
constexpr bool ReplyIsOk(int commandWord) {
    return (static_cast<unsigned>(commandWord) & 0xFFFFu) == REPLY_OK;
}

// Opens the link and reads "~OS". False (and no handle) when the open fails.
bool ConnectDevice(const Link& link, Device& device);
void CloseDevice(Device& device);

// One read of an option: its value, or "" when the terminal does not answer
// REPLY_OK.
std::string ReadDeviceOption(PMX_HANDLE handle, const std::string& name);

// "name=" followed by the key and the chained XOR of the value, as uppercase
// hexadecimal pairs. `key` is 1..254 (the caller maps 0 to 192).
std::string ScrambleOptionLine(const std::string& name, const std::string& value, std::uint8_t key);

// Writes one option line. A value the terminal already holds is not sent
// again. Hidden options ("~...") go scrambled when `scramble` is set.
bool WriteDeviceOption(PMX_HANDLE handle, const std::string& line, bool scramble,
                       const Hooks& hooks);

// Writes every line (each may fail twice), pausing 100 ms after each. Returns
// the number of lines that succeeded.
int SetOptions(Device& device, const std::vector<std::string>& lines, const Hooks& hooks);

// Pushes one section with CMD_UPDATE and the request block {code, value}.
bool SendDataToDevice(Device& device, std::span<const std::uint8_t> data, std::uint32_t code,
                      std::uint32_t value);

}  // namespace qvupdate

// One terminal of the fleet, reached through termlink's public C API: the
// connection text of the fleet, the serial number, the user table with
// department names, the attendance log, the real-time punches and the log
// clear.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "client/terminal.h"
#include "sync_types.h"
#include "termlink.h"

namespace tlsync {

// A terminal that could not be reached or refused a step. `contacted`: it
// had answered before the failure.
class LinkError : public std::runtime_error {
  public:
    LinkError(const std::string& what, bool contacted)
        : std::runtime_error(what), contacted(contacted) {}
    bool contacted;
};

// "udp:HOST[:PORT]", "tcp:HOST[:PORT]", "com:NAME[:BAUD[:STATION]]", "usb:N".
struct Endpoint {
    enum class Kind { Udp, Tcp, Com, Usb };
    Kind kind = Kind::Udp;
    std::string host;  // udp / tcp; the port name for com
    int port = 4370;   // udp / tcp; the USB number for usb
    int baud = 115200;
    int station = 1;
};
// Nothing on failure, with the reason in *error.
std::optional<Endpoint> ParseEndpoint(const std::string& text, std::string* error);

// Decodes a real-time attendance event (kind 1; its layouts are
// tlclient::ParseAttendanceEvent's) into a punch: nothing for another size or
// an empty text ID. `pinToUser` maps internal numbers to user numbers for the
// 14-byte form on terminals with wide user numbers (empty: the number is used
// as it is).
std::optional<Punch> DecodeAttendanceEvent(const unsigned char* data, int size,
                                           const std::map<int, std::string>& pinToUser);

class TerminalLink {
  public:
    // Connects; throws LinkError.
    TerminalLink(const FleetEntry& entry, int timeoutMs);
    ~TerminalLink();
    TerminalLink(const TerminalLink&) = delete;
    TerminalLink& operator=(const TerminalLink&) = delete;

    // The identity punches are keyed by: the terminal's serial number, or
    // "noserial:NAME" for a terminal that reports none ("0" or empty), so
    // that such terminals never share their punches' keys.
    const std::string& Identity() const { return identity_; }
    bool HasSerial() const { return hasSerial_; }

    // Keeps the keypad off until Unlock (or the destructor).
    void Lock();
    void Unlock();
    // Leaves the keypad as it is: the destructor will not turn it back on.
    // For a claim that lost its lease, whose terminal another session may
    // have locked for its own download and clear.
    void Abandon() { locked_ = false; }
    std::vector<UserRow> ReadUsers();
    std::vector<Punch> ReadLog();
    void ClearLog();
    // Real-time punches since the last poll; false when the firmware has no
    // real-time events.
    bool PollEvents(std::vector<Punch>* out);

  private:
    [[noreturn]] void Fail(const std::string& what, int result) const;

    std::string name_;
    TL_HANDLE h_ = nullptr;
    tlclient::TerminalTraits traits_;
    std::string identity_;
    bool hasSerial_ = false;
    bool locked_ = false;
    int eventSize_ = 14;
    std::map<int, std::string> pinToUser_;  // for 14-byte events on wide user numbers
};

}  // namespace tlsync

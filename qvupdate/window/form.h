// What the update window shows and how it reads its fields, the same on every
// platform. Each platform's window file (FLTK on Linux, Win32 on Windows)
// draws these texts, reads its fields through ReadFields, runs the core's
// update on a worker thread and shows Describe's outcome; nothing here knows
// about a toolkit.
#pragma once

#include <string>
#include <string_view>

#include "core/device.h"
#include "core/update.h"

namespace qvupdate::window {

inline constexpr const char* kTitle = "QVUpdate";
inline constexpr const char* kTcpIp = "TCP/IP";
inline constexpr const char* kRs232 = "RS232";
inline constexpr const char* kBaudLabel = "BaudRate:";
inline constexpr const char* kStartBaud = "115200";
inline constexpr const char* kPackLabel = "Please select update file at here";
inline constexpr const char* kBrowse = "...";
inline constexpr const char* kBrowseTitle = "Select the update pack";
inline constexpr const char* kUpdate = "Update";
inline constexpr const char* kWorking = "Working";
inline constexpr const char* kStarting = "starting";

// The address and port fields' labels and texts for one way of connecting.
struct LinkFields {
    const char* addressLabel;
    const char* portLabel;
    const char* address;
    const char* port;
};

// At start RS232 is down, the labels still read "IP Address:" and "Port
// Number:" and the fields hold "COM1" and "1".
LinkFields StartFields();
// TCP/IP pressed: "IP Address:" / "Port Number:", the terminals' factory
// address and "$1112" (4370).
LinkFields NetworkFields();
// RS232 pressed: "Com Port:" / "Device ID:", "COM4" and "1".
LinkFields SerialFields();

// The fields read when Update is pressed.
struct FieldsRead {
    enum class Bad { None, Port, Baud };
    Bad bad = Bad::None;       // the field to put the focus in when not None
    std::string message;       // names the field and its text when not None
    Link link;                 // the link to use when None
    std::string shownAddress;  // the address as it is used: trimmed, upper case
};

// The port field is read with its current label (so a bad device number is
// named "Device ID"); the baud field only for serial addresses. Numbers are
// decimal, or hexadecimal after a leading "$".
FieldsRead ReadFields(std::string_view address, std::string_view portLabel, std::string_view port,
                      std::string_view baud);

// What the window shows when a run ends.
struct Outcome {
    enum class Box { None, Information, Warning };
    std::string status;   // the corner's text: "done", "no connection", ...
    Box box = Box::None;  // the message box, if any
    std::string message;  // its text (also printed on standard output)
};

Outcome Describe(const UpdateReport& report, const Link& link);

// The corner's text while a run goes on: a turning mark and the latest note.
std::string Progress(int tick, const std::string& note);

}  // namespace qvupdate::window

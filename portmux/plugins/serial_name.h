// Which device a serial or USB address opens. The rule is the same on every
// platform; only the names a system gives its serial devices differ, and they
// are data (SerialNaming), so both platforms' rules build and test anywhere.
//
//   serial  a device path          -> used as given
//           "COMn" (any case)      -> $PORTMUX_COMn if set, else the nth device
//   USB     port n                 -> $PORTMUX_USBn if set, else the nth USB
//                                     device (n = 0: the first)
#pragma once

#include <optional>
#include <string>

namespace pmx {

// How a system names its serial devices.
struct SerialNaming {
    char pathStart;         // an address starting with it is a device path
    const char* comPrefix;  // the nth serial device: comPrefix + (n - 1 + firstNumber)
    const char* usbPrefix;  // the nth USB device: usbPrefix + (n - 1 + firstNumber)
    int firstNumber;        // the number the system gives its first device
};

// POSIX: /dev/ttyS0 is COM1, /dev/ttyUSB0 USB port 1; paths start with '/'.
extern const SerialNaming kPosixSerialNames;
// Windows: \\.\COMn for both (a USB terminal appears as a virtual COM port);
// paths start with '\'.
extern const SerialNaming kWindowsSerialNames;

// The environment as the resolution reads it: a variable's value, or null.
using EnvLookup = const char* (*)(const char* name);
const char* ProcessEnv(const char* name);  // the process's own environment

// "COMn" (any case) -> n, else 0.
int ComNumber(const char* name);

// The device a serial address opens, or nothing when the address is neither
// a device path nor "COMn" (a null address is empty). A variable that is set
// but empty counts as unset.
std::optional<std::string> SerialDevice(const SerialNaming& naming, const char* address,
                                        EnvLookup env = ProcessEnv);
// The device USB port `port` opens (the caller has checked 0-255).
std::string UsbDevice(const SerialNaming& naming, int port, EnvLookup env = ProcessEnv);

}  // namespace pmx

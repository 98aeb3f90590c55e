// Serial and USB address resolution under both platforms' device names: the
// rule is shared, so the POSIX and Windows tables are checked here, natively.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "plugins/serial_name.h"

namespace {

using namespace pmx;

// A fixed environment: two variables set, one set but empty.
const char* FakeEnv(const char* name) {
    if (std::strcmp(name, "PORTMUX_COM2") == 0) return "/dev/pts/9";
    if (std::strcmp(name, "PORTMUX_COM3") == 0) return "";
    if (std::strcmp(name, "PORTMUX_USB0") == 0) return "/dev/usb-terminal";
    return nullptr;
}

TEST(SerialName, SerialAddresses) {
    const std::optional<std::string> none;
    struct Case {
        const SerialNaming* naming;
        const char* address;
        std::optional<std::string> device;
    } cases[] = {
        {&kPosixSerialNames, "/dev/pts/3", "/dev/pts/3"},
        {&kPosixSerialNames, "COM1", "/dev/ttyS0"},
        {&kPosixSerialNames, "com12", "/dev/ttyS11"},
        {&kPosixSerialNames, "CoM255", "/dev/ttyS254"},
        {&kPosixSerialNames, "COM2", "/dev/pts/9"},  // from the environment
        {&kPosixSerialNames, "COM3", "/dev/ttyS2"},  // an empty variable is unset
        {&kPosixSerialNames, "\\\\.\\COM3", none},
        {&kWindowsSerialNames, "\\\\.\\COM3", "\\\\.\\COM3"},
        {&kWindowsSerialNames, "COM1", "\\\\.\\COM1"},
        {&kWindowsSerialNames, "com12", "\\\\.\\COM12"},
        {&kWindowsSerialNames, "COM2", "/dev/pts/9"},
        {&kWindowsSerialNames, "COM3", "\\\\.\\COM3"},
        {&kWindowsSerialNames, "/dev/ttyS0", none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(SerialDevice(*c.naming, c.address, FakeEnv), c.device);
    }
    // Neither a path nor COM1-COM255, on either system.
    for (const SerialNaming* naming : {&kPosixSerialNames, &kWindowsSerialNames}) {
        for (const char* address : {"", "COM", "COM0", "COM256", "COMx", "COM1a", "LPT1", "tty"}) {
            SCOPED_TRACE(address);
            EXPECT_EQ(SerialDevice(*naming, address, FakeEnv), none);
        }
        EXPECT_EQ(SerialDevice(*naming, nullptr, FakeEnv), none);
    }
}

TEST(SerialName, UsbPorts) {
    struct Case {
        const SerialNaming* naming;
        int port;
        const char* device;
    } cases[] = {
        {&kPosixSerialNames, 0, "/dev/usb-terminal"},  // from the environment
        {&kPosixSerialNames, 1, "/dev/ttyUSB0"},      {&kPosixSerialNames, 3, "/dev/ttyUSB2"},
        {&kPosixSerialNames, 255, "/dev/ttyUSB254"},  {&kWindowsSerialNames, 1, "\\\\.\\COM1"},
        {&kWindowsSerialNames, 3, "\\\\.\\COM3"},     {&kWindowsSerialNames, 255, "\\\\.\\COM255"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        EXPECT_EQ(UsbDevice(*c.naming, c.port, FakeEnv), c.device);
    }
    // Port 0 without a variable is the first device, as port 1.
    const auto none = [](const char*) -> const char* { return nullptr; };
    EXPECT_EQ(UsbDevice(kPosixSerialNames, 0, none), "/dev/ttyUSB0");
    EXPECT_EQ(UsbDevice(kWindowsSerialNames, 0, none), "\\\\.\\COM1");
}

}  // namespace

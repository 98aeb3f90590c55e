// Serial and USB address resolution, shared by every platform's serial
// plug-in (serial.cpp, serial_windows.cpp).
#include "plugins/serial_name.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace pmx {

const SerialNaming kPosixSerialNames = {'/', "/dev/ttyS", "/dev/ttyUSB", 0};
const SerialNaming kWindowsSerialNames = {'\\', "\\\\.\\COM", "\\\\.\\COM", 1};

const char* ProcessEnv(const char* name) {
    return std::getenv(name);
}

namespace {

std::string EnvOr(EnvLookup env, const std::string& var, const std::string& fallback) {
    const char* v = env(var.c_str());
    return (v && *v) ? std::string(v) : fallback;
}

}  // namespace

int ComNumber(const char* name) {
    if (!name || std::strlen(name) < 4) return 0;
    if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M')
        return 0;
    char* end = nullptr;
    long n = std::strtol(name + 3, &end, 10);
    if (*end != 0 || n < 1 || n > 255) return 0;
    return static_cast<int>(n);
}

std::optional<std::string> SerialDevice(const SerialNaming& naming, const char* address,
                                        EnvLookup env) {
    const char* a = address ? address : "";
    if (a[0] == naming.pathStart) return std::string(a);
    if (int n = ComNumber(a))
        return EnvOr(env, "PORTMUX_COM" + std::to_string(n),
                     naming.comPrefix + std::to_string(n - 1 + naming.firstNumber));
    return std::nullopt;
}

std::string UsbDevice(const SerialNaming& naming, int port, EnvLookup env) {
    const int n = port > 0 ? port : 1;
    return EnvOr(env, "PORTMUX_USB" + std::to_string(port),
                 naming.usbPrefix + std::to_string(n - 1 + naming.firstNumber));
}

}  // namespace pmx

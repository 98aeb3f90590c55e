// "serwire.dll" and "usbwire.dll" on Windows: the same byte-stuffed frames as
// on POSIX systems (see serial.cpp), over a COM port opened with the Win32
// communications API, 8 data bits, no parity, one stop bit, no flow control.
//
// Device names:
//   serial  "COMn"  -> $PORTMUX_COMn if set, else \\.\COMn
//           "\\..." -> used as given
//   USB     port n  -> $PORTMUX_USBn if set, else \\.\COMn (n = 0: COM1): a
//                      USB terminal appears as a virtual COM port
// (the rule is serial_name.h's, shared with the POSIX plug-in)
// The server side (a pseudo-terminal) exists on POSIX systems only.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "core/frame.h"
#include "core/io.h"
#include "core/plugin.h"
#include "core/stuffing.h"
#include "plugins/object.h"
#include "plugins/serial_name.h"
#include "portmux_errors.h"

namespace pmx {
namespace {

constexpr int kDefaultBaud = 115200;
constexpr DWORD kReadSliceMs = 20;  // longest single wait for the first byte

struct SerialLink : PluginObject {
    explicit SerialLink(HANDLE h) : port(h), unstuffer(kMaxFrame) {}
    ~SerialLink() override { ::CloseHandle(port); }
    HANDLE port;
    Unstuffer unstuffer;
    std::vector<std::uint8_t> pending;  // bytes read but not yet unstuffed
    std::size_t pendingPos = 0;
    std::vector<std::uint8_t> out;  // stuffing scratch
    DWORD writeTimeout = 0;         // the write timeout currently set
};

bool SetTimeouts(HANDLE port, DWORD writeMs) {
    COMMTIMEOUTS t{};
    // A read returns at once with what is there, or waits up to one slice
    // for the first byte.
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = kReadSliceMs;
    t.WriteTotalTimeoutConstant = writeMs;
    return ::SetCommTimeouts(port, &t) != 0;
}

bool Configure(HANDLE port, int baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(port, &dcb)) return false;
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return ::SetCommState(port, &dcb) != 0;
}

int Write(SerialLink* link, const std::uint8_t* data, std::size_t length, int timeoutMs) {
    const DWORD wantTimeout = static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 1);
    if (link->writeTimeout != wantTimeout) {
        if (!SetTimeouts(link->port, wantTimeout)) return -PMXE_IO;
        link->writeTimeout = wantTimeout;
    }
    while (length > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(length > 65536 ? 65536 : length);
        if (!::WriteFile(link->port, data, chunk, &written, nullptr)) return -PMXE_IO;
        if (written == 0) return -PMXE_TIMEOUT;
        data += written;
        length -= written;
    }
    return 0;
}

void* OpenDevice(const std::string& path, const PmxOpenParams* p, int* error) {
    const int baud = p->baud > 0 ? p->baud : kDefaultBaud;
    HANDLE port = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        *error = PMXE_OPEN;
        return nullptr;
    }
    if (!Configure(port, baud)) {
        ::CloseHandle(port);
        *error = PMXE_BAD_ARGUMENT;
        return nullptr;
    }
    ::SetupComm(port, 65536, 65536);
    ::PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    auto* link = new SerialLink(port);
    if (p->initText && *p->initText) {
        // Raw text for whatever sits on the line before the terminal (a modem
        // or converter); the terminal's framer skips bytes outside frames.
        std::string text = std::string(p->initText) + "\r";
        Write(link, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), p->timeoutMs);
    }
    return link;
}

void* OpenSerial(const PmxOpenParams* p, int* error) {
    const std::optional<std::string> path = SerialDevice(kWindowsSerialNames, p->address);
    if (!path) {
        *error = PMXE_BAD_ARGUMENT;
        return nullptr;
    }
    if (p->port < 0) {
        *error = PMXE_BAD_ARGUMENT;
        return nullptr;
    }
    return OpenDevice(*path, p, error);
}

void* OpenUsb(const PmxOpenParams* p, int* error) {
    if (p->port < 0 || p->port > 255) {
        *error = PMXE_BAD_ARGUMENT;
        return nullptr;
    }
    return OpenDevice(UsbDevice(kWindowsSerialNames, p->port), p, error);
}

int Send(void* h, const std::uint8_t* head, std::uint32_t headLength, const std::uint8_t* body,
         std::uint32_t bodyLength, int timeoutMs) {
    auto* link = dynamic_cast<SerialLink*>(static_cast<PluginObject*>(h));
    if (!link) return -PMXE_BAD_HANDLE;
    link->out.clear();
    StuffFrame({head, headLength}, {body, bodyLength}, link->out);
    return Write(link, link->out.data(), link->out.size(), timeoutMs);
}

int Receive(void* h, const std::uint8_t** frame, int timeoutMs) {
    auto* link = dynamic_cast<SerialLink*>(static_cast<PluginObject*>(h));
    if (!link) return -PMXE_BAD_HANDLE;
    auto deadline = DeadlineIn(timeoutMs);
    for (;;) {
        while (link->pendingPos < link->pending.size()) {
            if (link->unstuffer.Push(link->pending[link->pendingPos++])) {
                auto got = link->unstuffer.Frame();
                *frame = got.data();
                return static_cast<int>(got.size());
            }
        }
        link->pending.resize(16384);
        link->pendingPos = 0;
        DWORD n = 0;
        if (!::ReadFile(link->port, link->pending.data(), static_cast<DWORD>(link->pending.size()),
                        &n, nullptr)) {
            link->pending.clear();
            return -PMXE_IO;
        }
        link->pending.resize(n);
        if (n == 0 && Clock::now() >= deadline) return 0;
    }
}

void Close(void* h) {
    delete static_cast<PluginObject*>(h);
}

const PmxPluginTable kSerial = {PMX_PLUGIN_ABI, 0,       kMaxFrame, 4096,    OpenSerial,
                                Send,           Receive, Close,     nullptr, nullptr};
const PmxPluginTable kUsb = {PMX_PLUGIN_ABI, 0,       kMaxFrame, 1024,    OpenUsb,
                             Send,           Receive, Close,     nullptr, nullptr};

}  // namespace

const PmxPluginTable* SerialPlugin() {
    return &kSerial;
}
const PmxPluginTable* UsbPlugin() {
    return &kUsb;
}

}  // namespace pmx

// "serwire.dll" and "usbwire.dll": frames over a serial line, byte-stuffed
// (see core/stuffing.h), on a tty set to raw mode and the requested speed.
// A line may lose or garble bytes, so the core treats it like a datagram link:
// retransmission, duplicate suppression, CRC on every frame.
//
// Device names:
//   serial  "COMn"  -> $PORTMUX_COMn if set, else /dev/ttyS(n-1)
//           "/..."  -> used as given (for example a pseudo-terminal)
//   USB     port n  -> $PORTMUX_USBn if set, else /dev/ttyUSB(n-1) (n = 0: ttyUSB0)
// (the rule is serial_name.h's, shared with the Windows plug-in)
// The server side ("listen") opens a pseudo-terminal and reports its path.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

struct SerialLink : PluginObject {
    SerialLink(int f, bool owns) : fd(f), ownsFd(owns), unstuffer(kMaxFrame) {}
    ~SerialLink() override {
        if (ownsFd) ::close(fd);
    }
    int fd;
    bool ownsFd;
    Unstuffer unstuffer;
    std::vector<std::uint8_t> pending;  // bytes read but not yet unstuffed
    std::size_t pendingPos = 0;
    std::vector<std::uint8_t> out;  // stuffing scratch
};

struct PtyListener : PluginObject {
    ~PtyListener() override {
        if (slave >= 0) ::close(slave);
        if (master >= 0 && !handedOut) ::close(master);
    }
    int master = -1;
    int slave = -1;  // held open so the master never sees a hang-up between clients
    bool handedOut = false;
};

bool SpeedFor(int baud, speed_t* out) {
    struct Pair {
        int baud;
        speed_t speed;
    };
    static const Pair kSpeeds[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},
                                   {9600, B9600},     {19200, B19200},   {38400, B38400},
                                   {57600, B57600},   {115200, B115200}, {230400, B230400},
                                   {460800, B460800}, {921600, B921600}};
    for (const auto& p : kSpeeds) {
        if (p.baud == baud) {
            *out = p.speed;
            return true;
        }
    }
    return false;
}

bool MakeRaw(int fd, speed_t speed) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

void* OpenDevice(const std::string& path, const PmxOpenParams* p, int* error) {
    int baud = p->baud > 0 ? p->baud : kDefaultBaud;
    speed_t speed;
    if (!SpeedFor(baud, &speed)) {
        *error = PMXE_BAD_ARGUMENT;
        return nullptr;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = PMXE_OPEN;
        return nullptr;
    }
    if (!MakeRaw(fd, speed)) {
        ::close(fd);
        *error = PMXE_OPEN;
        return nullptr;
    }
    ::tcflush(fd, TCIOFLUSH);
    auto* link = new SerialLink(fd, true);
    if (p->initText && *p->initText) {
        // Raw text for whatever sits on the line before the terminal (a modem
        // or converter); the terminal's framer skips bytes outside frames.
        std::string text = std::string(p->initText) + "\r";
        iovec iov{text.data(), text.size()};
        WriteAll(fd, &iov, 1, DeadlineIn(p->timeoutMs), false);
    }
    return link;
}

void* OpenSerial(const PmxOpenParams* p, int* error) {
    const std::optional<std::string> path = SerialDevice(kPosixSerialNames, p->address);
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
    return OpenDevice(UsbDevice(kPosixSerialNames, p->port), p, error);
}

int Send(void* h, const std::uint8_t* head, std::uint32_t headLength, const std::uint8_t* body,
         std::uint32_t bodyLength, int timeoutMs) {
    auto* link = dynamic_cast<SerialLink*>(static_cast<PluginObject*>(h));
    if (!link) return -PMXE_BAD_HANDLE;
    link->out.clear();
    StuffFrame({head, headLength}, {body, bodyLength}, link->out);
    iovec iov{link->out.data(), link->out.size()};
    return WriteAll(link->fd, &iov, 1, DeadlineIn(timeoutMs), false);
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
        ssize_t n = ::read(link->fd, link->pending.data(), link->pending.size());
        if (n > 0) {
            link->pending.resize(static_cast<std::size_t>(n));
            continue;
        }
        link->pending.clear();
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EIO)
            return ErrnoToResult(errno);
        // n == 0 or EIO: nobody on the other end right now; wait like silence.
        int w = WaitFd(link->fd, POLLIN, deadline);
        if (w == 0) return 0;
        if (w < 0) return -PMXE_IO;
        if (n <= 0 && Clock::now() < deadline) {
            pollfd pf{link->fd, POLLIN, 0};
            ::poll(&pf, 1, 0);
            if (pf.revents & POLLHUP) ::usleep(10000);  // peer gone: avoid spinning
        }
    }
}

void Close(void* h) {
    delete static_cast<PluginObject*>(h);
}

void* Listen(const PmxListenParams*, char* info, std::uint32_t infoSize, int* error) {
    auto* l = new PtyListener();
    l->master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (l->master < 0 || ::grantpt(l->master) != 0 || ::unlockpt(l->master) != 0 ||
        ::ptsname_r(l->master, name, sizeof name) != 0) {
        delete l;
        *error = PMXE_OPEN;
        return nullptr;
    }
    l->slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (l->slave < 0 || !MakeRaw(l->slave, B115200) || !MakeNonBlocking(l->master)) {
        delete l;
        *error = PMXE_OPEN;
        return nullptr;
    }
    if (info && infoSize) std::snprintf(info, infoSize, "%s", name);
    return l;
}

void* Accept(void* h, int timeoutMs, int* error) {
    auto* l = dynamic_cast<PtyListener*>(static_cast<PluginObject*>(h));
    if (!l) return nullptr;
    if (l->handedOut) {
        // A pseudo-terminal is one line: its only link is already in use.
        ::usleep(static_cast<useconds_t>(timeoutMs > 0 ? timeoutMs : 0) * 1000);
        return nullptr;
    }
    l->handedOut = true;
    return new SerialLink(l->master, true);
}

const PmxPluginTable kSerial = {PMX_PLUGIN_ABI, 0,       kMaxFrame, 4096,   OpenSerial,
                                Send,           Receive, Close,     Listen, Accept};
const PmxPluginTable kUsb = {PMX_PLUGIN_ABI, 0,       kMaxFrame, 1024,   OpenUsb,
                             Send,           Receive, Close,     Listen, Accept};

}  // namespace

const PmxPluginTable* SerialPlugin() {
    return &kSerial;
}
const PmxPluginTable* UsbPlugin() {
    return &kUsb;
}

}  // namespace pmx

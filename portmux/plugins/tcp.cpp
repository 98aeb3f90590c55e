// "tcpwire.dll": frames over one TCP connection. The stream is reliable and
// ordered, so the core never retransmits on it; the frame header's payload
// length tells the receiver where each frame ends.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/frame.h"
#include "core/io.h"
#include "core/plugin.h"
#include "plugins/object.h"
#include "portmux_errors.h"

namespace pmx {

addrinfo* Resolve(const char* address, int port, int socktype, bool passive) {
    if (port < 0 || port > 65535) return nullptr;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = socktype;
    hints.ai_flags = passive ? AI_PASSIVE : 0;
    char service[16];
    std::snprintf(service, sizeof service, "%d", port);
    const char* host = (address && *address) ? address : nullptr;
    if (!host && !passive) host = "127.0.0.1";
    addrinfo* res = nullptr;
    if (::getaddrinfo(host, service, &hints, &res) != 0) return nullptr;
    return res;
}

namespace {

struct TcpLink : PluginObject {
    explicit TcpLink(int f) : fd(f), buffer(kMaxFrame + 65536) {}
    ~TcpLink() override { ::close(fd); }
    int fd;
    std::vector<std::uint8_t> buffer;  // bytes received but not yet handed out
    std::size_t start = 0, end = 0;
    bool broken = false;  // the stream lost its frame boundaries
};

struct TcpListener : PluginObject {
    explicit TcpListener(int f) : fd(f) {}
    ~TcpListener() override { ::close(fd); }
    int fd;
};

void SetNoDelay(int fd) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void* Open(const PmxOpenParams* p, int* error) {
    addrinfo* res = Resolve(p->address, p->port, SOCK_STREAM, false);
    if (!res) {
        *error = PMXE_OPEN;
        return nullptr;
    }
    auto deadline = DeadlineIn(p->timeoutMs);
    int result = PMXE_OPEN;
    for (addrinfo* ai = res; ai; ai = ai->ai_next) {
        int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          ai->ai_protocol);
        if (fd < 0) continue;
        int r = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        if (r < 0 && errno == EINPROGRESS) {
            int w = WaitFd(fd, POLLOUT, deadline);
            int soerr = 0;
            socklen_t len = sizeof soerr;
            if (w > 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soerr, &len) == 0 && soerr == 0) {
                r = 0;
            } else if (w == 0) {
                result = PMXE_TIMEOUT;
            }
        }
        if (r == 0) {
            ::freeaddrinfo(res);
            SetNoDelay(fd);
            return new TcpLink(fd);
        }
        ::close(fd);
    }
    ::freeaddrinfo(res);
    *error = result;
    return nullptr;
}

int Send(void* h, const std::uint8_t* head, std::uint32_t headLength, const std::uint8_t* body,
         std::uint32_t bodyLength, int timeoutMs) {
    auto* link = static_cast<TcpLink*>(h);
    iovec iov[2] = {{const_cast<std::uint8_t*>(head), headLength},
                    {const_cast<std::uint8_t*>(body), bodyLength}};
    return WriteAll(link->fd, iov, 2, DeadlineIn(timeoutMs), true);
}

int Receive(void* h, const std::uint8_t** frame, int timeoutMs) {
    auto* link = static_cast<TcpLink*>(h);
    if (link->broken) return -PMXE_PROTOCOL;
    auto deadline = DeadlineIn(timeoutMs);
    for (;;) {
        std::size_t have = link->end - link->start;
        const std::uint8_t* at = link->buffer.data() + link->start;
        if (have >= kHeaderSize) {
            auto size = FrameSize({at, kHeaderSize});
            if (!size) {
                link->broken = true;  // a stream cannot find the next frame again
                return -PMXE_PROTOCOL;
            }
            if (have >= *size) {
                link->start += *size;
                *frame = at;  // stays put until the next call compacts the buffer
                return static_cast<int>(*size);
            }
        }
        // Need more bytes: make room at the end of the buffer first.
        if (link->start > 0 && link->buffer.size() - link->end < kMaxFrame) {
            std::memmove(link->buffer.data(), at, have);
            link->start = 0;
            link->end = have;
        }
        ssize_t n =
            ::recv(link->fd, link->buffer.data() + link->end, link->buffer.size() - link->end, 0);
        if (n > 0) {
            link->end += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) return -PMXE_CLOSED;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return ErrnoToResult(errno);
        int w = WaitFd(link->fd, POLLIN, deadline);
        if (w == 0) return 0;
        if (w < 0) return -PMXE_IO;
    }
}

void Close(void* h) {
    delete static_cast<PluginObject*>(h);
}

void* Listen(const PmxListenParams* p, char* info, std::uint32_t infoSize, int* error) {
    addrinfo* res = Resolve(p->address, p->port, SOCK_STREAM, true);
    if (!res) {
        *error = PMXE_OPEN;
        return nullptr;
    }
    int fd =
        ::socket(res->ai_family, res->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, res->ai_protocol);
    int one = 1;
    if (fd >= 0) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (fd < 0 || ::bind(fd, res->ai_addr, res->ai_addrlen) < 0 || ::listen(fd, 64) < 0) {
        if (fd >= 0) ::close(fd);
        ::freeaddrinfo(res);
        *error = PMXE_OPEN;
        return nullptr;
    }
    ::freeaddrinfo(res);
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
    int port = ss.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port)
                                        : ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
    if (info && infoSize) std::snprintf(info, infoSize, "%d", port);
    return new TcpListener(fd);
}

void* Accept(void* h, int timeoutMs, int* error) {
    auto* l = static_cast<TcpListener*>(h);
    if (WaitFd(l->fd, POLLIN, DeadlineIn(timeoutMs)) <= 0) return nullptr;
    int fd = ::accept4(l->fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return nullptr;
    SetNoDelay(fd);
    return new TcpLink(fd);
}

const PmxPluginTable kTable = {
    PMX_PLUGIN_ABI, PMX_PLUGIN_RELIABLE, kMaxFrame, 65472, Open, Send, Receive, Close, Listen,
    Accept};

}  // namespace

const PmxPluginTable* TcpPlugin() {
    return &kTable;
}

}  // namespace pmx

// "tcpwire.dll": frames over one TCP connection. The stream is reliable and
// ordered, so the core never retransmits on it; the frame header's payload
// length tells the receiver where each frame ends.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/frame.h"
#include "core/io.h"
#include "core/net.h"
#include "core/plugin.h"
#include "plugins/object.h"
#include "portmux_errors.h"

namespace pmx {

namespace {

struct TcpLink : PluginObject {
    explicit TcpLink(net::Socket f) : fd(f), buffer(kMaxFrame + 65536) {}
    ~TcpLink() override { net::Close(fd); }
    net::Socket fd;
    std::vector<std::uint8_t> buffer;  // bytes received but not yet handed out
    std::size_t start = 0, end = 0;
    bool broken = false;  // the stream lost its frame boundaries
};

struct TcpListener : PluginObject {
    explicit TcpListener(net::Socket f) : fd(f) {}
    ~TcpListener() override { net::Close(fd); }
    net::Socket fd;
};

void* Open(const PmxOpenParams* p, int* error) {
    addrinfo* res = net::Resolve(p->address, p->port, SOCK_STREAM, false);
    if (!res) {
        *error = PMXE_OPEN;
        return nullptr;
    }
    auto deadline = DeadlineIn(p->timeoutMs);
    int result = PMXE_OPEN;
    for (addrinfo* ai = res; ai; ai = ai->ai_next) {
        net::Socket fd = net::Open(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (fd == net::kNoSocket) continue;
        int r = net::StartConnect(fd, ai->ai_addr, static_cast<net::AddrLength>(ai->ai_addrlen));
        if (r == 0) {
            int w = net::Wait(fd, true, deadline);
            if (w > 0 && net::ConnectSucceeded(fd)) {
                r = 1;
            } else if (w == 0) {
                result = PMXE_TIMEOUT;
            }
        }
        if (r == 1) {
            net::FreeAddresses(res);
            net::SetNoDelay(fd);
            return new TcpLink(fd);
        }
        net::Close(fd);
    }
    net::FreeAddresses(res);
    *error = result;
    return nullptr;
}

int Send(void* h, const std::uint8_t* head, std::uint32_t headLength, const std::uint8_t* body,
         std::uint32_t bodyLength, int timeoutMs) {
    auto* link = static_cast<TcpLink*>(h);
    net::Piece pieces[2] = {{head, headLength}, {body, bodyLength}};
    return net::SendAll(link->fd, pieces, 2, DeadlineIn(timeoutMs));
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
        long n = net::Receive(link->fd, link->buffer.data() + link->end,
                              link->buffer.size() - link->end);
        if (n > 0) {
            link->end += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) return -PMXE_CLOSED;
        net::Failure f = net::LastFailure();
        if (f == net::Failure::Interrupted) continue;
        if (f != net::Failure::WouldBlock) return net::FailureResult(f);
        int w = net::Wait(link->fd, false, deadline);
        if (w == 0) return 0;
        if (w < 0) return -PMXE_IO;
    }
}

void Close(void* h) {
    delete static_cast<PluginObject*>(h);
}

void* Listen(const PmxListenParams* p, char* info, std::uint32_t infoSize, int* error) {
    addrinfo* res = net::Resolve(p->address, p->port, SOCK_STREAM, true);
    if (!res) {
        *error = PMXE_OPEN;
        return nullptr;
    }
    net::Socket fd = net::Open(res->ai_family, res->ai_socktype, res->ai_protocol);
    if (fd == net::kNoSocket ||
        !net::BindListen(fd, res->ai_addr, static_cast<net::AddrLength>(res->ai_addrlen), true)) {
        const int why = errno;  // kept for the caller's message
        net::Close(fd);
        net::FreeAddresses(res);
        errno = why;
        *error = PMXE_OPEN;
        return nullptr;
    }
    net::FreeAddresses(res);
    if (info && infoSize) std::snprintf(info, infoSize, "%d", net::BoundPort(fd));
    return new TcpListener(fd);
}

void* Accept(void* h, int timeoutMs, int* error) {
    auto* l = static_cast<TcpListener*>(h);
    if (net::Wait(l->fd, false, DeadlineIn(timeoutMs)) <= 0) return nullptr;
    net::Socket fd = net::Accept(l->fd);
    if (fd == net::kNoSocket) return nullptr;
    net::SetNoDelay(fd);
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

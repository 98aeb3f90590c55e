#include "core/net.h"

#if !defined(_WIN32)
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <cstdio>

#include "portmux_errors.h"

namespace pmx::net {

int FailureResult(Failure f) {
    switch (f) {
        case Failure::Closed:
        case Failure::Refused:
            return -PMXE_CLOSED;
        case Failure::NoMemory:
            return -PMXE_NO_MEMORY;
        default:
            return -PMXE_IO;
    }
}

#if defined(_WIN32)
namespace {

// Winsock is started once for the life of the process, at the first socket.
bool Started() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace

Failure LastFailure() {
    switch (::WSAGetLastError()) {
        case WSAEWOULDBLOCK:
        case WSAEINPROGRESS:
            return Failure::WouldBlock;
        case WSAENOBUFS:
            return Failure::NoMemory;
        case WSAEINTR:
            return Failure::Interrupted;
        case WSAECONNREFUSED:
            return Failure::Refused;
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAENETRESET:
        case WSAENOTCONN:
        case WSAESHUTDOWN:
            return Failure::Closed;
        default:
            return Failure::Other;
    }
}

Socket Open(int family, int socktype, int protocol) {
    if (!Started()) return kNoSocket;
    SOCKET s = ::WSASocketW(family, socktype, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) return kNoSocket;
    u_long on = 1;
    if (::ioctlsocket(s, FIONBIO, &on) != 0) {
        ::closesocket(s);
        return kNoSocket;
    }
    return static_cast<Socket>(s);
}

void Close(Socket s) {
    if (s != kNoSocket) ::closesocket(static_cast<SOCKET>(s));
}

int StartConnect(Socket s, const sockaddr* address, AddrLength length) {
    if (::connect(static_cast<SOCKET>(s), address, length) == 0) return 1;
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

Socket Accept(Socket listener) {
    SOCKET s = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) return kNoSocket;
    u_long on = 1;
    ::ioctlsocket(s, FIONBIO, &on);
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return static_cast<Socket>(s);
}

int Wait(Socket s, bool forWrite, Clock::time_point deadline) {
    for (;;) {
        WSAPOLLFD p{};
        p.fd = static_cast<SOCKET>(s);
        p.events = forWrite ? POLLWRNORM : POLLRDNORM;
        int r = ::WSAPoll(&p, 1, MsUntil(deadline));
        if (r > 0) return 1;
        if (r < 0) return -1;
        if (Clock::now() >= deadline) return 0;
    }
}

long Send(Socket s, const Piece* pieces, int count, const sockaddr* to, AddrLength toLength) {
    WSABUF bufs[4];
    if (count > 4) return -1;
    for (int i = 0; i < count; ++i) {
        bufs[i].buf = reinterpret_cast<char*>(const_cast<std::uint8_t*>(pieces[i].data));
        bufs[i].len = static_cast<ULONG>(pieces[i].length);
    }
    DWORD sent = 0;
    int r = to ? ::WSASendTo(static_cast<SOCKET>(s), bufs, static_cast<DWORD>(count), &sent, 0, to,
                             toLength, nullptr, nullptr)
               : ::WSASend(static_cast<SOCKET>(s), bufs, static_cast<DWORD>(count), &sent, 0,
                           nullptr, nullptr);
    return r == 0 ? static_cast<long>(sent) : -1;
}

long Receive(Socket s, std::uint8_t* buf, std::size_t length) {
    return ::recv(static_cast<SOCKET>(s), reinterpret_cast<char*>(buf), static_cast<int>(length),
                  0);
}

long ReceiveDatagram(Socket s, std::uint8_t* buf, std::size_t length, sockaddr* from,
                     AddrLength* fromLength) {
    int n = from ? ::recvfrom(static_cast<SOCKET>(s), reinterpret_cast<char*>(buf),
                              static_cast<int>(length), 0, from, fromLength)
                 : ::recv(static_cast<SOCKET>(s), reinterpret_cast<char*>(buf),
                          static_cast<int>(length), 0);
    if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAEMSGSIZE)
        return static_cast<long>(length) + 1;
    return n;
}

#else

Failure LastFailure() {
    switch (errno) {
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case EINPROGRESS:
            return Failure::WouldBlock;
        case EINTR:
            return Failure::Interrupted;
        case ECONNREFUSED:
            return Failure::Refused;
        case EPIPE:
        case ECONNRESET:
        case ENOTCONN:
        case ESHUTDOWN:
        case EIO:
            return Failure::Closed;
        case ENOMEM:
        case ENOBUFS:
            return Failure::NoMemory;
        default:
            return Failure::Other;
    }
}

Socket Open(int family, int socktype, int protocol) {
    int s = ::socket(family, socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    return s < 0 ? kNoSocket : s;
}

void Close(Socket s) {
    if (s != kNoSocket) ::close(s);
}

int StartConnect(Socket s, const sockaddr* address, AddrLength length) {
    if (::connect(s, address, length) == 0) return 1;
    return errno == EINPROGRESS ? 0 : -1;
}

Socket Accept(Socket listener) {
    int s = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    return s < 0 ? kNoSocket : s;
}

int Wait(Socket s, bool forWrite, Clock::time_point deadline) {
    for (;;) {
        pollfd p{s, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
        int r = ::poll(&p, 1, MsUntil(deadline));
        if (r > 0) return 1;
        if (r == 0) {
            if (Clock::now() >= deadline) return 0;
            continue;
        }
        if (errno == EINTR) continue;
        return -1;
    }
}

long Send(Socket s, const Piece* pieces, int count, const sockaddr* to, AddrLength toLength) {
    iovec iov[4];
    if (count > 4) return -1;
    for (int i = 0; i < count; ++i)
        iov[i] = {const_cast<std::uint8_t*>(pieces[i].data), pieces[i].length};
    msghdr m{};
    m.msg_name = const_cast<sockaddr*>(to);
    m.msg_namelen = to ? toLength : 0;
    m.msg_iov = iov;
    m.msg_iovlen = static_cast<decltype(m.msg_iovlen)>(count);
    return ::sendmsg(s, &m, MSG_NOSIGNAL);
}

long Receive(Socket s, std::uint8_t* buf, std::size_t length) {
    return ::recv(s, buf, length, 0);
}

long ReceiveDatagram(Socket s, std::uint8_t* buf, std::size_t length, sockaddr* from,
                     AddrLength* fromLength) {
    // MSG_TRUNC: a datagram's real length, so an oversized one is noticed.
    ssize_t n = ::recvfrom(s, buf, length, MSG_TRUNC, from, fromLength);
    if (n > static_cast<ssize_t>(length)) return static_cast<long>(length) + 1;
    return n;
}

#endif

addrinfo* Resolve(const char* address, int port, int socktype, bool passive) {
    if (port < 0 || port > 65535) return nullptr;
#if defined(_WIN32)
    if (!Started()) return nullptr;
#endif
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

void FreeAddresses(addrinfo* list) {
    if (list) ::freeaddrinfo(list);
}

bool ConnectSucceeded(Socket s) {
    int soerr = 0;
    AddrLength len = sizeof soerr;
    return ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soerr), &len) == 0 &&
           soerr == 0;
}

bool BindListen(Socket s, const sockaddr* address, AddrLength length, bool stream) {
    int one = 1;
#if !defined(_WIN32)
    // Windows' SO_REUSEADDR would let another program take the same port.
    if (stream) ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
#endif
    (void)one;
    return ::bind(s, address, length) == 0 && (!stream || ::listen(s, 64) == 0);
}

int BoundPort(Socket s) {
    sockaddr_storage ss{};
    AddrLength len = sizeof ss;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&ss), &len) != 0) return -1;
    return ss.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port)
                                    : ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
}

void SetNoDelay(Socket s) {
    int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

void SetBuffers(Socket s, int bytes) {
    ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    ::setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

int SendAll(Socket s, Piece* pieces, int count, Clock::time_point deadline) {
    while (count > 0) {
        if (pieces->length == 0) {
            ++pieces;
            --count;
            continue;
        }
        long n = Send(s, pieces, count, nullptr, 0);
        if (n < 0) {
            Failure f = LastFailure();
            if (f == Failure::Interrupted) continue;
            if (f == Failure::WouldBlock) {
                int w = Wait(s, true, deadline);
                if (w == 0) return -PMXE_TIMEOUT;
                if (w < 0) return -PMXE_IO;
                continue;
            }
            return FailureResult(f);
        }
        auto left = static_cast<std::size_t>(n);
        while (count > 0 && left >= pieces->length) {
            left -= pieces->length;
            ++pieces;
            --count;
        }
        if (count > 0) {
            pieces->data += left;
            pieces->length -= left;
        }
    }
    return 0;
}

}  // namespace pmx::net

// Arbitrary bytes arriving on the TCP and serial plug-ins' receive paths: the
// first input byte picks the link, the rest is what the peer sends.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/frame.h"
#include "core/plugin.h"

namespace {

void Drain(const PmxPluginTable* t, void* link) {
    for (int i = 0; i < 10000; ++i) {
        const std::uint8_t* frame = nullptr;
        int n = t->receive(link, &frame, 0);
        if (n <= 0) return;
        (void)pmx::DecodeFrame({frame, static_cast<std::size_t>(n)});
    }
}

void OverTcp(const std::uint8_t* data, std::size_t size) {
    static int port = -1;
    static void* listener = nullptr;
    const PmxPluginTable* t = pmx::TcpPlugin();
    if (!listener) {
        PmxListenParams p{"127.0.0.1", 0};
        char info[32] = {};
        int err = 0;
        listener = t->listen(&p, info, sizeof info, &err);
        if (!listener) std::abort();
        port = std::atoi(info);
    }
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) std::abort();
    int err = 0;
    void* link = t->accept(listener, 1000, &err);
    if (!link) std::abort();
    std::size_t off = 0;
    while (off < size) {
        ssize_t n = ::send(fd, data + off, size - off, MSG_NOSIGNAL);
        if (n <= 0) break;
        off += static_cast<std::size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
    Drain(t, link);
    t->close(link);
    ::close(fd);
}

void OverSerial(const std::uint8_t* data, std::size_t size) {
    static void* listener = nullptr;
    static void* link = nullptr;
    static int peer = -1;
    const PmxPluginTable* t = pmx::SerialPlugin();
    if (!listener) {
        PmxListenParams p{"", 0};
        char path[256] = {};
        int err = 0;
        listener = t->listen(&p, path, sizeof path, &err);
        if (!listener) std::abort();
        link = t->accept(listener, 0, &err);
        peer = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (!link || peer < 0) std::abort();
    }
    std::size_t off = 0;
    while (off < size) {
        ssize_t n = ::write(peer, data + off, size - off);
        if (n <= 0) {
            Drain(t, link);  // make room in the tty buffer
            continue;
        }
        off += static_cast<std::size_t>(n);
    }
    Drain(t, link);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1)
        OverSerial(data + 1, size - 1);
    else
        OverTcp(data + 1, size - 1);
    return 0;
}

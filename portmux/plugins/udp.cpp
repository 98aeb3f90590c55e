// "netwire.dll": one frame per UDP datagram. Datagrams may be lost,
// duplicated or reordered; the core retransmits and the server's reply cache
// keeps a repeated request from running twice.
//
// The server side shares one socket between all peers: whichever thread is
// waiting reads the socket and files each datagram under its sender, so every
// peer looks like a link of its own.
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/frame.h"
#include "core/io.h"
#include "core/net.h"
#include "core/plugin.h"
#include "plugins/object.h"
#include "portmux_errors.h"

namespace pmx {
namespace {

constexpr std::uint32_t kMaxDatagram = 65507;
constexpr std::size_t kPeerQueueLimit = 512;   // datagrams waiting per peer
constexpr std::size_t kPendingPeerLimit = 64;  // peers not yet accepted

void GrowBuffers(net::Socket fd) {
    net::SetBuffers(fd, 4 << 20);  // best effort; the kernel caps it
}

struct UdpLink : PluginObject {
    explicit UdpLink(net::Socket f) : fd(f), buffer(kMaxDatagram + 1) {}
    ~UdpLink() override { net::Close(fd); }
    net::Socket fd;
    std::vector<std::uint8_t> buffer;  // the last datagram received
};

void* Open(const PmxOpenParams* p, int* error) {
    addrinfo* res = net::Resolve(p->address, p->port, SOCK_DGRAM, false);
    if (!res) {
        *error = PMXE_OPEN;
        return nullptr;
    }
    for (addrinfo* ai = res; ai; ai = ai->ai_next) {
        net::Socket fd = net::Open(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (fd == net::kNoSocket) continue;
        if (net::StartConnect(fd, ai->ai_addr, static_cast<net::AddrLength>(ai->ai_addrlen)) == 1) {
            net::FreeAddresses(res);
            GrowBuffers(fd);
            return new UdpLink(fd);
        }
        net::Close(fd);
    }
    net::FreeAddresses(res);
    *error = PMXE_OPEN;
    return nullptr;
}

int SendTo(net::Socket fd, const sockaddr* to, net::AddrLength toLength, const std::uint8_t* head,
           std::uint32_t headLength, const std::uint8_t* body, std::uint32_t bodyLength,
           int timeoutMs) {
    if (static_cast<std::uint64_t>(headLength) + bodyLength > kMaxDatagram) return -PMXE_IO;
    const net::Piece pieces[2] = {{head, headLength}, {body, bodyLength}};
    auto deadline = DeadlineIn(timeoutMs);
    for (;;) {
        if (net::Send(fd, pieces, 2, to, toLength) >= 0) return 0;
        net::Failure f = net::LastFailure();
        if (f == net::Failure::Interrupted) continue;
        if (f == net::Failure::WouldBlock || f == net::Failure::NoMemory) {
            int w = net::Wait(fd, true, deadline);
            if (w == 0) return -PMXE_TIMEOUT;
            if (w < 0) return -PMXE_IO;
            continue;
        }
        // A refused port (ICMP) or similar: the datagram is lost, as any
        // datagram may be; the core's retransmission and timeout handle it.
        return 0;
    }
}

// ---- server side -------------------------------------------------------

struct PeerLink;

struct Hub {
    explicit Hub(net::Socket f) : fd(f) {}
    ~Hub() { net::Close(fd); }
    net::Socket fd;
    std::mutex m;
    std::condition_variable cv;
    bool reading = false;  // one thread at a time reads the socket
    std::map<std::string, PeerLink*> peers;
    std::deque<PeerLink*> pending;  // peers not yet accepted
};

struct PeerLink : PluginObject {
    PeerLink(std::shared_ptr<Hub> h, const sockaddr_storage& a, net::AddrLength l, std::string k)
        : hub(std::move(h)), addr(a), length(l), key(std::move(k)) {}
    ~PeerLink() override {
        std::lock_guard<std::mutex> lock(hub->m);
        auto it = hub->peers.find(key);
        if (it != hub->peers.end() && it->second == this) hub->peers.erase(it);
        hub->pending.erase(std::remove(hub->pending.begin(), hub->pending.end(), this),
                           hub->pending.end());
    }
    std::shared_ptr<Hub> hub;
    sockaddr_storage addr;
    net::AddrLength length;
    std::string key;
    std::deque<std::vector<std::uint8_t>> queue;  // guarded by hub->m
    std::vector<std::uint8_t> current;            // the datagram last handed out
};

struct UdpListener : PluginObject {
    explicit UdpListener(std::shared_ptr<Hub> h) : hub(std::move(h)) {}
    ~UdpListener() override {
        std::deque<PeerLink*> left;
        {
            std::lock_guard<std::mutex> lock(hub->m);
            left.swap(hub->pending);
        }
        for (PeerLink* p : left) delete p;
    }
    std::shared_ptr<Hub> hub;
};

// Reads what the socket holds (waiting at most until `deadline`, in short
// slices) and files each datagram under its sender. Called with the lock
// held; releases it while reading.
void Pump(const std::shared_ptr<Hub>& hub, std::unique_lock<std::mutex>& lock,
          Clock::time_point deadline) {
    hub->reading = true;
    lock.unlock();
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> got;
    auto slice = std::min(deadline, Clock::now() + std::chrono::milliseconds(50));
    if (net::Wait(hub->fd, false, slice) > 0) {
        static thread_local std::vector<std::uint8_t> buffer(kMaxDatagram + 1);
        for (int i = 0; i < 64; ++i) {
            sockaddr_storage from{};
            net::AddrLength fromLength = sizeof from;
            long n = net::ReceiveDatagram(hub->fd, buffer.data(), buffer.size(),
                                          reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n < 0) break;
            if (n == 0 || static_cast<std::size_t>(n) > kMaxDatagram) continue;
            std::string key(reinterpret_cast<const char*>(&from), fromLength);
            got.emplace_back(std::move(key),
                             std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n));
        }
    }
    lock.lock();
    hub->reading = false;
    for (auto& [key, bytes] : got) {
        auto it = hub->peers.find(key);
        PeerLink* peer = nullptr;
        if (it != hub->peers.end()) {
            peer = it->second;
        } else if (hub->pending.size() < kPendingPeerLimit) {
            sockaddr_storage addr{};
            std::memcpy(&addr, key.data(), std::min(key.size(), sizeof addr));
            peer = new PeerLink(hub, addr, static_cast<net::AddrLength>(key.size()), key);
            hub->peers[key] = peer;
            hub->pending.push_back(peer);
        }
        if (peer && peer->queue.size() < kPeerQueueLimit) peer->queue.push_back(std::move(bytes));
    }
    hub->cv.notify_all();
}

template <class Ready>
bool WaitUntilReady(const std::shared_ptr<Hub>& hub, std::unique_lock<std::mutex>& lock,
                    Clock::time_point deadline, Ready ready) {
    while (!ready()) {
        if (Clock::now() >= deadline) return false;
        if (!hub->reading)
            Pump(hub, lock, deadline);
        else
            hub->cv.wait_until(lock, deadline);
    }
    return true;
}

int Send(void* h, const std::uint8_t* head, std::uint32_t headLength, const std::uint8_t* body,
         std::uint32_t bodyLength, int timeoutMs) {
    auto* obj = static_cast<PluginObject*>(h);
    if (auto* link = dynamic_cast<UdpLink*>(obj))
        return SendTo(link->fd, nullptr, 0, head, headLength, body, bodyLength, timeoutMs);
    auto* peer = dynamic_cast<PeerLink*>(obj);
    if (!peer) return -PMXE_BAD_HANDLE;
    return SendTo(peer->hub->fd, reinterpret_cast<const sockaddr*>(&peer->addr), peer->length, head,
                  headLength, body, bodyLength, timeoutMs);
}

int Receive(void* h, const std::uint8_t** frame, int timeoutMs) {
    auto* obj = static_cast<PluginObject*>(h);
    auto deadline = DeadlineIn(timeoutMs);
    if (auto* link = dynamic_cast<UdpLink*>(obj)) {
        for (;;) {
            long n = net::ReceiveDatagram(link->fd, link->buffer.data(), link->buffer.size());
            if (n > 0 && static_cast<std::size_t>(n) <= kMaxDatagram) {
                *frame = link->buffer.data();
                return static_cast<int>(n);
            }
            if (n >= 0) continue;  // empty or oversized: dropped
            net::Failure f = net::LastFailure();
            if (f == net::Failure::Interrupted) continue;
            if (f != net::Failure::WouldBlock) {
                // ICMP errors (port unreachable; a "reset" on Windows) surface
                // here; a datagram link treats them as silence and lets the
                // timeout decide.
                if (f == net::Failure::Refused || f == net::Failure::Closed) continue;
                return -PMXE_IO;
            }
            int w = net::Wait(link->fd, false, deadline);
            if (w == 0) return 0;
            if (w < 0) return -PMXE_IO;
        }
    }
    auto* peer = dynamic_cast<PeerLink*>(obj);
    if (!peer) return -PMXE_BAD_HANDLE;
    std::unique_lock<std::mutex> lock(peer->hub->m);
    for (;;) {
        if (!WaitUntilReady(peer->hub, lock, deadline, [&] { return !peer->queue.empty(); }))
            return 0;
        peer->current = std::move(peer->queue.front());
        peer->queue.pop_front();
        *frame = peer->current.data();
        return static_cast<int>(peer->current.size());
    }
}

void Close(void* h) {
    delete static_cast<PluginObject*>(h);
}

void* Listen(const PmxListenParams* p, char* info, std::uint32_t infoSize, int* error) {
    addrinfo* res = net::Resolve(p->address, p->port, SOCK_DGRAM, true);
    if (!res) {
        *error = PMXE_OPEN;
        return nullptr;
    }
    net::Socket fd = net::Open(res->ai_family, res->ai_socktype, res->ai_protocol);
    if (fd == net::kNoSocket ||
        !net::BindListen(fd, res->ai_addr, static_cast<net::AddrLength>(res->ai_addrlen), false)) {
        const int why = errno;  // kept for the caller's message
        net::Close(fd);
        net::FreeAddresses(res);
        errno = why;
        *error = PMXE_OPEN;
        return nullptr;
    }
    net::FreeAddresses(res);
    GrowBuffers(fd);
    if (info && infoSize) std::snprintf(info, infoSize, "%d", net::BoundPort(fd));
    return new UdpListener(std::make_shared<Hub>(fd));
}

void* Accept(void* h, int timeoutMs, int* error) {
    auto* l = dynamic_cast<UdpListener*>(static_cast<PluginObject*>(h));
    if (!l) return nullptr;
    std::unique_lock<std::mutex> lock(l->hub->m);
    if (!WaitUntilReady(l->hub, lock, DeadlineIn(timeoutMs),
                        [&] { return !l->hub->pending.empty(); }))
        return nullptr;
    PeerLink* peer = l->hub->pending.front();
    l->hub->pending.pop_front();
    return peer;
}

const PmxPluginTable kTable = {
    PMX_PLUGIN_ABI, PMX_PLUGIN_DATAGRAM, kMaxDatagram, 16384, Open, Send, Receive, Close, Listen,
    Accept};

}  // namespace

const PmxPluginTable* UdpPlugin() {
    return &kTable;
}

}  // namespace pmx

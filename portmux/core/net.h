// The socket calls the network plug-ins make, the same on every platform:
// Berkeley sockets on POSIX systems, Winsock on Windows. Sockets are always
// non-blocking and not inherited by child processes; waiting is done with
// Wait() against a deadline.
#pragma once

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstddef>
#include <cstdint>

#include "core/io.h"

namespace pmx::net {

#if defined(_WIN32)
using Socket = std::uintptr_t;  // SOCKET
using AddrLength = int;
#else
using Socket = int;
using AddrLength = unsigned int;  // socklen_t
#endif
constexpr Socket kNoSocket = static_cast<Socket>(-1);

// What a failed call means to a plug-in.
enum class Failure {
    WouldBlock,   // nothing to do now: wait and try again
    Interrupted,  // try again at once
    Refused,      // a datagram bounced (ICMP port unreachable)
    Closed,       // the peer closed or reset the connection
    NoMemory,
    Other,
};
// The failure of the last socket call on this thread.
Failure LastFailure();
// The same as a negated PMXE_ code.
int FailureResult(Failure f);

// getaddrinfo for a numeric port (null address: loopback for clients, any
// for listeners); null on failure. Free with FreeAddresses.
addrinfo* Resolve(const char* address, int port, int socktype, bool passive);
void FreeAddresses(addrinfo* list);

Socket Open(int family, int socktype, int protocol);  // kNoSocket on failure
void Close(Socket s);

// Starts a connect: 1 connected, 0 in progress (wait for writing, then
// ConnectSucceeded), -1 failed.
int StartConnect(Socket s, const sockaddr* address, AddrLength length);
bool ConnectSucceeded(Socket s);

bool BindListen(Socket s, const sockaddr* address, AddrLength length, bool stream);
int BoundPort(Socket s);         // -1 when unknown
Socket Accept(Socket listener);  // kNoSocket when none is waiting

void SetNoDelay(Socket s);
void SetBuffers(Socket s, int bytes);  // best effort

// 1 ready (or an error pending that the next call reports), 0 deadline
// passed, -1 waiting failed.
int Wait(Socket s, bool forWrite, Clock::time_point deadline);

// One piece of an outgoing message.
struct Piece {
    const std::uint8_t* data;
    std::size_t length;
};
// Sends the pieces as one message (to `to` when given). Bytes sent, or -1.
long Send(Socket s, const Piece* pieces, int count, const sockaddr* to, AddrLength toLength);
// Receives stream bytes into buf: bytes received (0: the stream ended), or -1.
long Receive(Socket s, std::uint8_t* buf, std::size_t length);
// Receives one datagram into buf: its length, or -1. One longer than
// `length` is cut and reported as length + 1.
long ReceiveDatagram(Socket s, std::uint8_t* buf, std::size_t length, sockaddr* from = nullptr,
                     AddrLength* fromLength = nullptr);

// Sends every byte of the pieces on a stream socket before `deadline`:
// 0, or -PMXE_TIMEOUT / -PMXE_CLOSED / -PMXE_IO.
int SendAll(Socket s, Piece* pieces, int count, Clock::time_point deadline);

}  // namespace pmx::net

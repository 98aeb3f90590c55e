// Deadlines for every platform, and small POSIX helpers for the serial
// plug-in: polling and whole writes that never block past a deadline.
// (Sockets go through core/net.h.)
#pragma once

#if !defined(_WIN32)
#include <sys/uio.h>
#endif

#include <chrono>
#include <cstddef>

namespace pmx {

using Clock = std::chrono::steady_clock;

inline Clock::time_point DeadlineIn(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
}
// Milliseconds left until `deadline`, rounded up, never negative.
int MsUntil(Clock::time_point deadline);

#if !defined(_WIN32)
// Waits for `events` on `fd` until `deadline`: 1 ready (or error/hangup
// pending, which the next read/write reports), 0 deadline passed, -1 poll
// failed.
int WaitFd(int fd, short events, Clock::time_point deadline);

// Writes every byte of `iov` to a non-blocking descriptor (send() with
// MSG_NOSIGNAL on sockets). 0, or -PMXE_TIMEOUT / -PMXE_CLOSED / -PMXE_IO.
int WriteAll(int fd, struct iovec* iov, int count, Clock::time_point deadline, bool socket);

// Maps errno of a failed read/write to a negated PMXE_ code.
int ErrnoToResult(int err);

// Sets O_NONBLOCK and FD_CLOEXEC.
bool MakeNonBlocking(int fd);
#endif

}  // namespace pmx

#include "core/io.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "portmux_errors.h"

namespace pmx {

int MsUntil(Clock::time_point deadline) {
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
    return static_cast<int>(ms) + 1;
}

#if !defined(_WIN32)
int WaitFd(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
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

int ErrnoToResult(int err) {
    switch (err) {
        case EPIPE:
        case ECONNRESET:
        case ENOTCONN:
        case ESHUTDOWN:
        case EIO:
            return -PMXE_CLOSED;
        case ENOMEM:
        case ENOBUFS:
            return -PMXE_NO_MEMORY;
        default:
            return -PMXE_IO;
    }
}

int WriteAll(int fd, struct iovec* iov, int count, Clock::time_point deadline, bool socket) {
    while (count > 0) {
        if (iov->iov_len == 0) {
            ++iov;
            --count;
            continue;
        }
        ssize_t n;
        if (socket) {
            msghdr m{};
            m.msg_iov = iov;
            m.msg_iovlen = static_cast<decltype(m.msg_iovlen)>(count);
            n = ::sendmsg(fd, &m, MSG_NOSIGNAL);
        } else {
            n = ::writev(fd, iov, count);
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                int w = WaitFd(fd, POLLOUT, deadline);
                if (w == 0) return -PMXE_TIMEOUT;
                if (w < 0) return -PMXE_IO;
                continue;
            }
            return ErrnoToResult(errno);
        }
        auto left = static_cast<std::size_t>(n);
        while (count > 0 && left >= iov->iov_len) {
            left -= iov->iov_len;
            ++iov;
            --count;
        }
        if (count > 0) {
            iov->iov_base = static_cast<char*>(iov->iov_base) + left;
            iov->iov_len -= left;
        }
    }
    return 0;
}

bool MakeNonBlocking(int fd) {
    int fl = ::fcntl(fd, F_GETFL);
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl | O_NONBLOCK) < 0) return false;
    int fd_fl = ::fcntl(fd, F_GETFD);
    return fd_fl >= 0 && ::fcntl(fd, F_SETFD, fd_fl | FD_CLOEXEC) >= 0;
}
#endif

}  // namespace pmx

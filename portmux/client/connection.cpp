#include "client/connection.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/bytes.h"
#include "core/keyproof.h"
#include "portmux_errors.h"

namespace pmx {
namespace {

using std::chrono::milliseconds;

constexpr auto kMinRto = milliseconds(10);
constexpr auto kMaxRto = milliseconds(1000);

bool ValidError(std::uint32_t code) {
    return code >= 1 && code <= PMXE_REFUSED_DATA;
}

}  // namespace

Connection::Connection(const PmxPluginTable* plugin, void* link, int defaultTimeout,
                       std::uint32_t lineRate)
    : plugin_(plugin),
      link_(link),
      reliable_((plugin->flags & PMX_PLUGIN_RELIABLE) != 0),
      lineRate_(lineRate),
      defaultTimeout_(defaultTimeout),
      linkPayload_(static_cast<std::uint32_t>(
          std::min<std::size_t>(kMaxPayload, plugin->maxFrame - kHeaderSize))) {}

Connection::~Connection() {
    if (session_ != 0) {
        int ignored = 0;
        sendDeadline_ = DeadlineIn(100);
        Send(FrameType::Bye, seq_, 0, 0, {}, &ignored);  // best effort, nobody waits
    }
    plugin_->close(link_);
}

Connection* Connection::Open(const PmxPluginTable* plugin, const ConnectParams& params,
                             int* error) {
    // Opening the link and the handshake share one connect timeout.
    const auto deadline = DeadlineIn(params.timeoutMs);
    int err = PMXE_OPEN;
    void* link = plugin->open(&params.open, &err);
    if (!link) {
        *error = err ? err : PMXE_OPEN;
        return nullptr;
    }
    const bool line = (plugin->flags & (PMX_PLUGIN_RELIABLE | PMX_PLUGIN_DATAGRAM)) == 0;
    const int baud = params.open.baud > 0 ? params.open.baud : 115200;
    auto* c = new (std::nothrow) Connection(plugin, link, params.timeoutMs,
                                            line ? static_cast<std::uint32_t>(baud / 10) : 0);
    if (!c) {
        plugin->close(link);
        *error = PMXE_NO_MEMORY;
        return nullptr;
    }
    ConnectParams rest = params;
    rest.timeoutMs = std::max(1, MsUntil(deadline));
    const bool late = Clock::now() >= deadline;
    if (late) *error = PMXE_TIMEOUT;
    if (late || !c->Handshake(rest, error)) {
        c->session_ = 0;  // nothing to say goodbye to
        delete c;
        return nullptr;
    }
    return c;
}

std::uint32_t Connection::ClampChunk(std::uint32_t packet) const {
    if (packet == 0) packet = plugin_->chunk;
    return std::clamp<std::uint32_t>(packet, 64, linkPayload_);
}

std::size_t Connection::Window(std::uint32_t chunk) const {
    // Reliable streams: keep a few MiB in flight. Lossy links: stay well
    // inside what a default socket or tty buffer holds, so a burst is not
    // itself the cause of loss.
    std::size_t budget = reliable_ ? (4u << 20) : (256u << 10);
    std::size_t limit = reliable_ ? 64 : lineRate_ ? 2 : 16;
    return std::clamp<std::size_t>(budget / chunk, 1, limit);
}

void Connection::NoteRtt(Clock::duration sample) {
    double ms = std::chrono::duration<double, std::milli>(sample).count();
    srttMs_ = srttMs_ < 0 ? ms : 0.875 * srttMs_ + 0.125 * ms;
    auto rto = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(3 * srttMs_ + 2));
    rto_ = std::clamp<Clock::duration>(rto, kMinRto, kMaxRto);
}

bool Connection::Send(FrameType type, std::uint32_t seq, std::uint32_t code, std::uint32_t arg,
                      std::span<const std::uint8_t> payload, int* error) {
    FrameHeader h;
    h.type = type;
    h.session = session_;
    h.seq = seq;
    h.code = code;
    h.arg = arg;
    std::uint8_t head[kHeaderSize];
    EncodeHeader(h, payload, head);
    // A send never blocks past the deadline of the transfer it belongs to.
    int r = plugin_->send(link_, head, kHeaderSize, payload.data(),
                          static_cast<std::uint32_t>(payload.size()),
                          std::max(1, MsUntil(sendDeadline_)));
    if (r < 0) {
        *error = -r;
        return false;
    }
    return true;
}

int Connection::Receive(Clock::time_point deadline, bool anySession, Frame& frame, int* error) {
    for (;;) {
        const std::uint8_t* bytes = nullptr;
        int n = plugin_->receive(link_, &bytes, MsUntil(deadline));
        if (n < 0) {
            *error = -n;
            return -1;
        }
        if (n == 0) return 0;
        auto f = DecodeFrame({bytes, static_cast<std::size_t>(n)});
        if (f && (anySession || f->header.session == session_)) {
            frame = *f;
            return 1;
        }
        if (Clock::now() >= deadline) return 0;  // corrupt or foreign frames only
    }
}

bool Connection::Transfer(std::size_t n, std::size_t window,
                          const std::function<bool(std::size_t, int*)>& send,
                          const std::function<long(const Frame&)>& match, int timeoutMs,
                          bool anySession, std::uint32_t frameBytes, int* error) {
    if (timeoutMs <= 0) timeoutMs = defaultTimeout_;
    const auto timeout = milliseconds(timeoutMs);
    std::vector<char> done(n, 0), resent(n, 0);
    std::vector<Clock::time_point> sentAt(n);
    std::size_t next = 0, base = 0, count = 0;
    auto lastProgress = Clock::now();
    // On a line, a request is not late before a window of frames (stuffing
    // adds a little) could have crossed it at the line's speed.
    Clock::duration floor = kMinRto;
    if (lineRate_ > 0) {
        double bytes = static_cast<double>(std::min(window, n)) * (frameBytes * 1.05 + 96);
        floor = std::max<Clock::duration>(kMinRto,
                                          std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(bytes / lineRate_)) +
                                              milliseconds(50));
    }
    const Clock::duration ceiling = std::max<Clock::duration>(kMaxRto, 2 * floor);
    auto rto = std::max(rto_, floor);
    while (count < n) {
        sendDeadline_ = lastProgress + timeout;
        while (next < n && next < base + window) {
            if (!send(next, error)) return false;
            sentAt[next++] = Clock::now();
        }
        auto wake = lastProgress + timeout;
        if (!reliable_) {
            for (std::size_t i = base; i < next; ++i)
                if (!done[i]) wake = std::min(wake, sentAt[i] + rto);
        }
        Frame f;
        int r = Receive(wake, anySession, f, error);
        if (r < 0) return false;
        auto now = Clock::now();
        if (r > 0) {
            if (f.header.type == FrameType::Fail && f.header.seq == seq_ && !anySession) {
                *error =
                    ValidError(f.header.code) ? static_cast<int>(f.header.code) : PMXE_PROTOCOL;
                return false;
            }
            long i = match(f);
            if (i == -2) {
                *error = PMXE_PROTOCOL;
                return false;
            }
            if (i >= 0 && static_cast<std::size_t>(i) < next && !done[i]) {
                done[i] = 1;
                ++count;
                lastProgress = now;
                if (!resent[i]) NoteRtt(now - sentAt[i]);
                rto = std::max(rto_, floor);
                while (base < n && done[base]) ++base;
            }
        }
        if (now - lastProgress >= timeout) {
            *error = PMXE_TIMEOUT;
            return false;
        }
        if (!reliable_) {
            sendDeadline_ = lastProgress + timeout;
            bool backedOff = false;
            for (std::size_t i = base; i < next; ++i) {
                if (done[i] || now - sentAt[i] < rto) continue;
                if (!send(i, error)) return false;
                sentAt[i] = Clock::now();
                resent[i] = 1;
                if (!backedOff) {
                    rto = std::min<Clock::duration>(rto * 2, ceiling);
                    backedOff = true;
                }
            }
        }
    }
    return true;
}

bool Connection::Handshake(const ConnectParams& params, int* error) {
    std::uint8_t nonce[kNonceSize];
    if (!RandomBytes(nonce, sizeof nonce)) {
        *error = PMXE_NO_MEMORY;
        return false;
    }
    std::uint8_t challenge[kNonceSize] = {};
    std::uint32_t offered = 0;
    bool ok = Transfer(
        1, 1,
        [&](std::size_t, int* e) {
            return Send(FrameType::Hello, 0, 0, params.station, {nonce, sizeof nonce}, e);
        },
        [&](const Frame& f) -> long {
            if (f.header.type != FrameType::Challenge || f.header.session == 0 ||
                f.payload.size() != 2 * kNonceSize ||
                std::memcmp(f.payload.data() + kNonceSize, nonce, kNonceSize) != 0)
                return -1;
            std::memcpy(challenge, f.payload.data(), kNonceSize);
            offered = f.header.session;
            return 0;
        },
        params.timeoutMs, true, 64, error);
    if (!ok) return false;
    session_ = offered;
    Proof proof = KeyProof(params.key, {nonce, sizeof nonce}, {challenge, sizeof challenge},
                           session_, params.station);
    bool accepted = false;
    ok = Transfer(
        1, 1, [&](std::size_t, int* e) { return Send(FrameType::Auth, 0, 0, 0, proof, e); },
        [&](const Frame& f) -> long {
            if (f.header.type == FrameType::Welcome)
                accepted = true;
            else if (f.header.type != FrameType::Reject)
                return -1;
            return 0;
        },
        params.timeoutMs, false, 64, error);
    if (!ok) return false;
    if (!accepted) {
        *error = PMXE_AUTH;
        return false;
    }
    return true;
}

bool Connection::Exec(OpKind op, std::uint32_t code, std::span<const std::uint8_t> request,
                      std::span<const std::uint8_t> data, std::uint32_t packet, int timeoutMs,
                      Reply& reply, int* error) {
    const std::uint64_t total64 = static_cast<std::uint64_t>(request.size()) + data.size();
    if (total64 > kMaxUpload) {
        *error = PMXE_REFUSED_DATA;
        return false;
    }
    const auto total = static_cast<std::uint32_t>(total64);
    const std::uint32_t seq = ++seq_;
    const std::uint32_t chunk = ClampChunk(plugin_->chunk);
    const bool inlined = total + kExecParamsSize <= chunk;

    // Copies bytes [off, off + len) of request followed by data into `out`.
    auto gather = [&](std::uint32_t off, std::uint32_t len, std::uint8_t* out) {
        while (len > 0) {
            if (off < request.size()) {
                std::uint32_t n =
                    std::min<std::uint32_t>(len, static_cast<std::uint32_t>(request.size()) - off);
                std::memcpy(out, request.data() + off, n);
                out += n, off += n, len -= n;
            } else {
                std::uint32_t d = off - static_cast<std::uint32_t>(request.size());
                std::memcpy(out, data.data() + d, len);
                return;
            }
        }
    };

    if (!inlined && total > 0) {
        const std::size_t n = (total + chunk - 1) / chunk;
        bool ok = Transfer(
            n, Window(chunk),
            [&](std::size_t i, int* e) {
                auto off = static_cast<std::uint32_t>(i * chunk);
                std::uint32_t len = std::min(chunk, total - off);
                scratch_.resize(len);
                gather(off, len, scratch_.data());
                return Send(FrameType::Put, seq, total, off, scratch_, e);
            },
            [&](const Frame& f) -> long {
                if (f.header.type != FrameType::PutAck || f.header.seq != seq ||
                    f.header.arg % chunk != 0)
                    return -1;
                return static_cast<long>(f.header.arg / chunk);
            },
            timeoutMs, false, chunk, error);
        if (!ok) return false;
    }

    std::vector<std::uint8_t> exec(kExecParamsSize + (inlined ? total : 0));
    StoreU32(exec.data(), static_cast<std::uint32_t>(op));
    StoreU32(exec.data() + 4, static_cast<std::uint32_t>(request.size()));
    StoreU32(exec.data() + 8, static_cast<std::uint32_t>(data.size()));
    StoreU32(exec.data() + 12, inlined ? 1 : 0);
    StoreU32(exec.data() + 16, ClampChunk(packet));
    if (inlined) gather(0, total, exec.data() + kExecParamsSize);

    return Transfer(
        1, 1, [&](std::size_t, int* e) { return Send(FrameType::Exec, seq, code, 0, exec, e); },
        [&](const Frame& f) -> long {
            if (f.header.type != FrameType::Result || f.header.seq != seq) return -1;
            if (f.payload.size() > f.header.arg) return -2;  // more head than result
            reply.code = static_cast<int>(f.header.code & 0xFFFF);
            reply.total = f.header.arg;
            reply.head.assign(f.payload.begin(), f.payload.end());
            return 0;
        },
        timeoutMs, false, std::max<std::uint32_t>(ClampChunk(packet), inlined ? total : 0), error);
}

bool Connection::Pull(std::uint32_t from, std::uint32_t to, std::uint32_t chunk, std::uint8_t* dest,
                      int timeoutMs, int* error) {
    if (from >= to) return true;
    chunk = ClampChunk(chunk);
    const std::uint32_t seq = seq_;
    const std::size_t n = (static_cast<std::size_t>(to - from) + chunk - 1) / chunk;
    // On a reliable stream one Get asks for the whole range and the server
    // streams it chunk by chunk; the stream's own flow control paces it. On
    // lossy links every chunk is asked for (and asked again) on its own.
    std::uint8_t end[4];
    StoreU32(end, to);
    const std::size_t window = reliable_ ? n : Window(chunk);
    const std::size_t batch = reliable_ ? 1 : std::max<std::size_t>(1, window / 2);
    std::vector<char> asked(n, 0);
    return Transfer(
        n, window,
        [&](std::size_t i, int* e) {
            auto off = static_cast<std::uint32_t>(from + i * chunk);
            if (reliable_) return i == 0 ? Send(FrameType::Get, seq, chunk, off, end, e) : true;
            if (!asked[i] && batch > 1) {
                // First request: one Get asks for a batch of chunks; chunks
                // that go missing are asked for one by one afterwards.
                if (i % batch != 0) return true;
                std::size_t last = std::min(n, i + batch);
                for (std::size_t k = i; k < last; ++k) asked[k] = 1;
                std::uint8_t batchEnd[4];
                StoreU32(batchEnd, static_cast<std::uint32_t>(
                                       std::min<std::size_t>(to, from + last * chunk)));
                return Send(FrameType::Get, seq, chunk, off, batchEnd, e);
            }
            asked[i] = 1;
            std::uint32_t len = std::min(chunk, to - off);
            return Send(FrameType::Get, seq, len, off, {}, e);
        },
        [&](const Frame& f) -> long {
            if (f.header.type != FrameType::Data || f.header.seq != seq) return -1;
            std::uint32_t off = f.header.arg;
            if (off < from || off >= to || (off - from) % chunk != 0) return -1;
            std::uint32_t want = std::min(chunk, to - off);
            if (f.payload.size() != want) return -1;
            std::memcpy(dest + (off - from), f.payload.data(), want);
            return static_cast<long>((off - from) / chunk);
        },
        timeoutMs, false, chunk, error);
}

}  // namespace pmx

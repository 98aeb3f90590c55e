#include "portmux_server.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "core/bytes.h"
#include "core/frame.h"
#include "core/io.h"
#include "core/keyproof.h"
#include "core/plugin.h"
#include "core/protocol.h"
#include "portmux_errors.h"

namespace pmx {
namespace {

using std::chrono::milliseconds;

constexpr int kPollMs = 100;  // how often serving threads look at the stop flag
constexpr auto kIdlePeer =
    std::chrono::seconds(120);  // datagram peers silent this long are dropped

}  // namespace

struct Server::Impl {
    Impl(Handler& h, ServerOptions o) : handler(h), options(std::move(o)) {
        faults = options.faults;
    }

    Handler& handler;
    ServerOptions options;
    std::mutex handlerMutex;
    mutable std::mutex faultMutex;
    FaultConfig faults;
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> executed{0};
    std::atomic<std::uint32_t> linkCounter{0};
    bool running = false;

    struct Listener {
        const PmxPluginTable* table;
        void* handle;
        std::thread thread;
    };
    std::vector<Listener> listeners;
    int tcpPort = -1, udpPort = -1;
    std::vector<std::string> ptyPaths;

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex workerMutex;
    std::list<Worker> workers;

    FaultConfig CurrentFaults() const {
        std::lock_guard<std::mutex> lock(faultMutex);
        return faults;
    }

    void AcceptLoop(const PmxPluginTable* table, void* listener);
    void ServeLink(const PmxPluginTable* table, void* link);
    void ReapWorkers(bool all);
};

namespace {

// One link's conversation: session, reply cache, upload in progress, and the
// fault-injecting send path.
class LinkServer {
  public:
    LinkServer(Server::Impl& server, const PmxPluginTable* table, void* link, std::uint32_t id)
        : s_(server),
          table_(table),
          link_(link),
          lossy_((table->flags & PMX_PLUGIN_RELIABLE) == 0),
          datagram_((table->flags & PMX_PLUGIN_DATAGRAM) != 0),
          linkPayload_(static_cast<std::uint32_t>(
              std::min<std::size_t>(kMaxPayload, table->maxFrame - kHeaderSize))),
          rng_(server.CurrentFaults().seed * 7919u + id) {}

    void Run();

  private:
    bool Chance(double p) {
        if (p <= 0) return false;
        return std::uniform_real_distribution<double>(0, 1)(rng_) < p;
    }
    bool RawSend(const FaultConfig& f, const std::uint8_t* head,
                 std::span<const std::uint8_t> payload);
    bool Send(FrameType type, std::uint32_t session, std::uint32_t seq, std::uint32_t code,
              std::uint32_t arg, std::span<const std::uint8_t> payload);
    bool FlushHeld();
    bool Handle(const Frame& f);
    bool OnHello(const Frame& f);
    bool OnAuth(const Frame& f);
    bool OnPut(const Frame& f);
    bool OnExec(const Frame& f);
    bool OnGet(const Frame& f);
    bool SendResult();
    bool Fail(const Frame& f, int code) {
        return Send(FrameType::Fail, f.header.session, f.header.seq,
                    static_cast<std::uint32_t>(code), 0, {});
    }
    void ResetSession() {
        session_ = 0;
        authed_ = false;
        haveResult_ = false;
        lastSeq_ = 0;
        result_.clear();
        result_.shrink_to_fit();
        upload_.clear();
        upload_.shrink_to_fit();
        uploadSeq_ = 0;
        chunks_.clear();
    }

    Server::Impl& s_;
    const PmxPluginTable* table_;
    void* link_;
    bool lossy_;
    bool datagram_;
    std::uint32_t linkPayload_;
    std::mt19937 rng_;
    long long sentBytes_ = 0;
    bool cut_ = false;
    std::optional<std::vector<std::uint8_t>> held_;  // frame held back to reorder

    std::uint32_t session_ = 0;
    bool authed_ = false;
    std::uint8_t nonce_[kNonceSize] = {};
    std::uint8_t challenge_[kNonceSize] = {};
    std::uint32_t station_ = 0;

    std::uint32_t lastSeq_ = 0;  // last executed operation (reply cache key)
    bool haveResult_ = false;
    int reply_ = 0;
    std::vector<std::uint8_t> result_;
    std::uint32_t headSize_ = 0;

    std::uint32_t uploadSeq_ = 0;
    std::uint32_t uploadTotal_ = 0;
    std::uint64_t uploadHave_ = 0;
    std::vector<std::uint8_t> upload_;
    std::map<std::uint32_t, std::uint32_t> chunks_;  // offset -> length received
};

bool LinkServer::RawSend(const FaultConfig& f, const std::uint8_t* head,
                         std::span<const std::uint8_t> payload) {
    // A cut stream is closed; a cut datagram peer just falls silent, as a
    // terminal that lost power would.
    if (cut_) return datagram_;
    if (f.delayMs > 0) std::this_thread::sleep_for(milliseconds(f.delayMs));
    int r = table_->send(link_, head, kHeaderSize, payload.data(),
                         static_cast<std::uint32_t>(payload.size()), 2000);
    if (r < 0) return false;
    sentBytes_ += static_cast<long long>(kHeaderSize + payload.size());
    if (f.cutAfterBytes >= 0 && sentBytes_ >= f.cutAfterBytes) cut_ = true;
    return true;
}

bool LinkServer::FlushHeld() {
    if (!held_) return true;
    std::vector<std::uint8_t> frame = std::move(*held_);
    held_.reset();
    return RawSend(s_.CurrentFaults(), frame.data(),
                   std::span<const std::uint8_t>(frame).subspan(kHeaderSize));
}

bool LinkServer::Send(FrameType type, std::uint32_t session, std::uint32_t seq, std::uint32_t code,
                      std::uint32_t arg, std::span<const std::uint8_t> payload) {
    FrameHeader h;
    h.type = type;
    h.session = session;
    h.seq = seq;
    h.code = code;
    h.arg = arg;
    std::uint8_t head[kHeaderSize];
    EncodeHeader(h, payload, head);
    FaultConfig f = s_.CurrentFaults();
    if (lossy_) {
        if (Chance(f.drop)) return true;
        if (!held_ && Chance(f.reorder)) {
            std::vector<std::uint8_t> frame(kHeaderSize + payload.size());
            std::memcpy(frame.data(), head, kHeaderSize);
            if (!payload.empty())
                std::memcpy(frame.data() + kHeaderSize, payload.data(), payload.size());
            held_ = std::move(frame);
            return true;
        }
        bool dup = Chance(f.duplicate);
        if (!RawSend(f, head, payload)) return false;
        if (dup && !RawSend(f, head, payload)) return false;
        return FlushHeld();
    }
    return RawSend(f, head, payload);
}

void LinkServer::Run() {
    const bool datagram = datagram_;
    auto lastHeard = Clock::now();
    while (!s_.stop.load() && !(cut_ && !datagram)) {
        const std::uint8_t* bytes = nullptr;
        int n = table_->receive(link_, &bytes, held_ ? 2 : kPollMs);
        if (n < 0) break;  // closed or broken
        if (n == 0) {
            if (!FlushHeld()) break;
            if (datagram && Clock::now() - lastHeard > kIdlePeer) break;
            continue;
        }
        auto frame = DecodeFrame({bytes, static_cast<std::size_t>(n)});
        if (!frame) continue;  // garbled: the client will ask again
        if (cut_) continue;
        if (lossy_ && Chance(s_.CurrentFaults().drop)) continue;
        lastHeard = Clock::now();
        if (!Handle(*frame)) break;
        if (frame->header.type == FrameType::Bye && datagram) break;
    }
}

bool LinkServer::Handle(const Frame& f) {
    switch (f.header.type) {
        case FrameType::Hello:
            return OnHello(f);
        case FrameType::Auth:
            return OnAuth(f);
        case FrameType::Bye:
            if (f.header.session == session_ && session_ != 0) ResetSession();
            return true;
        case FrameType::Put:
        case FrameType::Exec:
        case FrameType::Get:
            if (!authed_ || f.header.session != session_) return Fail(f, PMXE_SESSION);
            if (f.header.type == FrameType::Put) return OnPut(f);
            if (f.header.type == FrameType::Exec) return OnExec(f);
            return OnGet(f);
        default:
            return true;  // server-to-client types are not for us
    }
}

bool LinkServer::OnHello(const Frame& f) {
    if (f.payload.size() != kNonceSize) return true;
    std::uint32_t want = f.header.arg;
    if (want != 0 && s_.options.station != 0 && want != s_.options.station)
        return true;  // another terminal on the line
    if (session_ != 0 && !authed_ && std::memcmp(nonce_, f.payload.data(), kNonceSize) == 0) {
        // The same hello again (our challenge was lost): same answer.
    } else {
        ResetSession();
        std::uint8_t id[4];
        do {
            if (!RandomBytes(id, sizeof id) || !RandomBytes(challenge_, sizeof challenge_))
                return true;
            session_ = LoadU32(id);
        } while (session_ == 0);
        std::memcpy(nonce_, f.payload.data(), kNonceSize);
        station_ = want;
    }
    std::uint8_t payload[2 * kNonceSize];
    std::memcpy(payload, challenge_, kNonceSize);
    std::memcpy(payload + kNonceSize, nonce_, kNonceSize);
    return Send(FrameType::Challenge, session_, 0, 0, 0, payload);
}

bool LinkServer::OnAuth(const Frame& f) {
    if (session_ == 0 || f.header.session != session_) return true;
    if (authed_) return Send(FrameType::Welcome, session_, 0, 0, 0, {});
    std::uint32_t key;
    {
        std::lock_guard<std::mutex> lock(s_.handlerMutex);
        key = s_.handler.CommKey();
    }
    Proof expected =
        KeyProof(key, {nonce_, kNonceSize}, {challenge_, kNonceSize}, session_, station_);
    if (!ProofMatches(expected, f.payload)) {
        std::uint32_t refused = session_;
        ResetSession();
        return Send(FrameType::Reject, refused, 0, 0, 0, {});
    }
    authed_ = true;
    {
        std::lock_guard<std::mutex> lock(s_.handlerMutex);
        s_.handler.SessionStarted();
    }
    return Send(FrameType::Welcome, session_, 0, 0, 0, {});
}

bool LinkServer::OnPut(const Frame& f) {
    const std::uint32_t seq = f.header.seq;
    if (seq <= lastSeq_) return true;  // belongs to an operation already run
    const std::uint32_t total = f.header.code;
    if (total > kMaxUpload) return Fail(f, PMXE_REFUSED_DATA);
    if (seq != uploadSeq_) {
        chunks_.clear();
        uploadHave_ = 0;
        try {
            upload_.assign(total, 0);
        } catch (const std::bad_alloc&) {
            upload_.clear();
            uploadSeq_ = 0;
            return Fail(f, PMXE_NO_MEMORY);
        }
        uploadSeq_ = seq;
        uploadTotal_ = total;
    }
    if (total != uploadTotal_) return Fail(f, PMXE_PROTOCOL);
    const std::uint32_t off = f.header.arg;
    const auto len = static_cast<std::uint32_t>(f.payload.size());
    if (len == 0 || !Fits(total, off, len)) return Fail(f, PMXE_PROTOCOL);
    auto it = chunks_.find(off);
    if (it == chunks_.end()) {
        // Refuse a chunk that overlaps one already held (chunks never do
        // unless the client is confused); it is simply not acknowledged.
        auto next = chunks_.lower_bound(off);
        if (next != chunks_.end() && next->first < off + len) return true;
        if (next != chunks_.begin()) {
            auto prev = std::prev(next);
            if (prev->first + prev->second > off) return true;
        }
        std::memcpy(upload_.data() + off, f.payload.data(), len);
        chunks_[off] = len;
        uploadHave_ += len;
    } else if (it->second != len) {
        return true;
    }
    return Send(FrameType::PutAck, session_, seq, 0, off, {});
}

bool LinkServer::SendResult() {
    auto total = static_cast<std::uint32_t>(result_.size());
    std::uint32_t head = std::min(total, headSize_);
    return Send(FrameType::Result, session_, lastSeq_, static_cast<std::uint32_t>(reply_), total,
                {result_.data(), head});
}

bool LinkServer::OnExec(const Frame& f) {
    const std::uint32_t seq = f.header.seq;
    if (seq < lastSeq_) return true;
    if (seq == lastSeq_ && haveResult_) return SendResult();  // a repeat: never run twice
    if (f.payload.size() < kExecParamsSize) return Fail(f, PMXE_PROTOCOL);
    const std::uint8_t* p = f.payload.data();
    const std::uint32_t op = LoadU32(p), reqLen = LoadU32(p + 4), dataLen = LoadU32(p + 8);
    const bool inlined = LoadU32(p + 12) != 0;
    const std::uint32_t packet = LoadU32(p + 16);
    if (op < 1 || op > kLastOpKind) return Fail(f, PMXE_PROTOCOL);
    const std::uint64_t total = static_cast<std::uint64_t>(reqLen) + dataLen;
    std::span<const std::uint8_t> bytes;
    if (inlined) {
        if (f.payload.size() - kExecParamsSize != total) return Fail(f, PMXE_PROTOCOL);
        bytes = f.payload.subspan(kExecParamsSize);
    } else if (total > 0) {
        if (uploadSeq_ != seq || uploadTotal_ != total || uploadHave_ != total)
            return Fail(f, PMXE_PROTOCOL);
        bytes = upload_;
    }

    Request req;
    switch (static_cast<OpKind>(op)) {
        case OpKind::Command:
            req.op = Op::Command;
            break;
        case OpKind::Data:
            req.op = Op::Data;
            break;
        case OpKind::CommandData:
            req.op = Op::CommandData;
            break;
        case OpKind::Read:
            req.op = Op::Read;
            break;
        case OpKind::Read1:
            req.op = Op::Read1;
            break;
        case OpKind::Query:
            req.op = Op::Query;
            break;
    }
    req.command = static_cast<int>(f.header.code & 0xFFFF);
    if (req.op == Op::Query) req.tableKind = static_cast<int>(f.header.code);
    req.request.assign(bytes.begin(), bytes.begin() + reqLen);
    req.data.assign(bytes.begin() + reqLen, bytes.end());

    Response resp;
    try {
        std::lock_guard<std::mutex> lock(s_.handlerMutex);
        resp = s_.handler.Handle(req);
    } catch (...) {
        resp = Response{};  // a failing handler is a refusal, not a crash
    }
    s_.executed.fetch_add(1);
    lastSeq_ = seq;
    haveResult_ = true;
    reply_ = resp.reply;
    result_ = std::move(resp.data);
    if (req.op == Op::Data || result_.size() > UINT32_MAX) result_.clear();
    headSize_ = std::clamp<std::uint32_t>(packet ? packet : table_->chunk, 1, linkPayload_);
    upload_.clear();
    upload_.shrink_to_fit();
    chunks_.clear();
    uploadSeq_ = 0;
    if (resp.disconnect) {
        // Answer, then go away as a restarting terminal does: the link is
        // closed and the session forgotten.
        SendResult();
        FlushHeld();
        ResetSession();
        return false;
    }
    return SendResult();
}

bool LinkServer::OnGet(const Frame& f) {
    if (!haveResult_ || f.header.seq != lastSeq_) return true;  // stale
    const std::uint32_t off = f.header.arg;
    if (off >= result_.size()) return Fail(f, PMXE_PROTOCOL);
    const auto size = static_cast<std::uint32_t>(result_.size());
    const std::uint32_t chunk = std::clamp<std::uint32_t>(f.header.code, 1, linkPayload_);
    // With a 4-byte payload the Get names the end of a range, sent as a
    // stream of chunks (used on reliable links only).
    std::uint32_t end = std::min(size, off + std::min(chunk, size - off));
    if (f.payload.size() == 4)
        end = std::clamp<std::uint32_t>(LoadU32(f.payload.data()), end, size);
    for (std::uint32_t at = off; at < end;) {
        std::uint32_t len = std::min(chunk, end - at);
        if (!Send(FrameType::Data, session_, lastSeq_, 0, at, {result_.data() + at, len}))
            return false;
        at += len;
        if (s_.stop.load()) break;
    }
    return true;
}

}  // namespace

void Server::Impl::ServeLink(const PmxPluginTable* table, void* link) {
    LinkServer ls(*this, table, link, linkCounter.fetch_add(1));
    ls.Run();
    table->close(link);
}

void Server::Impl::ReapWorkers(bool all) {
    std::list<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(workerMutex);
        for (auto it = workers.begin(); it != workers.end();) {
            if (all || it->done->load()) {
                finished.splice(finished.end(), workers, it++);
            } else {
                ++it;
            }
        }
    }
    for (auto& w : finished) w.thread.join();
}

void Server::Impl::AcceptLoop(const PmxPluginTable* table, void* listener) {
    while (!stop.load()) {
        int error = 0;
        void* link = table->accept(listener, kPollMs, &error);
        ReapWorkers(false);
        if (!link) continue;
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::lock_guard<std::mutex> lock(workerMutex);
        workers.push_back(Worker{std::thread([this, table, link, done] {
                                     ServeLink(table, link);
                                     done->store(true);
                                 }),
                                 done});
    }
}

Server::Server(Handler& handler, ServerOptions options)
    : impl_(std::make_unique<Impl>(handler, std::move(options))) {}

Server::~Server() {
    Stop();
}

bool Server::Start(std::string* error) {
    Impl& m = *impl_;
    if (m.running) return true;
    m.stop = false;
    m.tcpPort = m.udpPort = -1;
    m.ptyPaths.clear();
    auto open = [&](const PmxPluginTable* table, int port, const char* what) -> bool {
        PmxListenParams p{m.options.bindAddress.c_str(), port};
        char info[256] = {};
        int err = 0;
        errno = 0;
        void* l = table->listen(&p, info, sizeof info, &err);
        if (!l) {
            // The port and, where the system said, why: "in use" is the
            // usual reason and the one a user can act on.
            const int why = errno;
            if (error) {
                *error = std::string("cannot open ") + what;
                if (port > 0) *error += " " + std::to_string(port) + " on " + m.options.bindAddress;
                if (why != 0) *error += std::string(": ") + std::strerror(why);
            }
            return false;
        }
        if (table == TcpPlugin())
            m.tcpPort = std::atoi(info);
        else if (table == UdpPlugin())
            m.udpPort = std::atoi(info);
        else
            m.ptyPaths.emplace_back(info);
        m.listeners.push_back(Impl::Listener{table, l, {}});
        return true;
    };
    bool ok = true;
    if (m.options.tcpPort >= 0) ok = open(TcpPlugin(), m.options.tcpPort, "the TCP port");
    if (ok && m.options.udpPort >= 0) ok = open(UdpPlugin(), m.options.udpPort, "the UDP port");
    for (int i = 0; ok && i < m.options.ptyCount; ++i)
        ok = open(SerialPlugin(), 0, "a pseudo-terminal");
    if (!ok) {
        for (auto& l : m.listeners) l.table->close(l.handle);
        m.listeners.clear();
        m.tcpPort = m.udpPort = -1;
        m.ptyPaths.clear();
        return false;
    }
    for (auto& l : m.listeners)
        l.thread = std::thread([&m, t = l.table, h = l.handle] { m.AcceptLoop(t, h); });
    m.running = true;
    return true;
}

void Server::Stop() {
    Impl& m = *impl_;
    if (!m.running) return;
    m.stop = true;
    for (auto& l : m.listeners) l.thread.join();
    m.ReapWorkers(true);
    for (auto& l : m.listeners) l.table->close(l.handle);
    m.listeners.clear();
    m.running = false;
}

int Server::TcpPort() const {
    return impl_->tcpPort;
}
int Server::UdpPort() const {
    return impl_->udpPort;
}
const std::vector<std::string>& Server::PtyPaths() const {
    return impl_->ptyPaths;
}

void Server::SetFaults(const FaultConfig& faults) {
    std::lock_guard<std::mutex> lock(impl_->faultMutex);
    impl_->faults = faults;
}

FaultConfig Server::Faults() const {
    return impl_->CurrentFaults();
}

std::uint64_t Server::Executed() const {
    return impl_->executed.load();
}

}  // namespace pmx

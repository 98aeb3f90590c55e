// Arbitrary frames at portmux's server side. The harness logs in once over
// UDP like a client (handshake and key proof), then sends each input as a
// frame of that session with a correct CRC, so the fuzzer reaches the
// operation handling (uploads, execution, downloads, reply cache).
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/bytes.h"
#include "core/frame.h"
#include "core/keyproof.h"
#include "portmux_server.h"

namespace {

class EchoTerminal : public pmx::Handler {
  public:
    pmx::Response Handle(const pmx::Request& r) override {
        pmx::Response out;
        out.reply = r.command & 1 ? pmx::kReplyError : pmx::kReplyOk;
        out.data = r.request;
        out.data.insert(out.data.end(), r.data.begin(), r.data.end());
        if (r.op == pmx::Op::Read) out.data.resize(out.data.size() + 70000, 0x5A);
        return out;
    }
};

struct Session {
    EchoTerminal terminal;
    pmx::Server server{terminal, [] {
                           pmx::ServerOptions o;
                           o.udpPort = 0;
                           return o;
                       }()};
    int fd = -1;
    std::uint32_t session = 0;

    // The handshake waits long: the server's thread may be slow to start on a
    // loaded machine, and a missing answer there aborts as if it were a find.
    bool Receive(std::vector<std::uint8_t>& out) {
        out.resize(70000);
        timeval tv{30, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ssize_t n = ::recv(fd, out.data(), out.size(), 0);
        if (n <= 0) return false;
        out.resize(static_cast<std::size_t>(n));
        return true;
    }

    Session() {
        if (!server.Start()) std::abort();
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(server.UdpPort()));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) std::abort();
        std::uint8_t nonce[16] = {1, 2, 3};
        pmx::FrameHeader h;
        h.type = pmx::FrameType::Hello;
        auto hello = pmx::EncodeFrame(h, {nonce, 16});
        ::send(fd, hello.data(), hello.size(), 0);
        std::vector<std::uint8_t> in;
        if (!Receive(in)) std::abort();
        auto ch = pmx::DecodeFrame(in);
        if (!ch || ch->payload.size() != 32) std::abort();
        session = ch->header.session;
        auto proof = pmx::KeyProof(0, {nonce, 16}, ch->payload.first(16), session, 0);
        h.type = pmx::FrameType::Auth;
        h.session = session;
        auto auth = pmx::EncodeFrame(h, proof);
        ::send(fd, auth.data(), auth.size(), 0);
        if (!Receive(in)) std::abort();
        auto welcome = pmx::DecodeFrame(in);
        if (!welcome || welcome->header.type != pmx::FrameType::Welcome) std::abort();
        timeval tv{0, 1000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Session* s = new Session();  // lives for the whole run
    if (size < pmx::kHeaderSize || size > 60000) return 0;
    std::vector<std::uint8_t> frame(data, data + size);
    // Header fields from the input, but this session and a consistent length
    // and CRC, so the frame gets past the decoder.
    if (!(frame[0] & 0x80)) pmx::StoreU32(frame.data() + 4, s->session);
    pmx::FrameHeader h;
    h.type = static_cast<pmx::FrameType>(frame[3] % 13 + 1);
    h.session = pmx::LoadU32(frame.data() + 4);
    h.seq = pmx::LoadU32(frame.data() + 8) % 8;
    h.code = pmx::LoadU32(frame.data() + 12);
    h.arg = pmx::LoadU32(frame.data() + 16);
    std::span<const std::uint8_t> payload(frame.data() + pmx::kHeaderSize,
                                          frame.size() - pmx::kHeaderSize);
    auto out = pmx::EncodeFrame(h, payload);
    ::send(s->fd, out.data(), out.size(), 0);
    std::uint8_t sink[65536];
    while (::recv(s->fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
    return 0;
}

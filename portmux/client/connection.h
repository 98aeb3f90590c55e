// One open portmux connection: the plug-in link, the session established by
// the handshake, and the windowed request/response engine every PMX_
// operation runs on.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/frame.h"
#include "core/io.h"
#include "core/plugin.h"
#include "core/protocol.h"

namespace pmx {

struct ConnectParams {
    PmxOpenParams open{};
    std::uint32_t key = 0;
    std::uint32_t station = 0;
    int timeoutMs = 4000;
};

class Connection {
  public:
    // Opens the link and runs the handshake. Null with *error set on failure.
    static Connection* Open(const PmxPluginTable* plugin, const ConnectParams& params, int* error);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    struct Reply {
        int code = 0;                    // terminal's reply code
        std::uint32_t total = 0;         // result bytes held by the terminal
        std::vector<std::uint8_t> head;  // the first of them, sent with the reply
    };
    // Uploads request + data (in chunks when large), runs the operation and
    // gets its reply. `packet` sizes result chunks (0 = link default).
    bool Exec(OpKind op, std::uint32_t code, std::span<const std::uint8_t> request,
              std::span<const std::uint8_t> data, std::uint32_t packet, int timeoutMs, Reply& reply,
              int* error);
    // Fetches result bytes [from, to) of the last operation into `dest`.
    bool Pull(std::uint32_t from, std::uint32_t to, std::uint32_t chunk, std::uint8_t* dest,
              int timeoutMs, int* error);

    int DefaultTimeout() const { return defaultTimeout_; }
    std::uint32_t LinkPayload() const { return linkPayload_; }
    std::uint32_t ClampChunk(std::uint32_t packet) const;

  private:
    Connection(const PmxPluginTable* plugin, void* link, int defaultTimeout,
               std::uint32_t lineRate);
    bool Handshake(const ConnectParams& params, int* error);
    bool Send(FrameType type, std::uint32_t seq, std::uint32_t code, std::uint32_t arg,
              std::span<const std::uint8_t> payload, int* error);
    // 1 = frame of this session in `frame`, 0 = deadline passed, -1 = error.
    int Receive(Clock::time_point deadline, bool anySession, Frame& frame, int* error);
    // Sends n requests with at most `window` unanswered; `match` maps an
    // answer to the request index it completes (-1 if none). Requests not
    // answered within the retransmission timeout are sent again on links that
    // may lose frames. Fails after `timeoutMs` without progress.
    bool Transfer(std::size_t n, std::size_t window,
                  const std::function<bool(std::size_t, int*)>& send,
                  const std::function<long(const Frame&)>& match, int timeoutMs, bool anySession,
                  std::uint32_t frameBytes, int* error);
    std::size_t Window(std::uint32_t chunk) const;
    void NoteRtt(Clock::duration sample);

    const PmxPluginTable* plugin_;
    void* link_;
    bool reliable_;
    // Serial and USB lines: bytes per second at the line's speed (0 on
    // networks). Retransmission never fires before a window of frames could
    // have crossed the line.
    std::uint32_t lineRate_;
    int defaultTimeout_;
    std::uint32_t linkPayload_;
    std::uint32_t session_ = 0;
    std::uint32_t seq_ = 0;
    std::vector<std::uint8_t> scratch_;
    double srttMs_ = -1;
    Clock::duration rto_ = std::chrono::milliseconds(200);
    Clock::time_point sendDeadline_ = Clock::now();
};

}  // namespace pmx

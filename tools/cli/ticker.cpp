#include "cli/ticker.h"

namespace tlcli {

Ticker::Ticker(bool enabled, std::ostream& err, std::string label)
    : err_(err), label_(std::move(label)) {
    if (!enabled) return;
    err_ << label_ << "..." << std::flush;
    thread_ = std::thread([this] { Run(); });
}

Ticker::~Ticker() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
    err_ << "\r\033[K" << std::flush;
}

void Ticker::Run() {
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    for (long long seconds = 1;; ++seconds) {
        if (wake_.wait_until(lock, start + std::chrono::seconds(seconds), [this] { return stop_; }))
            return;
        err_ << "\r\033[K" << label_ << "... " << seconds << " s" << std::flush;
    }
}

}  // namespace tlcli

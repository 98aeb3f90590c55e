#include "lease_keeper.h"

#include <algorithm>
#include <chrono>

namespace tlsync {

LeaseKeeper::LeaseKeeper(Store& store, std::mutex& storeMutex, std::string name, long long token,
                         Millis leaseMs, std::atomic<long long>& renewals)
    : store_(store),
      storeMutex_(storeMutex),
      name_(std::move(name)),
      token_(token),
      leaseMs_(leaseMs),
      renewals_(renewals),
      thread_([this] { Loop(); }) {}

LeaseKeeper::~LeaseKeeper() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

bool LeaseKeeper::Renew() {
    std::lock_guard<std::mutex> lock(storeMutex_);
    if (!store_.Renew(name_, token_, leaseMs_)) {
        lost_ = true;
        return false;
    }
    renewals_.fetch_add(1, std::memory_order_relaxed);
    return true;
}

bool LeaseKeeper::RenewNow() {
    return !lost_ && Renew();
}

void LeaseKeeper::Loop() {
    // A third of the lease: two renewals may fail (a busy database) before
    // the lease runs out.
    const auto every = std::chrono::milliseconds(std::max<Millis>(leaseMs_ / 3, 1));
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        if (wake_.wait_for(lock, every, [this] { return stop_; })) return;
        lock.unlock();
        bool held = true;
        try {
            held = Renew();
        } catch (const StoreError&) {
            // The database did not answer this time; the next tick tries
            // again. Nothing relies on the renewal alone: the commit is
            // fenced by the token, and the clear and the unlock wait for a
            // renewal made from the worker's own thread.
        }
        lock.lock();
        if (!held) return;
    }
}

}  // namespace tlsync

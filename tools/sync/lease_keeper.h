// Keeps one claim's lease alive while its worker talks to the terminal: a
// timer thread renews it every third of the lease, so a download that takes
// longer than the lease (a long log on a slow line, one blocking library
// call) is never taken over by another worker. A renewal the store refuses
// means another claim has superseded this one; the keeper then stops and
// reports the lease lost.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "store.h"

namespace tlsync {

class LeaseKeeper {
  public:
    // `store` is shared with the worker: both use it under `storeMutex`.
    // Each renewal the store accepts adds one to `renewals`.
    LeaseKeeper(Store& store, std::mutex& storeMutex, std::string name, long long token,
                Millis leaseMs, std::atomic<long long>& renewals);
    ~LeaseKeeper();
    LeaseKeeper(const LeaseKeeper&) = delete;
    LeaseKeeper& operator=(const LeaseKeeper&) = delete;

    // True once a renewal was refused.
    bool Lost() const { return lost_.load(); }
    // Renews now, from the worker's thread: false when the lease is lost.
    // Throws StoreError when the database cannot tell.
    bool RenewNow();

  private:
    void Loop();
    bool Renew();

    Store& store_;
    std::mutex& storeMutex_;
    const std::string name_;
    const long long token_;
    const Millis leaseMs_;
    std::atomic<long long>& renewals_;
    std::atomic<bool> lost_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace tlsync

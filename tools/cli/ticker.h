// Progress for a single blocking library call (firmware, backup, restore,
// file transfer): the library reports nothing until the call returns, so the
// person at the keyboard sees the label and the seconds elapsed, redrawn
// once a second on standard error. Only when standard error is a terminal.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace tlcli {

class Ticker {
  public:
    Ticker(bool enabled, std::ostream& err, std::string label);
    ~Ticker();  // stops the redraw and clears the line
    Ticker(const Ticker&) = delete;
    Ticker& operator=(const Ticker&) = delete;

  private:
    void Run();

    std::ostream& err_;
    std::string label_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace tlcli

// A small terminal for transport tests: answers the version and option
// commands of the connect probe, serves one table for every bulk read, and
// counts what it executed.
#pragma once

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "termsim/handler.h"

namespace e2e {

class ScriptedTerminal : public termsim::Handler {
  public:
    std::string version = "Ver 6.60 Apr 15 2011";
    std::map<std::string, std::string> options = {{"~OS", "1"},
                                                  {"~ExtendFmt", "1"},
                                                  {"ExtendOPLog", "1"},
                                                  {"~Platform", "ZEM560_TFT"},
                                                  {"~QVFPVersion", "10"}};
    std::vector<std::uint8_t> table;  // answer to every bulk read; empty = REPLY_ERROR
    std::uint32_t key = 0;

    termsim::Response Handle(const termsim::Request& r) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_[r.command];
        requests_.push_back(r);
        termsim::Response out;
        out.reply = termsim::kReplyOk;
        switch (r.op) {
            case termsim::Op::Command:
                if (r.command == 1100) {
                    out.data.assign(version.begin(), version.end());
                    out.data.push_back(0);
                } else if (r.command == 11) {
                    std::string name(
                        reinterpret_cast<const char*>(r.request.data()),
                        strnlen(reinterpret_cast<const char*>(r.request.data()), r.request.size()));
                    auto it = options.find(name);
                    if (it == options.end()) {
                        out.reply = termsim::kReplyError;
                    } else {
                        std::string text = name + "=" + it->second;
                        out.data.assign(text.begin(), text.end());
                        out.data.push_back(0);
                    }
                } else {
                    out.data = r.request;  // echo
                }
                break;
            case termsim::Op::Read:
            case termsim::Op::Read1:
            case termsim::Op::Query:
                if (table.empty())
                    out.reply = termsim::kReplyError;
                else
                    out.data = table;
                break;
            case termsim::Op::Data:
            case termsim::Op::CommandData:
                lastData_ = r.data;
                break;
        }
        return out;
    }
    std::uint32_t CommKey() const override { return key; }

    int Count(int command) {
        std::lock_guard<std::mutex> lock(mutex_);
        return counts_[command];
    }
    std::vector<termsim::Request> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    std::vector<std::uint8_t> LastData() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastData_;
    }

  private:
    std::mutex mutex_;
    std::map<int, int> counts_;
    std::vector<termsim::Request> requests_;
    std::vector<std::uint8_t> lastData_;
};

}  // namespace e2e

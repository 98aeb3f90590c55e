// Helpers shared by QVUpdate's tests.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qvtest {

using B = std::vector<std::uint8_t>;

inline B Bytes(const std::string& s) {
    return B(s.begin(), s.end());
}

// A pack header with the given lengths, followed by `body`.
inline B Header(std::uint8_t kind, std::uint8_t flags, std::initializer_list<std::uint32_t> lengths,
                const B& body = {}) {
    B out{kind, flags};
    std::size_t n = 0;
    for (std::uint32_t l : lengths) {
        for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(l >> (8 * b)));
        ++n;
    }
    for (; n < 5; ++n) out.insert(out.end(), 4, 0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A fresh folder for one test's files, removed with it.
class TempDir {
  public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("qvupdate-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name, const B& bytes) const {
        auto p = path_ / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    std::string File(const std::string& name, const std::string& text) const {
        return File(name, Bytes(text));
    }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }

  private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

}  // namespace qvtest

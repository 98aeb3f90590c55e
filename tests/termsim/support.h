// Helpers for driving the model with byte-exact requests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "termsim/model.h"

namespace termsim::test {

using B = std::vector<std::uint8_t>;

inline B Str(const std::string& s, bool nul = true) {
    B b(s.begin(), s.end());
    if (nul) b.push_back(0);
    return b;
}
inline B U32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}
inline B U16(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}
inline B Cat(std::initializer_list<B> parts) {
    B out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline B Zeros(std::size_t n) {
    return B(n, 0);
}
inline B Pad(const std::string& s, std::size_t n) {
    B b(n, 0);
    for (std::size_t i = 0; i < s.size() && i < n; ++i) b[i] = static_cast<std::uint8_t>(s[i]);
    return b;
}
inline std::uint32_t Le32(const B& b, std::size_t off) {
    return b[off] | b[off + 1] << 8 | b[off + 2] << 16 |
           static_cast<std::uint32_t>(b[off + 3]) << 24;
}
inline std::uint16_t Le16(const B& b, std::size_t off) {
    return static_cast<std::uint16_t>(b[off] | b[off + 1] << 8);
}

inline Response Cmd(Model& m, int command, B request = {}) {
    Request r;
    r.op = Op::Command;
    r.command = command;
    r.request = std::move(request);
    return m.Handle(r);
}
inline Response Read(Model& m, int command, B request = {}) {
    Request r;
    r.op = Op::Read;
    r.command = command;
    r.request = std::move(request);
    return m.Handle(r);
}
inline Response Query(Model& m, int kind) {
    Request r;
    r.op = Op::Query;
    r.tableKind = kind;
    return m.Handle(r);
}
inline std::string Text(const Response& r) {
    std::string s(r.data.begin(), r.data.end());
    if (auto nul = s.find('\0'); nul != std::string::npos) s.resize(nul);
    return s;
}
inline Config ProfileConfig(Profile p) {
    Config c;
    c.profile = p;
    c.clock = EncodeTime(2024, 3, 4, 9, 0, 0);
    return c;
}

}  // namespace termsim::test

// Operation-level constants shared by the client library and the server.
#pragma once

#include <cstdint>

namespace pmx {

// Operation kinds carried in an Exec frame's parameters.
enum class OpKind : std::uint32_t {
    Command = 1,      // PMX_SENDCMD
    Data = 2,         // PMX_SENDDATA
    CommandData = 3,  // PMX_SENDCMDDATA
    Read = 4,         // PMX_READDATA
    Read1 = 5,        // PMX_READDATA1
    Query = 6,        // PMX_QUERYDATA (code = table kind)
};
constexpr std::uint32_t kLastOpKind = 6;

// Exec payload: op, request length, data length, inline flag, packet size,
// then (when inline) the request bytes followed by the data bytes.
constexpr std::size_t kExecParamsSize = 20;

// Largest request + data one operation may carry; the server refuses more
// with PMXE_REFUSED_DATA before storing anything.
constexpr std::uint32_t kMaxUpload = 64u << 20;

}  // namespace pmx

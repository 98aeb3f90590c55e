// Proof of the communication key: HMAC-SHA256 keyed with the key's four
// little-endian bytes over "PMX1", the client's nonce, the server's challenge,
// the session id and the station. The key itself never travels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pmx {

constexpr std::size_t kNonceSize = 16;
constexpr std::size_t kProofSize = 32;
using Proof = std::array<std::uint8_t, kProofSize>;

Proof KeyProof(std::uint32_t key, std::span<const std::uint8_t> clientNonce,
               std::span<const std::uint8_t> challenge, std::uint32_t session,
               std::uint32_t station);

// Constant-time comparison of a received proof with the expected one.
bool ProofMatches(const Proof& expected, std::span<const std::uint8_t> received);

// Cryptographically random bytes; false when the generator fails.
bool RandomBytes(std::uint8_t* out, std::size_t length);

}  // namespace pmx

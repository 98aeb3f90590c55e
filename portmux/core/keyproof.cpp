#include "core/keyproof.h"

// The two primitives the proof needs, HMAC-SHA256 and random bytes, come from
// the platform's cryptography: CNG (bcrypt) on Windows, libcrypto elsewhere.
#if defined(_WIN32)
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>
#else
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#endif

#include <vector>

#include "core/bytes.h"

namespace pmx {
namespace {

#if defined(_WIN32)
bool HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message,
                Proof& out) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                      BCRYPT_ALG_HANDLE_HMAC_FLAG)))
        return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok =
        BCRYPT_SUCCESS(::BCryptCreateHash(alg, &hash, nullptr, 0, const_cast<PUCHAR>(key.data()),
                                          static_cast<ULONG>(key.size()), 0)) &&
        BCRYPT_SUCCESS(::BCryptHashData(hash, const_cast<PUCHAR>(message.data()),
                                        static_cast<ULONG>(message.size()), 0)) &&
        BCRYPT_SUCCESS(::BCryptFinishHash(hash, out.data(), static_cast<ULONG>(out.size()), 0));
    if (hash) ::BCryptDestroyHash(hash);
    ::BCryptCloseAlgorithmProvider(alg, 0);
    return ok;
}

bool Random(std::uint8_t* out, std::size_t length) {
    return BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, out, static_cast<ULONG>(length),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}
#else
bool HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message,
                Proof& out) {
    unsigned int len = 0;
    return HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), message.data(),
                message.size(), out.data(), &len) != nullptr;
}

bool Random(std::uint8_t* out, std::size_t length) {
    return RAND_bytes(out, static_cast<int>(length)) == 1;
}
#endif

}  // namespace

Proof KeyProof(std::uint32_t key, std::span<const std::uint8_t> clientNonce,
               std::span<const std::uint8_t> challenge, std::uint32_t session,
               std::uint32_t station) {
    std::uint8_t k[4];
    StoreU32(k, key);
    std::vector<std::uint8_t> msg{'P', 'M', 'X', '1'};
    msg.insert(msg.end(), clientNonce.begin(), clientNonce.end());
    msg.insert(msg.end(), challenge.begin(), challenge.end());
    std::uint8_t tail[8];
    StoreU32(tail, session);
    StoreU32(tail + 4, station);
    msg.insert(msg.end(), tail, tail + 8);
    Proof out{};
    HmacSha256(k, msg, out);
    return out;
}

bool ProofMatches(const Proof& expected, std::span<const std::uint8_t> received) {
    if (received.size() != expected.size()) return false;
    // Constant time: every byte is looked at whatever the first difference.
    std::uint8_t diff = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) diff |= expected[i] ^ received[i];
    return diff == 0;
}

bool RandomBytes(std::uint8_t* out, std::size_t length) {
    return Random(out, length);
}

}  // namespace pmx

#include "core/keyproof.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <vector>

#include "core/bytes.h"

namespace pmx {

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
    unsigned int len = 0;
    HMAC(EVP_sha256(), k, sizeof k, msg.data(), msg.size(), out.data(), &len);
    return out;
}

bool ProofMatches(const Proof& expected, std::span<const std::uint8_t> received) {
    return received.size() == expected.size() &&
           CRYPTO_memcmp(expected.data(), received.data(), expected.size()) == 0;
}

bool RandomBytes(std::uint8_t* out, std::size_t length) {
    return RAND_bytes(out, static_cast<int>(length)) == 1;
}

}  // namespace pmx

// A digest through nettle's generic hash interface (MD5, SHA-1, SHA-256,
// SHA-512), for the readers that check passwords and derive keys.
#pragma once

#include <nettle/nettle-meta.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace office {

// `Bytes`: std::string or std::vector<std::uint8_t>; the digest comes back
// in the same type.
template <typename Bytes>
[[nodiscard]] Bytes Digest(const nettle_hash& hash, const Bytes& data) {
  // The context is aligned for any type nettle keeps in it.
  std::vector<std::max_align_t> context((hash.context_size + sizeof(std::max_align_t) - 1) /
                                        sizeof(std::max_align_t));
  hash.init(context.data());
  hash.update(context.data(), data.size(), reinterpret_cast<const std::uint8_t*>(data.data()));
  Bytes digest(hash.digest_size, 0);
  hash.digest(context.data(), digest.size(), reinterpret_cast<std::uint8_t*>(digest.data()));
  return digest;
}

}  // namespace office

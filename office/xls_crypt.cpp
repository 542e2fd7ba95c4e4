#include "office/xls_crypt.h"

#include <nettle/arcfour.h>
#include <nettle/nettle-meta.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "office/digest.h"
#include "office/file_records.h"

namespace office {
namespace {

[[noreturn]] void Fail(const std::string& message) { throw FileFormatError(message); }

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::size_t kBlock = 1024;  // bytes of the stream per RC4 key

std::uint16_t Le16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}
std::uint32_t Le32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(Le16(bytes, at)) | static_cast<std::uint32_t>(Le16(bytes, at + 2)) << 16;
}

using Bytes = std::vector<std::uint8_t>;

Bytes Of(std::string_view text) { return {text.begin(), text.end()}; }

Bytes Utf16(std::u16string_view text) {
  Bytes bytes;
  for (const char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

Bytes Md5(const Bytes& data) { return Digest(nettle_md5, data); }
Bytes Sha1(const Bytes& data) { return Digest(nettle_sha1, data); }

void Append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

Bytes BlockNumber(std::uint32_t block) {
  return {static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(block >> 8),
          static_cast<std::uint8_t>(block >> 16), static_cast<std::uint8_t>(block >> 24)};
}

// How one encryption makes the RC4 key of a block, and checks its verifier.
struct Scheme {
  bool cryptoApi = false;
  Bytes salt;
  Bytes encryptedVerifier;      // 16 bytes
  Bytes encryptedVerifierHash;  // 16 (MD5) or 20 (SHA-1) bytes
  std::size_t keyBytes = 16;    // CryptoAPI: the key size; the rest of 16 is zeros
  Bytes base;                   // from the password: what each block's key is made from

  void Derive(std::u16string_view password) {
    if (cryptoApi) {
      Bytes input = salt;
      Append(input, Utf16(password));
      base = Sha1(input);
    } else {
      // The password's MD5 cut to 5 bytes, with the salt, 16 times over.
      const Bytes first = Md5(Utf16(password));
      Bytes input;
      for (int i = 0; i < 16; ++i) {
        input.insert(input.end(), first.begin(), first.begin() + 5);
        Append(input, salt);
      }
      base = Md5(input);
      base.resize(5);
    }
  }

  [[nodiscard]] Bytes Key(std::uint32_t block) const {
    Bytes input = base;
    Append(input, BlockNumber(block));
    Bytes key = cryptoApi ? Sha1(input) : Md5(input);
    if (cryptoApi) {
      key.resize(keyBytes);
      // A 40-bit key is used as 128 bits, padded with zeros.
      if (keyBytes == 5) key.resize(16, 0);
    } else {
      key.resize(16);
    }
    return key;
  }

  [[nodiscard]] bool Accepts() const {
    const Bytes key = Key(0);
    arcfour_ctx rc4;
    arcfour_set_key(&rc4, key.size(), key.data());
    Bytes verifier(encryptedVerifier.size());
    arcfour_crypt(&rc4, verifier.size(), verifier.data(), encryptedVerifier.data());
    Bytes hash(encryptedVerifierHash.size());
    arcfour_crypt(&rc4, hash.size(), hash.data(), encryptedVerifierHash.data());
    Bytes expected = cryptoApi ? Sha1(verifier) : Md5(verifier);
    expected.resize(hash.size());
    return expected == hash;
  }
};

// The FILEPASS body: wEncryptionType 1 (RC4), then the version: 1.1 is RC4
// with MD5, 2.2, 3.2 and 4.2 CryptoAPI RC4.
Scheme ReadScheme(std::string_view body) {
  if (body.size() < 6) Fail("the FILEPASS record is truncated");
  if (Le16(body, 0) == 0)
    Fail("the workbook is encrypted with Excel 95's XOR obfuscation, which is not read");
  if (Le16(body, 0) != 1) Fail("the workbook is encrypted in an unknown way");
  const std::uint16_t major = Le16(body, 2);
  const std::uint16_t minor = Le16(body, 4);
  Scheme scheme;
  const auto take = [&](std::size_t at, std::size_t count) {
    if (body.size() < at || body.size() - at < count) Fail("the FILEPASS record is truncated");
    return Of(body.substr(at, count));
  };
  if (major == 1 && minor == 1) {
    scheme.salt = take(6, 16);
    scheme.encryptedVerifier = take(22, 16);
    scheme.encryptedVerifierHash = take(38, 16);
    return scheme;
  }
  if (minor != 2 || major < 2 || major > 4) Fail("the workbook is encrypted in an unknown way");
  // Flags (4), header size (4), the header (its key size at 16), then
  // the verifier: salt size (4), salt, verifier, hash size (4), hash.
  scheme.cryptoApi = true;
  if (body.size() < 14) Fail("the FILEPASS record is truncated");
  const std::uint32_t headerSize = Le32(body, 10);
  if (headerSize < 32 || headerSize > body.size()) Fail("the FILEPASS record is truncated");
  const std::size_t header = 14;
  (void)take(header + 16, 4);
  const std::uint32_t keyBits = Le32(body, header + 16);
  scheme.keyBytes = keyBits == 0 ? 5 : keyBits / 8;
  if (scheme.keyBytes < 5 || scheme.keyBytes > 16) Fail("the workbook's RC4 key size is unknown");
  const std::size_t verifier = header + headerSize;
  const Bytes saltSize = take(verifier, 4);
  if (saltSize[0] != 16 || saltSize[1] != 0 || saltSize[2] != 0 || saltSize[3] != 0)
    Fail("the workbook's encryption salt is not 16 bytes");
  scheme.salt = take(verifier + 4, 16);
  scheme.encryptedVerifier = take(verifier + 20, 16);
  scheme.encryptedVerifierHash = take(verifier + 40, 20);
  return scheme;
}

// Records written in the clear in an encrypted stream.
bool Clear(std::uint16_t type) {
  static constexpr std::array<std::uint16_t, 7> kClear{kBof,
                                                       kFilePass,
                                                       0x0194 /* USREXCL */,
                                                       0x0195 /* FILELOCK */,
                                                       0x00E1 /* INTERFACEHDR */,
                                                       0x0196 /* RRDINFO */,
                                                       0x0138 /* RRDHEAD */};
  return std::ranges::find(kClear, type) != kClear.end();
}

}  // namespace

std::string DecryptWorkbookStream(std::string_view stream, std::u16string_view password) {
  // FILEPASS comes right after the globals' BOF.
  std::optional<std::size_t> filePass;
  for (std::size_t at = 0, seen = 0; seen < 4 && stream.size() - at >= 4; ++seen) {
    const std::uint16_t type = Le16(stream, at);
    const std::uint16_t length = Le16(stream, at + 2);
    if (stream.size() - at - 4 < length) break;
    if (type == kFilePass) {
      filePass = at;
      break;
    }
    at += 4 + length;
  }
  if (!filePass) return std::string(stream);
  Scheme scheme = ReadScheme(stream.substr(*filePass + 4, Le16(stream, *filePass + 2)));
  scheme.Derive(password);
  if (!scheme.Accepts()) {
    Fail("the workbook is protected by a password to open (Excel asks for it); it cannot be read without it");
  }
  // Every byte from the start of the stream has its place in the key
  // stream (block by block), whether it is encrypted or not: record
  // headers, the records in the clear and a BOUNDSHEET's stream position
  // are not.
  std::string plain(stream);
  std::array<std::uint8_t, kBlock> keyStream{};
  std::optional<std::uint32_t> keyBlock;  // whose key stream keyStream holds
  const auto decrypt = [&](std::size_t from, std::size_t to) {
    for (std::size_t at = from; at < to; ++at) {
      const auto block = static_cast<std::uint32_t>(at / kBlock);
      if (keyBlock != block) {
        const Bytes key = scheme.Key(block);
        arcfour_ctx rc4;
        arcfour_set_key(&rc4, key.size(), key.data());
        keyStream.fill(0);
        arcfour_crypt(&rc4, keyStream.size(), keyStream.data(), keyStream.data());
        keyBlock = block;
      }
      plain[at] = static_cast<char>(static_cast<std::uint8_t>(plain[at]) ^ keyStream[at % kBlock]);
    }
  };
  for (std::size_t at = *filePass; stream.size() - at >= 4;) {
    const std::uint16_t type = Le16(stream, at);
    const std::uint16_t length = Le16(stream, at + 2);
    if (stream.size() - at - 4 < length) break;  // the record reader reports it
    if (!Clear(type))
      decrypt(at + 4 + (type == kBoundSheet ? std::min<std::size_t>(4, length) : 0), at + 4 + length);
    at += 4 + length;
  }
  return plain;
}

}  // namespace office

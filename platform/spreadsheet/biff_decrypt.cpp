// Decryption of workbook streams saved with a FILEPASS record.
//
// Three kinds exist: XOR obfuscation (BIFF5/7 and BIFF8), RC4 with an MD5
// key (BIFF8, "RC4 encryption" version 1.1) and RC4 with a SHA-1 key (BIFF8,
// "RC4 CryptoAPI" versions 2.2 to 4.2). Only the default password is known to
// the reader. The key stream is tied to the absolute position in the stream:
// RC4 is keyed afresh for every 1024-byte block, and the XOR array index is
// the position plus the record length, modulo 16. Record headers are never
// encrypted but still use up key stream; so do the few records (BOF,
// FILEPASS, revision and lock records) and the sheet offset at the start of
// BOUNDSHEET that stay in the clear. The hash and cipher primitives are
// Nettle's.
#include "platform/spreadsheet/biff_decrypt.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/spreadsheet/little_endian.h"
#include "platform/spreadsheet/spreadsheet_error.h"

namespace zumt::sheet {

namespace detail {
// DecryptWorkbookStream with a password of the caller's choice (tests use
// files saved with a known password).
bool DecryptWorkbookStreamWithPassword(std::vector<std::uint8_t>& stream, int biffVersion,
                                       std::u16string_view password);
}  // namespace detail

namespace {

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::size_t kBlockSize = 1024;


[[noreturn]] void WrongPassword() { throw SpreadsheetError("encrypted workbook"); }

[[noreturn]] void Malformed(std::size_t offset, const std::string& what) {
  throw SpreadsheetError("workbook stream: FILEPASS record at offset " + std::to_string(offset) + " " + what);
}

bool InClear(std::uint16_t type) {
  switch (type) {
    case kBof:
    case kFilePass:
    case 0x0194:  // USREXCL
    case 0x0195:  // FILELOCK
    case 0x00E1:  // INTERFACEHDR
    case 0x0196:  // RRDINFO
    case 0x0138:  // RRDHEAD
      return true;
    default:
      return false;
  }
}

// Calls `decrypt(offset, length, recordLength)` for every encrypted byte range
// of the stream, in stream order.
template <class F>
void ForEachEncryptedRange(const std::vector<std::uint8_t>& s, F&& decrypt) {
  std::size_t pos = 0;
  while (pos + 4 <= s.size()) {
    const std::uint16_t type = Le16(&s[pos]);
    const std::uint16_t length = Le16(&s[pos + 2]);
    const std::size_t data = pos + 4;
    const std::size_t end = std::min(data + length, s.size());  // a cut-short last record
    std::size_t from = data;
    if (type == kBoundSheet) from = std::min(data + 4, end);  // lbPlyPos stays in the clear
    if (!InClear(type) && from < end) decrypt(from, end - from, length);
    pos = data + length;
  }
}

// --- XOR obfuscation ------------------------------------------------------

constexpr std::array<std::uint8_t, 15> kPadArray = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                                    0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};
constexpr std::array<std::uint16_t, 15> kInitialCode = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C,
                                                        0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
                                                        0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr std::array<std::uint16_t, 105> kXorMatrix = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

std::uint8_t RotateRight(std::uint8_t b, int n) {
  return static_cast<std::uint8_t>((b >> n) | (b << (8 - n)));
}

// The password as the single bytes the XOR method works on (at most 15):
// each character's low byte, or its high byte when the low one is zero.
std::string SingleBytePassword(std::u16string_view password) {
  std::string out;
  for (char16_t c : password.substr(0, 15)) {
    const auto low = static_cast<char>(c & 0xFF);
    out.push_back(low != 0 ? low : static_cast<char>(c >> 8));
  }
  return out;
}

std::uint16_t XorVerifier(std::string_view pw) {
  std::uint16_t v = 0;
  auto step = [&v](std::uint8_t b) {
    v = static_cast<std::uint16_t>((((v >> 14) & 1) | ((v << 1) & 0x7FFF)) ^ b);
  };
  for (std::size_t i = pw.size(); i-- > 0;) step(static_cast<std::uint8_t>(pw[i]));
  step(static_cast<std::uint8_t>(pw.size()));
  return static_cast<std::uint16_t>(v ^ 0xCE4B);
}

std::uint16_t XorKey(std::string_view pw) {
  std::uint16_t key = kInitialCode[pw.size() - 1];
  std::size_t element = kXorMatrix.size() - 1;
  for (std::size_t i = pw.size(); i-- > 0;) {
    auto c = static_cast<std::uint8_t>(pw[i]);
    for (int bit = 0; bit < 7; ++bit, --element) {
      if (c & 0x40) key ^= kXorMatrix[element];
      c = static_cast<std::uint8_t>(c << 1);
    }
  }
  return key;
}

std::array<std::uint8_t, 16> XorArray(std::string_view pw) {
  const std::uint16_t key = XorKey(pw);
  const auto high = static_cast<std::uint8_t>(key >> 8);
  const auto low = static_cast<std::uint8_t>(key & 0xFF);
  auto mix = [](std::uint8_t a, std::uint8_t b) { return RotateRight(static_cast<std::uint8_t>(a ^ b), 1); };
  std::array<std::uint8_t, 16> out{};
  int index = static_cast<int>(pw.size());
  if (index % 2 == 1) {
    out[index] = mix(kPadArray[0], high);
    --index;
    out[index] = mix(static_cast<std::uint8_t>(pw.back()), low);
  }
  while (index > 0) {
    --index;
    out[index] = mix(static_cast<std::uint8_t>(pw[index]), high);
    --index;
    out[index] = mix(static_cast<std::uint8_t>(pw[index]), low);
  }
  index = 15;
  for (int pad = 15 - static_cast<int>(pw.size()); pad > 0;) {
    out[index--] = mix(kPadArray[pad--], high);
    out[index--] = mix(kPadArray[pad--], low);
  }
  return out;
}

void DecryptXor(std::vector<std::uint8_t>& s, std::string_view pw) {
  const auto array = XorArray(pw);
  ForEachEncryptedRange(s, [&](std::size_t from, std::size_t n, std::size_t recordLength) {
    std::size_t index = (from + recordLength) % 16;
    for (std::uint8_t *p = s.data() + from, *e = p + n; p < e; ++p) {
      *p = RotateRight(static_cast<std::uint8_t>(*p ^ array[index]), 5);
      index = (index + 1) & 15;
    }
  });
}

// --- RC4 ------------------------------------------------------------------

using Key = std::array<std::uint8_t, 16>;

struct Rc4Params {
  bool cryptoApi = false;
  std::size_t keyBytes = 16;            // CryptoAPI key length (5 for 40 bits, padded with zeros)
  std::array<std::uint8_t, 20> base{};  // MD5: first 5 bytes of the salted hash; SHA-1: H0
};

Key BlockKey(const Rc4Params& p, std::uint32_t block) {
  std::uint8_t blockLe[4] = {static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(block >> 8),
                             static_cast<std::uint8_t>(block >> 16), static_cast<std::uint8_t>(block >> 24)};
  Key key{};
  if (!p.cryptoApi) {
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, 5, p.base.data());
    md5_update(&ctx, 4, blockLe);
    md5_digest(&ctx, MD5_DIGEST_SIZE, key.data());
  } else {
    std::uint8_t h[SHA1_DIGEST_SIZE];
    sha1_ctx ctx;
    sha1_init(&ctx);
    sha1_update(&ctx, SHA1_DIGEST_SIZE, p.base.data());
    sha1_update(&ctx, 4, blockLe);
    sha1_digest(&ctx, SHA1_DIGEST_SIZE, h);
    std::memcpy(key.data(), h, p.keyBytes);
  }
  return key;
}

// The RC4 key length: the MD5 method uses all 16 bytes; a CryptoAPI key has
// its own length, except that a 40-bit key is padded with zeros to 16 bytes.
std::size_t CipherKeySize(const Rc4Params& p) { return p.cryptoApi && p.keyBytes != 5 ? p.keyBytes : 16; }

// RC4 whose key stream is addressed by absolute stream offset.
class BlockRc4 {
 public:
  explicit BlockRc4(const Rc4Params& p) : params_(p) {}

  void Apply(std::uint8_t* data, std::size_t at, std::size_t n) {
    while (n > 0) {
      const std::size_t block = at / kBlockSize;
      if (block != block_ || at < pos_) {
        const Key key = BlockKey(params_, static_cast<std::uint32_t>(block));
        arcfour_set_key(&ctx_, CipherKeySize(params_), key.data());
        block_ = block;
        pos_ = block * kBlockSize;
      }
      if (at > pos_) {
        std::uint8_t scratch[kBlockSize];
        arcfour_crypt(&ctx_, at - pos_, scratch, scratch);
      }
      const std::size_t chunk = std::min(n, (block + 1) * kBlockSize - at);
      arcfour_crypt(&ctx_, chunk, data, data);
      at += chunk;
      data += chunk;
      n -= chunk;
      pos_ = at;
    }
  }

 private:
  Rc4Params params_;
  arcfour_ctx ctx_{};
  std::size_t block_ = static_cast<std::size_t>(-1);
  std::size_t pos_ = 0;
};

std::string Utf16Le(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

// Decrypts verifier and its hash with the block-0 key and compares the hash.
bool VerifyRc4(const Rc4Params& p, const std::uint8_t* encVerifier, const std::uint8_t* encHash) {
  const Key key = BlockKey(p, 0);
  arcfour_ctx ctx;
  arcfour_set_key(&ctx, CipherKeySize(p), key.data());
  std::uint8_t verifier[16];
  std::uint8_t hash[SHA1_DIGEST_SIZE];
  const std::size_t hashSize = p.cryptoApi ? SHA1_DIGEST_SIZE : MD5_DIGEST_SIZE;
  arcfour_crypt(&ctx, 16, verifier, encVerifier);
  arcfour_crypt(&ctx, hashSize, hash, encHash);
  std::uint8_t expected[SHA1_DIGEST_SIZE];
  if (p.cryptoApi) {
    sha1_ctx c;
    sha1_init(&c);
    sha1_update(&c, 16, verifier);
    sha1_digest(&c, SHA1_DIGEST_SIZE, expected);
  } else {
    md5_ctx c;
    md5_init(&c);
    md5_update(&c, 16, verifier);
    md5_digest(&c, MD5_DIGEST_SIZE, expected);
  }
  return std::memcmp(hash, expected, hashSize) == 0;
}

// RC4 with an MD5 key: FILEPASS holds salt, encrypted verifier and hash.
Rc4Params Md5Params(const std::uint8_t* salt, std::u16string_view password) {
  const std::string pw = Utf16Le(password);
  std::uint8_t h0[MD5_DIGEST_SIZE];
  md5_ctx ctx;
  md5_init(&ctx);
  md5_update(&ctx, pw.size(), reinterpret_cast<const std::uint8_t*>(pw.data()));
  md5_digest(&ctx, MD5_DIGEST_SIZE, h0);
  md5_init(&ctx);
  for (int i = 0; i < 16; ++i) {
    md5_update(&ctx, 5, h0);
    md5_update(&ctx, 16, salt);
  }
  std::uint8_t h1[MD5_DIGEST_SIZE];
  md5_digest(&ctx, MD5_DIGEST_SIZE, h1);
  Rc4Params p;
  std::memcpy(p.base.data(), h1, 5);
  return p;
}

Rc4Params Sha1Params(const std::uint8_t* salt, std::size_t keyBits, std::u16string_view password) {
  const std::string pw = Utf16Le(password);
  Rc4Params p;
  p.cryptoApi = true;
  p.keyBytes = keyBits / 8;
  sha1_ctx ctx;
  sha1_init(&ctx);
  sha1_update(&ctx, 16, salt);
  sha1_update(&ctx, pw.size(), reinterpret_cast<const std::uint8_t*>(pw.data()));
  sha1_digest(&ctx, SHA1_DIGEST_SIZE, p.base.data());
  return p;
}

// Reads the RC4 part of a BIFF8 FILEPASS record (after wEncryptionType).
Rc4Params ReadRc4(const std::uint8_t* d, std::size_t n, std::size_t offset, std::u16string_view password) {
  if (n < 6) Malformed(offset, "is too short");
  const std::uint16_t major = Le16(d + 2);
  const std::uint16_t minor = Le16(d + 4);
  if (major == 1 && minor == 1) {
    if (n < 6 + 48) Malformed(offset, "is too short");
    Rc4Params p = Md5Params(d + 6, password);
    if (!VerifyRc4(p, d + 22, d + 38)) WrongPassword();
    return p;
  }
  if (major >= 2 && major <= 4 && minor == 2) {
    // Flags, header size, header (flags, size extra, algorithm, hash
    // algorithm, key size, provider, reserved, CSP name), verifier.
    if (n < 14) Malformed(offset, "is too short");
    const std::uint32_t headerSize = Le32(d + 10);
    if (headerSize < 32 || headerSize > n - 14 || n - 14 - headerSize < 60) Malformed(offset, "is too short");
    const std::uint8_t* header = d + 14;
    const std::uint32_t algorithm = Le32(header + 8);
    const std::uint32_t hashAlgorithm = Le32(header + 12);
    std::uint32_t keyBits = Le32(header + 16);
    if (keyBits == 0) keyBits = 40;
    if ((algorithm != 0 && algorithm != 0x6801) || (hashAlgorithm != 0 && hashAlgorithm != 0x8004) ||
        keyBits < 40 || keyBits > 128 || keyBits % 8 != 0) {
      WrongPassword();  // an encryption this reader does not know
    }
    const std::uint8_t* verifier = header + headerSize;
    if (Le32(verifier) != 16 || Le32(verifier + 36) != SHA1_DIGEST_SIZE)
      Malformed(offset, "has a bad verifier");
    Rc4Params p = Sha1Params(verifier + 4, keyBits, password);
    if (!VerifyRc4(p, verifier + 20, verifier + 40)) WrongPassword();
    return p;
  }
  WrongPassword();
}

void DecryptRc4(std::vector<std::uint8_t>& s, const Rc4Params& p) {
  BlockRc4 rc4(p);
  ForEachEncryptedRange(
      s, [&](std::size_t from, std::size_t n, std::size_t) { rc4.Apply(s.data() + from, from, n); });
}

void CheckXor(const std::uint8_t* keyAndVerifier, std::string_view pw) {
  if (pw.empty() || Le16(keyAndVerifier) != XorKey(pw) || Le16(keyAndVerifier + 2) != XorVerifier(pw)) {
    WrongPassword();
  }
}

// Offset of the FILEPASS record in the globals substream, or the stream's
// size when there is none.
std::size_t FilePassOffset(std::span<const std::uint8_t> stream) {
  std::size_t pos = 0;
  while (pos + 4 <= stream.size()) {
    const std::uint16_t type = Le16(&stream[pos]);
    const std::uint16_t length = Le16(&stream[pos + 2]);
    if (type == kFilePass) return pos;
    if (type == kEof) break;
    pos += 4 + std::size_t{length};
  }
  return stream.size();
}

}  // namespace

bool IsEncryptedWorkbookStream(std::span<const std::uint8_t> stream) {
  return FilePassOffset(stream) != stream.size();
}

bool detail::DecryptWorkbookStreamWithPassword(std::vector<std::uint8_t>& stream, int biffVersion,
                                               std::u16string_view password) {
  const std::size_t found = FilePassOffset(stream);
  if (found == stream.size()) return false;
  const std::size_t length = Le16(&stream[found + 2]);
  if (found + 4 + length > stream.size()) Malformed(found, "is cut short by the end of the stream");
  const std::uint8_t* d = stream.data() + found + 4;
  const std::string xorPassword = SingleBytePassword(password);

  if (biffVersion < 8 && length == 4) {
    CheckXor(d, xorPassword);  // BIFF5/7: key and verifier only
    DecryptXor(stream, xorPassword);
  } else {
    if (length < 2) Malformed(found, "is too short");
    const std::uint16_t kind = Le16(d);
    if (kind == 0) {
      if (length < 6) Malformed(found, "is too short");
      CheckXor(d + 2, xorPassword);
      DecryptXor(stream, xorPassword);
    } else if (kind == 1) {
      DecryptRc4(stream, ReadRc4(d, length, found, password));
    } else {
      WrongPassword();
    }
  }
  stream[found] = 0;
  stream[found + 1] = 0;
  return true;
}

bool DecryptWorkbookStream(std::vector<std::uint8_t>& stream, int biffVersion) {
  return detail::DecryptWorkbookStreamWithPassword(stream, biffVersion, u"VelvetSweatshop");
}

}  // namespace zumt::sheet

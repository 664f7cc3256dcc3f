#include "app/address_cipher.h"

#include <cstring>

namespace tarn {
namespace {

// The key text of this program. Configuration files written for it (the defaults in
// assets/config, and files written with `tarnctl encipher`) depend on it: never change it.
constexpr char kKeyText[] = "Tarn#Quay7!Mist2@";
static_assert(sizeof(kKeyText) == 18, "17 characters");

// Multiplication modulo 65537, with 0 standing for 65536.
uint16_t Mul(uint16_t a, uint16_t b) {
  const uint32_t x = a ? a : 0x10000u;
  const uint32_t y = b ? b : 0x10000u;
  const uint32_t p = static_cast<uint32_t>((static_cast<uint64_t>(x) * y) % 0x10001u);
  return static_cast<uint16_t>(p);  // 65536 becomes 0
}

// The multiplicative inverse modulo 65537 (0 and 1 are their own inverses).
uint16_t MulInv(uint16_t a) {
  if (a <= 1) return a;
  // Fermat: a^(p-2) mod p.
  uint64_t result = 1, base = a, e = 0x10001u - 2;
  while (e) {
    if (e & 1) result = result * base % 0x10001u;
    base = base * base % 0x10001u;
    e >>= 1;
  }
  return static_cast<uint16_t>(result);
}

uint16_t AddInv(uint16_t a) { return static_cast<uint16_t>(0x10000u - a); }

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void PutWord(uint8_t* p, uint16_t w) {
  p[0] = static_cast<uint8_t>(w & 0xFF);
  p[1] = static_cast<uint8_t>(w >> 8);
}

AddressCipher::Block Crypt(const AddressCipher::Block& in, const std::array<uint16_t, 52>& k) {
  uint16_t x1 = Word(&in[0]), x2 = Word(&in[2]), x3 = Word(&in[4]), x4 = Word(&in[6]);
  std::size_t i = 0;
  for (int round = 0; round < 8; ++round) {
    x1 = Mul(x1, k[i++]);
    x2 = static_cast<uint16_t>(x2 + k[i++]);
    x3 = static_cast<uint16_t>(x3 + k[i++]);
    x4 = Mul(x4, k[i++]);
    const uint16_t s3 = x3;
    x3 = Mul(static_cast<uint16_t>(x3 ^ x1), k[i++]);
    const uint16_t s2 = x2;
    x2 = Mul(static_cast<uint16_t>((x2 ^ x4) + x3), k[i++]);
    x3 = static_cast<uint16_t>(x3 + x2);
    x1 ^= x2;
    x4 ^= x3;
    x2 ^= s3;
    x3 ^= s2;
  }
  AddressCipher::Block out{};
  PutWord(&out[0], Mul(x1, k[i++]));
  PutWord(&out[2], static_cast<uint16_t>(x3 + k[i++]));
  PutWord(&out[4], static_cast<uint16_t>(x2 + k[i++]));
  PutWord(&out[6], Mul(x4, k[i++]));
  return out;
}

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

const char* AddressCipher::KeyText() { return kKeyText; }

AddressCipher::AddressCipher() {
  Key k;
  std::memcpy(k.data(), kKeyText, 16);
  Schedule(k);
}

AddressCipher::AddressCipher(const Key& key) { Schedule(key); }

void AddressCipher::Schedule(const Key& key) {
  key_ = key;
  // The 128-bit key, first word most significant, rotated left by 25 bits after every 8
  // subkeys.
  uint64_t hi = 0, lo = 0;
  for (int i = 0; i < 4; ++i) hi = (hi << 16) | Word(&key[static_cast<std::size_t>(i) * 2]);
  for (int i = 4; i < 8; ++i) lo = (lo << 16) | Word(&key[static_cast<std::size_t>(i) * 2]);
  for (std::size_t i = 0; i < 52;) {
    for (int w = 0; w < 8 && i < 52; ++w, ++i) {
      const uint64_t half = w < 4 ? hi : lo;
      enc_[i] = static_cast<uint16_t>(half >> (48 - 16 * (w % 4)));
    }
    const uint64_t nhi = (hi << 25) | (lo >> 39);
    const uint64_t nlo = (lo << 25) | (hi >> 39);
    hi = nhi;
    lo = nlo;
  }
  // Decryption: the rounds' keys in reverse, inverted; the additive pair swapped in the middle
  // rounds.
  dec_[0] = MulInv(enc_[48]);
  dec_[1] = AddInv(enc_[49]);
  dec_[2] = AddInv(enc_[50]);
  dec_[3] = MulInv(enc_[51]);
  for (int r = 1; r < 8; ++r) {
    const std::size_t d = static_cast<std::size_t>(r) * 6, e = static_cast<std::size_t>(48 - 6 * r);
    dec_[d - 2] = enc_[e + 4];
    dec_[d - 1] = enc_[e + 5];
    dec_[d] = MulInv(enc_[e]);
    dec_[d + 1] = AddInv(enc_[e + 2]);
    dec_[d + 2] = AddInv(enc_[e + 1]);
    dec_[d + 3] = MulInv(enc_[e + 3]);
  }
  dec_[46] = enc_[4];
  dec_[47] = enc_[5];
  dec_[48] = MulInv(enc_[0]);
  dec_[49] = AddInv(enc_[1]);
  dec_[50] = AddInv(enc_[2]);
  dec_[51] = MulInv(enc_[3]);
}

AddressCipher::Block AddressCipher::EncryptBlock(const Block& in) const { return Crypt(in, enc_); }
AddressCipher::Block AddressCipher::DecryptBlock(const Block& in) const { return Crypt(in, dec_); }

std::string AddressCipher::Run(std::string_view bytes, bool encrypt) const {
  std::string out(bytes);
  const std::size_t whole = bytes.size() / 8 * 8;
  for (std::size_t i = 0; i < whole; i += 8) {
    Block b;
    std::memcpy(b.data(), bytes.data() + i, 8);
    const Block c = encrypt ? EncryptBlock(b) : DecryptBlock(b);
    std::memcpy(out.data() + i, c.data(), 8);
  }
  // The tail of r bytes: the first with key byte r-1, the next with r-2, down to key byte 0.
  const std::size_t r = bytes.size() - whole;
  for (std::size_t j = 0; j < r; ++j) out[whole + j] = static_cast<char>(out[whole + j] ^ key_[r - 1 - j]);
  return out;
}

std::string AddressCipher::Encipher(std::string_view text) const { return Base64Encode(Run(text, true)); }

std::string AddressCipher::Decipher(std::string_view base64) const {
  std::string bytes;
  if (!Base64Decode(base64, &bytes)) return std::string();
  std::string plain = Run(bytes, false);
  const std::size_t nul = plain.find('\0');
  if (nul != std::string::npos) plain.resize(nul);
  if (plain.size() > 1023) plain.resize(1023);
  return plain;
}

std::string Base64Encode(std::string_view b) {
  std::string out;
  out.reserve((b.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < b.size(); i += 3) {
    const uint32_t v = (static_cast<uint8_t>(b[i]) << 16) | (static_cast<uint8_t>(b[i + 1]) << 8) |
                       static_cast<uint8_t>(b[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (b.size() - i == 1) {
    const uint32_t v = static_cast<uint8_t>(b[i]) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (b.size() - i == 2) {
    const uint32_t v = (static_cast<uint8_t>(b[i]) << 16) | (static_cast<uint8_t>(b[i + 1]) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

bool Base64Decode(std::string_view text, std::string* out) {
  out->clear();
  uint32_t acc = 0;
  int bits = 0;
  bool padding = false;
  for (char ch : text) {
    if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') continue;
    if (ch == '=') {
      padding = true;
      continue;
    }
    if (padding) return false;  // data after the padding
    const char* p = std::strchr(kAlphabet, ch);
    if (!p || ch == '\0') return false;
    acc = (acc << 6) | static_cast<uint32_t>(p - kAlphabet);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out->push_back(static_cast<char>((acc >> bits) & 0xFF));
    }
  }
  return true;
}

}  // namespace tarn

// The cipher of server addresses in the configuration files: IDEA over 8-byte blocks (each
// block on its own, no chaining), 16-bit words read and written little-endian (first byte
// low), a tail shorter than a block XORed with the key's bytes, and standard Base64 around the
// result. One 16-byte key, the first 16 bytes of the program's key text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

class AddressCipher {
 public:
  using Key = std::array<uint8_t, 16>;
  using Block = std::array<uint8_t, 8>;

  // The program's key.
  AddressCipher();
  explicit AddressCipher(const Key& key);

  // Text -> Base64 of the enciphered bytes (same length as the text before Base64).
  std::string Encipher(std::string_view text) const;
  // Base64 -> deciphered text, read up to its first NUL and at most 1023 bytes. Text that is
  // not Base64 gives "".
  std::string Decipher(std::string_view base64) const;

  // One IDEA block each way (the words in this system's byte order).
  Block EncryptBlock(const Block& in) const;
  Block DecryptBlock(const Block& in) const;

  // The program's key text (17 printable characters; the first 16 bytes are the key).
  static const char* KeyText();

 private:
  void Schedule(const Key& key);
  std::string Run(std::string_view bytes, bool encrypt) const;

  Key key_{};
  std::array<uint16_t, 52> enc_{};
  std::array<uint16_t, 52> dec_{};
};

// Standard Base64 (alphabet A-Z a-z 0-9 + /, "=" padding). Decode skips blanks and line ends;
// any other character outside the alphabet makes it fail (returns false).
std::string Base64Encode(std::string_view bytes);
bool Base64Decode(std::string_view text, std::string* out);

}  // namespace tarn

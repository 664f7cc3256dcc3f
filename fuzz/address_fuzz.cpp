// Server addresses as stored: any text deciphers without a crash to at most 1023 bytes, and
// enciphering any text deciphers back to it (up to its first NUL).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/address_cipher.h"
#include "app/server_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const tarn::AddressCipher cipher;
  if (cipher.Decipher(text).size() > 1023) std::abort();
  tarn::DecipherAddress(text);
  std::string plain = text.substr(0, text.find('\0'));
  if (plain.size() > 1023) plain.resize(1023);
  if (cipher.Decipher(cipher.Encipher(text)) != plain) std::abort();
  return 0;
}

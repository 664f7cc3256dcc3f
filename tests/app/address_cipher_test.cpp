// The address cipher: the standard IDEA vector in this system's byte order, the round trip of
// every length from 0 to 40, the remainder rule, Base64 and damaged input.
#include <gtest/gtest.h>

#include <cstring>

#include "app/address_cipher.h"

namespace tarn {
namespace {

AddressCipher::Key TestKey() {
  return {0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0x05, 0x00, 0x06, 0x00, 0x07, 0x00, 0x08, 0x00};
}

TEST(AddressCipher, StandardVectorInLittleEndianWords) {
  const AddressCipher c(TestKey());
  const AddressCipher::Block plain{0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00};
  const AddressCipher::Block expected{0xFB, 0x11, 0x2B, 0xED, 0x98, 0x01, 0xE5, 0x6D};
  EXPECT_EQ(c.EncryptBlock(plain), expected);
  EXPECT_EQ(c.DecryptBlock(expected), plain);
}

TEST(AddressCipher, RoundTripOfEveryLengthUpTo40) {
  const AddressCipher c;
  for (int n = 0; n <= 40; ++n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += static_cast<char>('a' + (i * 7) % 26);
    const std::string enc = c.Encipher(text);
    std::string raw;
    ASSERT_TRUE(Base64Decode(enc, &raw));
    EXPECT_EQ(raw.size(), static_cast<std::size_t>(n));
    if (n >= 8) {
      EXPECT_NE(raw.substr(0, 8), text.substr(0, 8));
    }
    EXPECT_EQ(c.Decipher(enc), text) << n;
  }
  EXPECT_EQ(c.Encipher(""), "");
}

TEST(AddressCipher, RemainderIsXoredWithTheKeyBytesCountingDown) {
  const AddressCipher c(TestKey());
  const AddressCipher::Key k = TestKey();
  // 11 bytes: one block, then a remainder of 3 bytes XORed with key bytes 2, 1, 0.
  const std::string text = "0123456789A";
  std::string raw;
  ASSERT_TRUE(Base64Decode(c.Encipher(text), &raw));
  ASSERT_EQ(raw.size(), 11u);
  EXPECT_EQ(static_cast<uint8_t>(raw[8]), static_cast<uint8_t>('8' ^ k[2]));
  EXPECT_EQ(static_cast<uint8_t>(raw[9]), static_cast<uint8_t>('9' ^ k[1]));
  EXPECT_EQ(static_cast<uint8_t>(raw[10]), static_cast<uint8_t>('A' ^ k[0]));
  // Whole blocks are enciphered independently (no chaining): equal blocks, equal output.
  ASSERT_TRUE(Base64Decode(c.Encipher("ABCDEFGHABCDEFGH"), &raw));
  EXPECT_EQ(raw.substr(0, 8), raw.substr(8, 8));
}

TEST(AddressCipher, KeyTextHas17CharactersAndTheFirst16AreTheKey) {
  EXPECT_EQ(std::string(AddressCipher::KeyText()).size(), 17u);
  AddressCipher::Key k;
  std::memcpy(k.data(), AddressCipher::KeyText(), 16);
  EXPECT_EQ(AddressCipher(k).Encipher("tarn-embedded@7200"), AddressCipher().Encipher("tarn-embedded@7200"));
}

TEST(Base64, StandardVectorsAndDamage) {
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
  std::string out;
  ASSERT_TRUE(Base64Decode("Zm9v\r\nYmE=", &out));
  EXPECT_EQ(out, "fooba");
  EXPECT_FALSE(Base64Decode("Zm9v!", &out));
  EXPECT_FALSE(Base64Decode("Zg==Zg", &out));
  const AddressCipher c;
  EXPECT_EQ(c.Decipher("not base64!"), "");
  EXPECT_EQ(c.Decipher(""), "");
}

TEST(AddressCipher, DecipheredTextEndsAtNulAndAt1023Bytes) {
  const AddressCipher c;
  EXPECT_EQ(c.Decipher(c.Encipher(std::string("host\0junk", 9))), "host");
  const std::string longText(2000, 'x');
  EXPECT_EQ(c.Decipher(c.Encipher(longText)).size(), 1023u);
}

}  // namespace
}  // namespace tarn

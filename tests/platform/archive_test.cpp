#include "platform/archive.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"

namespace tarn {
namespace {

TEST(Archive, ValuesRoundTripLittleEndian) {
  ArchiveWriter w;
  w.Int32(2);
  w.Int8(-3);
  w.Int64(-1234567890123LL);
  w.Double(95.5);
  w.String("rb2510");
  const std::string& d = w.Data();
  EXPECT_EQ(d.substr(0, 4), std::string("\x02\x00\x00\x00", 4));
  EXPECT_EQ(d[13 + 8], 6);  // the string's one-byte prefix
  ArchiveReader r(d);
  int32_t a;
  int8_t b;
  int64_t c;
  double e;
  std::string s;
  ASSERT_TRUE(r.Int32(a) && r.Int8(b) && r.Int64(c) && r.Double(e) && r.String(s));
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, -3);
  EXPECT_EQ(c, -1234567890123LL);
  EXPECT_EQ(e, 95.5);
  EXPECT_EQ(s, "rb2510");
  EXPECT_TRUE(r.AtEnd());
}

TEST(Archive, TheThreeLengthPrefixes) {
  for (std::size_t len : {0u, 254u, 255u, 0xFFFDu, 0xFFFEu, 70000u}) {
    ArchiveWriter w;
    w.String(std::string(len, 'q'));
    const std::string& d = w.Data();
    if (len < 255) {
      EXPECT_EQ(d.size(), 1 + len);
      EXPECT_EQ(static_cast<unsigned char>(d[0]), len);
    } else if (len < 0xFFFE) {
      EXPECT_EQ(d.size(), 3 + len);
      EXPECT_EQ(static_cast<unsigned char>(d[0]), 0xFF);
    } else {
      EXPECT_EQ(d.size(), 7 + len);
      EXPECT_EQ(d.substr(0, 3), "\xFF\xFF\xFF");
    }
    ArchiveReader r(d);
    std::string s;
    ASSERT_TRUE(r.String(s)) << len;
    EXPECT_EQ(s.size(), len);
  }
}

TEST(Archive, HugeClaimsFailWithoutAllocating) {
  // Ten bytes whose prefix claims a 4 GB string.
  std::string tenBytes("\xFF\xFF\xFF\xFE\xFF\xFF\xFF" "abc", 10);
  ArchiveReader r(tenBytes);
  std::string s;
  EXPECT_FALSE(r.String(s));
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.FailedAt(), 0u);
  // A count that claims 2^31 - 1 records of at least 8 bytes each.
  ArchiveWriter w;
  w.Int32(0x7FFFFFFF);
  w.Int32(1);
  w.Int16(2);
  ArchiveReader r2(w.Data());
  int32_t n;
  EXPECT_FALSE(r2.Count(n, 8));
  EXPECT_EQ(r2.FailedAt(), 0u);
  // A negative count fails too.
  ArchiveWriter w3;
  w3.Int32(-1);
  ArchiveReader r3(w3.Data());
  EXPECT_FALSE(r3.Count(n, 0));
}

TEST(Archive, StopsAtTheDamageAndStaysStopped) {
  ArchiveWriter w;
  w.Int32(5);
  w.String("ok");
  std::string d = w.Data() + "\x10" "short";  // claims 16 bytes, has 5
  ArchiveReader r(d);
  int32_t v;
  std::string s;
  ASSERT_TRUE(r.Int32(v));
  ASSERT_TRUE(r.String(s));
  EXPECT_EQ(r.Position(), 7u);
  EXPECT_FALSE(r.String(s));
  EXPECT_EQ(r.FailedAt(), 7u);
  EXPECT_EQ(s, "ok");  // a failed read leaves its target alone
  EXPECT_FALSE(r.Int32(v));  // sticky
}

TEST(Archive, ReadsUtf16TextsIntoGbk) {
  // 0xFF 0xFFFE marks a UTF-16 text; "中" is U+4E2D.
  std::string d("\xFF\xFE\xFF\x01\x2D\x4E", 6);
  ArchiveReader r(d);
  std::string s;
  ASSERT_TRUE(r.String(s));
  EXPECT_EQ(s, TXT("中"));
}

}  // namespace
}  // namespace tarn

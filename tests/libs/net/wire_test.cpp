// Frames on the wire: lengths are checked before anything is kept, frames are found whatever
// way the bytes are cut, and a broken stream stays broken.
#include <gtest/gtest.h>

#include "libs/net/wire.h"

namespace tarn::net {
namespace {

std::string LengthOnly(uint32_t len) {
  ByteWriter w;
  w.U32(len);
  return std::move(w.Bytes());
}

TEST(FrameDecoder, FindsFramesHoweverTheBytesAreCut) {
  std::string stream = EncodeFrame(7, 1, "first") + EncodeFrame(9, 2, "") + EncodeFrame(20, 3, std::string(300, 'x'));
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{11}, stream.size()}) {
    FrameDecoder d(kMaxClientFrame);
    std::vector<Frame> got;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
      ASSERT_TRUE(d.Feed(stream.data() + at, std::min(chunk, stream.size() - at)));
      Frame f;
      while (d.Next(f)) got.push_back(f);
    }
    ASSERT_EQ(got.size(), 3u) << "chunk " << chunk;
    EXPECT_EQ(got[0].type, 7);
    EXPECT_EQ(got[0].sequence, 1u);
    EXPECT_EQ(got[0].payload, "first");
    EXPECT_EQ(got[1].payload, "");
    EXPECT_EQ(got[2].sequence, 3u);
    EXPECT_EQ(got[2].payload.size(), 300u);
    EXPECT_EQ(d.Pending(), 0u);
  }
}

TEST(FrameDecoder, FramesAppendedToOneBufferAreTheSameAsFramesSentOneByOne) {
  std::string together = "kept";
  AppendFrame(together, 7, 1, "first");
  AppendFrame(together, 9, 2, "");
  AppendFrame(together, 20, 3, std::string(70000, 'y'));
  EXPECT_EQ(together, "kept" + EncodeFrame(7, 1, "first") + EncodeFrame(9, 2, "") +
                          EncodeFrame(20, 3, std::string(70000, 'y')));
}

TEST(FrameDecoder, RefusesBadLengthsBeforeKeepingTheBody) {
  // A length above the limit is refused from its four bytes alone: nothing of it is kept.
  FrameDecoder big(1024);
  EXPECT_FALSE(big.Feed(LengthOnly(0xFFFFFFF0u).data(), 4));
  EXPECT_TRUE(big.Broken());
  EXPECT_EQ(big.Pending(), 0u);
  EXPECT_FALSE(big.Feed("more", 4));  // broken for good

  // Just above and at the limit.
  FrameDecoder edge(1024);
  EXPECT_FALSE(edge.Feed(LengthOnly(1025).data(), 4));
  FrameDecoder atLimit(1024);
  EXPECT_TRUE(atLimit.Feed(LengthOnly(1024).data(), 4));

  // Shorter than the type and sequence it must hold.
  for (uint32_t len : {0u, 1u, 5u}) {
    FrameDecoder d(1024);
    EXPECT_FALSE(d.Feed(LengthOnly(len).data(), 4)) << len;
    Frame f;
    EXPECT_FALSE(d.Next(f));
  }
}

TEST(FrameDecoder, AGoodFrameBeforeABadLengthIsStillDelivered) {
  std::string stream = EncodeFrame(6, 1, "ok") + LengthOnly(1u << 30);
  FrameDecoder d(1024);
  d.Feed(stream.data(), stream.size());
  Frame f;
  ASSERT_TRUE(d.Next(f));
  EXPECT_EQ(f.payload, "ok");
  EXPECT_FALSE(d.Next(f));
  EXPECT_TRUE(d.Broken());
}

TEST(ByteReader, CountsAndTextsAreCheckedAgainstWhatIsLeft) {
  ByteWriter w;
  w.U32(1000000);  // a count of a million 8-byte records in a 4-byte payload
  ByteReader r(w.Bytes());
  EXPECT_EQ(r.Count(8), 0u);
  EXPECT_FALSE(r.Ok());

  ByteWriter t;
  t.U32(50);  // a text longer than the bytes that follow
  t.U8('a');
  ByteReader rt(t.Bytes());
  EXPECT_EQ(rt.Str(), "");
  EXPECT_FALSE(rt.Ok());

  ByteWriter cap;
  cap.Str("0123456789");
  ByteReader rc(cap.Bytes());
  EXPECT_EQ(rc.Str(5), "");  // over the caller's bound
  EXPECT_FALSE(rc.Ok());

  // A failure sticks: later reads give zeros.
  ByteReader empty("");
  EXPECT_EQ(empty.U64(), 0u);
  ByteWriter one;
  one.U32(7);
  EXPECT_EQ(empty.U32(), 0u);
  EXPECT_FALSE(empty.Done());
}

TEST(ByteReader, DoneRejectsTrailingBytes) {
  ByteWriter w;
  w.I64(-5);
  w.Str("gbk");
  w.U8(1);
  ByteReader r(w.Bytes());
  EXPECT_EQ(r.I64(), -5);
  EXPECT_EQ(r.Str(), "gbk");
  EXPECT_FALSE(r.Done());
  EXPECT_TRUE(r.Bool());
  EXPECT_TRUE(r.Done());
}

}  // namespace
}  // namespace tarn::net

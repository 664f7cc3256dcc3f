// Scripted sessions against the server: what it refuses, when it hangs up, and that a terminal
// that misbehaves costs it bounded memory and no other terminal's service.
#include "server_fixture.h"

namespace tarn::test {
namespace {

using net::ByteWriter;
using net::Frame;
using net::LinkKind;
using net::Msg;

constexpr uint16_t T(Msg m) { return static_cast<uint16_t>(m); }

std::string Refusal(const Frame& f) {
  net::RefusedMsg r;
  return f.type == T(Msg::Refused) && net::Decode(f.payload, r) ? r.text : std::string("<not a refusal>");
}

std::string LengthOnly(uint32_t len) {
  ByteWriter w;
  w.U32(len);
  return std::move(w.Bytes());
}

class Session : public ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    options_.silenceMs = 2000;
    options_.heartbeatMs = 200;
  }
};

TEST_F(Session, NothingIsServedBeforeHelloAndLogin) {
  StartServer();
  {
    // A request as the first frame.
    RawClient c(port_);
    ASSERT_TRUE(c.Connected());
    ByteWriter w;
    w.U32(0);
    ASSERT_TRUE(c.Send(Msg::GetSnapshot, w.Bytes()));
    Frame f;
    ASSERT_TRUE(c.ReceiveAnswer(f));
    EXPECT_EQ(f.type, T(Msg::Refused));
    EXPECT_TRUE(c.ClosedByServer());
  }
  {
    // A request after the handshake but before the login.
    RawClient c(port_);
    ASSERT_TRUE(c.Hello());
    ASSERT_TRUE(c.Send(Msg::GetOrders, ByteWriter().Bytes()));
    Frame f;
    ASSERT_TRUE(c.ReceiveAnswer(f));
    EXPECT_EQ(Refusal(f), TXT("请先登录"));
    EXPECT_TRUE(c.ClosedByServer());
  }
  {
    // Another build's record layout is refused at the handshake.
    RawClient c(port_);
    net::HelloMsg hello;
    hello.layout = net::RecordLayout() + 1;
    ASSERT_TRUE(c.Send(Msg::Hello, net::Encode(hello)));
    Frame f;
    ASSERT_TRUE(c.ReceiveAnswer(f));
    EXPECT_EQ(Refusal(f), TXT("终端与服务器版本不一致, 请升级终端"));
    EXPECT_TRUE(c.ClosedByServer());
  }
  EXPECT_TRUE(WaitFor([&] { return server_->Sessions() == 0; }));
}

TEST_F(Session, BadLengthsCountsAndTypesEndTheSession) {
  StartServer();
  // A length far over the limit: the server hangs up without reading (or allocating) the body.
  {
    RawClient c(port_);
    ASSERT_TRUE(c.Hello());
    ASSERT_TRUE(c.SendBytes(LengthOnly(0x7FFFFFFFu)));
    EXPECT_TRUE(c.ClosedByServer());
  }
  // Just over the limit, and shorter than a frame's own header.
  for (uint32_t len : {net::kMaxClientFrame + 1, 3u}) {
    RawClient c(port_);
    ASSERT_TRUE(c.Hello());
    ASSERT_TRUE(c.SendBytes(LengthOnly(len) + std::string(16, '\0')));
    EXPECT_TRUE(c.ClosedByServer()) << len;
  }
  // A logged-in session: an unknown type, then a text whose length runs past the payload.
  {
    RawClient c(port_);
    ASSERT_TRUE(c.Login(LinkKind::Quote, "opers", "472quark918"));
    ASSERT_TRUE(c.Send(static_cast<Msg>(999), ""));
    Frame f;
    ASSERT_TRUE(c.ReceiveAnswer(f));
    EXPECT_EQ(f.type, T(Msg::Refused));
    EXPECT_TRUE(c.ClosedByServer());
  }
  {
    RawClient c(port_);
    ASSERT_TRUE(c.Login(LinkKind::Trade, "8001", "888888"));
    ByteWriter w;
    w.U32(0xFFFFFF00u);  // the account text's length
    w.U32(1);
    ASSERT_TRUE(c.Send(Msg::GetOrders, w.Bytes()));
    EXPECT_TRUE(c.ClosedByServer());
  }
  // A trade request on a quote session is as unknown as any other.
  {
    RawClient c(port_);
    ASSERT_TRUE(c.Login(LinkKind::Quote, "opers", "472quark918"));
    ByteWriter w;
    w.Str("8001");
    ASSERT_TRUE(c.Send(Msg::GetOrders, w.Bytes()));
    EXPECT_TRUE(c.ClosedByServer());
  }
  // The server still serves a well-behaved terminal.
  RawClient good(port_);
  EXPECT_TRUE(good.Login(LinkKind::Trade, "8001", "888888"));
}

TEST_F(Session, ASequenceGapEndsTheSession) {
  StartServer();
  RawClient c(port_);
  ASSERT_TRUE(c.Login(LinkKind::Quote, "opers", "472quark918"));
  ASSERT_TRUE(c.Send(Msg::NowMs, "", c.LastSequence() + 2));  // one frame missing
  EXPECT_TRUE(c.ClosedByServer());

  RawClient again(port_);
  ASSERT_TRUE(again.Login(LinkKind::Quote, "opers", "472quark918"));
  ASSERT_TRUE(again.Send(Msg::NowMs, "", again.LastSequence()));  // a number used twice
  EXPECT_TRUE(again.ClosedByServer());
}

TEST_F(Session, RepeatedWrongPasswordsAreDelayedAndSayNothingAboutTheAccount) {
  StartServer();
  Frame f;
  std::string unknownText;
  {
    RawClient c(port_);
    ASSERT_FALSE(c.Login(LinkKind::Trade, "no-such-login", "x", &f));
    unknownText = Refusal(f);
  }
  std::vector<std::string> texts;
  std::vector<uint32_t> waits;
  for (int i = 0; i < 5; ++i) {
    RawClient c(port_);
    ASSERT_FALSE(c.Login(LinkKind::Trade, "8001", "wrong", &f));
    net::RefusedMsg r;
    ASSERT_TRUE(net::Decode(f.payload, r));
    texts.push_back(r.text);
    waits.push_back(r.retryAfterMs);
  }
  // The same words for an unknown login and a wrong password.
  EXPECT_EQ(texts[0], unknownText);
  EXPECT_EQ(texts[0], TXT("账号或密码错误"));
  // The address had one failure before (the unknown login): from the third failure on, a delay.
  EXPECT_EQ(waits[0], 0u);
  EXPECT_GT(waits[2], 0u);
  // While delayed, even the right password is not tried, and the answer says to wait.
  RawClient c(port_);
  ASSERT_FALSE(c.Login(LinkKind::Trade, "8001", "888888", &f));
  EXPECT_NE(Refusal(f).find(TXT("登录失败次数过多")), std::string::npos);
}

TEST_F(Session, AClientThatStopsReadingIsDroppedWithBoundedMemory) {
  options_.maxQueuedBytes = 256 * 1024;
  options_.sendBufferBytes = 16 * 1024;
  StartServer();
  RawClient c(port_, 4096);
  ASSERT_TRUE(c.Login(LinkKind::Quote, "opers", "472quark918"));
  const auto& months = exchange_->Open().GetCatalogue().Commodities().front().months;
  ASSERT_FALSE(months.empty());
  std::size_t peak = 0;
  bool stillOpen = true;
  for (int i = 0; i < 200 && stillOpen; ++i) {
    ByteWriter w;
    w.U32(months.front());
    w.I32(3);
    w.I32(1);
    w.I64(0);
    w.I32(400);  // about 22 KB of bars per answer
    stillOpen = c.Send(Msg::GetBars, w.Bytes());
    peak = std::max(peak, server_->QueuedBytes());
  }
  EXPECT_TRUE(WaitFor([&] { return server_->Dropped() == 1; }));
  EXPECT_LE(peak, options_.maxQueuedBytes);
  EXPECT_TRUE(WaitFor([&] { return server_->Sessions() == 0 && server_->QueuedBytes() == 0; }));
}

TEST_F(Session, ASlowReaderGetsEveryAnswerInOrder) {
  StartServer();
  RawClient c(port_);
  ASSERT_TRUE(c.Login(LinkKind::Quote, "opers", "472quark918"));
  std::vector<uint32_t> asked;
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(c.Send(Msg::NowMs, ""));
    asked.push_back(c.LastSequence());
  }
  for (uint32_t seq : asked) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Frame f;
    ASSERT_TRUE(c.ReceiveAnswer(f));
    ASSERT_EQ(f.type, T(Msg::Reply));
    net::ByteReader r(f.payload);
    EXPECT_EQ(r.U32(), seq);
    EXPECT_EQ(r.I64(), exchange_->Get()->NowMs());
  }
  EXPECT_EQ(server_->Dropped(), 0u);
}

TEST_F(Session, SilentAndHalfOpenConnectionsAreClosed) {
  options_.silenceMs = 300;
  options_.loginTimeoutMs = 400;
  StartServer();
  // Logged in, then silent: no heartbeats.
  RawClient quiet(port_);
  ASSERT_TRUE(quiet.Login(LinkKind::Quote, "opers", "472quark918"));
  // Connected, never logs in, but keeps talking.
  RawClient lingering(port_);
  ASSERT_TRUE(lingering.Connected());
  for (int i = 0; i < 8; ++i) {
    lingering.Send(Msg::Heartbeat, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(quiet.ClosedByServer(2000));
  EXPECT_TRUE(lingering.ClosedByServer(2000));
  EXPECT_TRUE(WaitFor([&] { return server_->Sessions() == 0; }));
}

TEST_F(Session, ConnectionsPerAddressAreLimited) {
  options_.maxPerAddress = 2;
  StartServer();
  RawClient a(port_), b(port_);
  ASSERT_TRUE(a.Connected());
  ASSERT_TRUE(b.Connected());
  RawClient c(port_);
  EXPECT_FALSE(c.Connected() && c.Hello());
  // A slot comes free when a connection ends.
  ASSERT_TRUE(a.Hello());
  ASSERT_TRUE(a.Send(Msg::Bye, ""));
  ASSERT_TRUE(a.ClosedByServer());
  EXPECT_TRUE(WaitFor([&] {
    RawClient d(port_);
    return d.Connected() && d.Hello();
  }));
}

}  // namespace
}  // namespace tarn::test

// The network link's frame decoder and message decoders over any bytes, fed in the chunks the
// first byte chooses: nothing crashes, nothing is kept beyond the frame limit, and a frame
// decoded is the frame encoded again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "libs/net/protocol.h"

using namespace tarn::net;

namespace {

void DecodeAll(const Frame& f) {
  const std::string& p = f.payload;
  HelloMsg hello;
  Decode(p, hello);
  LoginMsg login;
  Decode(p, login);
  LoginOkMsg ok;
  Decode(p, ok);
  RefusedMsg refused;
  Decode(p, refused);
  {
    ByteReader r(p);
    tarn::exchange::OrderEntry e;
    Read(r, e);
  }
  {
    ByteReader r(p);
    tarn::exchange::ConditionEntry e;
    Read(r, e);
  }
  {
    ByteReader r(p);
    tarn::exchange::StrategyEntry e;
    Read(r, e);
  }
  {
    ByteReader r(p);
    tarn::exchange::FundsView f2;
    Read(r, f2);
  }
  {
    ByteReader r(p);
    tarn::exchange::StrategyOrder s;
    Read(r, s);
  }
  {
    ByteReader r(p);
    tarn::exchange::ContractTerms t;
    Read(r, t);
  }
  {
    ByteReader r(p);
    std::vector<tarn::exchange::BrokerEvent> events;
    Read(r, events);
  }
  {
    ByteReader r(p);
    std::vector<tarn::exchange::MarketEvent> events;
    Read(r, events);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::size_t chunk = 1 + data[0] % 64;
  const uint32_t limit = 4096;
  FrameDecoder decoder(limit);
  for (std::size_t at = 1; at < size; at += chunk) {
    if (!decoder.Feed(reinterpret_cast<const char*>(data) + at, std::min(chunk, size - at))) break;
    Frame f;
    while (decoder.Next(f)) {
      if (f.payload.size() + kBodyHeaderBytes > limit) std::abort();
      // Encoding the frame again gives bytes that decode to the same frame.
      const std::string again = EncodeFrame(f.type, f.sequence, f.payload);
      FrameDecoder check(limit);
      Frame g;
      if (!check.Feed(again.data(), again.size()) || !check.Next(g) || g.type != f.type ||
          g.sequence != f.sequence || g.payload != f.payload)
        std::abort();
      DecodeAll(f);
    }
    // Held bytes never exceed one frame and one chunk.
    if (decoder.Pending() > limit + kFrameHeaderBytes + 64 + 64 * 1024) std::abort();
  }
  return 0;
}

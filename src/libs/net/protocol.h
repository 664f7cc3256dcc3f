// The messages of the network link between a terminal's libraries and the exchange server, and
// their payloads' encode / decode. Qt-free; every decoder checks every length and count against
// the bytes left and rejects trailing bytes.
//
// A connection starts with Hello (magic, protocol version, record layout) answered by Welcome,
// then Login answered by LoginOk or Refused. A request's answer is a Reply naming the request's
// sequence number. Events (market snapshots, broker events) and heartbeats flow unasked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/market/market.h"
#include "libs/net/wire.h"

namespace tarn::net {

constexpr uint32_t kMagic = 0x4E524154;  // "TARN"
constexpr uint16_t kProtocolVersion = 1;
// The layout of the records sent whole; a terminal and a server of different builds whose
// records differ refuse each other at the handshake instead of misreading.
uint32_t RecordLayout();

enum class Msg : uint16_t {
  Hello = 1, Welcome = 2, Login = 3, LoginOk = 4, Refused = 5, Heartbeat = 6, Reply = 7, Bye = 8,
  // quote session requests
  Watch = 20, GetSnapshot = 21, GetBars = 22, GetTicks = 23, GetRecentTrades = 24, MainMonth = 25, NowMs = 26,
  // trade session requests
  InsertOrder = 40, InsertCondition = 41, CancelOrder = 42, ModifyOrder = 43, InsertStrategy = 44,
  StopStrategy = 45, GetOrders = 46, GetFills = 47, GetPositions = 48, GetLots = 49, GetFunds = 50,
  GetStrategies = 51, GetSettlement = 52, ChangePassword = 53, GetTerms = 54, TradingDay = 55, AccountOf = 56,
  // events
  MarketEvents = 80, BrokerEvents = 81,
};

enum class LinkKind : uint8_t { Quote = 1, Trade = 2 };

struct HelloMsg {
  uint32_t magic = kMagic;
  uint16_t version = kProtocolVersion;
  uint32_t layout = 0;
};
struct LoginMsg {
  LinkKind kind = LinkKind::Quote;
  std::string user, password;
};
struct LoginOkMsg {
  std::vector<std::string> accounts;  // trade sessions
  bool realSessions = false;          // the market's calendar and listing day: the terminal
  int64_t listDay = 0;                // builds the same catalogue from them
  std::vector<exchange::AccountIndex> indexes;  // the accounts' indexes in broker events
};
struct RefusedMsg {
  std::string text;
  uint32_t retryAfterMs = 0;
};

std::string Encode(const HelloMsg& m);
bool Decode(std::string_view in, HelloMsg& m);
std::string Encode(const LoginMsg& m);
bool Decode(std::string_view in, LoginMsg& m);
std::string Encode(const LoginOkMsg& m);
bool Decode(std::string_view in, LoginOkMsg& m);
std::string Encode(const RefusedMsg& m);
bool Decode(std::string_view in, RefusedMsg& m);

void Write(ByteWriter& w, const exchange::OrderEntry& e);
bool Read(ByteReader& r, exchange::OrderEntry& e);
void Write(ByteWriter& w, const exchange::ConditionEntry& e);
bool Read(ByteReader& r, exchange::ConditionEntry& e);
void Write(ByteWriter& w, const exchange::StrategyEntry& e);
bool Read(ByteReader& r, exchange::StrategyEntry& e);
void Write(ByteWriter& w, const exchange::FundsView& f);
bool Read(ByteReader& r, exchange::FundsView& f);
void Write(ByteWriter& w, const exchange::StrategyOrder& s);
bool Read(ByteReader& r, exchange::StrategyOrder& s);
void Write(ByteWriter& w, const exchange::ContractTerms& t);
bool Read(ByteReader& r, exchange::ContractTerms& t);
void Write(ByteWriter& w, const std::vector<exchange::BrokerEvent>& events);
bool Read(ByteReader& r, std::vector<exchange::BrokerEvent>& events);
// As Write, for a batch delivered together: Positions, Funds and Strategy events only say that an
// account's state changed (the terminal reads the state when it hears of it), so of each kind only
// the last per account goes out, its `complete` set when any of those it stands for was. Every
// other event keeps its place and order. Gives the number of events written.
uint32_t WriteCoalesced(ByteWriter& w, const std::vector<exchange::BrokerEvent>& events);
void Write(ByteWriter& w, const std::vector<exchange::MarketEvent>& events);
bool Read(ByteReader& r, std::vector<exchange::MarketEvent>& events);

}  // namespace tarn::net

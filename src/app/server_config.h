// The login's configuration files: the trade server list, the test server, the quote login,
// the login memory (last account and server) and the version text. Addresses are stored
// enciphered (AddressCipher); the plain form is host and port joined by "@" (or ":").
#pragma once

#include <string>
#include <vector>

namespace tarn {

// One selectable trade server.
struct ServerEntry {
  std::string name;
  std::string tradeHost;
  int tradePort = 0;
  std::string cloudHost;
  int cloudPort = 0;
};

struct HostPort {
  std::string host;
  int port = 0;
};

// "host@port" (or "host:port" when there is no "@"); the port by decimal conversion. Without
// either separator the whole text is the host.
HostPort SplitAddress(const std::string& plain);
// Deciphers and splits a stored address ("" or undecipherable: empty host).
HostPort DecipherAddress(const std::string& stored);

// The servers of "\config\tradeserverlist.ini" in file order (an entry with an empty name or
// an empty trade host is skipped), with the test server of "\config\tradeserverTest.ini" in
// front when its trade host is not empty (named "测试服务器").
std::vector<ServerEntry> LoadServerList();
// The index of the first entry whose trade host equals `host` exactly, or -1.
int FindServerByHost(const std::vector<ServerEntry>& list, const std::string& host);

// "\config\tradeserver.ini": [acc] user (the last account) and lastIp (enciphered trade host).
std::string LastAccount();
std::string LastTradeHost();
bool WriteLastAccount(const std::string& account);
bool WriteLastTradeHost(const std::string& host);

// "\config\quoteserver.ini": the quote login.
struct QuoteLoginConfig {
  std::string user;
  std::string password;
  HostPort address;
};
QuoteLoginConfig LoadQuoteLogin();

// [update] strver of "\config\update.ini" (default "1.0.0.1").
std::string VersionText();

}  // namespace tarn

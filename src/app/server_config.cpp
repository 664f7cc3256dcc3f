#include "app/server_config.h"

#include "app/address_cipher.h"
#include "platform/profile.h"
#include "platform/program_dir.h"
#include "platform/text.h"

namespace tarn {

HostPort SplitAddress(const std::string& plain) {
  HostPort hp;
  std::size_t sep = plain.find('@');
  if (sep == std::string::npos) sep = plain.find(':');
  if (sep == std::string::npos) {
    hp.host = plain;
    return hp;
  }
  hp.host = plain.substr(0, sep);
  const long long port = ParseLeadingInt(std::string_view(plain).substr(sep + 1));
  hp.port = (port >= 0 && port <= 65535) ? static_cast<int>(port) : 0;
  return hp;
}

HostPort DecipherAddress(const std::string& stored) {
  if (stored.empty()) return {};
  return SplitAddress(AddressCipher().Decipher(stored));
}

std::vector<ServerEntry> LoadServerList() {
  std::vector<ServerEntry> list;
  const ProfileDocument doc = ProfileDocument::Load(Path("\\config\\tradeserverlist.ini"));
  int count = doc.GetInt("value", "serverCount", 0);
  // Every listed server has a section of its own, so a count beyond the file's sections only
  // names empty entries; bounding it keeps a damaged count from looping for ever.
  const int sections = static_cast<int>(doc.SectionNames().size());
  if (count > sections) count = sections;
  for (int i = 1; i <= count; ++i) {
    const std::string section = Format("server%d", i);
    ServerEntry e;
    e.name = doc.GetString(section, "name", "");
    const HostPort trade = DecipherAddress(doc.GetString(section, "trade_addr", ""));
    const HostPort cloud = DecipherAddress(doc.GetString(section, "cloud_addr", ""));
    if (e.name.empty() || trade.host.empty()) continue;
    e.tradeHost = trade.host;
    e.tradePort = trade.port;
    e.cloudHost = cloud.host;
    e.cloudPort = cloud.port;
    list.push_back(std::move(e));
  }
  const ProfileDocument test = ProfileDocument::Load(Path("\\config\\tradeserverTest.ini"));
  const HostPort tt = DecipherAddress(test.GetString("trade", "trade_addr", ""));
  if (!tt.host.empty()) {
    const HostPort tc = DecipherAddress(test.GetString("trade", "cloud_addr", ""));
    list.insert(list.begin(), ServerEntry{TXT("测试服务器"), tt.host, tt.port, tc.host, tc.port});
  }
  return list;
}

int FindServerByHost(const std::vector<ServerEntry>& list, const std::string& host) {
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].tradeHost == host) return static_cast<int>(i);
  return -1;
}

std::string LastAccount() { return Profile::GetString("\\config\\tradeserver.ini", "acc", "user", ""); }

std::string LastTradeHost() {
  return AddressCipher().Decipher(Profile::GetString("\\config\\tradeserver.ini", "acc", "lastIp", ""));
}

bool WriteLastAccount(const std::string& account) {
  return Profile::WriteString("\\config\\tradeserver.ini", "acc", "user", account);
}

bool WriteLastTradeHost(const std::string& host) {
  return Profile::WriteString("\\config\\tradeserver.ini", "acc", "lastIp", AddressCipher().Encipher(host));
}

QuoteLoginConfig LoadQuoteLogin() {
  const ProfileDocument doc = ProfileDocument::Load(Path("\\config\\quoteserver.ini"));
  QuoteLoginConfig c;
  c.user = doc.GetString("acc", "user", "opers");
  c.password = doc.GetString("acc", "pwd", "472quark918");
  c.address = DecipherAddress(doc.GetString("server", "addr", "Xk2PqL9vRt4WmZ8aNc3YbH7e"));
  return c;
}

std::string VersionText() { return Profile::GetString("\\config\\update.ini", "update", "strver", "1.0.0.1"); }

}  // namespace tarn

// tarnctl account: the broker's logins and accounts in its database, while no broker runs on it
// (the embedded exchange's folder "\user\exchange" unless --data DIR names another, e.g. a
// server's). The work is BrokerAdmin's; this file reads the command line and prints.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "libs/exchange/broker/broker_admin.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "tarnctl/command.h"

namespace {

using tarn::exchange::BrokerAdmin;
using tarn::exchange::Money;

constexpr const char* kUsage =
    "usage: tarnctl account [--data DIR] add NAME PASSWORD FUNDS | passwd NAME PASSWORD |\n"
    "                       deposit NAME AMOUNT | withdraw NAME AMOUNT | list\n"
    "  amounts in yuan with at most two decimals; DIR holds broker.db (default: the program's\n"
    "  user/exchange folder); refused while a broker holds the database\n";

int Fail(const std::string& error) {
  std::fprintf(stderr, "tarnctl account: %s\n", error.c_str());
  return 1;
}

int Run(std::vector<std::string> args) {
  std::string dir;
  if (!args.empty() && args[0].rfind("--data=", 0) == 0) {
    dir = args[0].substr(7);
    args.erase(args.begin());
  } else if (args.size() >= 2 && args[0] == "--data") {
    dir = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (dir.empty()) dir = tarn::Path("\\user\\exchange");
  const std::string verb = args.empty() ? std::string() : args[0];
  const std::size_t want = verb == "add" ? 4 : verb == "passwd" || verb == "deposit" || verb == "withdraw" ? 3
                           : verb == "list"                                                              ? 1
                                                                                                         : 0;
  if (want == 0 || args.size() != want) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  Money amount = 0;
  if (verb == "add" || verb == "deposit" || verb == "withdraw") {
    if (!tarn::exchange::ParseMoney(args.back(), amount)) {
      std::fprintf(stderr, "tarnctl account: '%s' is no amount (yuan, at most two decimals)\n", args.back().c_str());
      return 2;
    }
  }
  std::string error;
  std::unique_ptr<BrokerAdmin> admin = BrokerAdmin::Open(dir, error);
  if (!admin) return Fail(error);
  bool ok = true;
  if (verb == "add") {
    ok = admin->Add(args[1], args[2], amount, error);
  } else if (verb == "passwd") {
    ok = admin->SetPassword(args[1], args[2], error);
  } else if (verb == "deposit") {
    ok = admin->Deposit(args[1], amount, error);
  } else if (verb == "withdraw") {
    ok = admin->Withdraw(args[1], amount, error);
  } else {
    std::printf("%-12s %-12s %16s %16s %16s %16s %6s %7s  %s\n", "account", "login", "balance", "margin", "frozen",
                "available", "lots", "working", "name");
    for (const BrokerAdmin::AccountLine& l : admin->List()) {
      std::printf("%-12s %-12s %16s %16s %16s %16s %6" PRId32 " %7" PRId32 "  ", l.id.c_str(), l.login.c_str(),
                  tarn::exchange::MoneyText(l.balance).c_str(), tarn::exchange::MoneyText(l.margin).c_str(),
                  tarn::exchange::MoneyText(l.frozen).c_str(), tarn::exchange::MoneyText(l.available).c_str(),
                  l.lots, l.working);
      tarnctl::PrintGbk(l.name);
      std::printf("\n");
    }
    return 0;
  }
  if (!ok) return Fail(error);
  std::printf("%s: done\n", verb.c_str());
  return 0;
}

}  // namespace

TARNCTL_COMMAND("account",
                "account [--data DIR] add NAME PASSWORD FUNDS | passwd NAME PASSWORD | deposit NAME AMOUNT | "
                "withdraw NAME AMOUNT | list   the broker's logins and accounts (while no broker runs)",
                [](const std::vector<std::string>& args) { return Run(args); });

// tarnctl dump of the engines' files: every field of every record, and where damage stops.
#include <gtest/gtest.h>

#include <cstdio>

#include "engines/alert_file.h"
#include "engines/auto_cover_file.h"
#include "engines/strategy_file.h"
#include "engines/file_dump.h"
#include "support/test_support.h"

namespace {

std::string AlertBytes() {
  QuoteAlert a{};
  tarn::SetField(a.contract.key, "SHFE|rb2601");
  a.upperPrice = 3600.5;
  a.volumeLimit = 1LL << 33;
  a.upperFired = 1;
  QuoteAlert b{};
  tarn::SetField(b.contract.key, "DCE|m2605");
  b.lowerPrice = 2800;
  return tarn::SerializeAlertFile(0, {a, b});
}

TEST(FileDump, AlertFileLinesAndDamage) {
  bool complete = false;
  const std::string text = tarn::DumpAlertFile(AlertBytes(), &complete);
  EXPECT_TRUE(complete);
  EXPECT_EQ(text,
            "154 bytes\nversion 2\nsoundOn 0\ncount 2\n"
            "record 1: key=\"SHFE|rb2601\" upperPrice=3600.5 lowerPrice=0 lastQtyLimit=0 volumeLimit=8589934592 "
            "openInterestLimit=0 upperFired=1 lowerFired=0 lastQtyFired=0 volumeFired=0 openInterestFired=0\n"
            "record 2: key=\"DCE|m2605\" upperPrice=0 lowerPrice=2800 lastQtyLimit=0 volumeLimit=0 "
            "openInterestLimit=0 upperFired=0 lowerFired=0 lastQtyFired=0 volumeFired=0 openInterestFired=0\n"
            "complete\n");
  const std::string cut = tarn::DumpAlertFile(AlertBytes().substr(0, 100), &complete);
  EXPECT_FALSE(complete);
  EXPECT_NE(cut.find("record 1:"), std::string::npos);
  EXPECT_NE(cut.find("damaged: record 2 (from byte 84) breaks at byte 94 of 100; 1 read before it\n"), std::string::npos);
  EXPECT_NE(tarn::DumpAlertFile(std::string("\x02\x00", 2), &complete).find("damaged: the header breaks at byte 0 of 2"),
            std::string::npos);
  EXPECT_NE(tarn::DumpAlertFile(AlertBytes() + "xyz", &complete).find("note: 3 bytes after the last record"),
            std::string::npos);
}

TEST(FileDump, AutoCoverFile) {
  AutoCoverSetting s;
  s.commodity = "rb";
  s.exchange = "SHFE";
  s.stopLossTicks = 5;
  s.breakEvenTicks = 3;
  bool complete = false;
  EXPECT_EQ(tarn::DumpAutoCoverFile(tarn::SerializeAutoCoverFile({s}), &complete),
            "28 bytes\ncount 1\nsetting 1: commodity=\"rb\" exchange=\"SHFE\" stopLossTicks=5 "
            "takeProfitTicks=0 trailingTicks=0 breakEvenTicks=3\ncomplete\n");
  EXPECT_TRUE(complete);
}

std::string StrategyBytes() {
  CombolStrategy s{};
  tarn::SetField(s.legs[0].contract.key, "SHFE|rb2605");
  s.legs[0].contract.commodity = 1;
  s.legs[0].direction = 1;
  s.legs[0].lots = 2;
  s.legs[0].chase = true;
  tarn::SetField(s.legs[1].contract.key, "SHFE|hc2605");
  s.legs[1].contract.commodity = 1;
  s.legs[1].direction = 2;
  s.legs[1].lots = 1;
  s.legs[1].spreadTicks = -1;
  tarn::SetField(s.formula, "A-B");
  tarn::SetField(s.name, "rbhc");
  s.decimals = 1;
  s.totalQuantity = 4;
  s.triggerQuantity = 2;
  s.type = 2;
  return tarn::SerializeStrategyFile({s});
}

TEST(FileDump, StrategyFile) {
  bool complete = false;
  const std::string text = tarn::DumpStrategyFile(StrategyBytes(), &complete);
  EXPECT_TRUE(complete);
  EXPECT_NE(text.find("version 3\ncount 1\nstrategy 1: decimals=1 formula=\"A-B\" name=\"rbhc\" triggerQuantity=2 "
                      "totalQuantity=4 type=2\n  leg A: key=\"SHFE|rb2605\" spreadTicks=0 lots=2 chase=1 direction=1\n"
                      "  leg B: key=\"SHFE|hc2605\" spreadTicks=-1 lots=1 chase=0 direction=2\n  leg C: key=\"\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("complete\n"), std::string::npos);
  const std::string cut = tarn::DumpStrategyFile(StrategyBytes().substr(0, 30), &complete);
  EXPECT_FALSE(complete);
  EXPECT_NE(cut.find("damaged: strategy 1 (from byte 8) breaks at byte"), std::string::npos) << cut;
}

#ifdef TARNCTL_EXE
std::string RunTool(const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  char buf[4096];
  std::size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *status = p ? pclose(p) : -1;
  return out;
}

TEST(FileDump, TarnctlRecognisesTheFileByItsName) {
  tarn::test::TempDir dir;
  tarn::test::WriteFile(dir.File("config/alertdata.dat"), AlertBytes().substr(0, 100));
  tarn::test::WriteFile(dir.File("copy/AUTOCOVER.DAT"), tarn::SerializeAutoCoverFile({}));
  int status = 0;
  std::string out = RunTool(std::string(TARNCTL_EXE) + " --home " + dir.path() + " dump '\\config\\alertdata.dat'", &status);
  EXPECT_EQ(WEXITSTATUS(status), 1);  // damaged
  EXPECT_NE(out.find("record 1: key=\"SHFE|rb2601\""), std::string::npos) << out;
  out = RunTool(std::string(TARNCTL_EXE) + " dump " + dir.File("copy/AUTOCOVER.DAT"), &status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(out.find("count 0\ncomplete"), std::string::npos) << out;
  tarn::test::WriteFile(dir.File("user/cmbolfml.dat"), StrategyBytes());
  out = RunTool(std::string(TARNCTL_EXE) + " --home " + dir.path() + " dump '\\user\\cmbolfml.dat'", &status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(out.find("formula=\"A-B\""), std::string::npos) << out;
  RunTool(std::string(TARNCTL_EXE) + " dump " + dir.File("copy/other.dat") + " 2>/dev/null", &status);
  EXPECT_EQ(WEXITSTATUS(status), 2);
}
#endif

}  // namespace

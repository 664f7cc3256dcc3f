// Dependencies point down the levels of docs/ARCHITECTURE.md: a file may include headers of its
// own folder's unit and of units on lower levels, never of a unit on its own level (sideways) or
// above it. This test reads every #include "..." under src/ and fails on any that breaks the rule,
// and on any source folder the table below does not place.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// One unit of the layering: a folder under src/ (with everything below it, gui/ included) and its
// level. The longest matching prefix places a file. Keep this table in step with the "Layers"
// table of docs/ARCHITECTURE.md.
struct Unit {
  const char* folder;
  int level;
};

constexpr Unit kUnits[] = {
    {"platform", 0},
    {"data", 10},
    {"libs/exchange", 20},
    {"libs/formula", 20},
    {"libs/infopanel", 20},
    {"libs/candlechart", 20},
    {"libs/net", 21},
    {"libs/indicators", 22},
    {"libs/quotedata", 25},
    {"libs/tradeapi", 26},
    {"ui", 30},
    {"engines", 40},
    {"tools", 50},
    {"quote", 60},
    {"trade/feed", 56},
    {"trade/orders", 57},
    {"trade/grid", 58},
    {"trade", 60},
    {"chart", 62},
    {"workspace", 70},
    {"app", 80},
    {"tarnctl", 90},
    {"tarnd", 90},
};

const Unit* UnitOf(const std::string& path) {
  const Unit* best = nullptr;
  std::size_t bestLen = 0;
  for (const Unit& u : kUnits) {
    std::string f = u.folder;
    bool match = path == f || (path.size() > f.size() && path.compare(0, f.size(), f) == 0 &&
                               path[f.size()] == '/');
    if (match && f.size() > bestLen) {
      best = &u;
      bestLen = f.size();
    }
  }
  return best;
}

// The verdict on one include: empty when allowed, otherwise why not. Both paths are relative to
// src/ ("quote/gui/x.cpp" includes "chart/y.h").
std::string Judge(const std::string& file, const std::string& header) {
  const Unit* from = UnitOf(file);
  const Unit* to = UnitOf(header);
  if (!from) return "the file's folder has no level in the layer table";
  if (!to) return "the header's folder has no level in the layer table";
  if (from == to || to->level < from->level) return {};
  if (to->level == from->level) return std::string("sideways: ") + from->folder + " -> " + to->folder;
  return std::string("upwards: ") + from->folder + " -> " + to->folder;
}

// The quoted includes of one source text, without those inside comments.
std::vector<std::string> QuotedIncludes(const std::string& src) {
  std::vector<std::string> out;
  std::istringstream in(src);
  std::string line;
  bool inBlock = false;
  while (std::getline(in, line)) {
    std::size_t i = 0;
    if (inBlock) {
      std::size_t end = line.find("*/");
      if (end == std::string::npos) continue;
      inBlock = false;
      i = end + 2;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (line.compare(i, 2, "/*") == 0 && line.find("*/", i + 2) == std::string::npos) {
      inBlock = true;
      continue;
    }
    if (i >= line.size() || line[i] != '#') continue;
    ++i;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (line.compare(i, 7, "include") != 0) continue;
    std::size_t open = line.find('"', i + 7);
    if (open == std::string::npos) continue;
    std::size_t close = line.find('"', open + 1);
    if (close == std::string::npos) continue;
    out.push_back(line.substr(open + 1, close - open - 1));
  }
  return out;
}

bool IsSource(const fs::path& p) {
  auto ext = p.extension().string();
  return ext == ".cpp" || ext == ".h" || ext == ".hpp" || ext == ".cc";
}

TEST(LayerPolicy, NoSourceIncludesAHeaderOfItsOwnLevelOrAbove) {
  const fs::path src = fs::path(TARN_SOURCE_DIR) / "src";
  int checked = 0;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file() || !IsSource(entry.path())) continue;
    const std::string file = fs::relative(entry.path(), src).generic_string();
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    for (const std::string& inc : QuotedIncludes(ss.str())) {
      // A header named from src/ ("quote/x.h"), or else beside the file ("x.h").
      std::string header;
      if (fs::exists(src / inc)) {
        header = fs::path(inc).lexically_normal().generic_string();
      } else if (fs::exists(entry.path().parent_path() / inc)) {
        header = fs::relative(entry.path().parent_path() / inc, src).lexically_normal().generic_string();
      } else {
        continue;  // generated (moc, ui) or outside src/
      }
      ++checked;
      std::string why = Judge(file, header);
      if (!why.empty()) ADD_FAILURE() << "src/" << file << " includes \"" << inc << "\": " << why;
    }
  }
  EXPECT_GT(checked, 100);
}

// The rule itself, on made-up paths.
TEST(LayerPolicy, JudgeAllowsDownAndOwnUnitOnly) {
  EXPECT_EQ(Judge("quote/gui/grid.cpp", "platform/text.h"), "");
  EXPECT_EQ(Judge("quote/gui/grid.cpp", "quote/grid_model.h"), "");
  EXPECT_EQ(Judge("chart/gui/x.cpp", "libs/indicators/formula_manager.h"), "");
  EXPECT_EQ(Judge("quote/a.cpp", "trade/b.h"), "sideways: quote -> trade");
  EXPECT_EQ(Judge("data/a.cpp", "engines/b.h"), "upwards: data -> engines");
  EXPECT_EQ(Judge("platform/a.cpp", "app/b.h"), "upwards: platform -> app");
  EXPECT_NE(Judge("nowhere/a.cpp", "platform/b.h"), "");
  EXPECT_NE(Judge("platform/a.cpp", "nowhere/b.h"), "");
  EXPECT_EQ(Judge("platformx/a.cpp", "platform/b.h").rfind("the file's folder", 0), 0u);
}

TEST(LayerPolicy, IncludeReaderSkipsCommentsAndSystemHeaders) {
  auto incs = QuotedIncludes(
      "#include <vector>\n#include \"a/b.h\"\n  #  include \"c.h\" // x\n"
      "// #include \"commented.h\"\n/*\n#include \"blocked.h\"\n*/\n#include \"d.h\"\n");
  std::vector<std::string> want = {"a/b.h", "c.h", "d.h"};
  EXPECT_EQ(incs, want);
}

}  // namespace

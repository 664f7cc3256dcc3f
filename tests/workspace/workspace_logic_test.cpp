#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/text.h"
#include "support/test_support.h"
#include "workspace/workspace_names.h"
#include "workspace/workspace_record.h"

namespace tarn {
namespace {

// An owner that hands out numbered windows and records what it released.
class Owner : public ISpliterNotify {
 public:
  int CreateLeafWindow() override { return ++next; }
  void ReleaseLeafWindow(int w) override { released.push_back(w); }
  void LeafWindowsChanged(const std::vector<int>& w) override { last = w; }
  int next = 0;
  std::vector<int> released, last;
};

TEST(SplitLayoutTest, BarDragClampsOnlyTheExtremes) {
  EXPECT_DOUBLE_EQ(DraggedRatio(3, 0, 1002), 0.05);    // 0.3% of the area
  EXPECT_DOUBLE_EQ(DraggedRatio(970, 0, 1002), 0.95);  // 97%
  EXPECT_DOUBLE_EQ(DraggedRatio(20, 0, 1002), 0.02);   // 2% stays
  EXPECT_DOUBLE_EQ(DraggedRatio(110, 100, 1002), 0.01);  // measured from the area's start

  Owner o;
  SplitLayout l(&o);
  l.MakeSingle();
  l.Arrange({0, 0, 1002, 500});
  l.Split(1, kSplitLeftRight);
  ASSERT_EQ(l.BarOrientationAt(501, 10), kSplitLeftRight);
  ASSERT_TRUE(l.BeginDrag(501, 10));
  l.DragTo(300, 10);
  EXPECT_DOUBLE_EQ(l.Ratios()[0], 0.3);
  EXPECT_EQ(l.WindowRect(1), (LayoutRect{0, 0, 300, 500}));
  EXPECT_EQ(l.WindowRect(2), (LayoutRect{302, 0, 700, 500}));
  l.EndDrag();
  EXPECT_FALSE(l.BeginDrag(100, 10));  // not on a bar
}

TEST(SplitLayoutTest, SplitGivesTheFirstChildTheTruncatedShareAndTheBarTwoPixels) {
  Owner o;
  SplitLayout l(&o);
  l.MakeSingle();
  l.Arrange({10, 20, 200, 103});
  EXPECT_EQ(l.Split(1, kSplitTopBottom), 2);
  EXPECT_EQ(l.WindowRect(1), (LayoutRect{10, 20, 200, 50}));  // trunc(0.5 * 101)
  EXPECT_EQ(l.Bars()[0], (LayoutRect{10, 70, 200, 2}));
  EXPECT_EQ(l.WindowRect(2), (LayoutRect{10, 72, 200, 51}));
  EXPECT_EQ(o.last, (std::vector<int>{1, 2}));
}

TEST(SplitLayoutTest, ClosingHandsTheParentsPlaceToTheSiblingAndKeepsTheLastWindow) {
  Owner o;
  SplitLayout l(&o);
  l.MakeSingle();
  l.Arrange({0, 0, 400, 400});
  l.Split(1, kSplitLeftRight);       // 1 | 2
  l.Split(2, kSplitTopBottom);       // 1 | (2 / 3)
  l.SetCurrent(2);
  EXPECT_TRUE(l.Close(2));
  EXPECT_EQ(l.Windows(), (std::vector<int>{1, 3}));
  EXPECT_EQ(o.released, (std::vector<int>{2}));
  EXPECT_EQ(l.WindowRect(3), (LayoutRect{201, 0, 199, 400}));  // 3 took the whole right half
  EXPECT_NE(l.Current(), 2);
  EXPECT_TRUE(l.Close(1));
  EXPECT_EQ(l.WindowRect(3), (LayoutRect{0, 0, 400, 400}));
  EXPECT_FALSE(l.Close(3));  // the only window stays
  EXPECT_EQ(l.WindowCount(), 1);
}

TEST(SplitLayoutTest, MaximiseGivesTheCurrentWindowTheAreaAndIsIgnoredForOneWindow) {
  Owner o;
  SplitLayout l(&o);
  l.MakeSingle();
  l.Arrange({0, 0, 300, 200});
  l.ToggleMaximise();
  EXPECT_FALSE(l.Maximised());
  l.Split(1, kSplitLeftRight);
  l.SetCurrent(2);
  l.ToggleMaximise();
  EXPECT_EQ(l.WindowRect(2), (LayoutRect{0, 0, 300, 200}));
  EXPECT_EQ(l.WindowRect(1), LayoutRect{});
  EXPECT_TRUE(l.Bars().empty());
  l.ToggleMaximise();
  EXPECT_EQ(l.WindowRect(1).w, 149);
}

TEST(SplitLayoutTest, SchemesKeepTheFirstWindowsAndMakeEqualCells) {
  Owner o;
  SplitLayout l(&o);
  l.MakeSingle();
  l.Arrange({0, 0, 1000, 800});
  for (int i = 0; i < 4; ++i) l.Split(l.Windows().back(), kSplitLeftRight);
  ASSERT_EQ(l.WindowCount(), 5);

  l.ApplyScheme(1, 3);  // one on top, two below
  EXPECT_EQ(l.Windows(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(o.released, (std::vector<int>{5, 4}));
  EXPECT_EQ(l.WindowRect(1), (LayoutRect{0, 0, 1000, 399}));
  EXPECT_EQ(l.WindowRect(2).y, 401);
  EXPECT_EQ(l.WindowRect(3).y, 401);
  EXPECT_GT(l.WindowRect(3).x, l.WindowRect(2).x);

  l.ApplyScheme(2, 3);
  ASSERT_EQ(l.WindowCount(), 6);
  for (int w : l.Windows()) {
    EXPECT_NEAR(l.WindowRect(w).w, 332, 1) << w;
    EXPECT_NEAR(l.WindowRect(w).h, 399, 1) << w;
  }
  EXPECT_EQ(l.WindowRect(l.Windows()[3]).y, 401);  // row by row

  l.ApplyScheme(4, 6);
  EXPECT_EQ(l.WindowCount(), 24);
  EXPECT_EQ(static_cast<int>(l.Bars().size()), 23);
  l.ApplyScheme(1, 2);
  EXPECT_EQ(l.WindowCount(), 2);
  EXPECT_EQ(l.WindowRect(2).y, 0);  // side by side
}

// A page of two workspaces with charts, grids and drawn objects.
QuotePageModel SamplePage() {
  QuotePageModel page;
  WorkspaceModel& a = page.Add(TXT("工作区1"));
  a.layout->ApplyScheme(2, 2);
  int n = 0;
  for (int w : a.layout->Windows()) {
    ChartContainerState& s = a.leaves->State(w);
    s.content = n % 3;
    s.contractKey = Format("SHFE|rb24%02d", n);
    s.period = {kPeriodMinutes, 5 + n};
    s.overlays = {"MA"};
    s.indicators = {"MACD", "KDJ"};
    candlechart::DrawObject line;
    line.kind = 1;
    line.points = {{1700000000, 3500.5}, {1700003600, 3600.25}};
    s.objects = {line};
    ++n;
  }
  WorkspaceModel& b = page.Add(TXT("全景K线"));
  b.layout->MakeSingle();
  b.layout->Split(b.layout->Windows()[0], kSplitLeftRight);
  b.leaves->State(b.layout->Windows()[1]).contractKey = "NOSUCH|xx01";  // unknown keys stay text
  b.flags = {1, 0, 1};
  page.current = 1;
  return page;
}

TEST(WorkspaceRecordTest, PageRoundTripIsByteIdenticalAndRestoresEveryWindow) {
  const QuotePageModel page = SamplePage();
  const std::string bytes = page.Serialize();
  QuotePageModel again;
  ASSERT_TRUE(again.Parse(bytes));
  EXPECT_EQ(again.Serialize(), bytes);
  ASSERT_EQ(again.workspaces.size(), 2u);
  EXPECT_EQ(again.current, 1);
  EXPECT_EQ(again.workspaces[1]->name, TXT("全景K线"));
  EXPECT_EQ(again.workspaces[1]->flags, (WorkspaceFlags{1, 0, 1}));
  EXPECT_EQ(again.workspaces[0]->States(), page.workspaces[0]->States());
  EXPECT_EQ(again.workspaces[0]->layout->Ratios(), page.workspaces[0]->layout->Ratios());
  EXPECT_EQ(again.workspaces[1]->States()[1].contractKey, "NOSUCH|xx01");
}

TEST(WorkspaceRecordTest, OlderPageVersionsReadWhatTheyHold) {
  const std::string v7 = SamplePage().Serialize();
  // Version 5: no current workspace and no reserved field.
  std::string v5 = v7.substr(0, v7.size() - 8);
  v5[0] = 5;
  QuotePageModel page;
  EXPECT_TRUE(page.Parse(v5));
  EXPECT_EQ(page.workspaces.size(), 2u);
  EXPECT_EQ(page.current, 0);
  std::string v4 = v5;
  v4[0] = 4;
  EXPECT_FALSE(page.Parse(v4));
  EXPECT_TRUE(page.workspaces.empty());
}

// A workspace record whose tree is a chain of splits, each with a leaf first.
std::string DeepChain(int levels) {
  ArchiveWriter w;
  w.Int32(7);
  w.Int32(1);
  w.String("deep");
  w.Int32(6);
  w.Int32(1);
  w.Bool(true);
  w.Int32(kNodeSplit);
  ArchiveWriter leaf;
  WriteChartState(leaf, ChartContainerState{});
  for (int i = 0; i < levels; ++i) {
    w.Int32(1);
    w.Int32(kSplitLeftRight);
    w.Double(0.5);
    w.Int32(kNodeLeaf);
    w.Int32(kNodeSplit);
    w.Int32(1);
    w.Raw(leaf.Data().data(), leaf.Data().size());
  }
  return w.Take();
}

TEST(WorkspaceRecordTest, DamagedTreesStopWhereTheyBreakAndKeepWhatWasRead) {
  QuotePageModel page;
  EXPECT_FALSE(page.Parse(DeepChain(100000)));  // no stack overflow
  ASSERT_EQ(page.workspaces.size(), 1u);
  EXPECT_EQ(page.workspaces[0]->layout->WindowCount(), kMaxSplitDepth);

  std::string bytes = SamplePage().Serialize();
  // The first split ratio of the first workspace: version, count, name, record version, tree
  // version, root flag, root type, node version, orientation.
  const std::size_t ratioAt = 4 + 4 + 1 + TXT("工作区1").size() + 4 + 4 + 1 + 4 + 4 + 4;
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), -0.5, 0.0, 7.0}) {
    std::string damaged = bytes;
    damaged.replace(ratioAt, 8, reinterpret_cast<const char*>(&bad), 8);
    EXPECT_FALSE(page.Parse(damaged)) << bad;
    ASSERT_EQ(page.workspaces.size(), 1u);
    EXPECT_EQ(page.workspaces[0]->layout->WindowCount(), 0);
  }
  // A truncated second workspace keeps the first whole and the second's first window.
  const std::string cut = bytes.substr(0, bytes.size() - 30);
  EXPECT_FALSE(page.Parse(cut));
  ASSERT_EQ(page.workspaces.size(), 2u);
  EXPECT_EQ(page.workspaces[0]->layout->WindowCount(), 4);
  EXPECT_GE(page.workspaces[1]->layout->WindowCount(), 1);

  ArchiveWriter huge;
  huge.Int32(7);
  huge.Int32(0x7FFFFFFF);
  EXPECT_FALSE(page.Parse(huge.Data()));
  EXPECT_TRUE(page.workspaces.empty());
}

// The copy a deferred workspace keeps: exactly its own record's bytes (the reader stops at the
// next workspace's name), and for a damaged record the part that was read, which reads back the
// same.
TEST(WorkspaceRecordTest, ACopiedWorkspaceRecordIsItsOwnBytesOrTheReadablePart) {
  const QuotePageModel page = SamplePage();
  ArchiveWriter first, second;
  page.workspaces[0]->Write(first);
  page.workspaces[1]->Write(second);
  ArchiveWriter both;
  both.Raw(first.Data().data(), first.Data().size());
  both.String("next");
  both.Raw(second.Data().data(), second.Data().size());
  ArchiveReader in(both.Data());
  std::string copy;
  ASSERT_TRUE(CopyWorkspaceRecord(in, &copy));
  EXPECT_EQ(copy, first.Data());
  std::string name;
  ASSERT_TRUE(in.String(name));
  EXPECT_EQ(name, "next");
  ASSERT_TRUE(CopyWorkspaceRecord(in, &copy));
  EXPECT_EQ(copy, second.Data());
  EXPECT_EQ(in.Remaining(), 0u);

  // Cut inside the third window: the first two windows' records survive in the copy.
  const std::string cut = first.Data().substr(0, first.Data().size() - 200);
  ArchiveReader damaged(cut);
  EXPECT_FALSE(CopyWorkspaceRecord(damaged, &copy));
  WorkspaceModel kept;
  ArchiveReader again(copy);
  ASSERT_TRUE(kept.Read(again));
  EXPECT_GE(kept.layout->WindowCount(), 2);
  EXPECT_LT(kept.layout->WindowCount(), 4);
  EXPECT_EQ(kept.States()[0], page.workspaces[0]->States()[0]);
  std::string copyAgain;
  ArchiveReader third(copy);
  ASSERT_TRUE(CopyWorkspaceRecord(third, &copyAgain));
  EXPECT_EQ(copyAgain, copy);
}

TEST(WorkspaceNamesTest, TabNamesAndTheirRenaming) {
  EXPECT_EQ(NewWorkspaceName({}), TXT("工作区1"));
  EXPECT_EQ(NewWorkspaceName({TXT("工作区1"), TXT("工作区3"), "x"}), TXT("工作区2"));
  std::string name;
  EXPECT_EQ(CheckWorkspaceRename(TXT("工作区1"), "  ", &name), NameVerdict::kEmpty);
  EXPECT_EQ(CheckWorkspaceRename(TXT("工作区1"), " abc ", &name), NameVerdict::kOk);
  EXPECT_EQ(name, "abc");
  EXPECT_EQ(CheckWorkspaceRename(TXT("全景K线"), "abc", &name), NameVerdict::kPanorama);
  EXPECT_EQ(NameVerdictText(NameVerdict::kPanorama), TXT("不支持更改全景K线工作区名称"));
}

TEST(WorkspaceNamesTest, LayoutNamesRefuseEveryReservedCharacter) {
  std::string name;
  EXPECT_EQ(CheckLayoutName("a b", &name), NameVerdict::kInvalid);
  for (const char* bad : {"a\\b", "a/b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b"})
    EXPECT_EQ(CheckLayoutName(bad, &name), NameVerdict::kInvalid) << bad;
  EXPECT_EQ(CheckLayoutName("   ", &name), NameVerdict::kEmpty);
  EXPECT_EQ(CheckLayoutName("  two  ", &name), NameVerdict::kOk);
  EXPECT_EQ(name, "two");
  // A double-byte character whose second byte is a backslash is one character, not a separator.
  EXPECT_EQ(CheckLayoutName("\x81\x5C" "x", &name), NameVerdict::kOk);
}

TEST(WorkspaceNamesTest, LayoutFilesAreSavedListedRenamedAndDeleted) {
  test::ScopedHome home;
  EXPECT_TRUE(ListLayouts().empty());
  EXPECT_FALSE(SaveLayoutFile("a b", "x"));  // checked before any file is made
  ASSERT_TRUE(SaveLayoutFile("one", "1"));
  ASSERT_TRUE(SaveLayoutFile(TXT("两个"), "2"));
  EXPECT_EQ(ListLayouts(), (std::vector<std::string>{"one", TXT("两个")}));
  EXPECT_EQ(*ReadLayoutFile(TXT("两个")), "2");
  EXPECT_EQ(RenameLayout("one", "one"), NameVerdict::kUnchanged);
  EXPECT_EQ(RenameLayout("one", ""), NameVerdict::kEmpty);
  EXPECT_EQ(RenameLayout("one", TXT("两个")), NameVerdict::kExists);
  EXPECT_EQ(RenameLayout("one", "three"), NameVerdict::kOk);
  EXPECT_EQ(*ReadLayoutFile("three"), "1");
  EXPECT_TRUE(DeleteLayout("three"));
  EXPECT_EQ(ListLayouts(), (std::vector<std::string>{TXT("两个")}));
}

}  // namespace
}  // namespace tarn

#include "startup_frame.h"

#include "app/frame_state.h"
#include "platform/text.h"
#include "workspace/workspace_record.h"

namespace tarn::bench {

const std::vector<std::string>& StartupChartContracts() {
  static const std::vector<std::string> keys = {"SHFE|rbMI", "SHFE|cuMI", "SHFE|alMI", "SHFE|znMI",
                                                "SHFE|niMI", "SHFE|auMI", "SHFE|agMI", "SHFE|hcMI"};
  return keys;
}

std::string StartupFrameFile() {
  QuotePageModel page;
  const std::vector<std::string>& keys = StartupChartContracts();
  for (int w = 0; w < 4; ++w) {
    WorkspaceModel& ws = page.Add(Format(TXT("工作区%d"), w + 1));
    ws.layout->MakeSingle();
    ws.layout->ApplyScheme(2, 2);
    const std::vector<int> ids = ws.layout->Windows();
    for (std::size_t i = 0; i < ids.size(); ++i) {
      ChartContainerState& s = ws.leaves->State(ids[i]);
      s.content = i < 2 ? kContentKLine : i == 2 ? kContentQuoteGrid : kContentTimeShare;
      s.contractKey = keys[static_cast<std::size_t>(w) * 2 + (i < 2 ? i : 0)];
      if (s.content == kContentKLine) {
        s.period = ChartPeriod{kPeriodMinutes, 1};
        s.paneCount = 3;
        s.overlays = {"MA"};
        s.indicators = {"VOL", "MACD"};
      } else if (s.content == kContentTimeShare) {
        s.period = ChartPeriod{kPeriodTimeShare, 1};
      }
    }
  }
  page.current = 0;
  FrameState frame;
  frame.contractKey = keys[0];
  frame.quotePageRecord = page.Serialize();
  return SerializeFrameState(frame);
}

}  // namespace tarn::bench

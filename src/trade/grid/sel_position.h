// The trade grid's answer to "which position is selected": order panels ask it when they close
// a locked position. The process-wide queryer is the trade grid container while it exists.
#pragma once

#include "data/trade_records.h"

class ISelPositionQueryer {
 public:
  // Copies the selected position; true only while the positions tab is the visible tab of its
  // group and its selected row shows a current record.
  virtual bool QuerySelectedPosition(PositionRecord& out) = 0;

 protected:
  ~ISelPositionQueryer() = default;
};

namespace tarn {
// nullptr while there is no trade grid. UI thread only.
ISelPositionQueryer* GetSelPositionQueryer();
void SetSelPositionQueryer(ISelPositionQueryer* queryer);
}  // namespace tarn

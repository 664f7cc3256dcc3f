// What CDlgAddOcoOrder shows and checks, without windows.
#pragma once

#include <optional>
#include <string>

#include "engines/oco_order.h"

namespace tarn {

// The dialog's boxes (GBK) and combos (index 0 "买入" / "开仓", 1 "卖出" / "平仓").
struct OcoInputTexts {
  std::string quantity;
  std::string price1;
  std::string price2;
  int sideA = 0;
  int sideB = 1;
  int offsetA = 0;
  int offsetB = 0;
};

// "修改OCO单" for a pair that exists (id > 0), else "添加OCO单".
const std::string& OcoDialogTitle(const OcoOrder& oco);
// The boxes and combos on opening: a new pair buys on leg A and sells on leg B, both opening;
// with a price 1 above 1e-5 the boxes show price 1 ("%.*f"), price 2 (when above 1e-6) and the
// quantity ("%d"); an existing pair shows its sides and offsets.
OcoInputTexts OcoInputFor(const OcoOrder& oco, int decimals);
// OK: parses the boxes into `oco` and checks, in order: price 2 >= price 1 ("价格1必须大于价格2"),
// quantity <= 0 ("数量错误"). Returns the message of the first failed check.
std::optional<std::string> CheckOcoInput(const OcoInputTexts& texts, OcoOrder* oco);
// After the checks: adds a new pair (id < 1) or modifies an existing one. Returns the message
// of a refusal: a pair without a contract ("无效合约"), or an edit of a pair that has fired or
// was cancelled meanwhile ("该OCO单已触发或已撤销,不能修改"); nothing is stored then.
std::optional<std::string> SubmitOco(const OcoOrder& oco);

}  // namespace tarn

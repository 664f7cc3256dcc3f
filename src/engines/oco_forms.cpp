#include "engines/oco_forms.h"

#include "engines/engine_support.h"
#include "data/trade_enums.h"
#include "platform/text.h"

namespace tarn {

const std::string& OcoDialogTitle(const OcoOrder& oco) { return oco.id > 0 ? TXT("修改OCO单") : TXT("添加OCO单"); }

OcoInputTexts OcoInputFor(const OcoOrder& oco, int decimals) {
  OcoInputTexts t;
  if (oco.price1 > 1e-5) {
    t.price1 = Format("%.*f", decimals, oco.price1);
    if (oco.price2 > 1e-6) t.price2 = Format("%.*f", decimals, oco.price2);
    t.quantity = Format("%d", oco.quantity);
  }
  if (oco.id > 0) {
    t.sideA = oco.directionA == kSell ? 1 : 0;
    t.sideB = oco.directionB == kSell ? 1 : 0;
    t.offsetA = oco.offsetA == kClose ? 1 : 0;
    t.offsetB = oco.offsetB == kClose ? 1 : 0;
  }
  return t;
}

std::optional<std::string> CheckOcoInput(const OcoInputTexts& t, OcoOrder* oco) {
  const int32_t quantity = ParseInt32Text(t.quantity);
  const double price1 = ParseDecimalText(t.price1);
  const double price2 = ParseDecimalText(t.price2);
  if (price2 >= price1) return TXT("价格1必须大于价格2");
  if (quantity <= 0) return TXT("数量错误");
  oco->quantity = quantity;
  oco->price1 = price1;
  oco->price2 = price2;
  oco->directionA = t.sideA == 1 ? kSell : kBuy;
  oco->directionB = t.sideB == 1 ? kSell : kBuy;
  oco->offsetA = t.offsetA == 1 ? kClose : kOpen;
  oco->offsetB = t.offsetB == 1 ? kClose : kOpen;
  return std::nullopt;
}

std::optional<std::string> SubmitOco(const OcoOrder& oco) {
  if (oco.contract.Empty()) return TXT("无效合约");
  if (oco.id < 1) {
    COCOOrderMgr::Instance().Add(oco);
    return std::nullopt;
  }
  // The pair may have fired (or been cancelled) while the dialog was open.
  if (!COCOOrderMgr::Instance().Modify(oco)) return TXT("该OCO单已触发或已撤销,不能修改");
  return std::nullopt;
}

}  // namespace tarn

#include "engines/oco_forms.h"

#include "engines/engine_support.h"
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
    t.sideA = oco.directionA == 2 ? 1 : 0;
    t.sideB = oco.directionB == 2 ? 1 : 0;
    t.offsetA = oco.offsetA == 2 ? 1 : 0;
    t.offsetB = oco.offsetB == 2 ? 1 : 0;
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
  oco->directionA = t.sideA == 1 ? 2 : 1;
  oco->directionB = t.sideB == 1 ? 2 : 1;
  oco->offsetA = t.offsetA == 1 ? 2 : 1;
  oco->offsetB = t.offsetB == 1 ? 2 : 1;
  return std::nullopt;
}

void SubmitOco(const OcoOrder& oco) {
  if (oco.id < 1) COCOOrderMgr::Instance().Add(oco);
  else COCOOrderMgr::Instance().Modify(oco);
}

}  // namespace tarn

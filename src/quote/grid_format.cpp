#include "quote/grid_format.h"

#include <cmath>

#include "platform/clock.h"
#include "platform/text.h"
#include "quote/grid_columns.h"

namespace tarn {

namespace {

std::string Price(double v, int decimals) { return Format("%.*f", decimals, v); }

// A price of exactly 0 shows "--" in the flat colour; otherwise up, down or flat against the
// reference (the previous settlement, or the previous close when that is 0).
GridCell PriceCell(float price, const DC_QuoteData& q, int decimals, const GridPalette& p) {
  if (price == 0.0f) return {"--", kGridFlatColor};
  const double ref = std::fabs(q.preSettlement) < 1e-6 ? q.preClose : q.preSettlement;
  Colorref c = kGridFlatColor;
  if (price > ref + 1e-6) c = p.up;
  else if (price < ref - 1e-6) c = p.down;
  return {Price(price, decimals), c};
}

double BaseOf(const DC_QuoteData& q, ChangeBase base) {
  switch (base) {
    case ChangeBase::PreClose: return q.preClose;
    case ChangeBase::Open: return q.open;
    case ChangeBase::PreSettlement: break;
  }
  return q.preSettlement;
}

GridCell Count(int32_t v, const GridPalette& p) { return {Format("%d", v), p.quote}; }

}  // namespace

ChangeBase ChangeBaseFromSetting(int zfKind) {
  if (zfKind == 1) return ChangeBase::PreClose;
  if (zfKind == 2) return ChangeBase::Open;
  return ChangeBase::PreSettlement;
}

GridCell FormatGridCell(int kind, int position, const DC_Contract& contract, int decimals, const DC_QuoteData& q,
                        ChangeBase base, const GridPalette& p) {
  switch (kind) {
    case kGridRowNumber: return {Format("%d", position + 1), p.quote};
    case kGridName: return {std::string(contract.Name()), p.quote};
    case kGridCode: return {std::string(contract.Code()), p.quote};
    case kGridLast: return PriceCell(q.last, q, decimals, p);
    case kGridBid: return PriceCell(q.bidPrice[0], q, decimals, p);
    case kGridAsk: return PriceCell(q.askPrice[0], q, decimals, p);
    case kGridOpen: return PriceCell(q.open, q, decimals, p);
    case kGridHigh: return PriceCell(q.high, q, decimals, p);
    case kGridLow: return PriceCell(q.low, q, decimals, p);
    case kGridUpperLimit: return PriceCell(q.upperLimit, q, decimals, p);
    case kGridLowerLimit: return PriceCell(q.lowerLimit, q, decimals, p);
    case kGridPreClose: return PriceCell(q.preClose, q, decimals, p);
    case kGridSettlement: return PriceCell(q.settlement, q, decimals, p);
    case kGridLastQuantity: return Count(q.lastQuantity, p);
    case kGridBidQuantity: return Count(q.bidVolume[0], p);
    case kGridAskQuantity: return Count(q.askVolume[0], p);
    case kGridVolume: return Count(q.volume, p);
    case kGridOpenInterest: return Count(q.openInterest, p);
    case kGridPreOpenInterest: return Count(q.preOpenInterest, p);
    case kGridPreSettlement:
      if (q.preSettlement == 0.0f) return {"--", kGridFlatColor};
      return {Price(q.preSettlement, decimals), kGridFlatColor};
    case kGridChange:
    case kGridChangePercent: {
      const double b = BaseOf(q, base);
      if (b < 1e-5 || q.last < 1e-5) return {std::string(), kind == kGridChange ? kGridFlatColor : p.quote};
      const double change = q.last - b;
      Colorref c = kind == kGridChange ? kGridFlatColor : p.quote;
      if (change > 1e-6) c = p.up;
      else if (change < -1e-6) c = p.down;
      if (kind == kGridChange) return {Price(change, decimals), c};
      return {Format("%.2f%%", change / b * 100.0), c};
    }
    case kGridUpdateTime:
      if (q.updateTime <= 10000) return {std::string(), p.quote};
      return {FormatTime(q.updateTime, "%H:%M:%S"), p.quote};
    default: return {"--", p.quote};
  }
}

double GridSortValue(int kind, const DC_QuoteData& q) {
  switch (kind) {
    case kGridLast: return q.last;
    case kGridLastQuantity: return q.lastQuantity;
    case kGridBid: return q.bidPrice[0];
    case kGridAsk: return q.askPrice[0];
    case kGridBidQuantity: return q.bidVolume[0];
    case kGridAskQuantity: return q.askVolume[0];
    case kGridChange: return static_cast<double>(q.last) - q.preSettlement;
    case kGridChangePercent:
      if (q.preSettlement < 1e-4) return 0;
      return (static_cast<double>(q.last) - q.preSettlement) / q.preSettlement;
    case kGridOpen: return q.open;
    case kGridHigh: return q.high;
    case kGridLow: return q.low;
    case kGridVolume: return q.volume;
    case kGridOpenInterest: return q.openInterest;
    case kGridPreOpenInterest: return q.preOpenInterest;
    case kGridUpperLimit: return q.upperLimit;
    case kGridLowerLimit: return q.lowerLimit;
    case kGridPreClose: return q.preClose;
    case kGridPreSettlement: return q.preSettlement;
    case kGridSettlement: return q.settlement;
    case kGridUpdateTime: return static_cast<double>(q.updateTime);
    default: return 0;
  }
}

}  // namespace tarn

#include "data/quote_data_center.h"

#include <atomic>

namespace {
std::atomic<IQuoteDataCenter*> g_center{nullptr};
}

IQuoteDataCenter* GetQuoteDataCenter() { return g_center.load(std::memory_order_acquire); }
void SetQuoteDataCenter(IQuoteDataCenter* center) { g_center.store(center, std::memory_order_release); }

const DC_Commodity* CommodityOf(const DC_Contract& contract) {
  if (contract.commodity == 0) return nullptr;
  IQuoteDataCenter* center = GetQuoteDataCenter();
  return center ? center->ResolveCommodity(contract.commodity) : nullptr;
}

std::string ExchangeCodeOf(const DC_Contract& contract) {
  const DC_Commodity* c = CommodityOf(contract);
  if (!c) return std::string();
  IQuoteDataCenter* center = GetQuoteDataCenter();
  const DC_Exchange* e = center ? center->ResolveExchange(c->exchange) : nullptr;
  return e ? std::string(e->Code()) : std::string(c->ExchangeCode());
}

int PriceDecimals(const DC_Contract& contract) {
  const DC_Commodity* c = CommodityOf(contract);
  return c ? c->decimals : 2;
}

#include "libs/exchange/broker/statement.h"

#include "libs/exchange/broker/broker_views.h"
#include "libs/exchange/calendar.h"
#include "platform/text.h"

namespace tarn::exchange {
namespace {

std::string ClockText(int64_t ms) {
  const int s = ExchangeSecondOfDay(ms);
  return Format("%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
}

const std::string& Rule() {
  static const std::string line(78, '-');
  return line;
}

}  // namespace

std::string AccountStatement(const LedgerAccount& acc, int32_t day, const StatementSource& src) {
  const Catalogue& cat = *src.catalogue;
  const bool settled = src.settled;
  auto priceText = [&](ContractId c, int64_t ticks, int64_t lots) {
    const CommoditySpec& commodity = cat.CommodityOf(c).spec;
    const double p = lots > 0 ? static_cast<double>(ticks) / static_cast<double>(lots) * commodity.tick : 0.0;
    return Format("%.*f", commodity.decimals + (lots > 1 ? 2 : 0), p);
  };
  auto profit = [&](const Side& s, uint64_t key, int32_t p) {
    return SideProfit(s, key, p, false, src.terms(SideContract(key)));
  };
  Money positionProfit = 0, margin = 0;
  for (const auto& [key, side] : acc.sides) {
    const ContractId c = SideContract(key);
    const int32_t p = src.price(c, side);
    positionProfit += profit(side, key, p);
    for (const Lot& lot : side.lots) margin += settled ? src.terms(c).Margin(p, lot.quantity) : lot.margin;
  }
  const Money frozen = settled ? 0 : acc.frozenMargin + acc.frozenFee;
  const Money equity = acc.preBalance + acc.deposit - acc.withdrawal + acc.closeProfit + positionProfit - acc.fee;
  const Money available = equity - margin - frozen;
  std::string t;
  t += Format(TXT("%28s交易结算单\n"), "");
  t += Format(TXT("账户: %s    户名: %s    交易日: %08d    币种: %s\n"), acc.id, acc.name, day, acc.currency);
  if (settled)
    t += TXT("状态: 已结算(持仓按当日结算价盯市)\n");
  else
    t += Format(TXT("状态: 当日未结算, 数据截至 %s(持仓按最新价盯市)\n"), ClockText(src.nowMs));
  t += Rule() + "\n";
  t += TXT("资金状况\n");
  t += Format(TXT("  上日结存: %16s      当日出入金: %16s\n"), MoneyText(acc.preBalance), MoneyText(acc.deposit - acc.withdrawal));
  t += Format(TXT("  平仓盈亏: %16s    持仓盯市盈亏: %16s\n"), MoneyText(acc.closeProfit), MoneyText(positionProfit));
  t += Format(TXT("    手续费: %16s        当日结存: %16s\n"), MoneyText(acc.fee), MoneyText(equity));
  t += Format(TXT("保证金占用: %16s        可用资金: %16s\n"), MoneyText(margin), MoneyText(available));
  if (frozen != 0) t += Format(TXT("  下单冻结: %16s\n"), MoneyText(frozen));
  t += Format(TXT("    风险度: %15.2f%%\n"), equity > 0 ? static_cast<double>(margin) * 100.0 / static_cast<double>(equity) : 0.0);
  t += Rule() + "\n";
  t += TXT("成交明细\n");
  t += Format(TXT("%-10s%-14s%-6s%-6s%12s%6s%12s%14s  %s\n"), TXT("成交时间"), TXT("合约"), TXT("买卖"), TXT("开平"),
              TXT("成交价"), TXT("手数"), TXT("手续费"), TXT("平仓盈亏"), TXT("成交号"));
  for (const Fill& f : acc.fills) {
    const std::string& dirText = f.direction == 1 ? TXT("买") : TXT("卖");
    const std::string& offText = f.offset == kOffOpen ? TXT("开") : f.offset == kOffCloseToday ? TXT("平今") : TXT("平");
    const std::string code = f.contract < cat.Size() ? cat.ContractAt(f.contract).code : std::string("?");
    t += Format("%-10s%-14s%-6s%-6s%12s%6d%12s%14s  %s\n", ClockText(f.timeMs), code, dirText, offText,
                f.contract < cat.Size() ? priceText(f.contract, f.price, 1) : std::string(), f.quantity,
                MoneyText(f.fee), MoneyText(f.closeProfit), std::string(Field(f.number)));
  }
  t += Format(TXT("  共%d笔\n"), static_cast<int>(acc.fills.size()));
  t += Rule() + "\n";
  t += TXT("持仓汇总\n");
  t += Format(TXT("%-14s%-6s%6s%6s%14s%14s%14s%14s%14s\n"), TXT("合约"), TXT("买卖"), TXT("手数"), TXT("今仓"),
              TXT("开仓均价"), TXT("持仓均价"), settled ? TXT("结算价") : TXT("最新价"), TXT("持仓盯市盈亏"), TXT("保证金"));
  for (const auto& [key, side] : acc.sides) {
    const ContractId c = SideContract(key);
    const int32_t p = src.price(c, side);
    Money m = 0;
    for (const Lot& lot : side.lots) m += settled ? src.terms(c).Margin(p, lot.quantity) : lot.margin;
    t += Format("%-14s%-6s%6d%6d%14s%14s%14s%14s%14s\n", cat.ContractAt(c).code,
                SideOf(key) == 1 ? TXT("买") : TXT("卖"), side.quantity, side.today,
                priceText(c, side.openValue, side.quantity), priceText(c, side.holdValue, side.quantity),
                priceText(c, p, 1), MoneyText(profit(side, key, p)), MoneyText(m));
    if (settled && src.delivered && src.delivered(c))
      t += Format(TXT("  %s 到期, 按结算价交割\n"), cat.ContractAt(c).code);
  }
  t += Format(TXT("  共%d项\n"), static_cast<int>(acc.sides.size()));
  t += Rule() + "\n";
  return t;
}

}  // namespace tarn::exchange

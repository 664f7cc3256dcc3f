#include "engines/strategy_forms.h"

#include <cmath>
#include <cstdlib>

#include "engines/combol_formula.h"
#include "engines/contract_search.h"
#include "engines/combol_quote.h"
#include "engines/engine_support.h"
#include "engines/strategy_file.h"
#include "data/trade_enums.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace tarn {
namespace {

const std::string& LetterLotsMessage(int leg) {
  switch (leg) {
    case 0: return TXT("A:手数不能为负");
    case 1: return TXT("B:手数不能为负");
    case 2: return TXT("C:手数不能为负");
    default: return TXT("D:手数不能为负");
  }
}

bool LegUsed(const DC_Contract& c) { return c.commodity != 0; }
bool TextEmpty(const std::string& s) { return TrimView(s).empty(); }
int SwapSide(int direction) { return direction == kBuy ? kSell : kBuy; }

}  // namespace

// ---- the definition dialog -------------------------------------------------------------------

std::string LegContractText(const DC_Contract& c) { return ContractEntryText(c); }

const std::string& LegSideText(int direction) { return direction == kSell ? TXT("卖") : TXT("买"); }

StrategyDefinitionInput DefinitionInputFor(const CombolStrategy& s) {
  StrategyDefinitionInput in;
  bool any = false;
  for (int i = 0; i < 4; ++i) {
    const CombolLeg& l = s.legs[i];
    if (!l.Used()) continue;
    any = true;
    in.legs[i].contract = l.contract;
    in.legs[i].side = l.direction == kSell ? 1 : 0;
    in.legs[i].chase = l.chase;
    in.legs[i].spread = Format("%d", l.spreadTicks);
    in.legs[i].lots = Format("%d", l.lots);
  }
  if (!any) return in;  // a new strategy: the defaults
  in.formula = std::string(s.Formula());
  in.name = std::string(s.Name());
  in.total = Format("%d", s.totalQuantity);
  in.perTrigger = Format("%d", s.triggerQuantity);
  in.decimals = s.decimals >= 0 && s.decimals <= 5 ? s.decimals : 3;
  in.type = s.type == 2 ? 1 : 0;
  return in;
}

std::optional<std::string> CheckDefinition(const StrategyDefinitionInput& in, CombolStrategy* out) {
  CombolStrategy s{};
  // 1. The used legs, A to D.
  for (int i = 0; i < 4; ++i) {
    const StrategyLegInput& l = in.legs[i];
    if (!LegUsed(l.contract)) continue;
    CombolLeg& leg = s.legs[i];
    leg.contract = l.contract;
    leg.direction = l.side == 1 ? kSell : kBuy;
    leg.chase = l.chase;
    leg.spreadTicks = ParseInt32Text(l.spread);
    leg.lots = ParseInt32Text(l.lots);
    leg.offset = 0;
    if (leg.lots < 0) return LetterLotsMessage(i);
  }
  // 2-4. At least two, no gaps, not all on one side.
  int used = 0, buys = 0;
  bool gap = false, gapped = false;
  for (const CombolLeg& l : s.legs) {
    if (!l.Used()) {
      gap = true;
      continue;
    }
    gapped = gapped || gap;
    ++used;
    buys += l.direction == kBuy ? 1 : 0;
  }
  if (used < 2) return TXT("请至少选择2个合约");
  if (gapped) return TXT("请按ABCD顺序填写，不能有间隔");
  if (buys == 0 || buys == used) return TXT("合约的买卖方向不能相同");
  // 5. The formula, upper-cased and read against the legs.
  const std::string formula = Trim(in.formula);
  if (formula.size() > kMaxStrategyText) return TXT("公式不能超过100个字符");
  if (formula.empty()) return TXT("请输入公式");
  const std::string upper = ToUpperAscii(formula);
  std::string message;
  CombolFormula parsed;
  if (!parsed.Parse(upper, s, &message)) return message;
  SetField(s.formula, upper);
  // 6. Quantities.
  s.totalQuantity = ParseInt32Text(in.total);
  s.triggerQuantity = ParseInt32Text(in.perTrigger);
  if (s.totalQuantity <= 0) return TXT("数量必须大于0");
  if (s.triggerQuantity <= 0) return TXT("单次触发数量必须大于0");
  if (s.totalQuantity < s.triggerQuantity) return TXT("单次触发数量不能大于总数量");
  // 7. The name (empty allowed).
  const std::string name = Trim(in.name);
  if (name.size() > kMaxStrategyText) return TXT("名称不能超过100个字符");
  SetField(s.name, name);
  // 8.
  s.type = in.type == 1 ? 2 : 1;
  s.decimals = in.decimals >= 0 && in.decimals <= 5 ? in.decimals : 3;
  s.orderSide = 0;
  if (out) *out = s;
  return std::nullopt;
}

// ---- the strategy list -----------------------------------------------------------------------

void StrategyList::Load() {
  if (fileEnabled_) list_ = LoadStrategyFile();
}

void StrategyList::Save() {
  if (fileEnabled_) saved_ = SaveStrategyFile(list_);
}

std::optional<std::string> StrategyList::Add(const CombolStrategy& s) {
  const CombolKey key = MakeCombolKey(s);
  for (const CombolStrategy& e : list_)
    if (MakeCombolKey(e) == key) return TXT("该合约组合已经存在,不能重复添加");
  list_.push_back(s);
  Save();
  return std::nullopt;
}

std::optional<std::string> StrategyList::Replace(std::size_t index, const CombolStrategy& s) {
  if (index >= list_.size()) return TXT("请选择一个策略");
  // The strategy may keep its own legs; it may not take those of another one, which would
  // leave two strategies of one key (and their live values share one calculator).
  const CombolKey key = MakeCombolKey(s);
  for (std::size_t i = 0; i < list_.size(); ++i)
    if (i != index && MakeCombolKey(list_[i]) == key) return TXT("该合约组合已经存在,不能重复添加");
  list_[index] = s;
  Save();
  return std::nullopt;
}

bool StrategyList::Remove(std::size_t index) {
  if (index >= list_.size()) return false;
  list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(index));
  Save();
  return true;
}

StrategyListRow StrategyListRowFor(const CombolStrategy& s) {
  StrategyListRow row;
  row.name = std::string(s.Name());
  row.formula = std::string(s.Formula());
  for (int i = 0; i < 4; ++i) {
    const CombolLeg& l = s.legs[i];
    if (!l.Used()) continue;
    row.legs += Format("%c:%s-%s(%s%d)    ", static_cast<char>('A' + i), std::string(l.contract.Code()), std::string(l.contract.Name()),
                       LegSideText(l.direction), l.lots);
  }
  return row;
}

// ---- values ----------------------------------------------------------------------------------

bool HasCombolValue(double value) { return std::isfinite(value) && std::fabs(value - kCombolNoValue) >= 0.001; }

std::string CombolValueText(double value, int decimals) {
  return HasCombolValue(value) ? Format("%.*f", decimals, value) : std::string();
}

// ---- the order panel -------------------------------------------------------------------------

const std::vector<std::string>& StrategyConditionTexts() {
  static const std::vector<std::string> texts{">=", "<=", ">", "<"};
  return texts;
}

StrategySendInput SendInputFromQuote(const CombolStrategy& strategy, bool forward, double value) {
  StrategySendInput in;
  in.strategy = strategy;
  for (CombolLeg& l : in.strategy.legs) l.offset = 0;
  in.tab = forward ? 0 : 1;
  in.type = strategy.type == 2 ? 1 : 0;
  if (HasCombolValue(value)) in.triggerPrice = in.loopPrice = Format("%.*f", strategy.decimals, value);
  in.total = Format("%d", strategy.totalQuantity);
  in.perTrigger = Format("%d", strategy.triggerQuantity);
  return in;
}

const std::string& LegOffsetText(int offset) {
  return offset == kOpen ? TXT("开仓") : offset == kClose ? TXT("平仓") : TXT("自动");
}

int NextLegOffset(int offset) { return offset == kOffsetNone ? kOpen : offset == kOpen ? kClose : kOffsetNone; }

std::vector<SendLegRow> SendLegRows(const StrategySendInput& in) {
  std::vector<SendLegRow> rows;
  for (int i = 0; i < 4; ++i) {
    const CombolLeg& l = in.strategy.legs[i];
    if (!l.Used()) continue;
    const int side = in.tab == 1 ? SwapSide(l.direction) : l.direction;
    rows.push_back({Format("%c:%s-%s %s", static_cast<char>('A' + i), std::string(l.contract.Code()), std::string(l.contract.Name()),
                           LegSideText(side)),
                    l.chase ? TXT("是") : TXT("否"), Format("%d", l.spreadTicks), Format("%d", l.lots),
                    LegOffsetText(l.offset)});
  }
  return rows;
}

std::optional<std::string> CheckStrategySend(const StrategySendInput& in, StrategyOrderRequest* out) {
  // A panel that no strategy was loaded into has no legs to send.
  bool anyLeg = false;
  for (const CombolLeg& l : in.strategy.legs) anyLeg = anyLeg || l.Used();
  if (!anyLeg) return TXT("请选择一个策略");
  if (TextEmpty(in.triggerPrice)) return TXT("请填写价格");
  if (in.loop && TextEmpty(in.loopPrice)) return TXT("请填写循环价格");
  const int total = ParseInt32Text(in.total);
  const int per = ParseInt32Text(in.perTrigger);
  if (total <= 0) return TXT("数量错误");
  if (per <= 0) return TXT("单次触发数量错误");
  if (total < per) return TXT("单次触发数量必须小于总数量");
  const int condition = in.condition >= 0 && in.condition <= 3 ? in.condition : 0;
  const int loopCondition = in.loopCondition >= 0 && in.loopCondition <= 3 ? in.loopCondition : 1;
  // Indexes 0 ">=" and 2 ">" are "greater", 1 "<=" and 3 "<" "less".
  if (in.loop && (condition % 2) == (loopCondition % 2)) return TXT("循环单条件不能同为大于或小于");
  StrategyOrderRequest r{};
  r.strategy = in.strategy;
  r.strategy.orderSide = in.tab == 1 ? 2 : 1;
  r.strategy.type = in.type == 1 ? 2 : 1;
  r.strategy.totalQuantity = total;
  r.strategy.triggerQuantity = per;
  r.triggerPrice = ParseDecimalText(in.triggerPrice);
  r.triggerCondition = condition + 1;
  r.loopPrice = in.loop ? ParseDecimalText(in.loopPrice) : 0.0;
  r.loopCondition = in.loop ? loopCondition + 1 : 0;
  if (out) *out = r;
  return std::nullopt;
}

std::optional<std::string> CheckGridSend(const StrategySendInput& in, const GridSendInput& grid,
                                         std::vector<StrategyOrderRequest>* out) {
  if (grid.direction != 0 && grid.direction != 1) return TXT("请选择网格方向");
  const int count = ParseInt32Text(grid.count);
  if (count < 1) return TXT("数量不能小于1");
  if (count > 100) return TXT("数量不能大于100");
  const double step = ParseDecimalText(grid.step);
  if (step < 1e-5 || step > 100000) return TXT("步长无效");
  StrategyOrderRequest first{};
  if (auto message = CheckStrategySend(in, &first)) return message;
  const double signedStep = grid.direction == 1 ? -step : step;
  if (out) {
    out->clear();
    for (int i = 0; i < count; ++i) {
      StrategyOrderRequest r = first;
      r.triggerPrice = first.triggerPrice + i * signedStep;
      if (r.loopCondition != 0) r.loopPrice = first.loopPrice + i * signedStep;
      out->push_back(r);
    }
  }
  return std::nullopt;
}

// ---- the strategy order grid -----------------------------------------------------------------

const std::string& StrategyStateText(char state) {
  switch (state) {
    case '1': return TXT("运行中");
    case '3': return TXT("出错");
    case '4': return TXT("已完成");
    default: return TXT("已停止");
  }
}

const std::vector<std::string>& CombolGridColumns() {
  static const std::vector<std::string> columns{
      TXT("状态"),     TXT("策略"),     TXT("合约"),     TXT("开平"),     TXT("序号"),     TXT("成交量"),
      TXT("保证金"),   TXT("持仓盈亏"), TXT("手续费"),   TXT("方向"),     TXT("委托价"),   TXT("委托量"),
      TXT("下单时间"), TXT("成交价"),   TXT("数量"),     TXT("错误信息"), TXT("浮动盈亏"), TXT("成本价格"),
      TXT("浮盈点数"), TXT("今仓"),     TXT("昨仓"),     TXT("盈利率"),   TXT("平盈"),     TXT("成交时间"),
      TXT("详情"),     TXT("操作")};
  return columns;
}

std::vector<StrategyOrderRows> StrategyOrderRowsFor(const std::vector<StrategyOrderRecord>& records) {
  std::vector<StrategyOrderRows> out;
  for (const StrategyOrderRecord& r : records) {
    if (r.state == '2') continue;
    const CombolStrategy& s = r.request.strategy;
    StrategyOrderRows row;
    row.key = std::string(Field(r.key));
    const std::size_t dash = row.key.rfind('S');
    row.sequence = dash == std::string::npos ? 0 : std::atoi(row.key.c_str() + dash + 1);
    row.state = StrategyStateText(r.state);
    row.running = r.state == '1';
    row.name = std::string(s.Name());
    row.progress = Format("%d/%d", r.unitsDone, s.totalQuantity);
    const int c = r.request.triggerCondition;
    const std::string& cond = c >= 1 && c <= 4 ? StrategyConditionTexts()[static_cast<std::size_t>(c - 1)] : TXT("");
    const int decimals = s.decimals >= 0 && s.decimals <= 5 ? s.decimals : 3;
    row.condition = Format("%s%s%.*f", std::string(s.Formula()), cond, decimals, r.request.triggerPrice);
    row.error = std::string(Field(r.errorText));
    row.time = r.insertTime > 100 ? FormatTime(r.insertTime, "%Y-%m-%d %H:%M:%S") : std::string();
    for (const CombolLeg& l : s.legs) {
      if (!l.Used()) continue;
      const int side = s.orderSide == 2 ? SwapSide(l.direction) : l.direction;
      row.legs.push_back(Format(TXT("%s %s-%s %d手,d:%d"), LegSideText(side), std::string(l.contract.Code()), std::string(l.contract.Name()),
                                l.lots, l.spreadTicks));
    }
    out.push_back(std::move(row));
  }
  return out;
}

// ---- the arbitrage page's lists -------------------------------------------------------------

namespace {
std::string Money(double v) {
  std::string s = Format("%.*f", 0, v);
  return s == "-0" ? "0" : s;
}
std::string TimeText(int64_t t) { return t > 100 ? FormatTime(t, "%Y-%m-%d %H:%M:%S") : std::string(); }
}  // namespace

const std::vector<std::string>& StrategyOrderColumns() {
  static const auto c = std::vector<std::string>{TXT("状态"), TXT("策略"), TXT("合约"), TXT("成交量"), TXT("详情"), TXT("下单时间"), TXT("错误信息"), TXT("操作")};
  return c;
}
const std::vector<std::string>& ArbitrageOrderColumns() {
  static const auto c =
      std::vector<std::string>{TXT("序号"), TXT("合约"), TXT("方向"), TXT("开平"), TXT("委托价"), TXT("委托量"), TXT("成交量"), TXT("成交价"), TXT("状态"), TXT("下单时间"), TXT("错误信息")};
  return c;
}
const std::vector<std::string>& ArbitragePositionColumns() {
  static const auto c = std::vector<std::string>{TXT("序号"), TXT("合约"), TXT("方向"), TXT("数量"), TXT("成本价格"), TXT("浮动盈亏"), TXT("浮盈点数"), TXT("持仓盈亏"), TXT("保证金"), TXT("今仓"), TXT("昨仓"), TXT("盈利率")};
  return c;
}
const std::vector<std::string>& ArbitrageFillColumns() {
  static const auto c = std::vector<std::string>{TXT("序号"), TXT("合约"), TXT("方向"), TXT("开平"), TXT("成交价"), TXT("成交量"), TXT("手续费"), TXT("平盈"), TXT("成交时间")};
  return c;
}

std::vector<std::string> ArbitrageOrderRow(const OrderRecord& o, int index, int decimals) {
  return {Format("%d", index + 1),
          std::string(o.contract.Code()),
          DirectionText(o.direction),
          OffsetText(o.offset),
          o.priceType == kMarketPrice ? TXT("市价") : Format("%.*f", decimals, o.price),
          Format("%d", o.quantity),
          Format("%d", o.filledQuantity),
          o.filledQuantity > 0 ? Format("%.*f", decimals, o.averageFillPrice) : std::string(),
          OrderStateText(o.state),
          TimeText(o.insertTime),
          o.errorCode ? Format("%d:%s", o.errorCode, std::string(Field(o.errorText))) : std::string()};
}

std::vector<std::string> ArbitragePositionRow(const PositionRecord& p, int index, int decimals) {
  const bool isLong = p.IsLong();
  const int qty = isLong ? p.longQuantity : p.shortQuantity;
  const int today = isLong ? p.todayLong : p.todayShort;
  const double floating = isLong ? p.longFloatProfit : p.shortFloatProfit;
  const double margin = isLong ? p.longMargin : p.shortMargin;
  const double multiplier = [&] {
    const DC_Commodity* c = CommodityOf(p.contract);
    return c && c->multiplier > 0 ? c->multiplier : 1.0;
  }();
  const int lots = p.longQuantity + p.shortQuantity;
  return {Format("%d", index + 1),
          std::string(p.contract.Code()),
          SideText(isLong ? 1 : 2),
          Format("%d", qty),
          Format("%.*f", decimals + 2, isLong ? p.longAverage : p.shortAverage),
          Money(floating),
          lots > 0 ? Format("%.2f", (p.longFloatProfit + p.shortFloatProfit) / lots / multiplier) : std::string(),
          Money(isLong ? p.longPositionProfit : p.shortPositionProfit),
          Money(margin),
          Format("%d", today),
          Format("%d", qty - today),
          margin > 0 ? Format("%.2f%%", floating * 100 / margin) : std::string()};
}

std::vector<std::string> ArbitrageFillRow(const FillRecord& f, int index, int decimals) {
  return {Format("%d", index + 1),        std::string(f.contract.Code()), DirectionText(f.direction),
          OffsetText(f.offset),           Format("%.*f", decimals, f.price), Format("%d", f.quantity),
          Format("%.2f", f.fee),          Money(f.closeProfit),            TimeText(f.time)};
}

}  // namespace tarn

#include "libs/exchange/catalogue.h"

#include <cstdio>

#include "platform/text.h"

namespace tarn::exchange {
namespace {

constexpr uint16_t kAll = 0x1FFE;
constexpr uint16_t kOdd = 0x0AAA;
constexpr uint16_t kEven = 0x1554;
constexpr uint16_t kQuarters = 0x1248;
constexpr uint16_t kDceMeal = 0x1BAA;  // 1 3 5 7 8 9 11 12
constexpr uint16_t kM159 = 0x0222;
constexpr uint16_t kM1510 = 0x0422;
constexpr uint16_t kM612 = 0x1040;
constexpr uint16_t kSoy = 0x0BAA;      // 1 3 5 7 8 9 11
constexpr uint16_t kCorn = 0x12A8;     // 3 5 7 9 12

using S = SessionKind;
constexpr MonthRule L = MonthRule::Listed;
constexpr MonthRule IX = MonthRule::IndexFutures;

std::string Gbk(const char8_t* utf8) { return Utf8ToGbk(reinterpret_cast<const char*>(utf8)); }

}  // namespace

const std::vector<ExchangeSpec>& StandardExchanges() {
  static const std::vector<ExchangeSpec> list = {
      {"SHFE", u8"上海期货交易所"},   {"DCE", u8"大连商品交易所"}, {"ZCE", u8"郑州商品交易所"},
      {"CFFEX", u8"中国金融期货交易所"}, {"INE", u8"上期能源"},       {"GFEX", u8"广州期货交易所"},
      {"CME", u8"芝加哥商业交易所"},  {"COMEX", u8"纽约金属交易所"}, {"NYMEX", u8"纽约商品期货交易所"},
      {"CBOT", u8"芝加哥期货交易所"}, {"SGX", u8"新加坡交易所"},   {"HKEX", u8"香港交易所"},
  };
  return list;
}

// exchange, code, name, tick, multiplier, decimals, price, limit, volatility, volume, open
// interest, listed months, count, main months, roll lead, carry, sessions, rule, currency, kind
const std::vector<CommoditySpec>& StandardSpecs() {
  static const std::vector<CommoditySpec> specs = {
      {"SHFE", "cu", u8"沪铜", 10, 5, 0, 78500, .08, .011, 150000, 500000, kAll, 12, 0, .6, .01, S::Night01, L, "CNY", 0},
      {"SHFE", "al", u8"沪铝", 5, 5, 0, 20600, .08, .009, 200000, 600000, kAll, 12, 0, .6, .005, S::Night01, L, "CNY", 0},
      {"SHFE", "zn", u8"沪锌", 5, 5, 0, 22400, .08, .012, 150000, 250000, kAll, 12, 0, .6, -.01, S::Night01, L, "CNY", 0},
      {"SHFE", "pb", u8"沪铅", 5, 5, 0, 17100, .08, .008, 40000, 100000, kAll, 12, 0, .6, 0, S::Night01, L, "CNY", 0},
      {"SHFE", "ni", u8"沪镍", 10, 1, 0, 121000, .10, .015, 300000, 250000, kAll, 12, 0, .6, .005, S::Night01, L, "CNY", 0},
      {"SHFE", "sn", u8"沪锡", 10, 1, 0, 275000, .10, .016, 80000, 50000, kAll, 12, 0, .6, -.005, S::Night01, L, "CNY", 0},
      {"SHFE", "au", u8"沪金", .02, 1000, 2, 930, .09, .010, 300000, 250000, kEven, 6, kM612, 1, .025, S::Night0230, L, "CNY", 0},
      {"SHFE", "ag", u8"沪银", 1, 15, 0, 11500, .10, .018, 1200000, 700000, kAll, 12, kM612, 1, .02, S::Night0230, L, "CNY", 0},
      {"SHFE", "rb", u8"螺纹钢", 1, 10, 0, 3120, .07, .012, 2000000, 2200000, kAll, 12, kM1510, 1.5, -.03, S::Night23, L, "CNY", 0},
      {"SHFE", "hc", u8"热轧卷板", 1, 10, 0, 3280, .07, .012, 600000, 1300000, kAll, 12, kM1510, 1.5, -.025, S::Night23, L, "CNY", 0},
      {"SHFE", "ss", u8"不锈钢", 5, 5, 0, 12700, .07, .009, 150000, 200000, kAll, 12, 0, .6, 0, S::Night01, L, "CNY", 0},
      {"SHFE", "bu", u8"沥青", 1, 10, 0, 3350, .08, .014, 300000, 500000, kAll, 12, kM612, 1.5, -.02, S::Night23, L, "CNY", 0},
      {"SHFE", "ru", u8"橡胶", 5, 10, 0, 15200, .08, .015, 300000, 200000, kAll, 12, kM159, 1.5, .02, S::Night23, L, "CNY", 0},
      {"SHFE", "fu", u8"燃料油", 1, 10, 0, 2950, .09, .018, 700000, 400000, kAll, 12, kM159, 1.5, -.02, S::Night23, L, "CNY", 0},
      {"SHFE", "sp", u8"纸浆", 2, 10, 0, 5300, .07, .013, 250000, 300000, kAll, 12, kM159, 1.5, .01, S::Night23, L, "CNY", 0},
      {"SHFE", "ao", u8"氧化铝", 1, 20, 0, 2850, .08, .020, 400000, 300000, kAll, 12, 0, .6, 0, S::Night01, L, "CNY", 0},
      {"SHFE", "br", u8"丁二烯橡胶", 5, 5, 0, 11300, .09, .017, 150000, 60000, kAll, 12, 0, .6, 0, S::Night23, L, "CNY", 0},

      {"DCE", "m", u8"豆粕", 1, 10, 0, 2960, .07, .011, 1500000, 3500000, kDceMeal, 8, kM159, 1.5, .01, S::Night23, L, "CNY", 0},
      {"DCE", "y", u8"豆油", 2, 10, 0, 8150, .07, .012, 600000, 700000, kDceMeal, 8, kM159, 1.5, -.01, S::Night23, L, "CNY", 0},
      {"DCE", "P", u8"棕榈油", 2, 10, 0, 8800, .08, .016, 700000, 500000, kAll, 12, kM159, 1.5, -.015, S::Night23, L, "CNY", 0},
      {"DCE", "c", u8"玉米", 1, 10, 0, 2180, .06, .007, 500000, 1500000, kOdd, 6, kM159, 1.5, .02, S::Night23, L, "CNY", 0},
      {"DCE", "cs", u8"玉米淀粉", 1, 10, 0, 2480, .06, .008, 150000, 300000, kOdd, 6, kM159, 1.5, .02, S::Night23, L, "CNY", 0},
      {"DCE", "a", u8"豆一", 1, 10, 0, 3950, .07, .010, 150000, 200000, kOdd, 6, kM159, 1.5, 0, S::Night23, L, "CNY", 0},
      {"DCE", "b", u8"豆二", 1, 10, 0, 3600, .07, .012, 100000, 100000, kAll, 12, kM159, 1.5, 0, S::Night23, L, "CNY", 0},
      {"DCE", "i", u8"铁矿石", .5, 100, 1, 780, .11, .018, 400000, 800000, kAll, 12, kM159, 1.5, -.06, S::Night23, L, "CNY", 0},
      {"DCE", "j", u8"焦炭", .5, 100, 1, 1650, .11, .020, 40000, 50000, kAll, 12, kM159, 1.5, .02, S::Night23, L, "CNY", 0},
      {"DCE", "jm", u8"焦煤", .5, 60, 1, 1150, .11, .025, 500000, 700000, kAll, 12, kM159, 1.5, .03, S::Night23, L, "CNY", 0},
      {"DCE", "l", u8"聚乙烯", 1, 5, 0, 7100, .07, .010, 300000, 700000, kAll, 12, kM159, 1.5, -.01, S::Night23, L, "CNY", 0},
      {"DCE", "v", u8"聚氯乙烯", 1, 5, 0, 4800, .07, .012, 700000, 1200000, kAll, 12, kM159, 1.5, .02, S::Night23, L, "CNY", 0},
      {"DCE", "pp", u8"聚丙烯", 1, 5, 0, 6800, .07, .010, 400000, 800000, kAll, 12, kM159, 1.5, -.01, S::Night23, L, "CNY", 0},
      {"DCE", "eg", u8"乙二醇", 1, 10, 0, 4150, .07, .013, 300000, 500000, kAll, 12, kM159, 1.5, 0, S::Night23, L, "CNY", 0},
      {"DCE", "eb", u8"苯乙烯", 1, 5, 0, 6700, .08, .016, 300000, 300000, kAll, 12, 0, .6, -.02, S::Night23, L, "CNY", 0},
      {"DCE", "pg", u8"液化石油气", 1, 20, 0, 4300, .08, .015, 100000, 100000, kAll, 12, 0, .6, -.05, S::Night23, L, "CNY", 0},
      {"DCE", "jd", u8"鸡蛋", 1, 10, 0, 3250, .07, .015, 150000, 300000, kAll, 12, kM159, 1.5, .05, S::DayOnly, L, "CNY", 0},
      {"DCE", "lh", u8"生猪", 5, 16, 0, 12300, .08, .015, 50000, 150000, kOdd, 6, kM159, 1.5, .03, S::DayOnly, L, "CNY", 0},

      {"ZCE", "SR", u8"白糖", 1, 10, 0, 5480, .07, .008, 300000, 600000, kOdd, 6, kM159, 1.5, -.005, S::Night23, L, "CNY", 0},
      {"ZCE", "CF", u8"棉花", 5, 5, 0, 13500, .07, .009, 300000, 700000, kOdd, 6, kM159, 1.5, .005, S::Night23, L, "CNY", 0},
      {"ZCE", "TA", u8"PTA", 2, 5, 0, 4650, .07, .013, 1500000, 2500000, kAll, 12, kM159, 1.5, -.01, S::Night23, L, "CNY", 0},
      {"ZCE", "MA", u8"甲醇", 1, 10, 0, 2280, .07, .013, 1200000, 1500000, kAll, 12, kM159, 1.5, 0, S::Night23, L, "CNY", 0},
      {"ZCE", "FG", u8"玻璃", 1, 20, 0, 1080, .07, .020, 1200000, 1500000, kAll, 12, kM159, 1.5, .04, S::Night23, L, "CNY", 0},
      {"ZCE", "OI", u8"菜籽油", 1, 10, 0, 9600, .07, .012, 300000, 300000, kOdd, 6, kM159, 1.5, -.01, S::Night23, L, "CNY", 0},
      {"ZCE", "RM", u8"菜粕", 1, 10, 0, 2420, .07, .013, 700000, 1000000, kOdd, 6, kM159, 1.5, .01, S::Night23, L, "CNY", 0},
      {"ZCE", "AP", u8"苹果", 1, 10, 0, 8200, .07, .020, 150000, 250000, kOdd, 6, kM1510, 1.5, .02, S::DayOnly, L, "CNY", 0},
      {"ZCE", "SA", u8"纯碱", 1, 20, 0, 1230, .07, .022, 1500000, 1500000, kAll, 12, kM159, 1.5, .05, S::Night23, L, "CNY", 0},
      {"ZCE", "UR", u8"尿素", 1, 20, 0, 1640, .07, .015, 300000, 400000, kAll, 12, kM159, 1.5, -.02, S::DayOnly, L, "CNY", 0},
      {"ZCE", "PF", u8"短纤", 2, 5, 0, 6300, .07, .012, 200000, 200000, kAll, 12, kM159, 1.5, 0, S::Night23, L, "CNY", 0},
      {"ZCE", "SF", u8"硅铁", 2, 5, 0, 5600, .07, .014, 150000, 250000, kAll, 12, kM159, 1.5, .01, S::Night23, L, "CNY", 0},
      {"ZCE", "SM", u8"锰硅", 2, 5, 0, 5800, .07, .014, 200000, 400000, kAll, 12, kM159, 1.5, .01, S::Night23, L, "CNY", 0},
      {"ZCE", "CJ", u8"红枣", 5, 5, 0, 10800, .07, .015, 40000, 100000, kOdd, 6, kM159, 1.5, .02, S::DayOnly, L, "CNY", 0},
      {"ZCE", "PK", u8"花生", 2, 5, 0, 8000, .07, .012, 60000, 150000, kOdd, 6, kM159, 1.5, .01, S::DayOnly, L, "CNY", 0},
      {"ZCE", "SH", u8"烧碱", 1, 30, 0, 2400, .07, .020, 150000, 150000, kAll, 12, kM159, 1.5, .03, S::Night23, L, "CNY", 0},

      {"CFFEX", "IF", u8"沪深300", .2, 300, 1, 4550, .10, .012, 100000, 250000, kQuarters, 4, 0, .1, -.02, S::CffexIndex, IX, "CNY", 1},
      {"CFFEX", "IH", u8"上证50", .2, 300, 1, 2980, .10, .011, 40000, 90000, kQuarters, 4, 0, .1, -.01, S::CffexIndex, IX, "CNY", 1},
      {"CFFEX", "IC", u8"中证500", .2, 200, 1, 7100, .10, .015, 90000, 250000, kQuarters, 4, 0, .1, -.08, S::CffexIndex, IX, "CNY", 1},
      {"CFFEX", "IM", u8"中证1000", .2, 200, 1, 7350, .10, .017, 150000, 320000, kQuarters, 4, 0, .1, -.10, S::CffexIndex, IX, "CNY", 1},
      {"CFFEX", "T", u8"十年国债", .005, 10000, 3, 108.2, .02, .0025, 80000, 220000, kQuarters, 3, 0, .5, -.005, S::CffexBond, L, "CNY", 1},
      {"CFFEX", "TF", u8"五年国债", .005, 10000, 3, 105.9, .012, .0018, 50000, 150000, kQuarters, 3, 0, .5, -.004, S::CffexBond, L, "CNY", 1},
      {"CFFEX", "TS", u8"二年国债", .002, 20000, 3, 102.4, .005, .0008, 40000, 80000, kQuarters, 3, 0, .5, -.002, S::CffexBond, L, "CNY", 1},
      {"CFFEX", "TL", u8"三十年国债", .01, 10000, 2, 118.5, .035, .005, 80000, 120000, kQuarters, 3, 0, .5, -.01, S::CffexBond, L, "CNY", 1},

      {"INE", "sc", u8"原油", .1, 1000, 1, 478, .08, .020, 200000, 60000, kAll, 12, 0, .6, -.03, S::Night0230, L, "CNY", 0},
      {"INE", "lu", u8"低硫燃料油", 1, 10, 0, 3480, .08, .018, 150000, 150000, kAll, 12, kM159, 1.5, -.02, S::Night23, L, "CNY", 0},
      {"INE", "nr", u8"20号胶", 5, 10, 0, 12600, .08, .015, 50000, 80000, kAll, 12, 0, .6, .02, S::Night23, L, "CNY", 0},
      {"INE", "bc", u8"国际铜", 10, 5, 0, 70800, .08, .011, 10000, 15000, kAll, 12, 0, .6, .01, S::Night01, L, "CNY", 0},
      {"INE", "ec", u8"集运指数欧线", .1, 50, 1, 1650, .18, .035, 60000, 50000, kEven, 6, 0, 1, -.1, S::DayOnly, L, "CNY", 0},

      {"GFEX", "si", u8"工业硅", 5, 5, 0, 8900, .09, .016, 300000, 400000, kAll, 12, kM159, 1.5, .01, S::DayOnly, L, "CNY", 0},
      {"GFEX", "lc", u8"碳酸锂", 20, 1, 0, 75000, .09, .030, 500000, 600000, kAll, 12, kM159, 1.5, .02, S::DayOnly, L, "CNY", 0},
      {"GFEX", "ps", u8"多晶硅", 5, 3, 0, 51000, .09, .030, 300000, 250000, kAll, 12, kM159, 1.5, 0, S::DayOnly, L, "CNY", 0},

      {"CME", "ES", u8"标普500", .25, 50, 2, 6700, .10, .010, 1500000, 2000000, kQuarters, 4, 0, .1, .01, S::Globex, L, "USD", 2},
      {"CME", "NQ", u8"纳斯达克100", .25, 20, 2, 24500, .10, .014, 600000, 250000, kQuarters, 4, 0, .1, .01, S::Globex, L, "USD", 2},
      {"COMEX", "GC", u8"纽约黄金", .1, 100, 1, 4050, .10, .012, 250000, 500000, kEven, 6, 0, .6, .03, S::Globex, L, "USD", 2},
      {"COMEX", "SI", u8"纽约白银", .005, 5000, 3, 48.5, .10, .020, 80000, 150000, kCorn, 5, 0, .6, .02, S::Globex, L, "USD", 2},
      {"NYMEX", "CL", u8"美原油", .01, 1000, 2, 59.5, .10, .020, 900000, 1700000, kAll, 12, 0, .6, -.04, S::Globex, L, "USD", 2},
      {"NYMEX", "NG", u8"美天然气", .001, 10000, 3, 4.25, .10, .035, 400000, 1500000, kAll, 12, 0, .6, .05, S::Globex, L, "USD", 2},
      {"CBOT", "ZS", u8"美大豆", .25, 50, 2, 1125, .07, .011, 200000, 800000, kSoy, 7, 0, .6, .01, S::Globex, L, "USD", 2},
      {"CBOT", "ZC", u8"美玉米", .25, 50, 2, 435, .07, .010, 350000, 1500000, kCorn, 5, 0, .6, .02, S::Globex, L, "USD", 2},
      {"SGX", "FEF", u8"新加坡铁矿石", .01, 100, 2, 105.5, .10, .017, 80000, 1000000, kAll, 12, 0, .6, -.06, S::Sgx, L, "USD", 2},
      {"SGX", "CN", u8"富时中国A50", 1, 1, 0, 15100, .10, .012, 300000, 900000, kQuarters, 4, 0, .1, -.01, S::Sgx, IX, "USD", 2},
      {"HKEX", "HSI", u8"恒生指数", 1, 50, 0, 25800, .10, .015, 150000, 120000, kQuarters, 4, 0, .1, -.01, S::Hkex, IX, "HKD", 2},
      {"HKEX", "MHI", u8"小型恒指", 1, 10, 0, 25800, .10, .015, 100000, 80000, kQuarters, 4, 0, .1, -.01, S::Hkex, IX, "HKD", 2},
  };
  return specs;
}

SessionPlan RealSessionPlan(SessionKind kind) {
  // Offsets are minutes from 17:00 exchange time: 21:00 = 240, 09:00 = 960, 15:00 = 1320.
  const std::vector<SessionPlan::Range> day = {{960, 1035}, {1050, 1110}, {1230, 1320}};
  auto with = [&](SessionPlan::Range night) {
    std::vector<SessionPlan::Range> r = day;
    r.push_back(night);
    return SessionPlan(r);
  };
  switch (kind) {
    case SessionKind::DayOnly: return SessionPlan(day);
    case SessionKind::Night23: return with({240, 360});
    case SessionKind::Night01: return with({240, 480});
    case SessionKind::Night0230: return with({240, 570});
    case SessionKind::CffexIndex: return SessionPlan({{990, 1110}, {1200, 1320}});
    case SessionKind::CffexBond: return SessionPlan({{990, 1110}, {1200, 1335}});
    case SessionKind::Globex: return SessionPlan({{0, 720}, {780, 1440}});
    case SessionKind::Sgx: return SessionPlan({{0, 180}, {195, 735}, {865, 1440}});
    case SessionKind::Hkex: return SessionPlan({{15, 600}, {975, 1140}, {1200, 1410}});
  }
  return SessionPlan(day);
}

int64_t ExpiryOf(MonthRef m, const TradingCalendar& calendar) {
  int64_t d = DaysFromCivil(m.year, m.month, 15);
  if (!calendar.IsTradingDate(d)) d = calendar.PrevTradingDate(d);
  return d;
}

std::vector<MonthRef> ListedMonths(const CommoditySpec& spec, const TradingCalendar& calendar, int64_t dayNum) {
  int y, mo, d;
  CivilFromDays(dayNum, y, mo, d);
  std::vector<MonthRef> out;
  MonthRef cur{y, mo};
  auto alive = [&](MonthRef m) { return ExpiryOf(m, calendar) >= dayNum; };
  if (spec.rule == MonthRule::IndexFutures) {
    int key = cur.Key();
    if (!alive(cur)) ++key;
    out.push_back(MonthRef::FromKey(key));
    out.push_back(MonthRef::FromKey(key + 1));
    int k = key + 2;
    while (static_cast<int>(out.size()) < spec.listCount && k < key + 40) {
      MonthRef m = MonthRef::FromKey(k);
      if (m.month % 3 == 0) out.push_back(m);
      ++k;
    }
    return out;
  }
  for (int key = cur.Key(); static_cast<int>(out.size()) < spec.listCount && key < cur.Key() + 48; ++key) {
    MonthRef m = MonthRef::FromKey(key);
    if ((spec.listMask >> m.month) & 1) {
      if (alive(m)) out.push_back(m);
    }
  }
  return out;
}

std::string MonthText(const CommoditySpec& spec, MonthRef m) {
  char buf[16];
  if (std::string_view(spec.exchange) == "ZCE")
    std::snprintf(buf, sizeof buf, "%d%02d", m.year % 10, m.month);
  else
    std::snprintf(buf, sizeof buf, "%02d%02d", m.year % 100, m.month);
  return buf;
}

Catalogue::Catalogue(const std::vector<CommoditySpec>& specs, const std::vector<ExchangeSpec>& exchanges,
                     const TradingCalendar& calendar, int64_t dayNum) {
  listedOn_ = dayNum;
  for (const ExchangeSpec& e : exchanges) {
    Exchange x;
    x.index = static_cast<int>(exchanges_.size());
    x.code = e.code;
    x.name = Gbk(e.name);
    exchanges_.push_back(std::move(x));
  }
  for (const CommoditySpec& spec : specs) {
    int ex = FindExchange(spec.exchange);
    if (ex < 0) continue;
    Commodity c;
    c.index = static_cast<int>(commodities_.size());
    c.exchange = ex;
    c.spec = spec;
    c.code = spec.code;
    c.name = Gbk(spec.name);
    c.realSessions = RealSessionPlan(spec.sessions);
    c.sessions = calendar.RealSessions() ? c.realSessions : SessionPlan::AllDay();
    auto add = [&](ContractKind kind, MonthRef m, const std::string& monthText, const std::string& suffixName) {
      Contract k;
      k.id = static_cast<ContractId>(contracts_.size());
      k.commodity = c.index;
      k.kind = kind;
      k.month = m;
      k.monthText = monthText;
      k.code = c.code + monthText;
      k.name = c.name + suffixName;
      k.key = exchanges_[ex].code + "|" + k.code;
      if (kind == ContractKind::Month) k.expiry = ExpiryOf(m, calendar);
      byKey_[k.key] = k.id;
      contracts_.push_back(k);
      return k.id;
    };
    for (MonthRef m : ListedMonths(spec, calendar, dayNum)) {
      const std::string text = MonthText(spec, m);
      c.months.push_back(add(ContractKind::Month, m, text, text));
    }
    c.mainContract = add(ContractKind::Main, MonthRef{}, "MI", TXT("主连"));
    c.indexContract = add(ContractKind::Index, MonthRef{}, "IDX", TXT("指数"));
    exchanges_[ex].commodities.push_back(c.index);
    commodities_.push_back(std::move(c));
  }
}

ContractId Catalogue::Find(std::string_view key) const {
  auto it = byKey_.find(key);
  return it == byKey_.end() ? kNoContract : it->second;
}

int Catalogue::FindExchange(std::string_view code) const {
  for (const Exchange& e : exchanges_)
    if (e.code == code) return e.index;
  return -1;
}

int Catalogue::FindCommodity(std::string_view exchangeCode, std::string_view code) const {
  int ex = FindExchange(exchangeCode);
  if (ex < 0) return -1;
  for (int ci : exchanges_[ex].commodities)
    if (commodities_[ci].code == code) return ci;
  return -1;
}

const std::string& Catalogue::KeyOf(ContractId id) const {
  static const std::string none;
  return id < contracts_.size() ? contracts_[id].key : none;
}

}  // namespace tarn::exchange

#include "quote/keyboard_commands.h"

#include <mutex>

#include "libs/indicators/period_name.h"
#include "platform/archive.h"
#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/program_dir.h"
#include "platform/sync.h"
#include "platform/text.h"

namespace tarn {

namespace {

// Smallest bytes of one entry: three texts of at least their one-byte prefix and three int32.
constexpr std::size_t kMinEntry = 3 * 1 + 3 * 4;
// A keyboard command file is a few hundred bytes; anything beyond this is not one.
constexpr std::size_t kMaxFileBytes = 4u << 20;
constexpr std::size_t kMaxPeriodText = 900;

WizardItem Command(const char* key, const std::string& display, int kind, int extra1, int extra2) {
  WizardItem item;
  item.key = key;
  item.kind = kind;
  item.display = display;
  item.extra1 = extra1;
  item.extra2 = extra2;
  return item;
}

bool HasPeriod(const std::vector<WizardItem>& items, int kind, int multiplier) {
  for (const WizardItem& i : items)
    if (i.kind == kWizardPeriod && i.extra1 == kind && i.extra2 == multiplier) return true;
  return false;
}

}  // namespace

KeyboardCommandParse ParseKeyboardCommandFile(std::string_view bytes) {
  KeyboardCommandParse p;
  ArchiveReader r(bytes);
  int32_t count = 0;
  bool ok = r.Int32(p.version);
  const std::size_t minEntry = kMinEntry + (p.version >= 2 ? 1 : 0);
  ok = ok && r.Count(count, minEntry);
  for (int32_t i = 0; ok && i < count; ++i) {
    WizardItem item;
    ok = r.String(item.key) && r.String(item.searchText) && r.Int32(item.kind) && r.String(item.display) &&
         r.Int32(item.extra1) && r.Int32(item.extra2);
    if (ok && p.version >= 2) {
      uint8_t flag = 0;
      ok = r.Byte(flag);
      item.flag = flag;
    }
    if (ok) p.items.push_back(std::move(item));
  }
  p.complete = ok;
  if (!ok) p.failedAt = r.FailedAt();
  return p;
}

std::string SerializeKeyboardCommandFile(const std::vector<WizardItem>& items) {
  ArchiveWriter w;
  w.Int32(2);
  w.Int32(static_cast<int32_t>(items.size()));
  for (const WizardItem& i : items) {
    w.String(i.key);
    w.String(i.searchText);
    w.Int32(i.kind);
    w.String(i.display);
    w.Int32(i.extra1);
    w.Int32(i.extra2);
    w.Byte(static_cast<uint8_t>(i.flag));
  }
  return w.Take();
}

std::vector<WizardItem> DefaultKeyboardCommands() {
  return {
      Command("1", TXT("1分钟线"), kWizardPeriod, kPeriodMinutes, 1),
      Command("2", TXT("3分钟线"), kWizardPeriod, kPeriodMinutes, 3),
      Command("3", TXT("5分钟线"), kWizardPeriod, kPeriodMinutes, 5),
      Command("4", TXT("15分钟线"), kWizardPeriod, kPeriodMinutes, 15),
      Command("5", TXT("30分钟线"), kWizardPeriod, kPeriodMinutes, 30),
      Command("6", TXT("60分钟线"), kWizardPeriod, kPeriodMinutes, 60),
      Command("7", TXT("日线"), kWizardPeriod, kPeriodDays, 1),
      Command("8", TXT("周线"), kWizardPeriod, kPeriodWeek, 1),
      Command("9", TXT("月线"), kWizardPeriod, kPeriodMonths, 1),
      Command("10", TXT("年线"), kWizardPeriod, kPeriodYear, 1),
      Command("05", TXT("图形切换"), kWizardWindow, 0, 0),
      Command("06", TXT("自选板块"), kWizardWindow, 0, 0),
      Command(".", TXT("行情报价"), kWizardWindow, 0, 0),
      Command("07", TXT("盘口报价"), kWizardWindow, 0, 0),
  };
}

std::vector<CustomPeriod> ParseCustomPeriods(std::string_view data) {
  data = data.substr(0, std::min(data.size(), kMaxPeriodText));
  std::vector<int> values;
  while (!data.empty()) {
    const std::size_t comma = data.find(',');
    const std::string_view part = TrimView(data.substr(0, comma));
    if (!part.empty()) {
      const long long v = ParseLeadingInt(part);
      values.push_back(v < -1000000 ? -1000000 : v > 1000000 ? 1000000 : static_cast<int>(v));
    }
    if (comma == std::string_view::npos) break;
    data.remove_prefix(comma + 1);
  }
  std::vector<CustomPeriod> periods;
  for (std::size_t i = 0; i + 1 < values.size(); i += 2) periods.push_back({values[i], values[i + 1]});
  return periods;
}

std::vector<CustomPeriod> LoadCustomPeriods() {
  return ParseCustomPeriods(Profile::GetString(kCustomPeriodFile, "Period", "data", ""));
}

void RenameOldDisplays(std::vector<WizardItem>& items) {
  for (WizardItem& i : items) {
    if (i.display.find(TXT("行情报价")) != std::string::npos) i.display = TXT("行情报价");
    else if (i.display == TXT("05 图形切换")) i.display = TXT("图形切换");
    else if (i.display == TXT("06 自选板块")) i.display = TXT("自选板块");
    else if (i.display == TXT("07 盘口报价")) i.display = TXT("盘口报价");
  }
}

void CompleteKeyboardCommands(std::vector<WizardItem>& items, const std::vector<CustomPeriod>& custom) {
  if (!HasPeriod(items, kPeriodSeconds, 30)) items.push_back(Command("11", TXT("30秒"), kWizardPeriod, kPeriodSeconds, 30));
  if (!HasPeriod(items, kPeriodMonths, 3)) items.push_back(Command("+", TXT("季线"), kWizardPeriod, kPeriodMonths, 3));
  for (std::size_t n = 0; n < custom.size(); ++n) {
    const CustomPeriod& c = custom[n];
    if (c.multiplier < 1 || HasPeriod(items, c.kind, c.multiplier)) continue;
    const std::string name = PeriodName(c.kind, c.multiplier);
    if (name.empty()) continue;
    const std::string key = Format("%d", 12 + static_cast<int>(n));
    items.push_back(Command(key.c_str(), name, kWizardPeriod, c.kind, c.multiplier));
  }
}

std::vector<WizardItem> LoadKeyboardCommands() {
  std::vector<WizardItem> items;
  if (std::optional<std::string> bytes = ReadWholeFile(Path(kKeyboardCommandFile), kMaxFileBytes))
    items = ParseKeyboardCommandFile(*bytes).items;
  if (items.empty()) items = DefaultKeyboardCommands();
  RenameOldDisplays(items);
  CompleteKeyboardCommands(items, LoadCustomPeriods());
  return items;
}

namespace {

struct CommandListSlot {
  CriticalSection lock;
  bool loaded = false;
  std::vector<WizardItem> items;
};

CommandListSlot& Slot() {
  static CommandListSlot slot;
  return slot;
}

}  // namespace

std::vector<WizardItem> KeyboardCommandList() {
  CommandListSlot& s = Slot();
  std::lock_guard<CriticalSection> guard(s.lock);
  if (!s.loaded) {
    s.items = LoadKeyboardCommands();
    s.loaded = true;
  }
  return s.items;
}

void ReloadKeyboardCommandList() {
  CommandListSlot& s = Slot();
  std::lock_guard<CriticalSection> guard(s.lock);
  s.items = LoadKeyboardCommands();
  s.loaded = true;
}

}  // namespace tarn

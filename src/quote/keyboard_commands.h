// The keyboard commands: entries the user calls up by typing in the keyboard wizard (period
// switches and window kinds), kept in "\user\keybord.dat":
//
//   int32 version (2 when written), int32 count, then per entry: key, searchText (texts),
//   kind (int32), display (text), extra1, extra2 (int32) and, from version 2 on, one flag byte.
//
// A missing file, or one that holds no entry, gives the fourteen default commands. The list is
// then completed: "11" (30 seconds) and "+" (a quarter) unless their periods are there already,
// and one entry per custom period of "\user\peirod.ini" (section "Period", key "data": pairs
// "kind,multiplier", comma-separated).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "quote/wizard_item.h"

namespace tarn {

inline constexpr const char* kKeyboardCommandFile = "\\user\\keybord.dat";
inline constexpr const char* kCustomPeriodFile = "\\user\\peirod.ini";

struct KeyboardCommandParse {
  int32_t version = 0;
  std::vector<WizardItem> items;  // every entry read whole before any damage
  bool complete = false;          // the whole file was read
  std::size_t failedAt = 0;       // where reading stopped when not complete
};

// Reads the file's bytes; never trusts a count or a length.
KeyboardCommandParse ParseKeyboardCommandFile(std::string_view bytes);
// The file's bytes (version 2).
std::string SerializeKeyboardCommandFile(const std::vector<WizardItem>& items);

// The fourteen defaults, in order ("1" one minute ... "07" the order book window).
std::vector<WizardItem> DefaultKeyboardCommands();

struct CustomPeriod {
  int kind = 0;
  int multiplier = 0;
};
// The pairs of peirod.ini's "data" value (its first 900 characters); an unpaired last value is
// dropped.
std::vector<CustomPeriod> ParseCustomPeriods(std::string_view data);
// peirod.ini's custom periods.
std::vector<CustomPeriod> LoadCustomPeriods();

// Brings display texts of older files to the current names.
void RenameOldDisplays(std::vector<WizardItem>& items);
// Appends "11" ("30秒"), "+" ("季线") and an entry per custom period ("%d" of 12 plus its
// position in the list, named by the period's name), each unless a period entry with that
// period exists. A custom period without a name (unknown kind, multiplier below 1) is skipped.
void CompleteKeyboardCommands(std::vector<WizardItem>& items, const std::vector<CustomPeriod>& custom);

// The file (or the defaults), renamed and completed.
std::vector<WizardItem> LoadKeyboardCommands();

// The process's list, loaded on first use (a copy).
std::vector<WizardItem> KeyboardCommandList();
// Reloads the process's list (after the files changed; tests).
void ReloadKeyboardCommandList();

}  // namespace tarn

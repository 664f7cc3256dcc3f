// keybord.dat over any bytes: no crash, no allocation beyond the input, the failure offset
// inside the input, and a file read whole writes back to the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "quote/keyboard_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tarn::KeyboardCommandParse p = tarn::ParseKeyboardCommandFile(bytes);
  if (!p.complete && p.failedAt > size) std::abort();
  if (p.items.size() > size / 15) std::abort();
  std::vector<tarn::WizardItem> items = p.items;
  tarn::RenameOldDisplays(items);
  tarn::CompleteKeyboardCommands(items, tarn::ParseCustomPeriods(bytes));
  if (p.complete && p.version >= 2) {
    const tarn::KeyboardCommandParse again = tarn::ParseKeyboardCommandFile(tarn::SerializeKeyboardCommandFile(p.items));
    if (!again.complete || again.items.size() != p.items.size()) std::abort();
    for (std::size_t i = 0; i < p.items.size(); ++i) {
      const tarn::WizardItem& a = p.items[i];
      const tarn::WizardItem& b = again.items[i];
      if (a.key != b.key || a.searchText != b.searchText || a.kind != b.kind || a.display != b.display ||
          a.extra1 != b.extra1 || a.extra2 != b.extra2 || a.flag != b.flag)
        std::abort();
    }
  }
  return 0;
}

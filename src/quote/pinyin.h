// Pinyin of Chinese characters, for searching contracts by the pinyin of their names.
//
// The level-1 characters of GB2312 (GBK codes 0xB0A1 to 0xD7F9) are ordered by their pinyin, so
// a table of the syllables with the code of each syllable's first character gives every such
// character its syllable: the syllable of the largest first-character code not above the
// character's code. Level-2 characters are ordered by radical and have no syllable here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarn {

struct PinyinSyllable {
  char text[7];        // "a", "ai", ..., "zuo"
  uint16_t firstCode;  // GBK code of the syllable's first level-1 character
};

// The 397 syllables in code order.
std::span<const PinyinSyllable> PinyinSyllables();

constexpr uint16_t kPinyinFirstCode = 0xB0A1;
constexpr uint16_t kPinyinLastCode = 0xD7F9;

// The syllable of the character with this GBK code (lead byte << 8 | trail byte); empty for a
// code that is not a level-1 character. The code-to-syllable map is built once.
std::string_view PinyinOf(uint16_t code);

// The pinyin initials of a GBK text in upper case ("螺纹钢" gives "LWG"): each level-1
// character gives the first letter of its syllable, ASCII letters and digits are kept (letters
// in upper case), everything else is left out. Nothing when no character gave a letter or digit.
std::optional<std::string> PinyinInitials(std::string_view gbk);

}  // namespace tarn

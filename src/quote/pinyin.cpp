#include "quote/pinyin.h"

#include <algorithm>
#include <array>

namespace tarn {

namespace {

// Each syllable with the GBK code of its first level-1 character, in code order. Worked out by
// reading the level-1 characters in their code order and marking where each syllable begins.
constexpr PinyinSyllable kSyllables[] = {
    {"a", 0xB0A1}, {"ai", 0xB0A3}, {"an", 0xB0B0}, {"ang", 0xB0B9}, {"ao", 0xB0BC}, {"ba", 0xB0C5},
    {"bai", 0xB0D7}, {"ban", 0xB0DF}, {"bang", 0xB0EE}, {"bao", 0xB0FA}, {"bei", 0xB1AD},
    {"ben", 0xB1BC}, {"beng", 0xB1C0}, {"bi", 0xB1C6}, {"bian", 0xB1DE}, {"biao", 0xB1EA},
    {"bie", 0xB1EE}, {"bin", 0xB1F2}, {"bing", 0xB1F8}, {"bo", 0xB2A3}, {"bu", 0xB2B6},
    {"ca", 0xB2C1}, {"cai", 0xB2C2}, {"can", 0xB2CD}, {"cang", 0xB2D4}, {"cao", 0xB2D9},
    {"ce", 0xB2DE}, {"ceng", 0xB2E3}, {"cha", 0xB2E5}, {"chai", 0xB2F0}, {"chan", 0xB2F3},
    {"chang", 0xB2FD}, {"chao", 0xB3AC}, {"che", 0xB3B5}, {"chen", 0xB3BB}, {"cheng", 0xB3C5},
    {"chi", 0xB3D4}, {"chong", 0xB3E4}, {"chou", 0xB3E9}, {"chu", 0xB3F5}, {"chuai", 0xB4A7},
    {"chuan", 0xB4A8}, {"chuang", 0xB4AF}, {"chui", 0xB4B5}, {"chun", 0xB4BA}, {"chuo", 0xB4C1},
    {"ci", 0xB4C3}, {"cong", 0xB4CF}, {"cou", 0xB4D5}, {"cu", 0xB4D6}, {"cuan", 0xB4DA},
    {"cui", 0xB4DD}, {"cun", 0xB4E5}, {"cuo", 0xB4E8}, {"da", 0xB4EE}, {"dai", 0xB4F4},
    {"dan", 0xB5A2}, {"dang", 0xB5B1}, {"dao", 0xB5B6}, {"de", 0xB5C2}, {"deng", 0xB5C5},
    {"di", 0xB5CC}, {"dian", 0xB5DF}, {"diao", 0xB5EF}, {"die", 0xB5F8}, {"ding", 0xB6A1},
    {"diu", 0xB6AA}, {"dong", 0xB6AB}, {"dou", 0xB6B5}, {"du", 0xB6BC}, {"duan", 0xB6CB},
    {"dui", 0xB6D1}, {"dun", 0xB6D5}, {"duo", 0xB6DE}, {"e", 0xB6EA}, {"en", 0xB6F7},
    {"er", 0xB6F8}, {"fa", 0xB7A2}, {"fan", 0xB7AA}, {"fang", 0xB7BB}, {"fei", 0xB7C6},
    {"fen", 0xB7D2}, {"feng", 0xB7E1}, {"fo", 0xB7F0}, {"fou", 0xB7F1}, {"fu", 0xB7F2},
    {"ga", 0xB8C1}, {"gai", 0xB8C3}, {"gan", 0xB8C9}, {"gang", 0xB8D4}, {"gao", 0xB8DD},
    {"ge", 0xB8E7}, {"gei", 0xB8F8}, {"gen", 0xB8F9}, {"geng", 0xB8FB}, {"gong", 0xB9A4},
    {"gou", 0xB9B3}, {"gu", 0xB9BC}, {"gua", 0xB9CE}, {"guai", 0xB9D4}, {"guan", 0xB9D7},
    {"guang", 0xB9E2}, {"gui", 0xB9E5}, {"gun", 0xB9F5}, {"guo", 0xB9F8}, {"ha", 0xB9FE},
    {"hai", 0xBAA1}, {"han", 0xBAA8}, {"hang", 0xBABB}, {"hao", 0xBABE}, {"he", 0xBAC7},
    {"hei", 0xBAD9}, {"hen", 0xBADB}, {"heng", 0xBADF}, {"hong", 0xBAE4}, {"hou", 0xBAED},
    {"hu", 0xBAF4}, {"hua", 0xBBA8}, {"huai", 0xBBB1}, {"huan", 0xBBB6}, {"huang", 0xBBC4},
    {"hui", 0xBBD2}, {"hun", 0xBBE7}, {"huo", 0xBBED}, {"ji", 0xBBF7}, {"jia", 0xBCCE},
    {"jian", 0xBCDF}, {"jiang", 0xBDA9}, {"jiao", 0xBDB6}, {"jie", 0xBDD2}, {"jin", 0xBDED},
    {"jing", 0xBEA3}, {"jiong", 0xBEBC}, {"jiu", 0xBEBE}, {"ju", 0xBECF}, {"juan", 0xBEE8},
    {"jue", 0xBEEF}, {"jun", 0xBEF9}, {"ka", 0xBFA6}, {"kai", 0xBFAA}, {"kan", 0xBFAF},
    {"kang", 0xBFB5}, {"kao", 0xBFBC}, {"ke", 0xBFC0}, {"ken", 0xBFCF}, {"keng", 0xBFD3},
    {"kong", 0xBFD5}, {"kou", 0xBFD9}, {"ku", 0xBFDD}, {"kua", 0xBFE4}, {"kuai", 0xBFE9},
    {"kuan", 0xBFED}, {"kuang", 0xBFEF}, {"kui", 0xBFF7}, {"kun", 0xC0A4}, {"kuo", 0xC0A8},
    {"la", 0xC0AC}, {"lai", 0xC0B3}, {"lan", 0xC0B6}, {"lang", 0xC0C5}, {"lao", 0xC0CC},
    {"le", 0xC0D5}, {"lei", 0xC0D7}, {"leng", 0xC0E2}, {"li", 0xC0E5}, {"lia", 0xC1A9},
    {"lian", 0xC1AA}, {"liang", 0xC1B8}, {"liao", 0xC1C3}, {"lie", 0xC1D0}, {"lin", 0xC1D5},
    {"ling", 0xC1E1}, {"liu", 0xC1EF}, {"long", 0xC1FA}, {"lou", 0xC2A5}, {"lu", 0xC2AB},
    {"lv", 0xC2BF}, {"luan", 0xC2CD}, {"lue", 0xC2D3}, {"lun", 0xC2D5}, {"luo", 0xC2DC},
    {"ma", 0xC2E8}, {"mai", 0xC2F1}, {"man", 0xC2F7}, {"mang", 0xC3A2}, {"mao", 0xC3A8},
    {"me", 0xC3B4}, {"mei", 0xC3B5}, {"men", 0xC3C5}, {"meng", 0xC3C8}, {"mi", 0xC3D0},
    {"mian", 0xC3DE}, {"miao", 0xC3E7}, {"mie", 0xC3EF}, {"min", 0xC3F1}, {"ming", 0xC3F7},
    {"miu", 0xC3FD}, {"mo", 0xC3FE}, {"mou", 0xC4B1}, {"mu", 0xC4B4}, {"na", 0xC4C3},
    {"nai", 0xC4CA}, {"nan", 0xC4CF}, {"nang", 0xC4D2}, {"nao", 0xC4D3}, {"ne", 0xC4D8},
    {"nei", 0xC4D9}, {"nen", 0xC4DB}, {"neng", 0xC4DC}, {"ni", 0xC4DD}, {"nian", 0xC4E8},
    {"niang", 0xC4EF}, {"niao", 0xC4F1}, {"nie", 0xC4F3}, {"nin", 0xC4FA}, {"ning", 0xC4FB},
    {"niu", 0xC5A3}, {"nong", 0xC5A7}, {"nu", 0xC5AB}, {"nv", 0xC5AE}, {"nuan", 0xC5AF},
    {"nue", 0xC5B0}, {"nuo", 0xC5B2}, {"o", 0xC5B6}, {"ou", 0xC5B7}, {"pa", 0xC5BE},
    {"pai", 0xC5C4}, {"pan", 0xC5CA}, {"pang", 0xC5D2}, {"pao", 0xC5D7}, {"pei", 0xC5DE},
    {"pen", 0xC5E7}, {"peng", 0xC5E9}, {"pi", 0xC5F7}, {"pian", 0xC6AA}, {"piao", 0xC6AE},
    {"pie", 0xC6B2}, {"pin", 0xC6B4}, {"ping", 0xC6B9}, {"po", 0xC6C2}, {"pou", 0xC6CA},
    {"pu", 0xC6CB}, {"qi", 0xC6DA}, {"qia", 0xC6FE}, {"qian", 0xC7A3}, {"qiang", 0xC7B9},
    {"qiao", 0xC7C1}, {"qie", 0xC7D0}, {"qin", 0xC7D5}, {"qing", 0xC7E0}, {"qiong", 0xC7ED},
    {"qiu", 0xC7EF}, {"qu", 0xC7F7}, {"quan", 0xC8A6}, {"que", 0xC8B1}, {"qun", 0xC8B9},
    {"ran", 0xC8BB}, {"rang", 0xC8BF}, {"rao", 0xC8C4}, {"re", 0xC8C7}, {"ren", 0xC8C9},
    {"reng", 0xC8D3}, {"ri", 0xC8D5}, {"rong", 0xC8D6}, {"rou", 0xC8E0}, {"ru", 0xC8E3},
    {"ruan", 0xC8ED}, {"rui", 0xC8EF}, {"run", 0xC8F2}, {"ruo", 0xC8F4}, {"sa", 0xC8F6},
    {"sai", 0xC8F9}, {"san", 0xC8FD}, {"sang", 0xC9A3}, {"sao", 0xC9A6}, {"se", 0xC9AA},
    {"sen", 0xC9AD}, {"seng", 0xC9AE}, {"sha", 0xC9AF}, {"shai", 0xC9B8}, {"shan", 0xC9BA},
    {"shang", 0xC9CA}, {"shao", 0xC9D2}, {"she", 0xC9DD}, {"shen", 0xC9E9}, {"sheng", 0xC9F9},
    {"shi", 0xCAA6}, {"shou", 0xCAD5}, {"shu", 0xCADF}, {"shua", 0xCBA2}, {"shuai", 0xCBA4},
    {"shuan", 0xCBA8}, {"shuang", 0xCBAA}, {"shui", 0xCBAD}, {"shun", 0xCBB1}, {"shuo", 0xCBB5},
    {"si", 0xCBB9}, {"song", 0xCBC9}, {"sou", 0xCBD1}, {"su", 0xCBD5}, {"suan", 0xCBE1},
    {"sui", 0xCBE4}, {"sun", 0xCBEF}, {"suo", 0xCBF2}, {"ta", 0xCBFA}, {"tai", 0xCCA5},
    {"tan", 0xCCAE}, {"tang", 0xCCC0}, {"tao", 0xCCCD}, {"te", 0xCCD8}, {"teng", 0xCCD9},
    {"ti", 0xCCDD}, {"tian", 0xCCEC}, {"tiao", 0xCCF4}, {"tie", 0xCCF9}, {"ting", 0xCCFC},
    {"tong", 0xCDA8}, {"tou", 0xCDB5}, {"tu", 0xCDB9}, {"tuan", 0xCDC4}, {"tui", 0xCDC6},
    {"tun", 0xCDCC}, {"tuo", 0xCDCF}, {"wa", 0xCDDA}, {"wai", 0xCDE1}, {"wan", 0xCDE3},
    {"wang", 0xCDF4}, {"wei", 0xCDFE}, {"wen", 0xCEC1}, {"weng", 0xCECB}, {"wo", 0xCECE},
    {"wu", 0xCED7}, {"xi", 0xCEF4}, {"xia", 0xCFB9}, {"xian", 0xCFC6}, {"xiang", 0xCFE0},
    {"xiao", 0xCFF4}, {"xie", 0xD0A8}, {"xin", 0xD0BD}, {"xing", 0xD0C7}, {"xiong", 0xD0D6},
    {"xiu", 0xD0DD}, {"xu", 0xD0E6}, {"xuan", 0xD0F9}, {"xue", 0xD1A5}, {"xun", 0xD1AB},
    {"ya", 0xD1B9}, {"yan", 0xD1C9}, {"yang", 0xD1EA}, {"yao", 0xD1FB}, {"ye", 0xD2AC},
    {"yi", 0xD2BB}, {"yin", 0xD2F0}, {"ying", 0xD3A2}, {"yo", 0xD3B4}, {"yong", 0xD3B5},
    {"you", 0xD3C4}, {"yu", 0xD3D8}, {"yuan", 0xD4A7}, {"yue", 0xD4BB}, {"yun", 0xD4C5},
    {"za", 0xD4D1}, {"zai", 0xD4D4}, {"zan", 0xD4DB}, {"zang", 0xD4DF}, {"zao", 0xD4E2},
    {"ze", 0xD4F0}, {"zei", 0xD4F4}, {"zen", 0xD4F5}, {"zeng", 0xD4F6}, {"zha", 0xD4FA},
    {"zhai", 0xD5AA}, {"zhan", 0xD5B0}, {"zhang", 0xD5C1}, {"zhao", 0xD5D0}, {"zhe", 0xD5DA},
    {"zhen", 0xD5E4}, {"zheng", 0xD5F4}, {"zhi", 0xD6A5}, {"zhong", 0xD6D0}, {"zhou", 0xD6DB},
    {"zhu", 0xD6E9}, {"zhua", 0xD7A5}, {"zhuai", 0xD7A7}, {"zhuan", 0xD7A8}, {"zhuang", 0xD7AE},
    {"zhui", 0xD7B5}, {"zhun", 0xD7BB}, {"zhuo", 0xD7BD}, {"zi", 0xD7C8}, {"zong", 0xD7D7},
    {"zou", 0xD7DE}, {"zu", 0xD7E2}, {"zuan", 0xD7EA}, {"zui", 0xD7EC}, {"zun", 0xD7F0},
    {"zuo", 0xD7F2},
};

constexpr int kTrailsPerRow = 94;  // trail bytes 0xA1 to 0xFE
constexpr int kFirstLead = 0xB0;
constexpr int kLastLead = 0xD7;
constexpr int kCells = (kLastLead - kFirstLead + 1) * kTrailsPerRow;

int CellOf(uint16_t code) {
  const int lead = code >> 8, trail = code & 0xFF;
  if (lead < kFirstLead || lead > kLastLead || trail < 0xA1 || trail > 0xFE) return -1;
  if (code > kPinyinLastCode) return -1;
  return (lead - kFirstLead) * kTrailsPerRow + (trail - 0xA1);
}

// The syllable index of every level-1 cell, built once from the table.
const std::array<int16_t, kCells>& CellMap() {
  static const std::array<int16_t, kCells> map = [] {
    std::array<int16_t, kCells> m{};
    m.fill(-1);
    const auto* begin = std::begin(kSyllables);
    const auto* end = std::end(kSyllables);
    for (int lead = kFirstLead; lead <= kLastLead; ++lead) {
      for (int trail = 0xA1; trail <= 0xFE; ++trail) {
        const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
        const int cell = CellOf(code);
        if (cell < 0) continue;
        // The last syllable whose first character is not above this one.
        const auto* it =
            std::upper_bound(begin, end, code, [](uint16_t c, const PinyinSyllable& s) { return c < s.firstCode; });
        m[cell] = static_cast<int16_t>((it - begin) - 1);
      }
    }
    return m;
  }();
  return map;
}

}  // namespace

std::span<const PinyinSyllable> PinyinSyllables() { return std::span<const PinyinSyllable>(kSyllables); }

std::string_view PinyinOf(uint16_t code) {
  const int cell = CellOf(code);
  if (cell < 0) return {};
  const int index = CellMap()[cell];
  return index < 0 ? std::string_view() : std::string_view(kSyllables[index].text);
}

std::optional<std::string> PinyinInitials(std::string_view gbk) {
  std::string out;
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(gbk[i]);
    if (c < 0x80) {
      if (c >= 'a' && c <= 'z') out.push_back(static_cast<char>(c - 'a' + 'A'));
      else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) out.push_back(static_cast<char>(c));
      continue;
    }
    // A double-byte character: its lead byte and the byte after it (a lead byte at the very end
    // is half a character and is left out).
    if (c == 0x80 || c == 0xFF || i + 1 >= gbk.size()) continue;
    const uint16_t code = static_cast<uint16_t>(c << 8 | static_cast<unsigned char>(gbk[i + 1]));
    ++i;
    const std::string_view syllable = PinyinOf(code);
    if (!syllable.empty()) out.push_back(static_cast<char>(syllable[0] - 'a' + 'A'));
  }
  if (out.empty()) return std::nullopt;
  return out;
}

}  // namespace tarn

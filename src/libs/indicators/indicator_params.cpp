#include "libs/indicators/indicator_params.h"

#include <cstdlib>

#include "platform/profile.h"
#include "platform/text.h"

namespace tarn {

namespace {

constexpr std::size_t kMaxParamText = 127;

std::vector<std::string_view> Split(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t at = text.find(sep, start);
    if (at == std::string_view::npos) {
      parts.push_back(text.substr(start));
      break;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  return parts;
}

std::string CutText(std::string_view text) {
  char field[kMaxParamText + 1];
  CopyToField(field, sizeof field, text);
  return std::string(FieldView(field, sizeof field));
}

}  // namespace

double ParamValue::AsNumber() const {
  if (!isText) return number;
  return std::strtod(text.c_str(), nullptr);
}

std::string FormatParamList(const std::vector<ParamValue>& values) {
  std::string out;
  for (const ParamValue& v : values) out += (v.isText ? v.text : Format("%.10g", v.number)) + "#";
  if (!out.empty()) out.pop_back();
  return out;
}

std::vector<ParamValue> ParseParamList(std::string_view text) {
  std::vector<ParamValue> values;
  if (TrimView(text).empty()) return values;
  for (std::string_view part : Split(text, '#')) {
    ParamValue v;
    std::string s = Trim(part);
    char* end = nullptr;
    double d = s.empty() ? 0 : std::strtod(s.c_str(), &end);
    if (!s.empty() && end == s.c_str() + s.size() && d == d) {
      v.number = d;
    } else {
      v.isText = true;
      v.text = CutText(s);
    }
    values.push_back(std::move(v));
  }
  return values;
}

std::optional<std::vector<ParamValue>> ReadIndicatorParams(std::string_view indicator) {
  ProfileDocument doc = ProfileDocument::Load(Profile::Resolve(kParameterFile));
  std::optional<std::string> value = doc.Get(indicator, "param");
  if (!value) return std::nullopt;
  return ParseParamList(*value);
}

bool WriteIndicatorParams(std::string_view indicator, const std::vector<ParamValue>& values) {
  return Profile::WriteString(kParameterFile, indicator, "param", FormatParamList(values));
}

std::string PeriodParamKey(int periodKind, int multiplier) { return Format("%d_%d", periodKind, multiplier); }

std::optional<std::vector<ParamValue>> ParsePeriodParams(std::string_view text) {
  std::vector<ParamValue> values;
  if (TrimView(text).empty()) return values;
  std::vector<std::string_view> parts = Split(text, ',');
  // An odd part left over is an incomplete pair: the entry is malformed.
  if (parts.size() % 2 != 0) return std::nullopt;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    ParamValue v;
    int type = static_cast<int>(ParseLeadingInt(parts[i]));
    std::string value = Trim(parts[i + 1]);
    if (type == 2) {
      v.isText = true;
      v.text = CutText(value);
    } else {
      v.number = std::strtod(value.c_str(), nullptr);
    }
    values.push_back(std::move(v));
  }
  return values;
}

std::optional<std::vector<ParamValue>> ReadPeriodParams(std::string_view indicator, int periodKind, int multiplier,
                                                        std::size_t paramCount) {
  ProfileDocument doc = ProfileDocument::Load(Profile::Resolve(kPeriodParamFile));
  std::optional<std::string> value = doc.Get(indicator, PeriodParamKey(periodKind, multiplier));
  if (!value) return std::nullopt;
  std::optional<std::vector<ParamValue>> values = ParsePeriodParams(*value);
  if (!values || values->size() != paramCount) return std::nullopt;
  return values;
}

}  // namespace tarn

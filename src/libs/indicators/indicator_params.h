// Indicator parameter files:
//  "\formula\config\parameter.ini"  section = indicator name, key "param": the current values,
//                                   each followed by "#", the last "#" removed ("12#26#9")
//  "\user\periodparam.ini"          section = indicator name, key "<kind>_<multiplier>" of a
//                                   chart period: pairs "type,value", one per parameter;
//                                   type 2 is a text (at most 127 characters), any other a
//                                   number. Used only when the pair count equals the
//                                   indicator's parameter count.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

inline constexpr const char* kParameterFile = "\\formula\\config\\parameter.ini";
inline constexpr const char* kPeriodParamFile = "\\user\\periodparam.ini";

struct ParamValue {
  bool isText = false;
  double number = 0;
  std::string text;  // GBK, at most 127 bytes
  // The value as a number: a text parameter is converted as a decimal number.
  double AsNumber() const;
};

// "%s#" form: every value as its text or as a number, joined by "#".
std::string FormatParamList(const std::vector<ParamValue>& values);
// Splits a "param" value at "#"; each part becomes a number when it reads as one entirely,
// a text otherwise.
std::vector<ParamValue> ParseParamList(std::string_view text);

std::optional<std::vector<ParamValue>> ReadIndicatorParams(std::string_view indicator);
bool WriteIndicatorParams(std::string_view indicator, const std::vector<ParamValue>& values);

// The key of a period in periodparam.ini: "%d_%d".
std::string PeriodParamKey(int periodKind, int multiplier);
// Parses the pairs of one periodparam.ini value; nothing when a pair is incomplete.
std::optional<std::vector<ParamValue>> ParsePeriodParams(std::string_view text);
// The parameters stored for an indicator and period, when the file has an entry with exactly
// `paramCount` pairs; nothing otherwise.
std::optional<std::vector<ParamValue>> ReadPeriodParams(std::string_view indicator, int periodKind, int multiplier,
                                                        std::size_t paramCount);

}  // namespace tarn

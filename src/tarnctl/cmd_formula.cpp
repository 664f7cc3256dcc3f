// tarnctl formula check TEXT-OR-FILE [-p NAME=DEFAULT[,MIN,MAX]]...
//   compiles a formula (a file, the name of an indicator of the formula files, or the text
//   itself) and prints its outputs and parameters, or the error with its position.
// tarnctl indicator NAME [PARAM=VALUE ...]
//   reads bars as CSV on standard input (time,open,high,low,close,volume,openinterest[,amount])
//   and prints the indicator's output lines as CSV, using the formula files of the program
//   directory.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "libs/indicators/formula_manager.h"
#include "data/quote_records.h"
#include "libs/formula/formula.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "tarnctl/command.h"

namespace {

using tarn::formula::DrawKind;

// Whether a text is well-formed UTF-8 (then it is converted to GBK; otherwise taken as GBK).
bool IsUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= s.size() + (extra == 0)) return false;
    for (int k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += extra + 1;
  }
  return true;
}

// Texts typed on the command line are UTF-8; files may be UTF-8 or GBK.
std::string ToGbk(const std::string& s) { return IsUtf8(s) ? tarn::Utf8ToGbk(s) : s; }

const char* KindName(DrawKind k) {
  switch (k) {
    case DrawKind::Line: return "line";
    case DrawKind::Stick: return "stick";
    case DrawKind::ColorStick: return "colorstick";
    case DrawKind::VolStick: return "volstick";
    case DrawKind::LineStick: return "linestick";
    case DrawKind::CircleDot: return "circledot";
    case DrawKind::PointDot: return "pointdot";
    case DrawKind::CrossDot: return "crossdot";
    case DrawKind::Text: return "drawtext";
    case DrawKind::StickLine: return "stickline";
    case DrawKind::Icon: return "drawicon";
    case DrawKind::PartLine: return "partline";
  }
  return "?";
}

std::string Number(double v) { return v <= -DBL_MAX || v >= DBL_MAX ? std::string("-") : tarn::Format("%g", v); }

int Check(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "usage: tarnctl formula check TEXT-OR-FILE [-p NAME=DEFAULT[,MIN,MAX]]...\n");
    return 2;
  }
  std::string source;
  std::vector<tarn::formula::ParamDef> params;
  tarn::formula::FormulaDef def;
  if (std::optional<std::string> file = tarn::ReadWholeFile(args[0], 16u << 20)) {
    source = ToGbk(*file);
  } else {
    tarn::FormulaManager& manager = tarn::FormulaManager::Instance();
    manager.Load();
    if (manager.Find(args[0], &def)) {
      source = def.source;
      params = def.params;
    } else {
      source = ToGbk(args[0]);
    }
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] != "-p" || i + 1 >= args.size()) {
      std::fprintf(stderr, "tarnctl formula check: unexpected '%s'\n", args[i].c_str());
      return 2;
    }
    std::string spec = args[++i];
    std::size_t eq = spec.find('=');
    tarn::formula::ParamDef p;
    p.name = ToGbk(spec.substr(0, eq));
    p.minValue = -DBL_MAX;
    p.maxValue = DBL_MAX;
    if (eq != std::string::npos) {
      std::string rest = spec.substr(eq + 1);
      char* end = nullptr;
      p.defaultValue = std::strtod(rest.c_str(), &end);
      if (*end == ',') p.minValue = std::strtod(end + 1, &end);
      if (*end == ',') p.maxValue = std::strtod(end + 1, &end);
    }
    params.push_back(p);
  }
  tarn::formula::CompileResult r = tarn::formula::Compile(source, params);
  if (!r.ok()) {
    std::string msg = tarn::GbkToUtf8(r.error.message);
    std::fprintf(stderr, "error at line %d, column %d (offset %zu): %s\n", r.error.line, r.error.column,
                 r.error.offset, msg.c_str());
    return 1;
  }
  std::printf("compiled: %zu outputs, %zu parameters, %zu instructions\n", r.program->Outputs().size(),
              r.program->Params().size(), r.program->InstructionCount());
  for (const tarn::formula::ParamDef& p : r.program->Params()) {
    std::printf("param ");
    tarnctl::PrintGbk(p.name);
    std::printf(" default %s range %s..%s\n", Number(p.defaultValue).c_str(), Number(p.minValue).c_str(),
                Number(p.maxValue).c_str());
  }
  int n = 0;
  for (const tarn::formula::OutputInfo& o : r.program->Outputs()) {
    std::printf("output %d ", ++n);
    tarnctl::PrintGbk(o.name.empty() ? std::string("(unnamed)") : o.name);
    std::printf(": %s", KindName(o.style.kind));
    if (o.style.hasColor) std::printf(" color %06X", o.style.color);
    std::printf(" thick %d", o.style.thickness);
    if (o.style.dash == tarn::formula::LineDash::Dot) std::printf(" dotline");
    if (o.style.dash == tarn::formula::LineDash::Dash) std::printf(" dashline");
    if (o.style.noDraw) std::printf(" nodraw");
    if (!o.text.empty()) {
      std::printf(" text '");
      tarnctl::PrintGbk(o.text);
      std::printf("'");
    }
    std::printf("\n");
  }
  return 0;
}

// One CSV line of bars; false for a line that holds no bar (a header or a blank line).
bool ParseBar(const std::string& line, DC_KData* bar) {
  double f[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  std::size_t start = 0;
  int count = 0;
  while (count < 8 && start <= line.size()) {
    std::size_t comma = line.find(',', start);
    if (comma == std::string::npos) comma = line.size();
    std::string field = tarn::Trim(std::string_view(line).substr(start, comma - start));
    char* end = nullptr;
    f[count] = std::strtod(field.c_str(), &end);
    if (field.empty() || *end != '\0') return false;
    ++count;
    start = comma + 1;
  }
  if (count < 5) return false;
  *bar = ZeroRecord<DC_KData>();
  bar->time = static_cast<int64_t>(f[0]);
  bar->open = static_cast<float>(f[1]);
  bar->high = static_cast<float>(f[2]);
  bar->low = static_cast<float>(f[3]);
  bar->close = static_cast<float>(f[4]);
  bar->volume = static_cast<int32_t>(f[5]);
  bar->openInterest = static_cast<int32_t>(f[6]);
  bar->amount = f[7];
  return true;
}

int IndicatorCmd(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "usage: tarnctl indicator NAME [PARAM=VALUE ...] < bars.csv\n");
    return 2;
  }
  tarn::FormulaManager& manager = tarn::FormulaManager::Instance();
  manager.Load();
  tarn::formula::FormulaDef def;
  if (!manager.Find(args[0], &def)) {
    std::fprintf(stderr, "tarnctl indicator: no indicator '%s' in the formula files\n", args[0].c_str());
    return 1;
  }
  std::vector<double> params;
  for (const tarn::formula::ParamDef& p : def.params) params.push_back(p.defaultValue);
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::size_t eq = args[i].find('=');
    bool found = false;
    if (eq != std::string::npos) {
      std::string name = ToGbk(args[i].substr(0, eq));
      for (std::size_t k = 0; k < def.params.size(); ++k) {
        if (tarn::EqualsNoCase(def.params[k].name, name)) {
          params[k] = std::strtod(args[i].c_str() + eq + 1, nullptr);
          found = true;
        }
      }
    }
    if (!found) {
      std::fprintf(stderr, "tarnctl indicator: '%s' is not PARAM=VALUE of a parameter of %s\n", args[i].c_str(),
                   args[0].c_str());
      return 2;
    }
  }
  std::vector<DC_KData> bars;
  std::string line;
  while (std::getline(std::cin, line)) {
    DC_KData bar;
    if (ParseBar(line, &bar)) bars.push_back(bar);
  }
  tarn::formula::CompileError error;
  auto ind = manager.Compute(def.name, bars.data(), bars.size(), params, &error);
  if (!ind) {
    std::fprintf(stderr, "tarnctl indicator: %s\n", tarn::GbkToUtf8(error.message).c_str());
    return 1;
  }
  std::vector<tarn::formula::Output> outs;
  std::printf("time");
  for (std::size_t i = 0; i < ind->OutputCount(); ++i) {
    outs.push_back(ind->GetOutput(i));
    std::string name = outs.back().info->name.empty() ? tarn::Format("OUT%zu", i + 1) : outs.back().info->name;
    std::printf(",");
    tarnctl::PrintGbk(name);
    if (!outs.back().second.empty()) {
      std::printf(",");
      tarnctl::PrintGbk(name + ".2");
    }
  }
  std::printf("\n");
  auto cell = [](std::span<const double> s, std::size_t j) {
    if (j >= s.size() || std::isnan(s[j])) std::printf(",");
    else std::printf(",%.10g", s[j]);
  };
  for (std::size_t j = 0; j < bars.size(); ++j) {
    std::printf("%lld", static_cast<long long>(bars[j].time));
    for (const tarn::formula::Output& o : outs) {
      cell(o.values, j);
      if (!o.second.empty()) cell(o.second, j);
    }
    std::printf("\n");
  }
  return 0;
}

}  // namespace

TARNCTL_COMMAND("formula", "formula check TEXT-OR-FILE [-p NAME=DEF[,MIN,MAX]]   compile a formula, print its outputs",
                [](const std::vector<std::string>& args) {
                  if (args.empty() || args[0] != "check") {
                    std::fprintf(stderr, "usage: tarnctl formula check TEXT-OR-FILE [-p NAME=DEFAULT[,MIN,MAX]]...\n");
                    return 2;
                  }
                  return Check(std::vector<std::string>(args.begin() + 1, args.end()));
                });
TARNCTL_COMMAND("indicator", "indicator NAME [PARAM=VALUE ...]   bars as CSV on stdin -> the indicator's lines as CSV",
                IndicatorCmd);

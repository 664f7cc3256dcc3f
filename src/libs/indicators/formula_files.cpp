#include "libs/indicators/formula_files.h"

#include <tinyxml.h>

#include <cfloat>
#include <cstdlib>

#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/text.h"

namespace tarn {

namespace {

// Formula files are small; anything larger is not one of ours.
constexpr std::size_t kMaxFormulaFileBytes = 16u << 20;

std::vector<std::string> SplitNames(std::string_view text) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    std::string name = Trim(text.substr(start, comma - start));
    if (!name.empty()) names.push_back(std::move(name));
    start = comma + 1;
  }
  return names;
}

std::string ElementText(const TiXmlElement* e) {
  const char* t = e->GetText();
  return t ? std::string(t) : std::string();
}

// Parses a document into `doc` unless it is nested too deeply for the recursive parser.
bool ParseXml(std::string_view bytes, TiXmlDocument* doc) {
  if (XmlNestingDepth(bytes) > kMaxXmlDepth) return false;
  // Formula texts keep their line ends (a "//" comment ends at one).
  TiXmlBase::SetCondenseWhiteSpace(false);
  std::string text(bytes);  // TinyXML reads up to a NUL
  doc->Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
  return doc->RootElement() != nullptr;
}

// "name,default,min,max"; a missing range leaves the parameter unbounded.
formula::ParamDef ParseParam(std::string_view text) {
  formula::ParamDef p;
  p.minValue = -DBL_MAX;
  p.maxValue = DBL_MAX;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    parts.push_back(Trim(text.substr(start, comma - start)));
    start = comma + 1;
  }
  auto number = [&](std::size_t i, double def) {
    if (i >= parts.size() || parts[i].empty()) return def;
    char* end = nullptr;
    double v = std::strtod(parts[i].c_str(), &end);
    return (end == parts[i].c_str() || v != v) ? def : v;
  };
  p.name = parts.empty() ? std::string() : parts[0];
  p.defaultValue = number(1, 0);
  p.minValue = number(2, -DBL_MAX);
  p.maxValue = number(3, DBL_MAX);
  return p;
}

std::string FormatNumber(double v) {
  if (v <= -DBL_MAX) return std::string();
  if (v >= DBL_MAX) return std::string();
  return Format("%.10g", v);
}

}  // namespace

const std::vector<std::string>& BuiltinIndicatorNames() {
  static const std::vector<std::string> names = SplitNames(
      "AD,ADTM,ARBR,ASI,ATR,BBIBOLL,BIAS,BOLL,CCI,CDP,CJL,COLORRSI,COLORWR,CP,CR,DMA,DMI,DONCHIAN,DUALMA,EMA,ENV,"
      "K110,K120,K130,K140,K150,K160,K170,KDJ,MA,MACD,MI,MICD,MIKE,MTM,OBV,OPI,PSY,PTV,PUBU,RC,RCCD,REDGREENBAR,"
      "ROC,RSI,SAR,SRMI,TURTLETRADER,VOL,VOSC,VR,VSTD,WR,WRTRADER,WVAD,ZIGZAG");
  return names;
}

std::vector<std::string> LoadSystemFormulaNames() {
  std::string path = Path(kSystemNamesFile);
  if (!FileExists(path)) {
    std::string text;
    for (const std::string& n : BuiltinIndicatorNames()) text += (text.empty() ? "" : ",") + n;
    WriteFileAtomic(path, text);
    return BuiltinIndicatorNames();
  }
  std::optional<std::string> bytes = ReadWholeFile(path, kMaxFormulaFileBytes);
  if (!bytes) return {};
  return SplitNames(*bytes);
}

std::vector<formula::FormulaDef> ParseFormulaXml(std::string_view bytes) {
  std::vector<formula::FormulaDef> defs;
  TiXmlDocument doc;
  if (!ParseXml(bytes, &doc)) return defs;
  for (const TiXmlElement* e = doc.RootElement()->FirstChildElement("fml"); e; e = e->NextSiblingElement("fml")) {
    formula::FormulaDef d;
    for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
      std::string field = c->ValueStr();
      std::string text = ElementText(c);
      if (field == "name") d.name = Trim(text);
      else if (field == "sname") d.shortName = text;
      else if (field == "description") d.description = text;
      else if (field == "chart") d.mainChart = EqualsNoCase(Trim(text), "main") || Trim(text) == TXT("主图");
      else if (field == "param") d.params.push_back(ParseParam(text));
      else if (field == "source") d.source = text;
    }
    if (!d.name.empty()) defs.push_back(std::move(d));
  }
  return defs;
}

std::vector<formula::FormulaDef> LoadFormulaFile(std::string_view terminalPath) {
  std::optional<std::string> bytes = ReadWholeFile(Path(terminalPath), kMaxFormulaFileBytes);
  if (!bytes) return {};
  return ParseFormulaXml(*bytes);
}

std::string FormatFormulaXml(const std::vector<formula::FormulaDef>& defs) {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlDeclaration("1.0", "GBK", ""));
  auto* root = new TiXmlElement("formulas");
  doc.LinkEndChild(root);
  auto add = [](TiXmlElement* parent, const char* name, const std::string& text) {
    auto* e = new TiXmlElement(name);
    e->LinkEndChild(new TiXmlText(text));
    parent->LinkEndChild(e);
  };
  for (const formula::FormulaDef& d : defs) {
    auto* e = new TiXmlElement("fml");
    root->LinkEndChild(e);
    add(e, "name", d.name);
    add(e, "sname", d.shortName);
    add(e, "description", d.description);
    add(e, "chart", d.mainChart ? "main" : "sub");
    for (const formula::ParamDef& p : d.params) {
      std::string text = p.name + "," + FormatNumber(p.defaultValue);
      if (p.minValue > -DBL_MAX || p.maxValue < DBL_MAX) text += "," + FormatNumber(p.minValue) + "," + FormatNumber(p.maxValue);
      add(e, "param", text);
    }
    add(e, "source", d.source);
  }
  TiXmlPrinter printer;
  printer.SetIndent("    ");
  printer.SetLineBreak("\r\n");
  doc.Accept(&printer);
  return printer.Str();
}

bool SaveFormulaFile(std::string_view terminalPath, const std::vector<formula::FormulaDef>& defs, std::string* error) {
  return WriteFileAtomic(Path(terminalPath), FormatFormulaXml(defs), error);
}

std::vector<FormulaGroup> ParseGroupXml(std::string_view bytes) {
  std::vector<FormulaGroup> groups;
  TiXmlDocument doc;
  if (!ParseXml(bytes, &doc)) return groups;
  for (const TiXmlElement* k = doc.RootElement()->FirstChildElement("kind"); k; k = k->NextSiblingElement("kind")) {
    FormulaGroup g;
    if (const char* name = k->Attribute("name")) g.name = name;
    for (const TiXmlElement* c = k->FirstChildElement(); c; c = c->NextSiblingElement()) {
      std::string n = Trim(ElementText(c));
      if (!n.empty()) g.formulas.push_back(std::move(n));
    }
    groups.push_back(std::move(g));
  }
  return groups;
}

std::vector<FormulaGroup> LoadGroupFile(std::string_view terminalPath) {
  std::optional<std::string> bytes = ReadWholeFile(Path(terminalPath), kMaxFormulaFileBytes);
  if (!bytes) return {};
  return ParseGroupXml(*bytes);
}

std::string FormatGroupXml(const std::vector<FormulaGroup>& groups) {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlDeclaration("1.0", "GBK", ""));
  auto* root = new TiXmlElement("groups");
  doc.LinkEndChild(root);
  for (const FormulaGroup& g : groups) {
    auto* k = new TiXmlElement("kind");
    k->SetAttribute("name", g.name);
    root->LinkEndChild(k);
    for (const std::string& n : g.formulas) {
      auto* e = new TiXmlElement("fml");
      e->LinkEndChild(new TiXmlText(n));
      k->LinkEndChild(e);
    }
  }
  TiXmlPrinter printer;
  printer.SetIndent("    ");
  printer.SetLineBreak("\r\n");
  doc.Accept(&printer);
  return printer.Str();
}

bool SaveGroupFile(std::string_view terminalPath, const std::vector<FormulaGroup>& groups, std::string* error) {
  return WriteFileAtomic(Path(terminalPath), FormatGroupXml(groups), error);
}

int XmlNestingDepth(std::string_view s) {
  int depth = 0, deepest = 0;
  std::size_t i = 0, n = s.size();
  auto skipPast = [&](std::string_view end) {
    std::size_t at = s.find(end, i);
    i = at == std::string_view::npos ? n : at + end.size();
  };
  while (i < n) {
    if (s[i] != '<') {
      ++i;
      continue;
    }
    std::string_view rest = s.substr(i);
    if (rest.starts_with("<!--")) {
      i += 4;
      skipPast("-->");
    } else if (rest.starts_with("<![CDATA[")) {
      i += 9;
      skipPast("]]>");
    } else if (rest.starts_with("<?")) {
      i += 2;
      skipPast("?>");
    } else if (rest.starts_with("<!")) {
      i += 2;
      skipPast(">");
    } else if (rest.starts_with("</")) {
      if (depth > 0) --depth;
      i += 2;
      skipPast(">");
    } else {
      ++i;
      char prev = 0;
      bool closed = false;
      while (i < n) {
        char c = s[i];
        if (c == '"' || c == '\'') {
          std::size_t q = s.find(c, i + 1);
          i = q == std::string_view::npos ? n : q + 1;
          prev = c;
          continue;
        }
        if (c == '>') {
          closed = true;
          ++i;
          break;
        }
        if (c == '<') break;  // a new tag starts: this one never ended
        prev = c;
        ++i;
      }
      if (!(closed && prev == '/')) {
        ++depth;
        if (depth > deepest) deepest = depth;
      }
    }
  }
  return deepest;
}

}  // namespace tarn

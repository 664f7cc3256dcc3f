// The formula files of the program directory:
//  "\formula\config\systemfml.txt"  the built-in indicators' names, comma-separated
//  "\formula\config\sysfml.dat"     the system's formula definitions (XML)
//  "\formula\config\userfml.xml"    the user's formula definitions (XML)
//  "\formula\config\fmlGroup.xml"   indicator groups for the load-indicator menu (XML)
// The XML files are GBK; every "fml" element under the root is one formula, its child
// elements (name, sname, description, chart, param..., source) read in order, each as the
// element's text. Groups are "kind" elements with a "name" attribute whose child elements'
// texts are indicator names.
//
// Every reader takes any bytes: a damaged document gives what could be read before the damage
// (TinyXML keeps the elements parsed before an error), a document nested too deeply to parse
// safely gives nothing, and no reader allocates beyond the file's size.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "libs/formula/formula_engine.h"

namespace tarn {

inline constexpr const char* kSystemNamesFile = "\\formula\\config\\systemfml.txt";
inline constexpr const char* kSystemFormulaFile = "\\formula\\config\\sysfml.dat";
inline constexpr const char* kUserFormulaFile = "\\formula\\config\\userfml.xml";
inline constexpr const char* kFormulaGroupFile = "\\formula\\config\\fmlGroup.xml";

// The 56 built-in indicator names, in the order systemfml.txt is created with.
const std::vector<std::string>& BuiltinIndicatorNames();

// Reads systemfml.txt (names split at commas, blanks trimmed, empty names dropped); when the
// file is absent it is created with exactly the 56 built-in names and those are returned.
std::vector<std::string> LoadSystemFormulaNames();

// Formula definitions from an XML document / a file (terminal path; missing: empty).
std::vector<formula::FormulaDef> ParseFormulaXml(std::string_view bytes);
std::vector<formula::FormulaDef> LoadFormulaFile(std::string_view terminalPath);
// The XML document of a list of definitions, and its atomic write.
std::string FormatFormulaXml(const std::vector<formula::FormulaDef>& defs);
bool SaveFormulaFile(std::string_view terminalPath, const std::vector<formula::FormulaDef>& defs,
                     std::string* error = nullptr);

struct FormulaGroup {
  std::string name;                 // GBK
  std::vector<std::string> formulas;
};
std::vector<FormulaGroup> ParseGroupXml(std::string_view bytes);
std::vector<FormulaGroup> LoadGroupFile(std::string_view terminalPath = kFormulaGroupFile);
std::string FormatGroupXml(const std::vector<FormulaGroup>& groups);
bool SaveGroupFile(std::string_view terminalPath, const std::vector<FormulaGroup>& groups, std::string* error = nullptr);

// Deepest element nesting the XML readers accept; deeper documents are refused unparsed, so
// that the recursive parser can never exhaust the stack.
inline constexpr int kMaxXmlDepth = 32;
// The element nesting depth of a document, counted without parsing it (comments, CDATA,
// processing instructions and quoted attribute values skipped).
int XmlNestingDepth(std::string_view bytes);

}  // namespace tarn

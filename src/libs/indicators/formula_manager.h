// The terminal's formula manager: reads the formula files, hands the definitions to the
// formula engine's list, and answers what the menus, the keyboard wizard and the charts ask:
// which indicators exist (name, description, main or sub chart), their groups, their
// parameters for a chart period, and an indicator computed over a bar array.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "libs/indicators/formula_files.h"
#include "libs/indicators/indicator_params.h"
#include "libs/formula/formula_engine.h"
#include "platform/sync.h"

struct DC_KData;

namespace tarn {

struct IndicatorEntry {
  std::string name;
  std::string description;
  bool mainChart = false;
};

class FormulaManager {
 public:
  // The process's manager (over FormulaEngine()'s list).
  static FormulaManager& Instance();
  explicit FormulaManager(formula::CFormulaEngine* engine);

  // Reads systemfml.txt (creating it when missing), sysfml.dat, userfml.xml (system first)
  // and fmlGroup.xml, and hands the definitions to the engine's formula list.
  void Load();

  std::vector<IndicatorEntry> Indicators() const;
  std::vector<FormulaGroup> Groups() const;
  bool Find(std::string_view name, formula::FormulaDef* def) const;
  bool IsSystemName(std::string_view name) const;
  // The definitions read from userfml.xml.
  std::vector<formula::FormulaDef> UserFormulas() const;
  // Adds a user formula (or replaces the one of that name) in userfml.xml and reloads.
  bool SaveUserFormula(const formula::FormulaDef& def, std::string* error = nullptr);

  // An indicator's parameters for a chart period: the defaults, replaced by
  // parameter.ini's values when there are as many as parameters, then by periodparam.ini's
  // entry for the period when it has as many pairs. Values are kept within each parameter's
  // range.
  std::vector<double> ParamsFor(std::string_view name, int periodKind, int multiplier) const;
  // Writes an indicator's parameters to parameter.ini (after the parameter dialog).
  bool SaveParams(std::string_view name, const std::vector<double>& values);

  // A new indicator with the given parameters, computed over bars[0, count); null with the
  // error when the formula is unknown or does not compile.
  std::unique_ptr<formula::Indicator> Compute(std::string_view name, const DC_KData* bars, std::size_t count,
                                              const std::vector<double>& params,
                                              formula::CompileError* error = nullptr) const;

 private:
  formula::CFormulaEngine* engine_;
  mutable CriticalSection lock_;
  std::vector<std::string> systemNames_;
  std::vector<formula::FormulaDef> user_;
  std::vector<FormulaGroup> groups_;
};

}  // namespace tarn

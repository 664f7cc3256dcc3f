#include "libs/indicators/formula_manager.h"

#include <algorithm>
#include <mutex>

#include "platform/text.h"

namespace tarn {

namespace {

std::vector<double> ClampToRange(std::vector<double> values, const std::vector<formula::ParamDef>& defs) {
  for (std::size_t i = 0; i < values.size() && i < defs.size(); ++i) {
    const formula::ParamDef& d = defs[i];
    if (values[i] != values[i]) values[i] = d.defaultValue;
    if (d.minValue <= d.maxValue) values[i] = std::clamp(values[i], d.minValue, d.maxValue);
  }
  return values;
}

}  // namespace

FormulaManager& FormulaManager::Instance() {
  static FormulaManager manager(FormulaEngine());
  return manager;
}

FormulaManager::FormulaManager(formula::CFormulaEngine* engine) : engine_(engine) {}

void FormulaManager::Load() {
  std::vector<std::string> names = LoadSystemFormulaNames();
  std::vector<formula::FormulaDef> defs = LoadFormulaFile(kSystemFormulaFile);
  std::vector<formula::FormulaDef> user = LoadFormulaFile(kUserFormulaFile);
  std::vector<FormulaGroup> groups = LoadGroupFile(kFormulaGroupFile);
  auto listed = [&](const std::string& n) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& s) { return EqualsNoCase(s, n); });
  };
  for (formula::FormulaDef& d : defs) d.system = listed(d.name);
  for (formula::FormulaDef& d : user) d.system = false;
  std::vector<formula::FormulaDef> all = defs;
  all.insert(all.end(), user.begin(), user.end());
  engine_->GetFormulaList()->SetFormulas(std::move(all));
  std::lock_guard<CriticalSection> guard(lock_);
  systemNames_ = std::move(names);
  user_ = std::move(user);
  groups_ = std::move(groups);
}

std::vector<IndicatorEntry> FormulaManager::Indicators() const {
  std::vector<IndicatorEntry> entries;
  for (const formula::FormulaDef& d : engine_->GetFormulaList()->Formulas())
    entries.push_back({d.name, d.description, d.mainChart});
  return entries;
}

std::vector<FormulaGroup> FormulaManager::Groups() const {
  std::lock_guard<CriticalSection> guard(lock_);
  return groups_;
}

bool FormulaManager::Find(std::string_view name, formula::FormulaDef* def) const {
  return engine_->GetFormulaList()->Find(name, def);
}

bool FormulaManager::IsSystemName(std::string_view name) const {
  std::lock_guard<CriticalSection> guard(lock_);
  return std::any_of(systemNames_.begin(), systemNames_.end(),
                     [&](const std::string& s) { return EqualsNoCase(s, name); });
}

std::vector<formula::FormulaDef> FormulaManager::UserFormulas() const {
  std::lock_guard<CriticalSection> guard(lock_);
  return user_;
}

bool FormulaManager::SaveUserFormula(const formula::FormulaDef& def, std::string* error) {
  std::vector<formula::FormulaDef> user = LoadFormulaFile(kUserFormulaFile);
  auto same = [&](const formula::FormulaDef& d) { return EqualsNoCase(d.name, def.name); };
  auto it = std::find_if(user.begin(), user.end(), same);
  if (it != user.end()) *it = def;
  else user.push_back(def);
  for (formula::FormulaDef& d : user) d.system = false;
  if (!SaveFormulaFile(kUserFormulaFile, user, error)) return false;
  Load();
  return true;
}

std::vector<double> FormulaManager::ParamsFor(std::string_view name, int periodKind, int multiplier) const {
  formula::FormulaDef def;
  if (!Find(name, &def)) return {};
  std::vector<double> values;
  for (const formula::ParamDef& p : def.params) values.push_back(p.defaultValue);
  if (auto saved = ReadIndicatorParams(def.name); saved && saved->size() == values.size()) {
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = (*saved)[i].AsNumber();
  }
  if (auto period = ReadPeriodParams(def.name, periodKind, multiplier, values.size())) {
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = (*period)[i].AsNumber();
  }
  return ClampToRange(std::move(values), def.params);
}

bool FormulaManager::SaveParams(std::string_view name, const std::vector<double>& values) {
  std::vector<ParamValue> list;
  for (double v : values) {
    ParamValue p;
    p.number = v;
    list.push_back(p);
  }
  return WriteIndicatorParams(name, list);
}

std::unique_ptr<formula::Indicator> FormulaManager::Compute(std::string_view name, const DC_KData* bars,
                                                            std::size_t count, const std::vector<double>& params,
                                                            formula::CompileError* error) const {
  std::unique_ptr<formula::Indicator> ind = engine_->CreateIndicator(name, error);
  if (!ind) return nullptr;
  ind->SetParams(params);
  ind->Compute(bars, count);
  return ind;
}

}  // namespace tarn

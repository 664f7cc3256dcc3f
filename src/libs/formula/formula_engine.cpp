#include "libs/formula/formula_engine.h"

#include <mutex>
#include <set>

#include "platform/text.h"

namespace tarn::formula {

void CFormulaList::SetFormulas(std::vector<FormulaDef> defs) {
  std::vector<FormulaDef> unique;
  std::set<std::string> seen;
  for (FormulaDef& d : defs)
    if (seen.insert(ToUpperAscii(d.name)).second) unique.push_back(std::move(d));
  std::lock_guard<CriticalSection> guard(lock_);
  defs_ = std::move(unique);
  compiled_.clear();
}

std::vector<FormulaDef> CFormulaList::Formulas() const {
  std::lock_guard<CriticalSection> guard(lock_);
  return defs_;
}

std::size_t CFormulaList::Count() const {
  std::lock_guard<CriticalSection> guard(lock_);
  return defs_.size();
}

bool CFormulaList::Find(std::string_view name, FormulaDef* def) const {
  std::lock_guard<CriticalSection> guard(lock_);
  for (const FormulaDef& d : defs_) {
    if (EqualsNoCase(d.name, name)) {
      if (def) *def = d;
      return true;
    }
  }
  return false;
}

std::shared_ptr<const Program> CFormulaList::GetProgram(std::string_view name, CompileError* error) const {
  std::lock_guard<CriticalSection> guard(lock_);
  std::string key = ToUpperAscii(name);
  auto it = compiled_.find(key);
  if (it == compiled_.end()) {
    const FormulaDef* found = nullptr;
    for (const FormulaDef& d : defs_)
      if (EqualsNoCase(d.name, name)) found = &d;
    if (!found) {
      if (error) {
        *error = CompileError();
        error->message = Format(TXT("没有指标 %s"), std::string(name));
      }
      return nullptr;
    }
    it = compiled_.emplace(key, Compile(found->source, found->params)).first;
  }
  if (!it->second.ok() && error) *error = it->second.error;
  return it->second.program;
}

Indicator::Indicator(std::string name, std::shared_ptr<const formula::Program> program)
    : name_(std::move(name)), eval_(std::move(program)) {}

std::unique_ptr<Indicator> CFormulaEngine::CreateIndicator(std::string_view name, CompileError* error) const {
  std::shared_ptr<const Program> program = list_.GetProgram(name, error);
  if (!program) return nullptr;
  return std::make_unique<Indicator>(std::string(name), std::move(program));
}

}  // namespace tarn::formula

tarn::formula::CFormulaEngine* FormulaEngine() {
  static tarn::formula::CFormulaEngine engine;
  return &engine;
}

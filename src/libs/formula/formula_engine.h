// The process-wide formula engine: the formula list the terminal hands its definitions to,
// and indicators computed from those definitions over a chart's bars.
//
// The terminal reads its formula files itself, then calls FormulaEngine()->GetFormulaList()
// ->SetFormulas(...) to take up the definitions; a chart asks the engine for an indicator by
// name, hands it the bar array and takes back the output series with their styles.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "libs/formula/formula.h"
#include "platform/sync.h"

struct DC_KData;

namespace tarn::formula {

// One formula definition as the formula files hold it (texts GBK).
struct FormulaDef {
  std::string name;          // "MACD"
  std::string shortName;     // "sname": the short name shown in titles
  std::string description;   // what it is, shown in menus and the keyboard wizard
  bool mainChart = false;    // drawn over the candles (true) or in a pane of its own
  std::vector<ParamDef> params;
  std::string source;        // the formula text
  bool system = true;        // a built-in indicator (false: the user's own)
};

// The list of formula definitions. Thread-safe: charts look formulas up from the quote
// library's thread while the terminal may replace the list on its own.
class CFormulaList {
 public:
  // Replaces the whole list. A later definition with the name of an earlier one is dropped,
  // so the first file read (the system's) wins.
  void SetFormulas(std::vector<FormulaDef> defs);
  std::vector<FormulaDef> Formulas() const;
  std::size_t Count() const;
  // Looks a formula up by name (ASCII case ignored); false when there is none.
  bool Find(std::string_view name, FormulaDef* def) const;
  // The compiled program of a formula, compiled once and shared; null with the error when
  // the formula is unknown or does not compile.
  std::shared_ptr<const formula::Program> GetProgram(std::string_view name, CompileError* error = nullptr) const;

 private:
  mutable CriticalSection lock_;
  std::vector<FormulaDef> defs_;
  mutable std::map<std::string, CompileResult> compiled_;  // by upper-case name
};

// A chart's indicator: one formula with its parameter values over one bar array.
class Indicator {
 public:
  Indicator(std::string name, std::shared_ptr<const Program> program);
  const std::string& Name() const { return name_; }
  void SetParams(std::span<const double> values) { eval_.SetParams(values); }
  const std::vector<double>& Params() const { return eval_.Params(); }
  // Computes over all bars / after an append or a change of the last bar (see Evaluation).
  void Compute(const DC_KData* bars, std::size_t count) { eval_.Compute(bars, count); }
  void Update(const DC_KData* bars, std::size_t count, std::size_t firstChanged) {
    eval_.Update(bars, count, firstChanged);
  }
  std::size_t OutputCount() const { return eval_.OutputCount(); }
  Output GetOutput(std::size_t i) const { return eval_.GetOutput(i); }
  const Evaluation& GetEvaluation() const { return eval_; }

 private:
  std::string name_;
  Evaluation eval_;
};

class CFormulaEngine {
 public:
  CFormulaList* GetFormulaList() { return &list_; }
  // A new indicator of the named formula with its default parameters; null (and the error)
  // when there is no such formula or it does not compile.
  std::unique_ptr<Indicator> CreateIndicator(std::string_view name, CompileError* error = nullptr) const;

 private:
  CFormulaList list_;
};

}  // namespace tarn::formula

// The formula engine object; the same object on every call.
tarn::formula::CFormulaEngine* FormulaEngine();

// The inside of a compiled program, shared by the compiler and the evaluator.
//
// A program is a list of instructions over two register files: scalar registers (constants,
// parameters and expressions of them, computed once per evaluation) and series slots (one
// double per bar). An operand is a slot number (>= 0) or a scalar register (-1 - register).
#pragma once

#include <cstdint>
#include <vector>

#include "libs/formula/formula.h"

namespace tarn::formula {

enum class Op : uint8_t {
  // elementwise: any operand may be scalar
  Neg, Not, Abs, Sqrt, Ln, Log, Exp, Sign, Round, IntPart,
  Add, Sub, Mul, Div, Lt, Le, Gt, Ge, Eq, Ne, And, Or, Max, Min, Pow, Mod,
  DivScale,    // a / b * k in one pass (a division followed by a scaling)
  If, Between,
  // series
  Load,        // field: 0 open, 1 high, 2 low, 3 close, 4 volume, 5 open interest, 6 amount
  Broadcast,   // a scalar on every bar
  Ma, Sum, Wma, Std, Stdp, Var, Varp, Avedev, Devsq, Slope, Forcast,
  Hhv, Llv, HhvBars, LlvBars, Count, Every, Exist,
  Ref, RefX, Ema, Sma, Dma, Cross, BarsLast, BarsCount, Filter, BackSet, Const,
  CurrBarsCount, Zig, Sar,
};

constexpr bool IsElementwise(Op op) { return op <= Op::Between; }
// Functions whose value at a bar depends on later bars or on the number of bars.
constexpr bool LooksAhead(Op op) {
  return op == Op::RefX || op == Op::BackSet || op == Op::Const || op == Op::CurrBarsCount || op == Op::Zig;
}

constexpr int kMaxArgs = 6;

struct Instr {
  Op op = Op::Add;
  int out = 0;            // slot, or scalar register for the scalar code
  int nargs = 0;
  int args[kMaxArgs] = {0, 0, 0, 0, 0, 0};
  int field = 0;          // Load
  bool full = false;      // recomputed from bar 0 on every update
  bool skip = false;      // not run: a load its readers take from the bars themselves, or an
                          // MA that the STD/VAR of the same series and period computes
  int mean = -1;          // STD, STDP, VAR, VARP: the slot of that MA, written alongside
  int aux = -1;           // first of this instruction's aux arrays, or -1
};

inline bool IsSeries(int operand) { return operand >= 0; }
inline int ScalarReg(int operand) { return -1 - operand; }
inline int ScalarOperand(int reg) { return -1 - reg; }

// The operands behind one output line (-1 - 0 style: kNone when absent).
constexpr int kNone = INT32_MIN;
struct OutputOperands {
  int values = kNone;
  int second = kNone;
  int colors = kNone;
  int width = kNone;
  int empty = kNone;
  int icon = kNone;
};

struct Program::Impl {
  std::vector<double> scalarInit;     // constants; NaN for parameters and computed registers
  std::vector<int> paramRegs;         // parameter i lives in this scalar register
  std::vector<Instr> scalarCode;      // run once per evaluation
  std::vector<Instr> code;            // series instructions, in order of dependence
  int slotCount = 0;
  int auxCount = 0;
  // How each slot is stored. Slots whose earlier bars nobody reads (intermediates used only
  // bar by bar) live in a small buffer of one block of bars instead of one double per bar,
  // so that a computation keeps its intermediates in the cache.
  enum SlotStorage : uint8_t { kBlock, kBlockCarry /* also keeps its value at the bar before */, kFull };
  std::vector<uint8_t> slotStorage;
  // For each instruction: how many instructions from it on form a group of recursive
  // averages (EMA, SMA with scalar periods) that one loop computes together, so that their
  // chains of dependent operations overlap; 0 inside a group, 1 for an ordinary instruction.
  std::vector<uint8_t> group;
  // For a slot of a skipped load: the bar field its readers (EMA/SMA) take directly; else -1.
  std::vector<int8_t> slotField;
  std::vector<OutputOperands> outputOperands;
};

// Applies an elementwise operation to scalar values (the scalar code and constant folding).
double ApplyScalar(Op op, const double* args);

}  // namespace tarn::formula

// The indicator formula language: compiling a formula text once into a program, and
// evaluating that program over a contiguous array of bars.
//
// A formula is a list of statements ending with ';':
//   NAME:expr[,style...];    an output line
//   NAME:=expr;              an intermediate variable
//   expr[,style...];         an unnamed output line
// Series are OPEN/O, HIGH/H, LOW/L, CLOSE/C, VOL/V, OPI, AMOUNT; parameters are used by name.
// Every value is a double; an invalid value (before enough bars, after a division by zero,
// DRAWNULL) is NaN and is not drawn. A condition is true when it is a valid number other than 0.
//
// Evaluation works on whole arrays: each operator or function runs once over the bars it has
// to compute (block by block, so that intermediates stay in cache). After a full computation, appending bars or replacing the last one recomputes only
// the bars from the first changed one on (functions that look ahead, such as ZIG, BACKSET,
// REFX, CONST and CURRBARSCOUNT, and everything computed from them, are computed afresh), and
// the result is identical to a full computation over the same bars.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/color.h"

struct DC_KData;

namespace tarn::formula {

// One parameter of a formula: its name as the text uses it (GBK), default and range.
struct ParamDef {
  std::string name;
  double defaultValue = 0;
  double minValue = 0;
  double maxValue = 0;
};

// How an output line is drawn.
enum class DrawKind : uint8_t {
  Line,        // a line through the values (the default)
  Stick,       // STICK: a vertical stick from 0 to the value
  ColorStick,  // COLORSTICK: sticks from 0, coloured by sign
  VolStick,    // VOLSTICK: volume bars coloured by the candle's direction
  LineStick,   // LINESTICK: a line and sticks
  CircleDot,   // CIRCLEDOT: small circles
  PointDot,    // POINTDOT: points
  CrossDot,    // CROSSDOT: crosses
  Text,        // DRAWTEXT: a text at the value where the condition holds
  StickLine,   // STICKLINE: a bar from the value to `second` where the condition holds
  Icon,        // DRAWICON: an icon at the value where the condition holds
  PartLine,    // PARTLINE: a line drawn only where `colors` holds a colour
};

enum class LineDash : uint8_t { Solid, Dot, Dash };

struct LineStyle {
  DrawKind kind = DrawKind::Line;
  LineDash dash = LineDash::Solid;
  bool hasColor = false;  // false: the chart picks the colour of the line's position
  Colorref color = 0;     // COLORREF 0x00BBGGRR
  int thickness = 1;      // LINETHICK1..9 (LINETHICK0 gives 0: thinnest)
  bool noDraw = false;    // NODRAW: computed and shown in the title, not drawn
};

// A formula that does not compile: one message (GBK) that says where and what was expected.
struct CompileError {
  std::size_t offset = 0;  // byte offset in the text
  int line = 0;            // 1-based
  int column = 0;          // 1-based, counted in characters (a GBK pair is one)
  std::string expected;    // what the compiler expected there (GBK), may be empty
  std::string message;     // the whole message with its position (GBK)
};

class Program;

// Compiles a formula. Never throws and never crashes, whatever the text; on failure the
// program is null and `error` says why.
struct CompileResult {
  std::shared_ptr<const Program> program;
  CompileError error;
  bool ok() const { return program != nullptr; }
};
CompileResult Compile(std::string_view source, const std::vector<ParamDef>& params = {});

// What a compiled program outputs, known before any evaluation.
struct OutputInfo {
  std::string name;   // GBK; empty for an unnamed output line
  LineStyle style;
  std::string text;   // DRAWTEXT: the text
};

// One output line of an evaluation. `values` is the line itself: for DRAWTEXT and DRAWICON the
// price where the condition holds (NaN elsewhere); for STICKLINE the first price where the
// condition holds, with the second in `second`; for PARTLINE the price where a condition
// holds, with the colour of each bar in `colors` (a COLORREF, or -1 for the line's own colour).
// `width`/`empty` (STICKLINE) and `icon` (DRAWICON) are the values of those arguments (their
// values at the last bar when they are series). The spans stay valid until the next Compute
// or Update.
struct Output {
  const OutputInfo* info = nullptr;
  std::span<const double> values;
  std::span<const double> second;
  std::span<const double> colors;
  double width = 0;
  double empty = 0;
  double icon = 0;
};

// Read-only description of a compiled program.
class Program {
 public:
  const std::vector<OutputInfo>& Outputs() const { return outputs_; }
  const std::vector<ParamDef>& Params() const { return params_; }
  std::size_t InstructionCount() const;
  ~Program();

 private:
  friend class Compiler;
  friend class Evaluation;
  struct Impl;
  Program();
  std::vector<OutputInfo> outputs_;
  std::vector<ParamDef> params_;
  std::unique_ptr<Impl> impl_;
};

// The state of one program over one bar array: every intermediate series, so that an append
// or an update of the last bar only computes what changed. Not thread-safe; one per chart
// indicator. Allocates when the bar count grows (amortised), never per bar otherwise.
class Evaluation {
 public:
  explicit Evaluation(std::shared_ptr<const Program> program);
  ~Evaluation();
  Evaluation(const Evaluation&) = delete;
  Evaluation& operator=(const Evaluation&) = delete;

  // Parameter values in the order of the program's parameters (missing ones take their
  // defaults). A change makes the next Update compute everything again.
  void SetParams(std::span<const double> values);
  const std::vector<double>& Params() const { return params_; }

  // Computes everything over bars[0, count).
  void Compute(const DC_KData* bars, std::size_t count);
  // Brings the result up to bars[0, count) when only bars from `firstChanged` on differ
  // from the previous call (an appended bar: firstChanged = old count; an updated last bar:
  // firstChanged = count - 1). Falls back to a full computation when it must.
  void Update(const DC_KData* bars, std::size_t count, std::size_t firstChanged);

  std::size_t BarCount() const { return count_; }
  std::size_t OutputCount() const;
  Output GetOutput(std::size_t index) const;
  const std::shared_ptr<const Program>& GetProgram() const { return program_; }

 private:
  void Run(const DC_KData* bars, std::size_t count, std::size_t from);
  void RunInstr(std::size_t index, const DC_KData* bars, std::size_t from, std::size_t to);
  void RunGroup(const DC_KData* bars, std::size_t first, std::size_t count, std::size_t from, std::size_t to);
  std::span<const double> SeriesSpan(int operand) const;

  std::shared_ptr<const Program> program_;
  std::vector<double> params_;
  std::vector<double> scalars_;
  std::vector<std::vector<double>> slots_;  // slots kept whole: one value per bar
  std::vector<std::vector<double>> block_;  // the other slots: the bar before a block, then the block
  std::vector<double*> ptr_;                // where bar j of slot s is: ptr_[s][j]
  std::vector<std::array<double, 2>> tail_; // carried slots: their values at the last two bars
  std::vector<std::vector<double>> aux_;    // per-instruction state arrays (SAR)
  std::vector<double> scratch_;             // segment extremes of HHV/LLV
  std::size_t count_ = 0;
  bool valid_ = false;
};

// Number of a named colour ("COLORRED" ...), or of "COLORBBGGRR"; false when it names none.
bool ColorByName(std::string_view upperName, Colorref* color);

}  // namespace tarn::formula

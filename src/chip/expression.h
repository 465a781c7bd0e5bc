#pragma once
// One-line translation expressions that remap a raw temperature T (0..255), and the
// ReadingTable built from them once at start-up.
//
// A line is read character by character into 65 token slots; operators are folded as soon
// as their right operand is complete. Failures raise RuntimeError: Subscript (more than 64
// tokens), Overflow (a number or result outside 16 bits), DivisionByZero.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/int16.h"

namespace kelvane {

inline constexpr int kSlotCount = 65;


// Operator codes as they stand in a slot.
enum OperatorCode : i16 {
    kOpEqual = 0,
    kOpGreater = 1,
    kOpLess = 2,
    kOpGreaterEqual = 3,
    kOpLessEqual = 4,
    kOpNotEqual = 5,
    kOpAdd = 6,
    kOpSubtract = 7,
    kOpMultiply = 8,
    kOpDivide = 9,
    kOpAssign = 10,
    kOpAnd = 11,
    kOpOr = 12,
};

// One character of a line, classified once so that a line can be evaluated for many inputs.
struct Symbol {
    enum class Type : std::uint8_t { Question, Comma, Operator, AndOr, Input, Digit, Other };
    Type type = Type::Other;
    i16 value = 0;           // operator code (And/Or included) or digit
    bool continues = false;  // a digit followed by another digit
};

// The symbols of a line; spaces take no slot and only end numbers, so they are dropped.
std::vector<Symbol> Classify(std::string_view line);

class Evaluator {
  public:
    using Slots = std::array<i16, kSlotCount>;

    i16 EvaluateLine(std::string_view line, i16 t);
    // The same for a classified line.
    i16 Evaluate(const std::vector<Symbol>& line, i16 t);

    // Folds slots k, k+1, k+2 (comparison, And or Or in the middle) into slot k.
    i16 EvaluateComparison(int k);
    // Folds slots k-2, k-1, k into slot k-2: add when slot k-1 is the add code, else subtract.
    void EvaluateAdditive(int k);

    // The same evaluation in steps, so that callers can watch the slots between characters.
    void Start(i16 t);
    // Reads one character; `next` is the following one (0 at the end of the line). Returns
    // false when a failed condition has ended the evaluation with T as its value.
    bool Read(char c, char next);
    bool Step(const Symbol& symbol);
    bool Read(std::span<const Symbol> symbols);
    i16 Finish();

    const Slots& slots() const { return slots_; }
    int di() const { return di_; }
    int sp() const { return sp_; }
    int state() const { return state_; }
    i16 cond() const { return cond_; }

  private:
    // What last went into a slot; only operators placed by + and - matter to the chains.
    enum class Kind : std::uint8_t { Operand, Additive, Operator };

    i16& Slot(int i);
    void Place(int i, i16 value, Kind kind);
    void Clear(int i);
    void NextToken();
    void FoldTerm();
    void FoldChain();

    Slots slots_{};
    std::array<Kind, kSlotCount> kinds_{};
    i16 t_ = 0;
    int state_ = 0;  // 0 before any mark, 1 condition part, 2 action part
    i16 cond_ = kTrue;
    int sp_ = 1;
    int di_ = 0;
};

// One evaluation on fresh slots.
i16 EvaluateLine(std::string_view line, i16 t);

}  // namespace kelvane

#include "chip/expression.h"

#include "base/rounding.h"
#include "base/runtime_error.h"

namespace kelvane {
namespace {

constexpr int kLastSlot = kSlotCount - 1;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The code of a relation, arithmetic or assignment character, or -1.
int CodeOf(char c) {
    switch (c) {
        case '#':
            return kOpEqual;
        case '>':
            return kOpGreater;
        case '<':
            return kOpLess;
        case '$':
            return kOpGreaterEqual;
        case '%':
            return kOpLessEqual;
        case '@':
            return kOpNotEqual;
        case '+':
            return kOpAdd;
        case '-':
            return kOpSubtract;
        case '*':
            return kOpMultiply;
        case '/':
            return kOpDivide;
        case '=':
            return kOpAssign;
        default:
            return -1;
    }
}

bool IsTermOperator(i16 v) { return v == kOpMultiply || v == kOpDivide; }

Symbol ClassifyChar(char c, char next) {
    using Type = Symbol::Type;
    if (c == '?') return {Type::Question, 0, false};
    if (c == ',') return {Type::Comma, 0, false};
    if (const int code = CodeOf(c); code >= 0)
        return {Type::Operator, static_cast<i16>(code), false};
    if (c == 'A') return {Type::AndOr, kOpAnd, false};
    if (c == 'O') return {Type::AndOr, kOpOr, false};
    if (c == 'T') return {Type::Input, 0, false};
    if (IsDigit(c)) return {Type::Digit, static_cast<i16>(c - '0'), IsDigit(next)};
    return {Type::Other, 0, false};
}

}  // namespace

std::vector<Symbol> Classify(std::string_view line) {
    std::vector<Symbol> symbols;
    symbols.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ' ') continue;
        symbols.push_back(ClassifyChar(line[i], i + 1 < line.size() ? line[i + 1] : '\0'));
    }
    return symbols;
}

i16& Evaluator::Slot(int i) {
    if (i < 0 || i > kLastSlot) Raise(ErrorKind::Subscript, "token slot");
    return slots_[static_cast<size_t>(i)];
}

void Evaluator::Place(int i, i16 value, Kind kind) {
    Slot(i) = value;
    kinds_[static_cast<size_t>(i)] = kind;
}

void Evaluator::Clear(int i) { Place(i, 0, Kind::Operand); }

void Evaluator::NextToken() {
    if (di_ + 1 > kLastSlot) Raise(ErrorKind::Subscript, "more than 64 tokens");
    ++di_;
}

void Evaluator::Start(i16 t) {
    slots_.fill(0);
    kinds_.fill(Kind::Operand);
    t_ = t;
    state_ = 0;
    cond_ = kTrue;
    sp_ = 1;
    di_ = 0;
}

// slot(di-2) (* or /) slot(di), as soon as the right operand is complete.
void Evaluator::FoldTerm() {
    const i16 a = Slot(di_ - 2), b = Slot(di_);
    const i16 r = Slot(di_ - 1) == kOpMultiply ? Mul16(a, b) : RoundToInt16(Divide(a, b));
    Place(di_ - 2, r, Kind::Operand);
    Clear(di_ - 1);
    Clear(di_);
    di_ -= 2;
}

// A second + or - arrives while "operand, + or -, operand" stands before it: fold that first,
// so that a chain runs from left to right. Lines with a single + or - never get here.
void Evaluator::FoldChain() {
    if (di_ < 4) return;
    auto kind = [this](int i) { return kinds_[static_cast<size_t>(i)]; };
    if (kind(di_ - 2) != Kind::Additive || kind(di_ - 1) != Kind::Operand ||
        kind(di_ - 3) != Kind::Operand)
        return;
    EvaluateAdditive(di_ - 1);
    Clear(di_ - 2);
    Clear(di_ - 1);
    di_ -= 2;
}

bool Evaluator::Read(char c, char next) { return c == ' ' || Step(ClassifyChar(c, next)); }

bool Evaluator::Step(const Symbol& symbol) { return Read(std::span<const Symbol>(&symbol, 1)); }

// The loop sits inside so that a whole line runs in one call.
bool Evaluator::Read(std::span<const Symbol> symbols) {
    using Type = Symbol::Type;
    for (const Symbol& symbol : symbols) {
        if (symbol.type == Type::Question) {
            state_ = 1;
            continue;
        }
        if (symbol.type == Type::Comma) {
            if (state_ == 1) {
                while (sp_ > 0) {
                    cond_ = EvaluateComparison(sp_);
                    sp_ -= 2;
                }
            }
            di_ = 0;
            if (cond_ == 0) return false;
            state_ = 2;
            continue;
        }

        // Every other symbol takes the next slot; NextToken keeps `at` within 1..64.
        NextToken();
        const size_t at = static_cast<size_t>(di_);
        switch (symbol.type) {
            case Type::Operator: {
                const bool additive = symbol.value == kOpAdd || symbol.value == kOpSubtract;
                if (additive && state_ != 1) FoldChain();
                Place(di_, symbol.value, additive ? Kind::Additive : Kind::Operator);
                break;
            }
            case Type::AndOr:
                kinds_[at] = Kind::Operand;
                if (state_ == 1 && di_ == sp_ + 3) {
                    cond_ = EvaluateComparison(sp_);
                    di_ = sp_ + 1;
                    sp_ += 2;
                    Place(di_, symbol.value, Kind::Operator);
                }
                break;
            case Type::Input:
                slots_[at] = t_;
                kinds_[at] = Kind::Operand;
                // T as the right operand of * or / folds like a number would.
                if (state_ == 2 && kinds_[at - 1] == Kind::Operator &&
                    IsTermOperator(slots_[at - 1]))
                    FoldTerm();
                break;
            case Type::Digit:
                slots_[at] = Add16(Mul16(slots_[at], 10), symbol.value);
                kinds_[at] = Kind::Operand;
                if (symbol.continues) {
                    --di_;
                } else if (state_ == 2 && IsTermOperator(slots_[at - 1])) {
                    FoldTerm();
                }
                break;
            default:
                kinds_[at] = Kind::Operand;  // the slot keeps its value
                break;
        }
    }
    return true;
}

i16 Evaluator::Finish() {
    if (di_ > 2) EvaluateAdditive(di_);
    return Slot(3);
}

i16 Evaluator::EvaluateLine(std::string_view line, i16 t) {
    Start(t);
    for (size_t i = 0; i < line.size(); ++i) {
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if (!Read(line[i], next)) return t;
    }
    return Finish();
}

i16 Evaluator::EvaluateComparison(int k) {
    const i16 a = Slot(k), op = Slot(k + 1), b = Slot(k + 2);
    bool holds = false;
    switch (op) {
        case kOpEqual:
            holds = a == b;
            break;
        case kOpGreater:
            holds = a > b;
            break;
        case kOpLess:
            holds = a < b;
            break;
        case kOpGreaterEqual:
            holds = a >= b;
            break;
        case kOpLessEqual:
            holds = a <= b;
            break;
        case kOpNotEqual:
            holds = a != b;
            break;
        case kOpAnd:
            holds = (a & b) != 0;
            break;
        case kOpOr:
            holds = (a | b) != 0;
            break;
        default:
            holds = false;
            break;
    }
    const i16 result = Flag(holds);
    Place(k, result, Kind::Operand);
    Clear(k + 1);
    Clear(k + 2);
    return result;
}

void Evaluator::EvaluateAdditive(int k) {
    const i16 a = Slot(k - 2), b = Slot(k);
    Place(k - 2, Slot(k - 1) == kOpAdd ? Add16(a, b) : Sub16(a, b), Kind::Operand);
}

i16 Evaluator::Evaluate(const std::vector<Symbol>& line, i16 t) {
    Start(t);
    return Read(line) ? Finish() : t;
}

i16 EvaluateLine(std::string_view line, i16 t) {
    Evaluator e;
    return e.EvaluateLine(line, t);
}

}  // namespace kelvane

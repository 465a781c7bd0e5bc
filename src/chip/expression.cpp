#include "chip/expression.h"

#include <charconv>

#include "app/failure_policy.h"
#include "app/form1.h"
#include "app/rounding.h"
#include "app/runtime_error.h"

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

}  // namespace

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

bool Evaluator::Read(char c, char next) {
    if (c == '?') {
        state_ = 1;
        return true;
    }
    if (c == ',') {
        if (state_ == 1) {
            while (sp_ > 0) {
                cond_ = EvaluateComparison(sp_);
                sp_ -= 2;
            }
        }
        di_ = 0;
        if (cond_ == 0) return false;
        state_ = 2;
        return true;
    }
    if (c == ' ') return true;

    NextToken();
    if (const int code = CodeOf(c); code >= 0) {
        const bool additive = code == kOpAdd || code == kOpSubtract;
        if (additive && state_ != 1) FoldChain();
        Place(di_, static_cast<i16>(code), additive ? Kind::Additive : Kind::Operator);
    } else if (c == 'A' || c == 'O') {
        kinds_[static_cast<size_t>(di_)] = Kind::Operand;
        if (state_ == 1 && di_ == sp_ + 3) {
            cond_ = EvaluateComparison(sp_);
            di_ = sp_ + 1;
            sp_ += 2;
            Place(di_, c == 'A' ? kOpAnd : kOpOr, Kind::Operator);
        }
    } else if (c == 'T') {
        Place(di_, t_, Kind::Operand);
        // T as the right operand of * or / folds like a number would.
        if (state_ == 2 && kinds_[static_cast<size_t>(di_ - 1)] == Kind::Operator &&
            IsTermOperator(Slot(di_ - 1)))
            FoldTerm();
    } else if (IsDigit(c)) {
        Place(di_, Add16(Mul16(Slot(di_), 10), c - '0'), Kind::Operand);
        if (IsDigit(next)) {
            --di_;
        } else if (state_ == 2 && IsTermOperator(Slot(di_ - 1))) {
            FoldTerm();
        }
    } else {
        kinds_[static_cast<size_t>(di_)] = Kind::Operand;  // the slot keeps its value
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

i16 EvaluateLine(std::string_view line, i16 t) {
    Evaluator e;
    return e.EvaluateLine(line, t);
}

std::optional<int> ChannelRecord(const Form1& f, int n) {
    if (n < 0 || n >= static_cast<int>(f.window.LedPic.size())) return std::nullopt;
    std::string_view tag = f.window.LedPic[static_cast<size_t>(n)].tag;
    while (!tag.empty() && tag.front() == ' ') tag.remove_prefix(1);
    while (!tag.empty() && tag.back() == ' ') tag.remove_suffix(1);
    int record = -1;
    const auto [end, ec] = std::from_chars(tag.data(), tag.data() + tag.size(), record);
    if (ec != std::errc{} || end != tag.data() + tag.size()) return std::nullopt;
    if (record < 0 || record >= static_cast<int>(f.settings.g_DefaultFanCtrl.size()))
        return std::nullopt;
    return record;
}

const std::string* ChannelExpression(const Form1& f, int n) {
    const std::optional<int> r = ChannelRecord(f, n);
    if (!r) return nullptr;
    const std::string& m = f.settings.g_DefaultFanCtrl[static_cast<size_t>(*r)].Modulate;
    return m.empty() ? nullptr : &m;
}

void BuildReadingTables(Form1& f) {
    Evaluator evaluator;
    for (int j = 0; j < 3; ++j) {
        const std::string* line = ChannelExpression(f, j);
        if (line == nullptr) continue;
        for (int t = 0; t < 256; ++t) {
            SkipOnError([&] {
                f.ReadingTable[static_cast<size_t>(t * 3 + j)] =
                    evaluator.EvaluateLine(*line, static_cast<i16>(t));
            });
        }
    }
}

}  // namespace kelvane

// Any line and any T: the evaluator must not crash, must stay inside its token slots and may
// fail only with the three run-time errors of the expression language.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/runtime_error.h"
#include "chip/expression.h"

namespace {

// The value, or the error kind offset past every 16-bit value.
template <typename Run>
long Outcome(kelvane::Evaluator& evaluator, Run run) {
    long outcome = 0;
    try {
        outcome = run();
    } catch (const kelvane::RuntimeError& e) {
        switch (e.kind()) {
            case kelvane::ErrorKind::Overflow:
            case kelvane::ErrorKind::Subscript:
            case kelvane::ErrorKind::DivisionByZero:
                outcome = 100000 + static_cast<long>(e.kind());
                break;
            default:
                std::abort();
        }
    }
    if (evaluator.di() < 0 || evaluator.di() >= kelvane::kSlotCount) std::abort();
    return outcome;
}

// Character by character and from the classified line (as the table build runs it) must
// agree on every value and every failure.
void Evaluate(std::string_view line, const std::vector<kelvane::Symbol>& symbols, std::int16_t t) {
    kelvane::Evaluator direct, classified;
    const long a = Outcome(direct, [&] { return direct.EvaluateLine(line, t); });
    const long b = Outcome(classified, [&] { return classified.Evaluate(symbols, t); });
    if (a != b || direct.slots() != classified.slots()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    // The whole input is the line, so plain expression files make a useful corpus; T takes
    // the table's ends, a typical reading, the 16-bit extremes and one value from the input.
    const std::vector<kelvane::Symbol> symbols = kelvane::Classify(line);
    std::uint16_t mixed = 0;
    for (std::size_t i = 0; i < size; ++i) mixed = static_cast<std::uint16_t>(mixed * 31 + data[i]);
    for (const std::int16_t t :
         {std::int16_t{0}, std::int16_t{60}, std::int16_t{255}, std::int16_t{-1},
          std::int16_t{INT16_MAX}, std::int16_t{INT16_MIN}, static_cast<std::int16_t>(mixed)})
        Evaluate(line, symbols, t);
    return 0;
}

#include "base/runtime_error.h"

namespace kelvane {

const char* ErrorKindName(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::Overflow:
            return "overflow";
        case ErrorKind::Subscript:
            return "subscript out of range";
        case ErrorKind::DivisionByZero:
            return "division by zero";
        case ErrorKind::FileError:
            return "file error";
        case ErrorKind::LibraryCall:
            return "library call failed";
        case ErrorKind::InvalidProperty:
            return "invalid property value";
    }
    return "run-time error";
}

RuntimeError::RuntimeError(ErrorKind kind, const std::string& detail)
    : std::runtime_error(detail.empty() ? std::string(ErrorKindName(kind))
                                        : std::string(ErrorKindName(kind)) + ": " + detail),
      kind_(kind) {}

void Raise(ErrorKind kind, const std::string& detail) { throw RuntimeError(kind, detail); }

}  // namespace kelvane

#pragma once
// The program's one run-time error. Any failing step raises it; each event entry point
// decides in one visible place what a failure means for it (see failure_policy.h).
#include <stdexcept>
#include <string>

namespace kelvane {

enum class ErrorKind {
    Overflow,         // a value does not fit its 16-bit, 32-bit or byte field
    Subscript,        // an index outside its array
    DivisionByZero,   //
    FileError,        // a file that cannot be opened, read or written
    LibraryCall,      // the driver library cannot be loaded or a call into it failed
    InvalidProperty,  // a control refused a value
};

const char* ErrorKindName(ErrorKind kind);

class RuntimeError : public std::runtime_error {
  public:
    explicit RuntimeError(ErrorKind kind, const std::string& detail = {});
    ErrorKind kind() const { return kind_; }

  private:
    ErrorKind kind_;
};

[[noreturn]] void Raise(ErrorKind kind, const std::string& detail = {});

}  // namespace kelvane

#pragma once
// The settings file as the program sees it: the Windows private-profile functions on Windows
// (GetPrivateProfileIntA / GetPrivateProfileStringA with 1024-byte buffers,
// WritePrivateProfileStringA), an in-memory INI text in tests.
#include <cstdint>
#include <string>

namespace kelvane {

class Profile {
public:
    virtual ~Profile() = default;
    // Leading digits after an optional minus sign; no digits reads 0; a missing key or file
    // gives the default. The result is the full 32-bit value, not yet fitted to a field.
    virtual std::int64_t GetInt(const std::string& section, const std::string& key,
                                std::int64_t default_value) = 0;
    // Text after "=", without surrounding blanks, cut to 1023 characters.
    virtual std::string GetString(const std::string& section, const std::string& key,
                                  const std::string& default_value) = 0;
    virtual void WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
};

}  // namespace kelvane

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
    // A text in which "∞" marks line breaks: as GetString, but each "∞" arrives as the UTF-8
    // bytes E2 88 9E however the file holds it (the ANSI code page's own character, or a file
    // saved as UTF-8 with a byte-order mark or as UTF-16, where the ANSI function would give
    // the code page's best fit, "8").
    virtual std::string GetMarkedText(const std::string& section, const std::string& key,
                                      const std::string& default_value) {
        return GetString(section, key, default_value);
    }
    // Whether the value reached the file.
    virtual bool WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
};

}  // namespace kelvane

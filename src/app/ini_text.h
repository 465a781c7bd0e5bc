#pragma once
// An INI text held in memory with the value rules of the Windows private-profile functions:
// section and key names match without regard to case, values lose surrounding blanks and
// are cut to 1023 characters, integers are leading digits after an optional minus sign.
// Tests use it as the settings file; the simulated board reads its description with it.
#include <string>
#include <vector>

#include "app/profile.h"

namespace kelvane {

class IniText : public Profile {
public:
    explicit IniText(const std::string& text = {});

    std::int64_t GetInt(const std::string& section, const std::string& key,
                        std::int64_t default_value) override;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& default_value) override;
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

    bool Has(const std::string& section, const std::string& key) const;
    // Keys of a section in file order (for tables such as the board's [Registers]).
    std::vector<std::string> Keys(const std::string& section) const;
    std::string Text() const;

    static constexpr size_t kMaxValue = 1023;

private:
    struct Entry {
        std::string key, value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Entry* Find(const std::string& section, const std::string& key) const;
    std::vector<Section> sections_;
};

// The integer rule on its own: leading blanks skipped, optional minus, leading digits.
std::int64_t ProfileInteger(const std::string& value);

}  // namespace kelvane

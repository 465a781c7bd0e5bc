#pragma once
// An INI text held in memory with the value rules of the Windows private-profile functions:
// section and key names match without regard to case, values lose surrounding blanks and
// are cut to 1023 characters; integers as ProfileInteger reads them.
// Tests use it as the settings file; the simulated board reads its description with it.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/profile.h"

namespace kelvane {

class IniText : public Profile {
  public:
    explicit IniText(const std::string& text = {});

    std::int64_t GetInt(const std::string& section, const std::string& key,
                        std::int64_t default_value) override;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& default_value) override;
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

    bool Has(const std::string& section, const std::string& key) const;
    // Keys of a section in file order (for tables such as the board's [Registers]).
    std::vector<std::string> Keys(const std::string& section) const;
    std::string Text() const;
    // A file the user may not write: every write fails and changes nothing.
    void SetReadOnly(bool read_only) { read_only_ = read_only; }

    static constexpr size_t kMaxValue = 1023;

  private:
    // Names are looked up without regard to case and without a folded copy of the name: the
    // settings loader asks several hundred keys per load, and the fuzzer loads per input.
    struct NoCaseHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const;
    };
    struct NoCaseEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    using Index = std::unordered_map<std::string, std::size_t, NoCaseHash, NoCaseEqual>;

    struct Entry {
        std::string key, value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;  // file order
        Index keys;                  // into entries
    };
    Section& SectionNamed(const std::string& name);
    const Entry* Find(const std::string& section, const std::string& key) const;
    std::vector<Section> sections_;  // file order
    Index section_index_;            // into sections_
    bool read_only_ = false;
};

// The integer rule on its own, as GetPrivateProfileIntA applies it: the first 29 characters,
// leading blanks skipped, an optional sign, a base prefix "0x", "0o" or "0b" (lower case;
// otherwise decimal), then the digits of that base; the total wraps at 32 bits and is handed
// back as a signed 32-bit number ("4294967297" reads 1, "4294967295" reads -1).
std::int64_t ProfileInteger(const std::string& value);
inline constexpr size_t kMaxIntegerText = 29;

}  // namespace kelvane

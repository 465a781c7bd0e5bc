#include "chip/autostart.h"

namespace kelvane {
namespace {

constexpr const char* kRunValueName = "Kelvane";
constexpr const char* kSection = "Option";
constexpr const char* kKey = "ExecuteAtStartup";

}  // namespace

bool ApplyAutostart(Registry& registry, std::int64_t execute_at_startup,
                    const std::string& program_path) {
    // Quoted: the program folder usually holds a blank.
    if (execute_at_startup & 2)
        return registry.SetRunValue(kRunValueName, "\"" + program_path + "\"");
    return registry.DeleteRunValue(kRunValueName);
}

std::int64_t InstallAutostart(Profile& settings, std::optional<bool> asked) {
    // Read as the program reads it, so that the minimised choice kept is the one it would use.
    const std::int64_t stored = settings.GetInt(kSection, kKey, 0);
    if (!asked && settings.HasKey(kSection, kKey)) return stored;
    const i16 value = SwitchFeature(static_cast<i16>(stored & 1), asked.value_or(true));
    settings.WriteString(kSection, kKey, std::to_string(value));
    return value;
}

}  // namespace kelvane

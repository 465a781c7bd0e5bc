#pragma once
// The data folder's layout and its limits: day files by age, incidents by count, and the
// whole folder by size, so that weeks of history fit a small flash disk whatever the settings.
#include <cstdint>
#include <string>
#include <vector>

#include "base/platform.h"

namespace kelvane::history {

inline constexpr std::uint64_t kFolderCap = 32ull * 1024 * 1024;
inline constexpr std::size_t kIncidentsKept = 50;
inline constexpr int kDefaultDays = 31;

struct DataFolder {
    std::string root;  // no trailing backslash
    std::string days() const { return root + "\\history"; }
    std::string incidents() const { return root + "\\incidents"; }
    std::string DayFile(std::int64_t local_day) const;
};

// Deletes the day files older than `days` days before `today` (local day numbers), the
// incidents beyond the newest 50, then the oldest files of either kind until the folder is
// within 32 MB. Files named in `keep` (the open day file and incident) stay. Returns the
// bytes the folder holds afterwards.
std::uint64_t TidyDataFolder(FileSystem& files, const DataFolder& folder, std::int64_t today,
                             int days, const std::vector<std::string>& keep);

}  // namespace kelvane::history

#include "history/data_folder.h"

#include <algorithm>

#include "history/civil_time.h"

namespace kelvane::history {
namespace {

struct Found {
    std::string path;
    std::string order;  // sorts oldest first across both kinds
    std::uint64_t size = 0;
    bool day_file = false;
    std::int64_t day = 0;
};

bool EndsWith(const std::string& s, const char* tail) {
    const std::string t = tail;
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// Only the files this program names are ever deleted; anything else in the folder stays
// and is only counted.
std::vector<Found> Inventory(FileSystem& files, const DataFolder& folder, std::uint64_t& other) {
    std::vector<Found> found;
    for (const FileEntry& e : files.ListFiles(folder.days())) {
        const auto day = EndsWith(e.name, ".csv") && e.name.size() == 14
                             ? ParseDay(std::string_view(e.name).substr(0, 10))
                             : std::nullopt;
        if (!day) {
            other += e.size;
            continue;
        }
        // "2026-06-12" and "20260612-..." compare alike once the dashes are gone.
        std::string order = e.name.substr(0, 4) + e.name.substr(5, 2) + e.name.substr(8, 2);
        found.push_back({folder.days() + "\\" + e.name, order + "-000000", e.size, true, *day});
    }
    for (const FileEntry& e : files.ListFiles(folder.incidents())) {
        if (!EndsWith(e.name, ".csv") || e.name.size() < 16 || e.name[8] != '-' ||
            !ParseDay(e.name.substr(0, 4) + "-" + e.name.substr(4, 2) + "-" +
                      e.name.substr(6, 2))) {
            other += e.size;
            continue;
        }
        found.push_back(
            {folder.incidents() + "\\" + e.name, e.name.substr(0, 15), e.size, false, 0});
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.order < b.order; });
    return found;
}

}  // namespace

std::string DataFolder::DayFile(std::int64_t local_day) const {
    return days() + "\\" + DayText(local_day) + ".csv";
}

std::uint64_t TidyDataFolder(FileSystem& files, const DataFolder& folder, std::int64_t today,
                             int days, const std::vector<std::string>& keep) {
    std::uint64_t total = 0;
    std::vector<Found> found = Inventory(files, folder, total);
    const auto kept = [&](const Found& f) {
        return std::find(keep.begin(), keep.end(), f.path) != keep.end();
    };
    std::size_t incidents = 0;
    for (const Found& f : found) incidents += f.day_file ? 0 : 1;
    std::vector<Found> left;
    for (const Found& f : found) {
        bool remove = false;
        if (f.day_file)
            remove = f.day <= today - days;
        else if (incidents > kIncidentsKept)
            remove = true;
        if (remove && !kept(f) && files.RemoveFile(f.path)) {
            if (!f.day_file) --incidents;
            continue;
        }
        left.push_back(f);
        total += f.size;
    }
    for (const Found& f : left) {
        if (total <= kFolderCap) break;
        if (!kept(f) && files.RemoveFile(f.path)) total -= f.size;
    }
    return total;
}

}  // namespace kelvane::history

#pragma once
// What the portable logic needs from the operating system, as small interfaces. Windows
// implementations live in src/win32; tests use doubles.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

struct FileEntry {
    std::string name;  // without the folder
    std::uint64_t size = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // The whole content, or nothing when the file cannot be opened for reading.
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // The whole content, or nothing when the file does not exist; a file that exists but
    // cannot be read (a folder of that name, access denied, held by another program) raises
    // RuntimeError(FileError).
    virtual std::optional<std::string> ReadIfPresent(const std::string& path) = 0;
    // Opens for reading and closes at once: whether the file is there and readable.
    virtual bool CanOpen(const std::string& path) = 0;
    // Appends, creating the file when absent; raises RuntimeError(FileError) on failure.
    virtual void AppendFile(const std::string& path, const std::string& data) = 0;
    // SearchPathA in `folder` only, with the default extension: the full path found.
    virtual std::optional<std::string> SearchPathIn(const std::string& folder,
                                                    const std::string& name,
                                                    const std::string& extension) = 0;
    // The files directly in `folder` (no subfolders); empty when it cannot be listed.
    virtual std::vector<FileEntry> ListFiles(const std::string& folder) = 0;
    // Whether the file is gone afterwards.
    virtual bool RemoveFile(const std::string& path) = 0;
    // Creates the folder and any missing parents; whether it exists afterwards.
    virtual bool MakeFolder(const std::string& path) = 0;
};

class FileReplacer {
  public:
    virtual ~FileReplacer() = default;
    // Writes `data` to a temporary file beside `path` and moves it over `path`, so a reader
    // sees the old file or the new one, never a part. False when any step fails.
    virtual bool Replace(const std::string& path, std::string_view data) = 0;
};

class Processes {
  public:
    virtual ~Processes() = default;
    // Starts a program in a minimised window that takes the focus, without waiting.
    virtual bool StartMinimized(const std::string& path) = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual void Sleep(long milliseconds) = 0;
    virtual std::string ShortDate() = 0;     // the local date as the regional settings format it
    virtual std::string LongTime() = 0;      // the local time, long time style
    virtual std::int64_t UnixSeconds() = 0;  // now, in whole seconds since 1970-01-01 UTC
    // Local time minus UTC at the given moment, in minutes (daylight saving included).
    virtual int UtcOffsetMinutes(std::int64_t unix_seconds) = 0;
};

// When the machine started, as seen now. The wall clock can be set while the machine runs, and
// a quick restart can start near the last boot's time: the time since boot tells those apart.
struct BootStamp {
    std::int64_t boot_unix_seconds = 0;  // the wall clock minus the time since boot
    std::int64_t uptime_seconds = 0;     // from a counter that runs from boot, whatever the clock
};

class BootClock {
  public:
    virtual ~BootClock() = default;
    virtual BootStamp Now() = 0;
};

class Registry {
  public:
    virtual ~Registry() = default;
    // HKLM SOFTWARE\Microsoft\Windows\CurrentVersion\Run. Each says whether the Run key
    // ends as asked (a value already absent counts as removed).
    virtual bool SetRunValue(const std::string& name, const std::string& data) = 0;
    virtual bool DeleteRunValue(const std::string& name) = 0;
    // HKLM SOFTWARE\Kelvane MetricsFile, the metrics file the installer was given; empty
    // when there is none.
    virtual std::string RememberedMetricsFile() = 0;
};

class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    // sndPlaySoundA(path, SND_ASYNC | SND_NODEFAULT): returns at once, silent on failure.
    virtual void PlayWave(const std::string& path) = 0;
};

// Work that must not hold up the window's thread, such as the alarm tune.
class Threads {
  public:
    virtual ~Threads() = default;
    // Runs `job` on a thread of its own and returns at once. The job must not throw.
    virtual void Start(std::function<void()> job) = 0;
    // Waits until the job started last has ended.
    virtual void Join() = 0;
};

}  // namespace kelvane

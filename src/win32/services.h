#pragma once
// The operating-system services of the logic, backed by the Win32 API.
#include <windows.h>

#include <functional>
#include <string>

#include "base/platform.h"
#include "base/profile.h"

namespace kelvane::win32 {

// The settings file through the private-profile functions (1024-byte buffers).
class PrivateProfile : public Profile {
  public:
    explicit PrivateProfile(std::string path) : path_(std::move(path)) {}
    std::int64_t GetInt(const std::string& section, const std::string& key,
                        std::int64_t default_value) override;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& default_value) override;
    std::string GetMarkedText(const std::string& section, const std::string& key,
                              const std::string& default_value) override;
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

  private:
    std::string path_;
};

class Files : public FileSystem {
  public:
    std::optional<std::string> ReadFile(const std::string& path) override;
    std::optional<std::string> ReadIfPresent(const std::string& path) override;
    bool CanOpen(const std::string& path) override;
    void AppendFile(const std::string& path, const std::string& data) override;
    std::optional<std::string> SearchPathIn(const std::string& folder, const std::string& name,
                                            const std::string& extension) override;
    std::vector<FileEntry> ListFiles(const std::string& folder) override;
    bool RemoveFile(const std::string& path) override;
    bool MakeFolder(const std::string& path) override;
};

// Writes `size` bytes at the file's end; whether it did, with the count it wrote.
using WriteChunk = std::function<bool(HANDLE file, const char* bytes, DWORD size, DWORD* written)>;

// Appends all of `data` or nothing: after a failed write the file is as it was before, and a
// file the call created is gone again. Raises RuntimeError(FileError) on failure.
void AppendWhole(const std::string& path, const std::string& data, const WriteChunk& write);

class ProcessStarter : public Processes {
  public:
    bool StartMinimized(const std::string& path) override;
};

class SystemClock : public Clock {
  public:
    void Sleep(long milliseconds) override;
    std::string ShortDate() override;
    std::string LongTime() override;
    std::int64_t UnixSeconds() override;
    int UtcOffsetMinutes(std::int64_t unix_seconds) override;
};

// The time since boot from GetTickCount64, and the boot's start as the wall clock places it.
class SystemBootClock : public BootClock {
  public:
    BootStamp Now() override;
};

class RunKey : public Registry {
  public:
    bool SetRunValue(const std::string& name, const std::string& data) override;
    bool DeleteRunValue(const std::string& name) override;
    std::string RememberedMetricsFile() override;
};

class WaveSound : public SoundPlayer {
  public:
    void PlayWave(const std::string& path) override;
};

// Folder and base name of the running executable.
std::string ProgramFolder();
// The machine's program-data folder followed by "\Kelvane": the history's default home.
std::string DefaultDataFolder();
std::string ExecutableBaseName();

}  // namespace kelvane::win32

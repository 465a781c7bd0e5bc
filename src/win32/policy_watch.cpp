#include "win32/policy_watch.h"

#include <cstring>
#include <optional>
#include <string>

#include "policy/policy_keys.h"

namespace kelvane::win32 {
namespace {

constexpr const char* kPolicies = "SOFTWARE\\Policies";
// Group Policy writes a key's values one by one: a short quiet spell lets it finish.
constexpr DWORD kSettleMs = 250;
// Notifications are the rule; a read now and then covers a watch the registry dropped (the
// Policies key deleted and made again).
constexpr DWORD kRereadMs = 10000;

OwnedKey OpenKey(const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return nullptr;
    return OwnedKey(key);
}

std::optional<policy::PolicyReading> ReadValue(HKEY key, std::size_t index, const char* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    policy::PolicyReading r;
    r.key = index;
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        r.kind = policy::PolicyReading::Kind::Number;
        std::memcpy(&r.number, data.data(), sizeof(DWORD));
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        r.kind = policy::PolicyReading::Kind::Text;
        r.text = data.substr(0, data.find('\0'));
    }
    return r;
}

}  // namespace

std::vector<policy::PolicyReading> ReadPolicyRegistry() {
    std::vector<policy::PolicyReading> readings;
    const auto table = policy::PolicyKeys();
    std::string open_section;
    OwnedKey key;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (open_section != table[i].section) {
            open_section = table[i].section;
            key = OpenKey(std::string(kPolicies) + "\\Kelvane\\" + open_section, KEY_QUERY_VALUE);
        }
        if (!key) continue;
        if (auto r = ReadValue(key.get(), i, table[i].key)) readings.push_back(std::move(*r));
    }
    return readings;
}

PolicyWatch::PolicyWatch(policy::InForce in_force, Offer offer)
    : last_(std::move(in_force)),
      offer_(std::move(offer)),
      stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      thread_([this] { Run(); }) {}

PolicyWatch::~PolicyWatch() {
    SetEvent(stop_.get());
    if (thread_.joinable()) thread_.join();
}

void PolicyWatch::Run() {
    OwnedHandle changed(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!changed) return;
    for (;;) {
        // Asked again after each notification: a watch fires once. Without the Policies key
        // (a bare machine), its parent tells when it is made.
        OwnedKey watched = OpenKey(kPolicies, KEY_NOTIFY);
        const bool subtree = watched != nullptr;
        if (!watched) watched = OpenKey("SOFTWARE", KEY_NOTIFY);
        const bool watching =
            watched && RegNotifyChangeKeyValue(watched.get(), subtree,
                                               REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                               changed.get(), TRUE) == ERROR_SUCCESS;
        const HANDLE waits[] = {stop_.get(), changed.get()};
        const DWORD woke = WaitForMultipleObjects(watching ? 2 : 1, waits, FALSE, kRereadMs);
        if (woke == WAIT_OBJECT_0) return;
        if (woke == WAIT_OBJECT_0 + 1 &&
            WaitForSingleObject(stop_.get(), kSettleMs) == WAIT_OBJECT_0)
            return;
        policy::InForce now(ReadPolicyRegistry());
        if (now == last_) continue;
        last_ = now;
        offer_(std::move(now));
    }
}

}  // namespace kelvane::win32

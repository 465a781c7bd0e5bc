// A small Win32 probe for the end-to-end tests: it reports the real state of Kelvane's
// windows (captions, visibility, topmost, positions, child texts, trackbars, tabs) and can
// click child controls, so the tests check window state rather than guess from pixels.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "pipe_client.h"

namespace {

struct Found {
    std::string title;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectByTitle(HWND hwnd, LPARAM lparam) {
    auto* found = reinterpret_cast<Found*>(lparam);
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    if (found->title == text) found->windows.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> WindowsTitled(const std::string& title) {
    Found found{title, {}};
    EnumWindows(CollectByTitle, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

HWND WindowTitled(const std::string& title) {
    auto all = WindowsTitled(title);
    return all.empty() ? nullptr : all.front();
}

std::string Text(HWND hwnd) {
    // Across processes GetWindowText returns only the stored caption, never an edit
    // box's contents; the message reaches the control itself.
    char text[2048] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, &length);
    std::string s = text;
    for (char& c : s)
        if (c == '\r' || c == '\n') c = '|';
    return s;
}

std::string ClassOf(HWND hwnd) {
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

void PrintWindow(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    RECT c{};
    GetClientRect(hwnd, &c);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    const LONG ex = GetWindowLongA(hwnd, GWL_EXSTYLE);
    std::printf("found=1\nvisible=%d\niconic=%d\ntopmost=%d\nenabled=%d\nleft=%ld\ntop=%ld\n"
                "width=%ld\nheight=%ld\nclient_width=%ld\nclient_height=%ld\npid=%lu\nclass=%s\n"
                "foreground=%d\n",
                IsWindowVisible(hwnd) ? 1 : 0, IsIconic(hwnd) ? 1 : 0,
                (ex & WS_EX_TOPMOST) ? 1 : 0, IsWindowEnabled(hwnd) ? 1 : 0, r.left, r.top,
                r.right - r.left, r.bottom - r.top, c.right, c.bottom, pid,
                ClassOf(hwnd).c_str(), GetForegroundWindow() == hwnd ? 1 : 0);
    HWND owner = GetWindow(hwnd, GW_OWNER);
    std::printf("owner=%s\n", owner ? Text(owner).c_str() : "");
}

void PrintChild(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    std::printf("id=%d class=%s visible=%d enabled=%d left=%ld top=%ld width=%ld height=%ld text=%s\n",
                GetDlgCtrlID(child), ClassOf(child).c_str(), IsWindowVisible(child) ? 1 : 0,
                IsWindowEnabled(child) ? 1 : 0, r.left, r.top, r.right - r.left,
                r.bottom - r.top, Text(child).c_str());
}

BOOL CALLBACK PrintEach(HWND child, LPARAM parent) {
    PrintChild(reinterpret_cast<HWND>(parent), child);
    return TRUE;
}

BOOL CALLBACK ListTop(HWND hwnd, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    std::printf("pid=%lu visible=%d class=%s title=%s\n", pid, IsWindowVisible(hwnd) ? 1 : 0,
                ClassOf(hwnd).c_str(), Text(hwnd).c_str());
    return TRUE;
}

struct ProcessWindows {
    DWORD process;
    int count;
};

BOOL CALLBACK CountChild(HWND, LPARAM lparam) {
    ++reinterpret_cast<ProcessWindows*>(lparam)->count;
    return TRUE;
}

BOOL CALLBACK CountTop(HWND hwnd, LPARAM lparam) {
    auto* windows = reinterpret_cast<ProcessWindows*>(lparam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != windows->process) return TRUE;
    ++windows->count;
    EnumChildWindows(hwnd, CountChild, lparam);
    return TRUE;
}

// GDI objects in use by a process, counted in the GDI handle table that Wine shares with each
// process through its PEB (its GetGuiResources reports nothing): entries with a type are in
// use. -1 when the table cannot be read.
long CountGdiTableEntries(HANDLE process) {
    using QueryProcess = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    struct {
        void* reserved1;
        void* peb;
        void* reserved2[4];
    } basic{};
    if (!query || query(process, 0, &basic, sizeof basic, nullptr) != 0 || !basic.peb) return -1;
    void* table = nullptr;
    SIZE_T got = 0;
    constexpr size_t kGdiSharedHandleTable = 0x94;  // in a 32-bit PEB
    if (!ReadProcessMemory(process, static_cast<char*>(basic.peb) + kGdiSharedHandleTable, &table,
                           sizeof table, &got) || !table)
        return -1;
#pragma pack(push, 1)
    struct Entry {
        unsigned long long object;
        unsigned long owner;
        unsigned short instance;
        unsigned char type, flags;
        unsigned long long user;
    };
#pragma pack(pop)
    static_assert(sizeof(Entry) == 24);
    std::vector<Entry> entries(0x10000);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(Entry), &got))
        return -1;
    long used = 0;
    for (const Entry& e : entries)
        if (e.type != 0) ++used;
    return used;
}

int Resources(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (!process) {
        std::printf("found=0\n");
        return 1;
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    ProcessWindows windows{id, 0};
    EnumWindows(CountTop, reinterpret_cast<LPARAM>(&windows));
    std::printf("private=%lu\nworking_set=%lu\ngui_gdi=%lu\ngui_user=%lu\ngdi_table=%ld\n"
                "windows=%d\n",
                static_cast<unsigned long>(memory.PrivateUsage),
                static_cast<unsigned long>(memory.WorkingSetSize),
                GetGuiResources(process, GR_GDIOBJECTS), GetGuiResources(process, GR_USEROBJECTS),
                CountGdiTableEntries(process), windows.count);
    CloseHandle(process);
    return 0;
}

// The size a button says it needs for its caption in its own font (BCM_GETIDEALSIZE). The
// font lives in the other process, so the button measures itself there, into a SIZE that
// lives there for the call. {-1, -1} when the button cannot tell.
SIZE IdealSize(HWND button) {
    SIZE size{-1, -1};
    DWORD pid = 0;
    GetWindowThreadProcessId(button, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                 FALSE, pid);
    if (!process) return size;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(SIZE), MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    if (remote) {
        SIZE asked{0, 0}, got{};
        SIZE_T done = 0;
        if (WriteProcessMemory(process, remote, &asked, sizeof asked, &done) &&
            SendMessageA(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(remote)) &&
            ReadProcessMemory(process, remote, &got, sizeof got, &done))
            size = got;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return size;
}

// Whether a window lies inside the work area of its monitor, and whether each push button's
// caption fits the button: the size the button needs for it against the size it has.
BOOL CALLBACK PrintButtonFit(HWND child, LPARAM) {
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    const LONG type = style & BS_TYPEMASK;
    const bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || (style & BS_PUSHLIKE);
    if (ClassOf(child) != "Button" || !push || !(style & WS_VISIBLE)) return TRUE;
    RECT r{};
    GetWindowRect(child, &r);
    const SIZE need = IdealSize(child);
    const bool fits = need.cx > 0 && need.cx <= r.right - r.left && need.cy <= r.bottom - r.top;
    std::printf("button id=%d need_width=%ld need_height=%ld width=%ld height=%ld fits=%d "
                "text=%s\n",
                GetDlgCtrlID(child), need.cx, need.cy, r.right - r.left, r.bottom - r.top,
                fits ? 1 : 0, Text(child).c_str());
    return TRUE;
}

int PrintFit(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info);
    const RECT& a = info.rcWork;
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    const bool inside =
        r.left >= a.left && r.top >= a.top && r.right <= a.right && r.bottom <= a.bottom;
    std::printf(
        "dpi=%d\nleft=%ld\ntop=%ld\nright=%ld\nbottom=%ld\nwork_left=%ld\nwork_top=%ld\n"
        "work_right=%ld\nwork_bottom=%ld\ninside=%d\n",
        dpi, r.left, r.top, r.right, r.bottom, a.left, a.top, a.right, a.bottom, inside ? 1 : 0);
    EnumChildWindows(hwnd, PrintButtonFit, 0);
    return 0;
}

int Usage() {
    std::fputs(
        "probe list | tooltips | count TITLE | window TITLE | modules TITLE | wait TITLE MS | gone TITLE MS | children TITLE\n"
        "      child TITLE ID | click TITLE ID | command TITLE ID | trackbar TITLE ID\n"
        "      settrackbar TITLE ID POS | tabs TITLE | selecttab TITLE INDEX | hotkeys-free\n"
        "      pixel TITLE ID X Y | button TITLE ID | listbox TITLE ID | focus TITLE ID\n"
        "      key TITLE ID VK | type TITLE ID TEXT\n"
        "      class CLASS | trayicon TITLE ID [UID] | above TITLE OTHER | lock PATH SECONDS\n"
        "      owner-lock SECONDS\n"
        "      fit TITLE | resources TITLE | roundtrip TITLE MS | post TITLE MESSAGE WPARAM LPARAM\n"
        "      postwhen FILE TITLE MESSAGE WPARAM LPARAM\n"
        "      pipe-read MS | pipe-garbage MS | pipe-hold MS | pipe-settings MS S0 |\n"
        "      pipe-span MS SECONDS COLUMNS\n",
        stderr);
    return 2;
}

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND child, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (GetDlgCtrlID(child) != s->id) return TRUE;
    s->found = child;
    return FALSE;
}

HWND ChildById(HWND parent, int id) {
    Search search{id, nullptr};
    EnumChildWindows(parent, MatchId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A tab's caption. The tab control answers only with pointers into its own process, so the
// item and its text buffer live there for the call.
std::string TabCaption(HWND tab, int index) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tab, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                 FALSE, pid);
    if (!process) return {};
    constexpr int kText = 256;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(TCITEMA) + kText,
                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    std::string caption;
    if (remote) {
        char* remote_text = static_cast<char*>(remote) + sizeof(TCITEMA);
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = remote_text;
        item.cchTextMax = kText;
        char text[kText] = {};
        SIZE_T done = 0;
        if (WriteProcessMemory(process, remote, &item, sizeof item, &done) &&
            WriteProcessMemory(process, remote_text, text, 1, &done) &&
            SendMessageA(tab, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(remote)) &&
            ReadProcessMemory(process, remote_text, text, kText - 1, &done))
            caption = text;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return caption;
}

// Each tool text of a tooltip window, whichever process owns it (the notification area's
// tips are the shell's), as "tip=" lines in the ANSI code page. Like a tab, the tool answers
// only with pointers into its own process.
BOOL CALLBACK ListTips(HWND hwnd, LPARAM) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    if (std::string(name) != TOOLTIPS_CLASSA) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                 FALSE, pid);
    if (!process) return TRUE;
    constexpr int kText = 1024;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(TTTOOLINFOW) + kText * sizeof(WCHAR),
                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote) {
        auto* remote_text =
            reinterpret_cast<WCHAR*>(static_cast<char*>(remote) + sizeof(TTTOOLINFOW));
        const LRESULT count = SendMessageW(hwnd, TTM_GETTOOLCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            TTTOOLINFOW info{};
            info.cbSize = sizeof info;
            info.lpszText = remote_text;
            WCHAR text[kText] = {};
            SIZE_T done = 0;
            if (!WriteProcessMemory(process, remote, &info, sizeof info, &done) ||
                !WriteProcessMemory(process, remote_text, text, sizeof(WCHAR), &done) ||
                !SendMessageW(hwnd, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote)) ||
                !ReadProcessMemory(process, remote_text, text, (kText - 1) * sizeof(WCHAR), &done))
                continue;
            char ansi[kText * 2] = {};
            WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
            std::printf("tip=%s\n", ansi);
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    if (const auto pipe = PipeVerb(argc, argv)) return *pipe;
    const std::string verb = argv[1];
    if (verb == "list") {
        EnumWindows(ListTop, 0);
        return 0;
    }
    if (verb == "tooltips") {
        EnumWindows(ListTips, 0);
        return 0;
    }
    if (verb == "hotkeys-free") {
        // Registers both of Kelvane's hot keys itself: that works only once Kelvane let go.
        const BOOL show = RegisterHotKey(nullptr, 1, MOD_ALT | MOD_CONTROL | MOD_SHIFT, VK_F11);
        const BOOL hide = RegisterHotKey(nullptr, 2, MOD_ALT | MOD_CONTROL | MOD_SHIFT, VK_F12);
        if (show) UnregisterHotKey(nullptr, 1);
        if (hide) UnregisterHotKey(nullptr, 2);
        std::printf("show=%d\nhide=%d\n", show ? 1 : 0, hide ? 1 : 0);
        return 0;
    }
    if (argc < 3) return Usage();
    const std::string title = argv[2];
    if (verb == "class") {
        // Windows without a caption (a popup menu, the task bar) are found by class.
        HWND h = FindWindowA(title.c_str(), nullptr);
        if (!h) {
            std::printf("found=0\n");
            return 1;
        }
        PrintWindow(h);
        return 0;
    }
    if (verb == "above" && argc > 3) {
        // Which of two windows is nearer the top of the z-order, and whether they overlap.
        HWND a = WindowTitled(title);
        HWND b = WindowTitled(argv[3]);
        if (!a || !b) {
            std::printf("found=0\n");
            return 1;
        }
        int above = 0;
        for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
            if (h == a || h == b) {
                above = h == a ? 1 : 0;
                break;
            }
        }
        RECT ra{}, rb{}, both{};
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        std::printf("above=%d\noverlap=%d\n", above, IntersectRect(&both, &ra, &rb) ? 1 : 0);
        return 0;
    }
    if (verb == "trayicon" && argc > 3) {
        // A modify that changes nothing succeeds only while the notification area holds
        // the icon of that owner window.
        HWND owner = WindowTitled(title);
        HWND child = owner ? ChildById(owner, std::atoi(argv[3])) : nullptr;
        if (!child) {
            std::printf("found=0\n");
            return 1;
        }
        NOTIFYICONDATAA nid{};
        nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nid.hWnd = child;
        nid.uID = argc > 4 ? static_cast<UINT>(std::atoi(argv[4])) : 1;
        std::printf("present=%d\n", Shell_NotifyIconA(NIM_MODIFY, &nid) ? 1 : 0);
        return 0;
    }
    if (verb == "resources") {
        HWND h = WindowTitled(title);
        if (!h) {
            std::printf("found=0\n");
            return 1;
        }
        return Resources(h);
    }
    if (verb == "postwhen" && argc > 6) {
        // The same as post, at the moment FILE appears (within 30 s): a test can time the
        // message to the program's ticks without waiting for a process to start.
        for (int waited = 0; GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES; waited += 5) {
            if (waited > 30000) return 1;
            Sleep(5);
        }
        const std::string window = argv[3];
        HWND h = WindowTitled(window);
        const auto number = [](const char* text) { return std::strtoul(text, nullptr, 0); };
        return h && PostMessageA(h, static_cast<UINT>(number(argv[4])), number(argv[5]),
                                 static_cast<LPARAM>(number(argv[6])))
                   ? 0
                   : 1;
    }
    if (verb == "post" && argc > 5) {
        // A message as Windows or the shell would send it: end of session, resume, a menu item.
        HWND h = WindowTitled(title);
        if (!h) {
            std::printf("found=0\n");
            return 1;
        }
        const auto number = [](const char* text) { return std::strtoul(text, nullptr, 0); };
        return PostMessageA(h, static_cast<UINT>(number(argv[3])), number(argv[4]),
                            static_cast<LPARAM>(number(argv[5])))
                   ? 0
                   : 1;
    }
    if (verb == "count") {
        std::printf("%zu\n", WindowsTitled(title).size());
        return 0;
    }
    if (verb == "owner-lock") {
        // Holds the lock that names the chip's owner, as a window program in another session
        // would, for SECONDS.
        HANDLE lock = CreateMutexA(nullptr, FALSE, "Global\\Kelvane.Owner");
        if (!lock || GetLastError() == ERROR_ALREADY_EXISTS) return 1;
        Sleep(static_cast<DWORD>(std::atoi(title.c_str())) * 1000);
        CloseHandle(lock);
        return 0;
    }
    if (verb == "lock") {
        // Holds PATH open without sharing, as another program writing it would.
        const int seconds = argc > 3 ? std::atoi(argv[3]) : 30;
        HANDLE file = CreateFileA(title.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            std::printf("locked=0\n");
            return 1;
        }
        std::printf("locked=1\n");
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(seconds) * 1000);
        CloseHandle(file);
        return 0;
    }
    if (verb == "wait" || verb == "gone") {
        const int ms = argc > 3 ? std::atoi(argv[3]) : 10000;
        for (int waited = 0; waited <= ms; waited += 100) {
            HWND h = WindowTitled(title);
            const bool present = h && IsWindowVisible(h);
            if (present == (verb == "wait")) return 0;
            Sleep(100);
        }
        return 1;
    }
    HWND hwnd = WindowTitled(title);
    if (!hwnd) {
        std::printf("found=0\n");
        return 1;
    }
    if (verb == "window") {
        PrintWindow(hwnd);
        return 0;
    }
    if (verb == "modules") {
        // The libraries loaded in the window's process, one base name a line.
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
        HMODULE modules[512];
        DWORD bytes = 0;
        if (!process || !EnumProcessModules(process, modules, sizeof modules, &bytes)) return 1;
        std::printf("pid=%lu\n", pid);
        for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
            char name[MAX_PATH] = {};
            if (GetModuleBaseNameA(process, modules[i], name, sizeof name))
                std::printf("module=%s\n", name);
        }
        CloseHandle(process);
        return 0;
    }
    if (verb == "modules") {
        // The libraries loaded in the window's process, one base name a line.
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
        HMODULE modules[512];
        DWORD bytes = 0;
        if (!process || !EnumProcessModules(process, modules, sizeof modules, &bytes)) return 1;
        std::printf("pid=%lu\n", pid);
        for (DWORD i = 0; i < bytes / sizeof(HMODULE); ++i) {
            char name[MAX_PATH] = {};
            if (GetModuleBaseNameA(process, modules[i], name, sizeof name))
                std::printf("module=%s\n", name);
        }
        CloseHandle(process);
        return 0;
    }
    if (verb == "roundtrip") {
        // How long the window's thread takes to answer a message sent at an arbitrary moment:
        // one sender every 50 ms for MS milliseconds, each on its own thread so that a
        // late answer does not hold back the next send. Median and worst, in milliseconds.
        const int ms = argc > 3 ? std::max(std::atoi(argv[3]), 50) : 3000;
        LARGE_INTEGER frequency{}, start{};
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        auto since = [&](const LARGE_INTEGER& from) {
            LARGE_INTEGER now{};
            QueryPerformanceCounter(&now);
            return static_cast<double>(now.QuadPart - from.QuadPart) * 1000.0 /
                   static_cast<double>(frequency.QuadPart);
        };
        std::vector<double> samples(static_cast<std::size_t>(ms / 50));
        std::vector<std::thread> senders;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            senders.emplace_back([&, i] {
                const double due = 50.0 * static_cast<double>(i);
                const double wait = due - since(start);
                if (wait > 0) Sleep(static_cast<DWORD>(wait));
                LARGE_INTEGER sent{};
                QueryPerformanceCounter(&sent);
                DWORD_PTR result = 0;
                SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
                samples[i] = since(sent);
            });
        }
        for (std::thread& t : senders) t.join();
        std::sort(samples.begin(), samples.end());
        double sum = 0;
        for (double v : samples) sum += v;
        std::printf("samples=%zu\nmedian=%.1f\nmean=%.1f\nmax=%.1f\n", samples.size(),
                    samples[samples.size() / 2], sum / static_cast<double>(samples.size()),
                    samples.back());
        return 0;
    }
    if (verb == "fit") return PrintFit(hwnd);
    if (verb == "children") {
        EnumChildWindows(hwnd, PrintEach, reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    if (verb == "tabs" || verb == "selecttab") {
        HWND tab = FindWindowExA(hwnd, nullptr, WC_TABCONTROLA, nullptr);
        if (!tab) return 1;
        if (verb == "selecttab" && argc > 3) {
            const int index = std::atoi(argv[3]);
            TabCtrl_SetCurFocus(tab, index);
            return 0;
        }
        const int count = TabCtrl_GetItemCount(tab);
        std::printf("count=%d\nselected=%d\n", count, TabCtrl_GetCurSel(tab));
        for (int t = 0; t < count; ++t) std::printf("tab%d=%s\n", t, TabCaption(tab, t).c_str());
        return 0;
    }
    if (argc < 4) return Usage();
    HWND child = ChildById(hwnd, std::atoi(argv[3]));
    if (!child) {
        std::printf("found=0\n");
        return 1;
    }
    if (verb == "child") {
        PrintChild(hwnd, child);
        return 0;
    }
    if (verb == "click") {
        PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageA(child, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        return 0;
    }
    if (verb == "command") {
        PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(child), BN_CLICKED),
                     reinterpret_cast<LPARAM>(child));
        return 0;
    }
    if (verb == "trackbar") {
        std::printf("pos=%ld\nmin=%ld\nmax=%ld\n", static_cast<long>(SendMessageA(child, TBM_GETPOS, 0, 0)),
                    static_cast<long>(SendMessageA(child, TBM_GETRANGEMIN, 0, 0)),
                    static_cast<long>(SendMessageA(child, TBM_GETRANGEMAX, 0, 0)));
        return 0;
    }
    if (verb == "settrackbar" && argc > 4) {
        // As a user's move: the position, then the notification the trackbar would send.
        const int pos = std::atoi(argv[4]);
        SendMessageA(child, TBM_SETPOS, TRUE, pos);
        const bool vertical = (GetWindowLongA(child, GWL_STYLE) & TBS_VERT) != 0;
        const UINT message = vertical ? WM_VSCROLL : WM_HSCROLL;
        HWND parent = GetParent(child);
        const auto from = reinterpret_cast<LPARAM>(child);
        SendMessageA(parent, message, MAKEWPARAM(TB_THUMBPOSITION, pos), from);
        SendMessageA(parent, message, MAKEWPARAM(TB_ENDTRACK, 0), from);
        std::printf("pos=%ld\n", static_cast<long>(SendMessageA(child, TBM_GETPOS, 0, 0)));
        return 0;
    }
    if (verb == "button") {
        std::printf("checked=%ld\n", static_cast<long>(SendMessageA(child, BM_GETCHECK, 0, 0)));
        return 0;
    }
    if (verb == "listbox") {
        const LRESULT top = SendMessageA(child, LB_GETTOPINDEX, 0, 0);
        // The ANSI form comes back cut short across processes under Wine; the wide one not.
        wchar_t wide[256] = {};
        char text[256] = {};
        if (SendMessageW(child, LB_GETTEXTLEN, top, 0) < 255) {
            SendMessageW(child, LB_GETTEXT, top, reinterpret_cast<LPARAM>(wide));
            WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        }
        std::printf("count=%ld\ntop=%ld\ntext=%s\n",
                    static_cast<long>(SendMessageA(child, LB_GETCOUNT, 0, 0)),
                    static_cast<long>(top), text);
        return 0;
    }
    if (verb == "focus") {
        // Focus belongs to the target's input queue: join it for the call.
        const DWORD target = GetWindowThreadProcessId(hwnd, nullptr);
        const DWORD self = GetCurrentThreadId();
        AttachThreadInput(self, target, TRUE);
        SetForegroundWindow(hwnd);
        SetFocus(child);
        const bool focused = GetFocus() == child;
        AttachThreadInput(self, target, FALSE);
        std::printf("focused=%d\n", focused ? 1 : 0);
        return focused ? 0 : 1;
    }
    if (verb == "key" && argc > 4) {
        const auto vk = static_cast<WPARAM>(std::strtol(argv[4], nullptr, 0));
        const UINT scan = MapVirtualKeyA(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
        PostMessageA(child, WM_KEYDOWN, vk, 1 | (scan << 16));
        PostMessageA(child, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
        return 0;
    }
    if (verb == "type" && argc > 4) {
        for (const char* p = argv[4]; *p; ++p)
            PostMessageA(child, WM_CHAR, static_cast<unsigned char>(*p), 1);
        return 0;
    }
    if (verb == "pixel" && argc > 5) {
        HDC dc = GetDC(child);
        const COLORREF c = GetPixel(dc, std::atoi(argv[4]), std::atoi(argv[5]));
        ReleaseDC(child, dc);
        std::printf("rgb=%02x%02x%02x\n", GetRValue(c), GetGValue(c), GetBValue(c));
        return 0;
    }
    return Usage();
}

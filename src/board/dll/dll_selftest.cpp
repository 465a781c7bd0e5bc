// Loads brantelvio.dll the way the program does and checks it end to end under Windows or
// Wine: the four exports, the entry key, the identity, both register paths, the speaker
// record, the trace and the re-reading of the board description.
//   brantelvio_selftest <path of brantelvio.dll> <scratch folder>          described board
//   brantelvio_selftest <path of brantelvio.dll> <scratch folder> demo     built-in board
//   brantelvio_selftest <path of brantelvio.dll> <scratch folder> beside   board.ini by the DLL
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using InbFn = unsigned char(__stdcall*)(unsigned short);
using OutbFn = void(__stdcall*)(unsigned short, unsigned char);
using ReadRegFn = unsigned char(__stdcall*)(unsigned short, unsigned char);
using WriteRegFn = void(__stdcall*)(unsigned short, unsigned char, unsigned char);

int g_failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) ++g_failures;
}

std::string Hex(unsigned v) {
    char s[16];
    std::snprintf(s, sizeof s, "0x%02x", v);
    return s;
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// "123 pid=36 ReadReg 0x002e 0x21 = 0xff" without its time and process.
std::string OperationOf(const std::string& line) {
    const size_t space = line.find(' ', line.find(" pid=") + 1);
    return space == std::string::npos ? line : line.substr(space + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: %s <brantelvio.dll> <scratch folder> [demo]\n", argv[0]);
        return 2;
    }
    const std::string scratch = std::string(argv[2]) + "\\";
    const bool demo = argc > 3 && std::strcmp(argv[3], "demo") == 0;
    const bool beside = argc > 3 && std::strcmp(argv[3], "beside") == 0;
    const std::string dll_path = argv[1];
    const std::string dll_folder = dll_path.substr(0, dll_path.find_last_of("\\/") + 1);
    const std::string board = beside ? dll_folder + "board.ini" : scratch + "selftest_board.ini";
    const std::string trace = scratch + "selftest_trace.txt";
    const std::string speaker = scratch + "selftest_speaker.txt";
    const std::string wav = scratch + "selftest_tune.wav";
    for (const std::string& f : {board, trace, speaker, wav}) DeleteFileA(f.c_str());

    if (demo) {
        SetEnvironmentVariableA("KELVANE_BOARD", (scratch + "no_such_board.ini").c_str());
    } else {
        WriteFile(board, "[Chip]\nId=0x05\nRevision=4\n[Registers]\n29=0x33\n");
        SetEnvironmentVariableA("KELVANE_BOARD", beside ? nullptr : board.c_str());
    }
    SetEnvironmentVariableA("KELVANE_TRACE", trace.c_str());
    SetEnvironmentVariableA("KELVANE_SPEAKER", speaker.c_str());
    SetEnvironmentVariableA("KELVANE_SPEAKER_WAV", wav.c_str());

    HMODULE dll = LoadLibraryA(argv[1]);
    Check(dll != nullptr, std::string("LoadLibrary ") + argv[1]);
    if (dll == nullptr) return 1;
    const auto inb = reinterpret_cast<InbFn>(reinterpret_cast<void*>(GetProcAddress(dll, "Inb")));
    const auto outb =
        reinterpret_cast<OutbFn>(reinterpret_cast<void*>(GetProcAddress(dll, "Outb")));
    const auto read_reg =
        reinterpret_cast<ReadRegFn>(reinterpret_cast<void*>(GetProcAddress(dll, "ReadReg")));
    const auto write_reg =
        reinterpret_cast<WriteRegFn>(reinterpret_cast<void*>(GetProcAddress(dll, "WriteReg")));
    Check(inb && outb && read_reg && write_reg, "GetProcAddress of Inb, Outb, ReadReg, WriteReg");
    if (!(inb && outb && read_reg && write_reg)) return 1;
    int calls = 0;

    Check(read_reg(0x2E, 0x21) == 0xFF, "configuration pair silent before the key");
    ++calls;
    for (unsigned char k : {0x87, 0x01, 0x55, 0x55}) outb(0x2E, k), ++calls;
    const unsigned id = read_reg(0x2E, 0x21), rev = read_reg(0x2E, 0x22);
    calls += 2;
    const unsigned want_id = demo ? 0x12 : 0x05, want_rev = demo ? 8 : 4;
    Check(id == want_id && rev == want_rev, "identity after the key: " + Hex(id) + " " + Hex(rev));

    write_reg(0x295, 0x15, 0x40);
    outb(0x295, 0x15);
    const unsigned via_ports = inb(0x296);
    calls += 3;
    Check(via_ports == 0x40, "WriteReg seen through Outb/Inb: " + Hex(via_ports));
    Check(inb(0x378) == 0xFF, "other ports read 0xFF");
    ++calls;

    const unsigned t0 = read_reg(0x295, 0x29);
    ++calls;
    if (demo) {
        Check(t0 >= 20 && t0 <= 80, "demo temperature plausible: " + std::to_string(t0));
    } else {
        Check(t0 == 0x33, "described register 0x29: " + Hex(t0));
    }

    // One note, as the program plays it.
    const unsigned v = inb(0x61);
    outb(0x61, static_cast<unsigned char>(v | 3));
    outb(0x43, 0xB6);
    outb(0x42, 1329 % 256);
    outb(0x42, 1329 / 256);
    Sleep(150);
    outb(0x61, static_cast<unsigned char>(inb(0x61) & 0xFC));
    calls += 7;
    const std::vector<std::string> tones = Lines(speaker);
    const std::string prefix = "Tone divisor=1329 frequency=897.8 duration=";
    const bool tone_ok = tones.size() == 1 && tones[0].rfind(prefix, 0) == 0;
    Check(tone_ok, "speaker record: " + (tones.empty() ? std::string("(none)") : tones[0]));
    if (tone_ok) {
        const long duration = std::stol(tones[0].substr(prefix.size()));
        Check(duration >= 140 && duration <= 400, "tone duration " + std::to_string(duration));
        WIN32_FILE_ATTRIBUTE_DATA info{};
        const bool have_wav = GetFileAttributesExA(wav.c_str(), GetFileExInfoStandard, &info);
        Check(have_wav && info.nFileSizeLow == 44u + 8u * static_cast<unsigned>(duration),
              "wav holds the tone: " + std::to_string(have_wav ? info.nFileSizeLow : 0) + " bytes");
    }

    if (!demo) {
        // A bigger file, so that the change shows even where file times are coarse.
        WriteFile(board,
                  "[Chip]\nId=0x05\nRevision=4\n[Registers]\n29=0x44\n[Hold]\n2A=99\n; again\n");
        Sleep(600);
        const unsigned t1 = read_reg(0x295, 0x29), t2 = read_reg(0x295, 0x2A);
        calls += 2;
        Check(t1 == 0x44 && t2 == 99, "description re-read: " + Hex(t1) + " " + Hex(t2));
    }

    const std::vector<std::string> lines = Lines(trace);
    Check(static_cast<int>(lines.size()) == calls,
          "one trace line per call: " + std::to_string(lines.size()) + " of " +
              std::to_string(calls));
    if (lines.size() > 5) {
        Check(OperationOf(lines[0]) == "ReadReg 0x002e 0x21 = 0xff", "trace: " + lines[0]);
        Check(OperationOf(lines[1]) == "Outb 0x002e 0x87", "trace: " + lines[1]);
        Check(OperationOf(lines[5]) == "ReadReg 0x002e 0x21 = " + Hex(want_id),
              "trace: " + lines[5]);
        Check(lines.back().find_first_not_of("0123456789") == lines.back().find(' '),
              "trace lines start with milliseconds: " + lines.back());
        const std::string pid = " pid=" + std::to_string(GetCurrentProcessId()) + " ";
        Check(lines.back().find(pid) == lines.back().find(' '),
              "trace lines name this process second: " + lines.back());
    }

    FreeLibrary(dll);
    if (beside) DeleteFileA(board.c_str());
    std::printf("%s\n", g_failures == 0 ? "ALL OK" : "FAILURES");
    return g_failures == 0 ? 0 : 1;
}

#!/usr/bin/python3
"""Long run: the installed Kelvane under Wine for LONG_RUN_MINUTES (default 30) with its window
visible and a CPU alarm that comes and goes, measuring private memory and GDI and USER objects
at the start and the end. Not part of CI; the figures go into docs/reliability.md between
"<!-- long-run -->" and "<!-- /long-run -->".

    scripts/build.sh && scripts/long-run.py

LONG_RUN_DISPLAY picks the virtual screen (default 127); LONG_RUN_SWITCH_SECONDS how long each
phase (hot, then normal) lasts (default 120). Everything stays in build/long-run.
"""
import os
import re
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
os.environ.setdefault("KELVANE_E2E_WORK", os.path.join(ROOT, "build", "long-run"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

from harness import MAIN_TITLE, Display, Kelvane  # noqa: E402

MINUTES = float(os.environ.get("LONG_RUN_MINUTES", "30"))
SWITCH = float(os.environ.get("LONG_RUN_SWITCH_SECONDS", "120"))
INI = "C:\\Program Files\\Kelvane\\kelvane.ini"
FAN_RECORDS = "".join(
    "[Default Fan Ctrl %d]\nMode=0\nS0=30\nS1=40\nS2=60\nDeltaTemp=2\nSpeed0=40\n" % n
    for n in range(3))
# The CPU at 80 C against a limit of 40: over temperature and, with C:\hwm.txt, critical.
HOT = "[Chip]\nId=0x12\nRevision=8\n[Registers]\n2A=0x50\n[Hold]\n6C=0x28\n0E=150\n"
NORMAL = "[Chip]\nId=0x12\nRevision=8\n[Registers]\n2A=0x1E\n[Hold]\n6C=0x28\n0E=150\n"
FIELDS = ("private", "working_set", "gui_gdi", "gui_user", "gdi_table", "windows")


def unix_memory(k):
    """Anonymous and private resident memory (kB) of the Unix process that runs kelvane.exe in
    this prefix: Wine reports no private bytes for another process."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if b"kelvane.exe" not in f.read():
                    continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                if ("WINEPREFIX=" + k.prefix).encode() not in f.read().split(b"\0"):
                    continue
            found = {}
            with open("/proc/%s/status" % pid) as f:
                for line in f:
                    key, _, value = line.partition(":")
                    if key in ("RssAnon", "VmData"):
                        found[key] = int(value.split()[0])
            with open("/proc/%s/smaps_rollup" % pid) as f:
                for line in f:
                    key, _, value = line.partition(":")
                    if key in ("Private_Clean", "Private_Dirty"):
                        found["private_kb"] = found.get("private_kb", 0) + int(value.split()[0])
            return found
        except OSError:
            continue
    return {}


def sample(k):
    out = k.probe("resources", MAIN_TITLE).stdout
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    result = {f: int(values.get(f, "-1")) for f in FIELDS}
    unix = unix_memory(k)
    for key in ("private_kb", "RssAnon", "VmData"):
        result[key] = unix.get(key, -1)
    return result


def main():
    display = Display(int(os.environ.get("LONG_RUN_DISPLAY", "127")))
    k = Kelvane("run", display)
    samples = []
    hot_phases = 0
    try:
        k.write(INI, "[Option]\nSoundWarnning=3\nBeepWaitTimes=3\n" + FAN_RECORDS)
        k.write("C:\\hwm.txt", b"")
        k.describe_board(NORMAL)
        k.start()
        if not k.wait_window(timeout=60):
            raise SystemExit("main window did not appear")
        time.sleep(30)  # past the warm-up, the first windows and pictures made
        started = time.time()
        samples.append((0.0, sample(k)))
        print("start:", samples[-1][1], flush=True)
        end = started + MINUTES * 60
        hot = False
        next_switch = started
        next_sample = started + 300
        while time.time() < end:
            now = time.time()
            if now >= next_switch:
                hot = not hot
                hot_phases += hot
                k.describe_board(HOT if hot else NORMAL)
                next_switch = now + SWITCH
            if now >= next_sample:
                samples.append(((now - started) / 60, sample(k)))
                print("%.0f min:" % samples[-1][0], samples[-1][1], flush=True)
                next_sample = now + 300
            time.sleep(2)
        # End on a normal phase, so the last sample does not catch an episode's windows open.
        k.describe_board(NORMAL)
        time.sleep(30)
        samples.append(((time.time() - started) / 60, sample(k)))
        print("end:", samples[-1][1], flush=True)
        records = len(re.findall(rb"\r\n\r\n", k.read("C:\\hwm.txt")))
    finally:
        k.stop()
        display.close()

    first, last = samples[0][1], samples[-1][1]
    lines = [
        "Measured %s by scripts/long-run.py: %.0f minutes under %s on a virtual screen, the main "
        "window visible, the board switching every %.0f s between a CPU at 80 C over a limit of "
        "40 (critical: C:\\hwm.txt present, wave alarm) and a normal CPU, %d hot phases, "
        "C:\\hwm.txt grew by about %d records."
        % (time.strftime("%Y-%m-%d", time.gmtime()), samples[-1][0],
           subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip(),
           SWITCH, hot_phases, records),
        "",
        "| Minute | Private memory (kB) | Anonymous resident (kB) | Data segment (kB) | "
        "Working set (bytes) | GDI objects (handle table) | GetGuiResources GDI / USER | "
        "Windows of the process |",
        "|---|---|---|---|---|---|---|---|",
    ]
    for minute, s in samples:
        lines.append("| %.0f | %d | %d | %d | %d | %d | %d / %d | %d |" % (
            minute, s["private_kb"], s["RssAnon"], s["VmData"], s["working_set"],
            s["gdi_table"], s["gui_gdi"], s["gui_user"], s["windows"]))
    lines.append("")
    lines.append(
        "Private memory is what Linux counts as private to the process running kelvane.exe "
        "(Wine's GetProcessMemoryInfo reports no private bytes for another process).")
    lines.append("")
    lines.append("Change from start to end: private memory %+d kB, anonymous resident %+d kB, "
                 "GDI objects %+d, windows %+d." % (
                     last["private_kb"] - first["private_kb"], last["RssAnon"] - first["RssAnon"],
                     last["gdi_table"] - first["gdi_table"], last["windows"] - first["windows"]))
    figures = "\n".join(lines) + "\n"
    print(figures)
    doc = os.path.join(ROOT, "docs", "reliability.md")
    with open(doc) as f:
        text = f.read()
    marked = re.compile(r"(<!-- long-run -->\n).*?(<!-- /long-run -->)", re.S)
    if marked.search(text):
        with open(doc, "w") as f:
            f.write(marked.sub(lambda m: m.group(1) + figures + m.group(2), text))
        print("figures written to", doc)


if __name__ == "__main__":
    main()

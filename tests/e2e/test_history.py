"""The history on the simulated board: a CPU that overheats within seconds writes an incident
file whose rows are the board's readings tick by tick, the History window opens from the tray
menu and from a temperature display, and the day file holds the minutes."""
import glob
import os
import time

from harness import (MAIN_TITLE, SHOTS, check, open_tray_menu, trace_ops, ticks, wait_exit,
                     xdotool)
from imaging import crop
from test_options import OPTION_LABEL
from test_faults import NORMAL, label1, tray_tips
from test_shell import ABOUT_TITLE, OPTIONS_TITLE, WARNING_TITLE

ABOUT_LABEL = 1012

INI = "C:\\Program Files\\Kelvane\\kelvane.ini"
HISTORY_TITLE = "History (Kelvane Ver 5.07)"
DATA = "C:\\ProgramData\\Kelvane"

# The CPU (channel 1) starts at 45 C and heats towards 40 + 60 C within seconds, more than the
# limit of 70 even with its fan at full speed; the readings move every second.
HOT_BOARD = """[Chip]
Id=0x12
Revision=8
[Registers]
29=38
2A=45
2B=36
[Hold]
62=0x46
6A=0x46
[Thermal]
Enabled=1
Ambient=40
Heat0=5
Heat1=60
Heat2=2
Cooling=20
TimeConstant=6
Wave=8
Period=20
"""

TEMP_REGS = ("ReadReg 0x0295 0x29 = ", "ReadReg 0x0295 0x2a = ", "ReadReg 0x0295 0x2b = ")


def tick_temperatures(tick_ops):
    """The three temperatures one tick read, in channel order."""
    found = []
    for prefix in TEMP_REGS:
        values = [int(op.split("= ")[1], 16) for op in tick_ops if op.startswith(prefix)]
        found.append(values[0] if values else None)
    return found


def rows_of(path):
    with open(path, newline="") as f:
        text = f.read()
    check(text.endswith("\r\n"), "the file does not end with CR LF")
    return [line.split(",") for line in text.split("\r\n") if line]


def tray_menu_key(k, key):
    """Opens the tray menu with the right button and picks an item by its underlined letter."""
    open_tray_menu(k)
    time.sleep(0.3)
    k.key(key)


def wait_visible(k, title, visible, timeout=10):
    return k.wait_for(lambda: k.window(title).get("visible") == ("1" if visible else "0"),
                      timeout=timeout, step=0.1)


def test_history_hot_episode_incident_and_window(k):
    k.describe_board(HOT_BOARD)
    k.write(INI, "[Option]\r\nSoundWarnning=0\r\n")
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear")
    incidents = k.c_path(DATA + "\\incidents")
    found = k.wait_for(lambda: glob.glob(os.path.join(incidents, "*-cpu-over.csv")), timeout=60)
    check(len(found) == 1, "no single cpu-over incident file: %s" % found)
    incident = found[0]
    check(os_name_ok(os.path.basename(incident)), "incident name: %s" % incident)
    written_at_once = rows_of(incident)
    # Named by the main window's headings, with units, so that it reads without the README.
    header = written_at_once[0]
    check(header[:9] == ["time", "status", "status_text", "lasting", "critical", "reachable",
                         "System (C)", "CPU (C)", "Panel (C)"]
          and header[-2:] == ["System limit (C)", "CPU limit (C)"], "header: %s" % header)
    check(len(written_at_once) >= 20, "the ring's seconds were not written at once: %d rows"
          % len(written_at_once))

    # The History window from the tray menu's "&History", on its shortest span.
    started = time.time()
    tray_menu_key(k, "h")
    check(wait_visible(k, HISTORY_TITLE, True), "the tray menu's History did not open the window")
    print("History window shown %.0f ms after the menu key" % (1000 * (time.time() - started)))
    k.key("plus")
    time.sleep(1.5)
    info = k.window(HISTORY_TITLE)
    left, top = int(info["left"]), int(info["top"])
    width, height = int(info["width"]), int(info["height"])
    # The crosshair over the last seconds of the temperature plot.
    xdotool(k, "mousemove", left + width - 40, top + height // 4)
    time.sleep(1.5)
    shot = k.screenshot("history-screen.png")
    os.replace(shot, os.path.join(k.dir, "history-screen.png"))
    crop(os.path.join(k.dir, "history-screen.png"), left, top, width, height,
         os.path.join(SHOTS, "history.png"))

    # Closing only hides it; a click on a temperature display brings it back, on the span that
    # frames the episode going on (10 minutes), not the 31 days last chosen.
    k.probe("command", HISTORY_TITLE, 10 + 4)
    check(k.wait_for(lambda: span_checked(k, 4), timeout=5), "31 days was not chosen")
    k.key("alt+F4")
    check(wait_visible(k, HISTORY_TITLE, False), "the History window did not close")
    started = time.time()
    k.probe("click", MAIN_TITLE, 1201)
    check(wait_visible(k, HISTORY_TITLE, True), "a click on the CPU display did not open History")
    print("History window shown again %.0f ms after the click" % (1000 * (time.time() - started)))
    check(span_checked(k, 0) and not span_checked(k, 4),
          "the window reopened on another span than 10 minutes")

    # The tray menu's Exit: the episode's buffered seconds and the open minute go out.
    k.key("alt+F4")
    tray_menu_key(k, "x")
    check(wait_exit(proc, 20), "the tray menu's Exit did not end the program")

    rows = rows_of(incident)
    check(rows[-1] == ["# Kelvane ended during the episode"], "last line: %s" % rows[-1])
    rows = rows[1:-1]
    per_tick = ticks(trace_ops(k))
    # The ring started with the first tick, so row i is tick i, one second apart.
    check(len(rows) == len(per_tick), "%d rows for %d ticks" % (len(rows), len(per_tick)))
    hot = 0
    for i, (row, tick_ops) in enumerate(zip(rows, per_tick)):
        want = tick_temperatures(tick_ops)
        check(len(row) == len(header), "row %d: %d cells for %d names" % (i, len(row), len(header)))
        got = [int(v) for v in row[6:9]]
        check(got == want, "row %d: temperatures %s, the board gave %s" % (i, got, want))
        check(row[5] == "1", "row %d not reachable: %s" % (i, row))
        check(row[-2:] == ["70", "70"], "row %d: limits %s" % (i, row[-2:]))
        hot += 1 if want[1] > 70 else 0
        if i >= 6 and want[1] > 70:
            check(row[1:3] == ["1", "CPU Temperature Over..."],
                  "row %d: status %s at %d C" % (i, row[1:3], want[1]))
    check(hot >= 10 and len(set(tuple(tick_temperatures(t)) for t in per_tick)) >= 8,
          "the board did not move: %d hot ticks" % hot)
    check(rows[0][0][19] in "+-" and rows[0][0][10] == "T", "time: %s" % rows[0][0])

    days = glob.glob(os.path.join(k.c_path(DATA + "\\history"), "*.csv"))
    check(len(days) == 1, "day files: %s" % days)
    minutes = rows_of(days[0])
    check(minutes[0][:3] == ["time", "samples", "status"] and len(minutes) >= 2,
          "day file: %s" % minutes[:2])
    check(sum(int(m[1]) for m in minutes[1:]) == len(per_tick),
          "the minutes count %s ticks, the trace %d" % ([m[1] for m in minutes[1:]],
                                                        len(per_tick)))


def span_checked(k, span):
    """Whether the History window's button of span 0 (10 minutes) .. 4 (31 days) is pressed."""
    return "checked=1" in k.probe("button", HISTORY_TITLE, 10 + span).stdout


def fit_facts(k, title):
    """The probe's fit report: the window's facts and one dict per push button."""
    facts, buttons = {}, []
    for line in k.probe("fit", title).stdout.splitlines():
        if line.startswith("button "):
            fields, _, text = line[len("button "):].partition(" text=")
            buttons.append(dict(f.split("=", 1) for f in fields.split()) | {"text": text})
        elif "=" in line:
            key, value = line.split("=", 1)
            facts[key] = value
    return facts, buttons


def test_large_fonts_keep_windows_and_captions_in_view(k):
    # Kelvane declares no DPI awareness; Wine draws its text larger and leaves the pixels.
    k.describe_board(HOT_BOARD)
    k.write(INI, "[Option]\r\nSoundWarnning=0\r\n")
    for dpi in (144, 96):
        k.stop()
        k.run_windows("reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                      "REG_DWORD", "/d", str(dpi), "/f", check=True)
        k.stop()
        proc = k.start()
        check(k.wait_window(timeout=40), "main window did not appear at %d dpi" % dpi)
        k.probe("click", MAIN_TITLE, 1201)
        check(wait_visible(k, HISTORY_TITLE, True), "no History window at %d dpi" % dpi)
        k.probe("click", MAIN_TITLE, OPTION_LABEL)
        check(k.wait_window(OPTIONS_TITLE, timeout=15), "no Options at %d dpi" % dpi)
        k.probe("click", MAIN_TITLE, ABOUT_LABEL)
        check(k.wait_window(ABOUT_TITLE, timeout=15), "no About at %d dpi" % dpi)
        k.screenshot("large-fonts-%d.png" % dpi)
        facts = {title: fit_facts(k, title)
                 for title in (MAIN_TITLE, HISTORY_TITLE, OPTIONS_TITLE, ABOUT_TITLE)}
        # Hiding all loads the warning window hidden, where it would show.
        k.key("ctrl+alt+shift+F12")
        check(wait_visible(k, MAIN_TITLE, False), "F12 did not hide at %d dpi" % dpi)
        facts[WARNING_TITLE] = fit_facts(k, WARNING_TITLE)
        pushed, faults = 0, []
        for title, (window, buttons) in facts.items():
            if window.get("dpi") != str(dpi):
                faults.append("%s: the prefix is at %s dpi" % (title, window.get("dpi")))
            if window.get("inside") != "1":
                faults.append("%s leaves the work area: %s" % (title, window))
            faults += ["%s cuts a button's caption: %s" % (title, b)
                       for b in buttons if b["fits"] != "1"]
            pushed += len(buttons)
        check(not faults, "at %d dpi:\n%s" % (dpi, "\n".join(faults)))
        # History's five spans, Save and Open folder; Options' four; About's two; the warning's OK.
        check(pushed >= 14, "only %d push buttons measured at %d dpi" % (pushed, dpi))
        proc.kill()


# Steady temperatures over both fans' upper step points (40 C), under the limits of 70: fans 0
# and 1 stay at software step 20, where the CPU fan turns 5,300 rpm. MaxRpm1 wears it.
def steady_board(max_rpm1):
    return """[Chip]
Id=0x12
Revision=8
[Registers]
29=45
2A=54
2B=36
60=30
61=40
62=0x46
68=30
69=40
6A=0x46
[Thermal]
Enabled=1
Ambient=30
Heat0=25
Heat1=40
Heat2=10
Cooling=60
TimeConstant=5
MaxRpm0=4800
MaxRpm1=%d
MaxRpm2=4600
StallPwm=2
Spin=60
Wave=0
""" % max_rpm1


def sealed(body):
    """A text closed by its check line, as Kelvane keeps its own files."""
    h = 2166136261
    for byte in body.encode("latin-1"):
        h = ((h ^ byte) * 16777619) & 0xFFFFFFFF
    return body + "Check=0x%08X\r\n" % h


def metric(k, path, line_start):
    """The value of the metrics file's sample that starts so, or None."""
    if not os.path.exists(path):
        return None
    for line in open(path).read().splitlines():
        if line.startswith(line_start + " "):
            return line[len(line_start) + 1:]
    return None


def test_maintenance_notice_comes_with_a_worn_cpu_fan_and_goes(k):
    # A terminal that learned its normal a week ago, the CPU fan at 5,300 rpm at step 20, and
    # has worn it since: 5,400 rpm at full PWM instead of 8,000, a third slower at step 20.
    k.describe_board(steady_board(5400))
    os.makedirs(k.c_path("C:\\metrics"))
    prom = k.c_path("C:\\metrics\\k.prom")
    k.write(INI, "[Option]\r\nSoundWarnning=0\r\n[Export]\r\nTextFile=C:\\metrics\\k.prom\r\n"
            "[Maintenance]\r\nBaselineMinutes=3\r\nWindowMinutes=2\r\n")
    body = ("[Maintenance baseline]\r\nLearned=1765000000\r\nLearnedDate=2025-12-06\r\n"
            "Minutes=10080\r\n"
            + "".join("Speed%dStep%d=%s\r\n" % (n, s, "5300" if (n, s) == (1, 20) else "")
                      for n in (0, 1) for s in (0, 4, 20))
            + "RiseStep0=\r\nRiseStep4=\r\nRiseStep20=\r\nTopShare=\r\n")
    k.write(DATA + "\\maintenance-baseline.ini", sealed(body))
    started = time.time()
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear")
    cpu_ratio = 'kelvane_fan_speed_ratio{channel="1",name="CPU"}'
    worn = 'kelvane_maintenance{reason="cpu_fan_slower"}'

    def ratio():
        value = metric(k, prom, cpu_ratio)
        return None if value in (None, "NaN") else float(value)
    # The first whole minute at one step is compared with the baseline.
    check(k.wait_for(lambda: metric(k, prom, worn) == "1", timeout=150),
          "no notice for a worn fan; ratio %s, metrics:\n%s"
          % (ratio(), open(prom).read() if os.path.exists(prom) else "none"))
    print("notice %.0f s after the start" % (time.time() - started))
    check(metric(k, prom, "kelvane_baseline_ready") == "1", "the baseline was not read")
    check(ratio() < 0.75, "a worn fan's ratio: %s" % ratio())
    tips = k.probe("tooltips").stdout
    check("The CPU fan turns 3" in tips and "% slower than it did: clean or replace it." in tips,
          "tray tips: %s" % tips)
    # A notice, not a fault: the status stays normal, no warning window.
    check(label1(k) == NORMAL, "status line with a notice: %s" % label1(k))
    check(metric(k, prom, "kelvane_status_code") == "0", "status code with a notice")
    check(metric(k, prom, "kelvane_alarm_lasting") == "0", "lasting alarm with a notice")
    check(k.window(WARNING_TITLE).get("visible") != "1", "the warning window opened")
    k.probe("click", MAIN_TITLE, ABOUT_LABEL)
    check(k.wait_window(ABOUT_TITLE, timeout=15), "About did not open")
    listing = k.probe("children", ABOUT_TITLE).stdout
    check("Maintenance: The CPU fan turns 3" in listing and "at step 20, was 5,300)" in listing
          and "Maintenance baseline: learned 2025-12-06" in listing,
          "About lacks the notice:\n%s" % listing)
    k.key("Escape")

    # A new fan: once the window's median is back the notice ends, and the healthy fan turns
    # as the baseline says.
    k.describe_board(steady_board(8000))
    check(k.wait_for(lambda: metric(k, prom, worn) == "0", timeout=200),
          "the notice stayed after the fan was mended; ratio %s" % ratio())
    print("notice ended %.0f s after the start" % (time.time() - started))
    check(0.95 < ratio() < 1.05, "a healthy fan's ratio: %s" % ratio())
    check(k.wait_for(lambda: "slower" not in k.probe("tooltips").stdout, timeout=10),
          "the tray still tells the notice")
    check(proc.poll() is None, "Kelvane ended")
    proc.kill()


def os_name_ok(name):
    stamp = name[:15]
    return len(stamp) == 15 and stamp[8] == "-" and stamp.replace("-", "").isdigit()


CASES = [
    test_history_hot_episode_incident_and_window,
    test_large_fonts_keep_windows_and_captions_in_view,
    test_maintenance_notice_comes_with_a_worn_cpu_fan_and_goes,
]

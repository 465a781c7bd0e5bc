"""Faults from outside: a missing or planted driver, a dead bus, log files that cannot be
written, damaged settings, port programs and set-file names. Kelvane must keep running (or
end exactly where the set-file gate ends it) and must not damage what its files held."""
import os
import random
import re
import shutil
import time

from harness import MAIN_TITLE, check
from harness import trace_ops as ops
from test_monitor import child_screen_rect, reddish_pixels

UNREACHABLE = "Hardware monitor not reachable: brantelvio.dll"
ABOUT_TITLE = "About Kelvane Ver5.07"
NORMAL = "Normal..."
ERROR_WINDOW = "Warning Message Ver 5.07"
QUICK_TITLE = "Fan control set-up"
LABEL1, TEXT8, TEXT11, TEXT12 = 1301, 1408, 1411, 1412
HEADING0, TEMP_LABEL0, IMAGE0 = 1000, 1100, 1220
TOOL = "C:\\POS\\Vorlind\\Vorlind Fan control Tool\\"
INI = "C:\\Program Files\\Kelvane\\kelvane.ini"

# Design geometry in pixels (twips / 15), as the window shows it without settings.
DESIGN_WIDTH, DESIGN_HEIGHT = 7680 // 15, 6570 // 15
DESIGN_IMAGE0_LEFT = 8
DESIGN_VIN5_TOP = 272

# A described board: nothing moves, CPU 40 C, system 38 C, every fan turning.
QUIET_BOARD = "[Registers]\n2A=0x28\n29=0x26\n"
CPU_OVER = "CPU Temperature Over..."




def tray_tips(k):
    """The texts of the tooltips on the desktop: the tray icons' tips among them."""
    return [line[4:] for line in k.probe("tooltips").stdout.splitlines() if line.startswith("tip=")]


def ticks_started(k):
    # Every tick reads channel 0's temperature once, and nothing else reads that register.
    return sum(1 for op in ops(k) if op.startswith("ReadReg 0x0295 0x29 "))


def label1(k):
    return k.child(LABEL1).get("text")


def alive(k, proc, what):
    check(proc.poll() is None, "Kelvane ended %s (exit code %s)" % (what, proc.returncode))
    count = k.probe("count", MAIN_TITLE).stdout.strip()
    check(count == "1", "%s: expected the main window once, found %s" % (what, count))


def started(k, timeout=40, **start_env):
    proc = k.start(**start_env)
    check(k.wait_window(timeout=timeout), "main window did not appear")
    return proc


def wait_label(k, text, timeout=20):
    """Waits for Label1 to read `text`; returns every text seen on the way."""
    seen = []

    def reads():
        seen.append(label1(k))
        return seen[-1] == text
    k.wait_for(reads, timeout=timeout, step=0.5)
    return seen


def fan_block_writes(k):
    """Writes to the fans' parameter blocks 0x60..0x77 at the monitor's port."""
    return [op for op in ops(k) if re.match(r"WriteReg 0x0295 0x[67][0-9a-f] ", op)]


def first_tick_index(lines):
    """Index of the first monitor tick's first access (channel 0 selects its bank)."""
    for i, op in enumerate(lines):
        if re.match(r"WriteReg 0x[0-9a-f]{4} 0x51 ", op):
            return i
    return len(lines)


# The driver library.

def test_driver_missing_and_planted_copies_are_never_loaded(k):
    # CPU at 60 C: between the shipped CPU fan's S1 + 1 and its limit, where a fan reading
    # 0 rpm is out of order.
    k.describe_board("[Registers]\n2A=0x3C\n29=0x26\n")
    dll = k.program_file("brantelvio.dll")
    plant = k.c_path("C:\\plant")
    os.makedirs(plant)
    shutil.copy(dll, os.path.join(plant, "brantelvio.dll"))
    # Also on the search path: only the program folder counts.
    shutil.copy(dll, k.c_path("C:\\windows\\brantelvio.dll"))
    kept = os.path.join(k.dir, "brantelvio.dll")
    shutil.move(dll, kept)
    ini_before = k.read(INI)

    proc = k.start_in(plant)
    check(k.wait_window(timeout=40), "main window did not appear without the driver")
    shown_at = time.time()
    seen = []
    # Past the warm-up: a status action would have written "Normal..." by now.
    while time.time() - shown_at < 10:
        seen.append(label1(k))
        time.sleep(0.5)
    alive(k, proc, "without its driver library")
    check(NORMAL not in seen, "status claimed a working monitor without a driver: %s" % seen)
    check(seen[-1] == UNREACHABLE, "status does not say the monitor is unreachable: %s" % seen[-3:])
    check(k.trace_lines() == [], "a planted driver library was loaded: %s" % k.trace_lines()[:3])
    check(k.read(INI) == ini_before, "kelvane.ini changed")

    # The driver comes back (an installer finishing late): Kelvane picks it up by itself and
    # first takes the chip steps start-up could not: identification, the fan divisors, ...
    shutil.copy(kept, dll)
    seen = wait_label(k, NORMAL, timeout=15)
    check(seen[-1] == NORMAL, "status did not recover after the driver came back: %s" % seen[-3:])
    check(k.child(TEXT11).get("text") == "60", "CPU temperature not read after recovery: %s"
          % k.child(TEXT11))
    lines = ops(k)
    key = ["Outb 0x002e 0x87", "Outb 0x002e 0x01", "Outb 0x002e 0x55", "Outb 0x002e 0x55"]
    check(lines[:4] == key, "the chip was not identified when the driver came: %s" % lines[:6])
    check(any(op.startswith("ReadReg 0x0295 0x0b ") for op in lines[:40]),
          "fan divisors not read when the driver came: %s" % lines[:40])
    # ... so the fans read their speed and no fan alarm follows.
    came = time.time()
    while time.time() - came < 20:
        seen.append(label1(k))
        time.sleep(1)
    check(seen[-1] == NORMAL and "The CPU fan is out of order." not in seen,
          "status after the driver came back: %s" % seen[-5:])
    alive(k, proc, "after the driver came back")


def open_bus_case(k, value):
    k.describe_board("[Faults]\nOpenBus=0x%02X\n" % value)
    ini_before = k.read(INI)
    proc = started(k)
    seen = wait_label(k, NORMAL, timeout=20)
    check(seen[-1] == NORMAL, "status not normal after warm-up on a bus reading 0x%02x: %s"
          % (value, seen[-3:]))
    check(UNREACHABLE not in seen, "a dead bus was reported as a missing library: %s" % seen)
    time.sleep(1.5)  # a few normal ticks for the fan steps
    alive(k, proc, "on a bus reading 0x%02x" % value)
    for control, name in ((TEXT11, "CPU"), (TEXT12, "system")):
        text = k.child(control).get("text")
        check(text == "0", "%s temperature on a bus reading 0x%02x is %r" % (name, value, text))
    check(k.child(TEXT8).get("text") == str(value), "CPU limit field: %s" % k.child(TEXT8))
    # The normal fan steps: with every limit 0 a temperature of 0 is at the upper step;
    # with every limit 255 it is below the lower one.
    step = "0x14" if value == 0 else "0x00"
    lines = ops(k)
    tail = lines[first_tick_index(lines):]
    # The fan watch sees the limits the start-up apply wrote missing: it restores them once
    # (the control register back to its automatic selector), then gives the chip up.
    for reg in ("0x15", "0x16"):
        writes = [op for op in tail if op.startswith("WriteReg 0x0295 %s " % reg)]
        restores = [op for op in writes if int(op.split()[-1], 16) & 0x80]
        check(len(restores) <= 1 and set(writes) - set(restores) ==
              {"WriteReg 0x0295 %s %s" % (reg, step)},
              "fan step register %s on a bus reading 0x%02x: %s" % (reg, value, sorted(set(writes))))
    check(k.read(INI) == ini_before, "kelvane.ini changed")


def test_bus_reading_all_zeros(k):
    open_bus_case(k, 0x00)


def test_bus_reading_all_ones(k):
    open_bus_case(k, 0xFF)


# Log files during a critical CPU over-temperature (100 C against the shipped limit of 70 C).

CRITICAL_BOARD = "[Hold]\n2A=0x64\n"
OLD_HISTORY = b"Date:1/2/2025  Time:3:04:05 AM\r\nan earlier record\r\n\r\n"
OLD_FAULTS = b"Date:1/2/2025  Time:3:04:06 AM\r\nan earlier fault\r\n\r\n"


def critical_episode(k):
    """Runs the episode to the error window; returns (seconds, ticks) at which it showed."""
    k.describe_board(CRITICAL_BOARD)
    t0 = time.time()
    proc = k.start()
    check(k.wait_window(ERROR_WINDOW, timeout=50), "error window did not open")
    seconds, ticks = time.time() - t0, ticks_started(k)
    alive(k, proc, "after the error window opened")
    info = k.window()
    check(info.get("visible") == "1" and info.get("iconic") == "0",
          "main window not restored during the critical episode: %s" % info)
    check(label1(k) == "CPU Temperature Over...", "status: %r" % label1(k))
    return seconds, ticks


def check_on_time(seconds, ticks):
    # The window belongs to the episode's 21st tick, the 27th after start-up: six warm-up
    # ticks, then twenty episode ticks, each counted once even when a log write fails.
    check(26 <= ticks <= 28,
          "error window opened on tick %d (%.0f s after start)" % (ticks, seconds))


def check_failed_log_tick_runs_status_action_once(k, window_tick):
    # A log that cannot be written costs the tick its critical state and nothing more: the
    # status action is not run a second time, so the fan is forced once and the episode
    # counter advances once.
    lines = ops(k)
    starts = [i for i, op in enumerate(lines) if op.startswith("ReadReg 0x0295 0x29 ")]
    check(len(starts) >= 22, "trace too short: %d ticks" % len(starts))

    def forced(tick):  # 1-based tick number
        return lines[starts[tick - 1]:starts[tick]].count("WriteReg 0x0295 0x16 0x7f")
    for tick in (20, 21, 22):
        check(forced(tick) == 1, "tick %d forced the CPU fan %d times (error window on tick %d)"
              % (tick, forced(tick), window_tick))


def test_read_only_history_file_during_critical_episode(k):
    k.write("C:\\hwm.txt", OLD_HISTORY)
    k.write("C:\\ng.txt", OLD_FAULTS)
    undo = k.make_read_only("C:\\hwm.txt")
    try:
        seconds, ticks = critical_episode(k)
        history = k.read("C:\\hwm.txt")
    finally:
        undo()
    check(history == OLD_HISTORY, "read-only history file changed: %r" % history[:200])
    # The history record comes first; once it fails, the fault file is not reached.
    check(k.read("C:\\ng.txt") == OLD_FAULTS, "fault file changed: %r" % k.read("C:\\ng.txt")[:200])
    check_on_time(seconds, ticks)
    check_failed_log_tick_runs_status_action_once(k, ticks)


def test_locked_fault_file_during_critical_episode(k):
    k.write("C:\\hwm.txt", OLD_HISTORY)
    k.write("C:\\ng.txt", OLD_FAULTS)
    k.hold_locked("C:\\ng.txt", 120)
    seconds, ticks = critical_episode(k)
    history = k.read("C:\\hwm.txt")
    check(history.startswith(OLD_HISTORY), "history file lost its content: %r" % history[:200])
    record = history[len(OLD_HISTORY):].decode("latin-1").split("\r\n")
    check(len(record) == 10 and record[0].startswith("Date:") and record[9] == "",
          "history file did not get exactly one record: %r" % record)
    check(record[2] == "CPUTemperature    => 100" and record[6] == "ErrorCode         => 1"
          and record[7] == "CPU Temperature Over..." and record[8] == "",
          "history record: %r" % record)
    check(k.read("C:\\ng.txt") == OLD_FAULTS, "locked fault file changed: %r"
          % k.read("C:\\ng.txt")[:200])
    check_on_time(seconds, ticks)
    check_failed_log_tick_runs_status_action_once(k, ticks)


# Damaged settings files.

def settings_case(k, content, board=QUIET_BOARD):
    """Starts Kelvane on `content` as kelvane.ini; returns the process once the window shows."""
    k.describe_board(board)
    k.write(INI, content)
    proc = started(k)
    return proc


def check_design_layout(k, what):
    info = k.window()
    check((int(info["width"]), int(info["height"])) == (DESIGN_WIDTH, DESIGN_HEIGHT),
          "%s: window not at its design size: %s" % (what, info))
    for i, caption in enumerate(("System", "CPU", "Panel")):
        text = k.child(HEADING0 + i).get("text")
        check(text == caption, "%s: heading %d reads %r" % (what, i, text))
    check(int(k.child(IMAGE0)["left"]) == DESIGN_IMAGE0_LEFT, "%s: item picture moved" % what)


def check_shown(k, what):
    info = k.window()
    check(info.get("visible") == "1" and info.get("iconic") == "0",
          "%s: window not shown normally: %s" % (what, info))


def test_settings_file_of_binary_garbage(k):
    rng = random.Random(8)
    # Line ends, brackets and equals signs among the noise, and a NUL early on.
    alphabet = bytes(range(256)) + b"\r\n[]=" * 16
    garbage = b"\x00" + bytes(rng.choice(alphabet) for _ in range(64 * 1024))
    proc = settings_case(k, garbage)
    check_shown(k, "garbage settings")
    check_design_layout(k, "garbage settings")
    # No fan records: the chip keeps its own fan settings, and with them its limits.
    seen = wait_label(k, NORMAL, timeout=25)
    check(seen[-1] == NORMAL, "status on garbage settings: %s" % seen[-3:])
    check(not fan_block_writes(k), "fans programmed from values the file never gave: %s"
          % fan_block_writes(k)[:4])
    lines = ops(k)
    check(lines and lines[0].startswith("ReadReg 0x0295 "),
          "chip address not the default: %s" % lines[:1])
    alive(k, proc, "on garbage settings")
    check(k.read(INI) == garbage, "garbage settings file was rewritten")


def test_settings_file_with_100000_character_lines(k):
    long_caption = "A" * 100000
    content = ("[Option]\r\nstrAbout=" + "B" * 100000 + "\r\n"
               "[Label Option 0]\r\nCaption=" + long_caption + "\r\n"
               "[Label Option 1]\r\n" + "C" * 100000 + "\r\nCaption=After\r\n"
               "[" + "D" * 100000 + "]\r\nCaption=Nowhere\r\n"
               "[Label Option 2]\r\nCaption=Third\r\n").encode("ascii")
    proc = settings_case(k, content)
    check_shown(k, "long lines")
    heading0 = k.child(HEADING0).get("text", "")
    check(heading0 == "A" * 1023, "a 100000-character caption became %d characters"
          % len(heading0))
    check(k.child(HEADING0 + 1).get("text") == "After", "a long line swallowed the next key: %r"
          % k.child(HEADING0 + 1).get("text"))
    check(k.child(HEADING0 + 2).get("text") == "Third", "a long section name broke later "
          "sections: %r" % k.child(HEADING0 + 2).get("text"))
    seen = wait_label(k, NORMAL, timeout=25)  # no fan records: the chip keeps its own
    check(seen[-1] == NORMAL, "status with long lines: %s" % seen[-3:])
    alive(k, proc, "with 100000-character lines")
    check(k.read(INI) == content, "settings file was rewritten")


# Set-up mistakes: named as such, never a hardware alarm and never health.

def test_folder_named_kelvane_ini_is_a_setup_problem(k):
    k.describe_board(QUIET_BOARD)
    os.remove(k.c_path(INI))
    os.makedirs(k.c_path(INI))
    proc = started(k)
    text = "Check settings: kelvane.ini cannot be read"
    seen = wait_label(k, text, timeout=20)
    check(seen[-1] == text, "status does not tell the unreadable settings: %s" % seen[-3:])
    time.sleep(8)  # past the 25 s an over-temperature alarm used to need
    seen.append(label1(k))
    check(CPU_OVER not in seen and seen[-1] == text, "status on a folder: %s" % seen[-3:])
    k.screenshot("setup-problem.png")  # the status line in two lines of its own font
    check(not fan_block_writes(k), "fans programmed without settings: %s" % fan_block_writes(k)[:4])
    check(k.child(HEADING0).get("text") == "System" and k.child(HEADING0 + 1).get("text") == "CPU",
          "built-in headings: %s %s" % (k.child(HEADING0), k.child(HEADING0 + 1)))
    alive(k, proc, "with a folder for kelvane.ini")


def test_no_settings_file_is_a_working_default(k):
    k.describe_board(QUIET_BOARD)
    os.remove(k.c_path(INI))
    proc = started(k)
    seen = wait_label(k, NORMAL, timeout=20)
    time.sleep(15)  # an alarm from zero limits would have shown by now
    seen.append(label1(k))
    check(seen[-1] == NORMAL and CPU_OVER not in seen, "status without kelvane.ini: %s" % seen[-3:])
    check(not fan_block_writes(k), "fans programmed without settings: %s" % fan_block_writes(k)[:4])
    headings = [k.child(HEADING0 + i).get("text") for i in range(3)]
    check(headings == ["System", "CPU", "Panel"], "built-in headings: %s" % headings)
    # The chip keeps its own limits, so the built-in zeros turn no digit red.
    shot = k.screenshot("no-settings.png")
    red = [reddish_pixels(shot, child_screen_rect(k, 1200 + i)) for i in range(3)]
    check(red == [0, 0, 0], "red temperature digits without kelvane.ini: %s" % red)
    alive(k, proc, "without kelvane.ini")


def test_address_at_the_data_port_is_a_setup_problem(k):
    k.describe_board(QUIET_BOARD)
    os.makedirs(k.c_path("C:\\metrics"))
    k.write(INI, "[Option]\r\nAddress=662\r\n[Export]\r\nTextFile=C:\\metrics\\k.prom\r\n")
    proc = started(k)
    text = "Hardware monitor not at 0x296 (the chip says 0x295)"
    seen = wait_label(k, text, timeout=20)
    check(seen[-1] == text and NORMAL not in seen, "status at a wrong port: %s" % seen[-3:])
    lines = ops(k)
    found = max(i for i, op in enumerate(lines) if op.startswith("ReadReg 0x002e 0x61 "))
    late = [op for op in lines[found:] if " 0x0296 " in op or " 0x0297 " in op]
    check(late == [], "accesses at the wrong port after the chip said where: %s" % late[:4])
    check(k.child(TEMP_LABEL0).get("text") == "\u2013", "voltage field: %s" % k.child(TEMP_LABEL0))
    # Nothing was read, so nothing is told as a reading; a set-up problem, not an outage.
    check(k.wait_for(lambda: text in tray_tips(k), timeout=10), "tray tips: %s" % tray_tips(k))
    check(not any("\xb0" in tip for tip in tray_tips(k)), "a reading in the tray: %s" % tray_tips(k))
    prom = k.c_path("C:\\metrics\\k.prom")
    check(k.wait_for(lambda: os.path.exists(prom), timeout=10), "no metrics file")
    metrics = open(prom).read()
    for line in ('kelvane_setup_problem{reason="monitor_not_at_address"} 1',
                 "kelvane_status_code 0", "kelvane_hardware_reachable 1"):
        check(line in metrics.splitlines(), "metrics lack %r:\n%s" % (line, metrics))
    readings = [line for line in metrics.splitlines() if not line.startswith("#")
                and line.startswith(("kelvane_temperature", "kelvane_fan_speed", "kelvane_voltage"))]
    check(readings == [], "readings exported without a reading: %s" % readings)
    alive(k, proc, "with Address at the data port")


def test_value_that_does_not_fit_is_named_and_the_fleet_still_hears(k):
    k.describe_board(QUIET_BOARD)
    os.makedirs(k.c_path("C:\\metrics"))
    k.write(INI, "[VIN2]\r\nDefaultTemp=50000\r\n[Export]\r\nTextFile=C:\\metrics\\k.prom\r\n")
    proc = started(k)
    text = "Check settings: stopped at [VIN2] DefaultTemp"
    seen = wait_label(k, text, timeout=20)
    check(seen[-1] == text and NORMAL not in seen, "status after the stop: %s" % seen[-3:])
    prom = k.c_path("C:\\metrics\\k.prom")
    check(k.wait_for(lambda: os.path.exists(prom), timeout=10), "no metrics file after the stop")
    metrics = open(prom).read()
    check('kelvane_setup_problem{reason="settings_stopped"} 1' in metrics
          and "kelvane_status_code 0" in metrics, "metrics after the stop:\n%s" % metrics)
    k.probe("click", MAIN_TITLE, 1012)
    check(k.wait_window(ABOUT_TITLE, timeout=10), "About did not open")
    listing = k.probe("children", ABOUT_TITLE).stdout
    for line in ("kelvane.ini (stopped at [VIN2] DefaultTemp)",
                 "Set-up problem: the settings loader stopped at [VIN2] DefaultTemp"):
        check(line in listing, "About lacks %r:\n%s" % (line, listing))
    alive(k, proc, "after a value that does not fit")


SIXTEEN_BIT_KEYS = (
    [("Option", key) for key in ("Address", "BeepWaitTimes", "UserScroll", "SoundWarnning",
                                 "ExecuteAtStartup", "DisplayOnTop", "DisplayScale")]
    + [("VIN%d" % v, key) for v in range(9) for key in ("DefaultTemp", "Enable", "Percent")]
    + [("%s %d" % (section, n), key)
       for section in ("Default Fan Ctrl", "Fan Ctrl Option") for n in range(3)
       for key in ("Mode", "SwFan", "TmpAlarm", "S0", "S1", "S2", "S3", "S4", "DeltaTemp",
                   "Speed0", "Speed1", "Speed2")]
    + [("Default Fan Ctrl %d" % n, "UserCtl") for n in range(3)])


def every_key_at(value):
    sections = {}
    for section, key in SIXTEEN_BIT_KEYS:
        sections.setdefault(section, []).append("%s=%d" % (key, value))
    # A caption (read after every [Option] key) and a Modulate (read after most fan keys)
    # show how far loading got.
    sections["Label Option 0"] = ["Caption=Edge"]
    sections["Default Fan Ctrl 1"].insert(-1, "Modulate=X=T+5")
    return "".join("[%s]\r\n%s\r\n" % (s, "\r\n".join(keys)) for s, keys in sections.items())


def extreme_case(k, value):
    port = value & 0xFFFF
    content = every_key_at(value).encode("ascii")
    proc = settings_case(k, content, QUIET_BOARD + "[Chip]\nAddress=0x%04X\n" % port)
    # Only ExecuteAtStartup=3 starts minimised.
    check_shown(k, "every key at %d" % value)
    check(k.child(HEADING0).get("text") == "Edge", "loading stopped before the labels at %d"
          % value)
    lines = ops(k)
    check(lines and lines[0].startswith("ReadReg 0x%04x " % port),
          "Address=%d not used for the first access: %s" % (value, lines[:1]))
    # Every fan value is out of byte range: the chip is not programmed with cut values.
    start_up = lines[:first_tick_index(lines)]
    writes = [op for op in start_up if op.startswith("WriteReg") and " 0x002e " not in op]
    check(writes == [], "fan registers written from out-of-range values: %s" % writes[:6])
    reading = k.wait_for(lambda: k.child(TEXT11).get("text") == "45", timeout=10)
    check(reading, "CPU reading not translated by Modulate (40 + 5): %r" % k.child(TEXT11))
    alive(k, proc, "with every 16-bit key at %d" % value)
    check(k.read(INI) == content, "settings file was rewritten")


def test_every_16_bit_key_at_32767(k):
    extreme_case(k, 32767)


def test_every_16_bit_key_at_minus_32768(k):
    extreme_case(k, -32768)


def out_of_range_case(k, content, applied, not_applied):
    proc = settings_case(k, content.encode("ascii"))
    # ExecuteAtStartup=3 stands after the failing key: the window is not minimised.
    check_shown(k, "out-of-range key")
    for what, condition in applied:
        check(condition(), "applied before the failing key, yet missing: %s" % what)
    for what, condition in not_applied:
        check(condition(), "read after the failing key, yet applied: %s" % what)
    check(k.wait_for(lambda: k.child(TEXT11).get("text") == "40", timeout=10),
          "Modulate after the failing key translated the reading: %r" % k.child(TEXT11))
    alive(k, proc, "with an out-of-range key")
    check(k.read(INI) == content.encode("ascii"), "settings file was rewritten")


LATE_KEYS = ("[Option]\r\nExecuteAtStartup=3\r\nForm_Width=9000\r\n"
             "[Label Option 0]\r\nCaption=Late\r\n"
             "[Default Fan Ctrl 1]\r\nModulate=X=T+5\r\n")


def late_keys_not_applied(k):
    return [("window width", lambda: int(k.window()["width"]) == DESIGN_WIDTH),
            ("heading caption", lambda: k.child(HEADING0).get("text") == "System")]


def test_16_bit_key_at_32768_stops_loading_there(k):
    content = ("[Image Option 0]\r\nLeft=1500\r\n[VIN0]\r\nTop=3000\r\n"
               "[Option]\r\nBeepWaitTimes=32768\r\n" + LATE_KEYS)
    out_of_range_case(
        k, content,
        applied=[("item picture left", lambda: int(k.child(IMAGE0)["left"]) == 100),
                 ("VIN0 value top", lambda: int(k.child(TEMP_LABEL0)["top"]) == 200)],
        not_applied=late_keys_not_applied(k))


def test_16_bit_key_at_minus_32769_stops_loading_there(k):
    content = ("[Image Option 0]\r\nLeft=1500\r\n"
               "[VIN4]\r\nTop=3000\r\nPercent=-32769\r\n[VIN5]\r\nTop=3000\r\n" + LATE_KEYS)
    out_of_range_case(
        k, content,
        applied=[("item picture left", lambda: int(k.child(IMAGE0)["left"]) == 100),
                 ("VIN4 value top", lambda: int(k.child(TEMP_LABEL0 + 4)["top"]) == 200)],
        not_applied=[("VIN5 value top", lambda: int(k.child(TEMP_LABEL0 + 5)["top"])
                      == DESIGN_VIN5_TOP)] + late_keys_not_applied(k))


def test_address_at_32768_keeps_default_port_and_stops_loading(k):
    content = "[Option]\r\nAddress=32768\r\n[Image Option 0]\r\nLeft=1500\r\n" + LATE_KEYS
    out_of_range_case(
        k, content, applied=[],
        not_applied=[("item picture left",
                      lambda: int(k.child(IMAGE0)["left"]) == DESIGN_IMAGE0_LEFT)]
        + late_keys_not_applied(k))
    first = ops(k)[:1]
    check(first and first[0].startswith("ReadReg 0x0295 0x60 "),
          "first access not at 0x295: %s" % first)


def test_start_minimised_before_an_out_of_range_key_stays_hidden(k):
    # ExecuteAtStartup=3 is read before DisplayOnTop: the minimised start holds.
    content = ("[Option]\r\nExecuteAtStartup=3\r\nDisplayOnTop=-32769\r\n"
               "[Label Option 0]\r\nCaption=Late\r\n").encode("ascii")
    k.describe_board(QUIET_BOARD)
    k.write(INI, content)
    proc = k.start()
    # The stop is a set-up problem: it takes the place of "Normal..." once the monitor runs.
    stopped = "Check settings: stopped at [Option] DisplayOnTop"
    seen = wait_label(k, stopped, timeout=40)
    check(seen[-1] == stopped, "hidden Kelvane does not monitor: %s" % seen[-3:])
    info = k.window()
    check(info.get("visible") == "0", "window shown although it starts minimised: %s" % info)
    check(k.child(HEADING0).get("text") == "System", "label read after the failing key applied")
    alive(k, proc, "started minimised")
    check(k.read(INI) == content, "settings file was rewritten")


# Port program.

def test_truncated_port_program_runs_to_its_cut(k):
    # Read port 0x61, complement, set register 0x30, then an Outb cut after its first byte.
    program = bytes([0x81, 0x61, 0x00, 0x83, 0x87, 0x95, 0x02, 0x30, 0x44, 0x80, 0x61])
    k.write("C:\\Program Files\\Kelvane\\kelvane.dat", program)
    k.describe_board(QUIET_BOARD)
    proc = started(k)
    seen = wait_label(k, NORMAL)
    check(seen[-1] == NORMAL, "status after a truncated port program: %s" % seen[-3:])
    lines = ops(k)
    ident = max((i for i, op in enumerate(lines[:40]) if " 0x002e " in op), default=None)
    check(ident is not None, "no chip identification in the trace: %s" % lines[:20])
    # The registers the monitor will step are read first, for the hand-back at the end.
    watched = ["ReadReg 0x0295 0x%02x" % r for r in (0x14, 0x15, 0x16)]
    check([op.split(" =")[0] for op in lines[ident + 1:ident + 4]] == watched,
          "the watched registers are not read after identification: %s" % lines[ident + 1:ident + 4])
    ident += 3
    ran = lines[ident + 1:ident + 4]
    check(len(ran) == 3 and re.fullmatch(r"Inb 0x0061 = 0x[0-9a-f]{2}", ran[0])
          and ran[1:] == ["WriteReg 0x0295 0x30 0x44", "Outb 0x0061 0x00"],
          "port program accesses after identification: %s" % lines[ident + 1:ident + 6])
    rest = lines[ident + 4:first_tick_index(lines)]
    check(not any(op.startswith(("Inb", "Outb")) for op in rest),
          "port program ran on past its end: %s" % rest[:4])
    alive(k, proc, "after a truncated port program")
    check(k.read("C:\\Program Files\\Kelvane\\kelvane.dat") == program, "kelvane.dat changed")


# Set-file gate.

def gate_ends_in_quick(k, auto_set, what):
    """Kelvane must hand over to quick.exe and end without touching the chip."""
    k.write("C:\\Program Files\\Kelvane\\auto.set", auto_set)
    before = {p: k.read(p) for p in (INI, "C:\\Program Files\\Kelvane\\auto.set")}
    proc = k.start()
    check(k.wait_window(QUICK_TITLE, timeout=30), "%s: quick.exe did not start" % what)
    end = time.time() + 20
    while proc.poll() is None and time.time() < end:
        time.sleep(0.25)
    check(proc.poll() is not None, "%s: Kelvane did not end after starting quick.exe" % what)
    check(k.trace_lines() == [], "%s: the chip was touched: %s" % (what, k.trace_lines()[:3]))
    check(k.probe("count", MAIN_TITLE).stdout.strip() == "0", "%s: main window left" % what)
    for path, content in before.items():
        check(k.read(path) == content, "%s: %s changed" % (what, path))


def test_set_name_without_dot_uses_first_three_characters(k):
    # "store12" counts as "sto": sto.set says not set up, store12.set would have passed.
    k.write(TOOL + "sto.set", b"0\r\n")
    k.write(TOOL + "store12.set", b"1\r\n")
    gate_ends_in_quick(k, b"store12\r\n", "name without a dot")


def test_set_name_of_300_characters_counts_20(k):
    # No dot among the first 20 characters: the set file is abc.set.
    name = (b"abcdefghijklmnopqrstuvwxyz" * 12)[:296] + b".set"
    k.write(TOOL + "abc.set", b"1\r\n")
    k.write("C:\\Program Files\\Kelvane\\auto.set", name)
    proc = started(k)
    check(any(op.startswith("ReadReg") for op in ops(k)), "chip not read after the gate")
    check(k.probe("count", QUICK_TITLE).stdout.strip() == "0", "quick.exe started")
    alive(k, proc, "with a 300-character set name")
    check(k.read("C:\\Program Files\\Kelvane\\auto.set") == name, "auto.set changed")
    check(k.read(TOOL + "abc.set") == b"1\r\n", "set file changed")


def test_set_name_climbing_out_of_the_tool_folder_fails_the_gate(k):
    # A set file that would pass sits one folder up; a name with ".." must not reach it.
    k.write("C:\\POS\\Vorlind\\good.set", b"1\r\n")
    gate_ends_in_quick(k, b"..\\good.set\r\n", "name with ..")


CASES = [
    test_driver_missing_and_planted_copies_are_never_loaded,
    test_bus_reading_all_zeros,
    test_bus_reading_all_ones,
    test_read_only_history_file_during_critical_episode,
    test_locked_fault_file_during_critical_episode,
    test_settings_file_of_binary_garbage,
    test_settings_file_with_100000_character_lines,
    test_folder_named_kelvane_ini_is_a_setup_problem,
    test_no_settings_file_is_a_working_default,
    test_address_at_the_data_port_is_a_setup_problem,
    test_value_that_does_not_fit_is_named_and_the_fleet_still_hears,
    test_every_16_bit_key_at_32767,
    test_every_16_bit_key_at_minus_32768,
    test_16_bit_key_at_32768_stops_loading_there,
    test_16_bit_key_at_minus_32769_stops_loading_there,
    test_address_at_32768_keeps_default_port_and_stops_loading,
    test_start_minimised_before_an_out_of_range_key_stays_hidden,
    test_truncated_port_program_runs_to_its_cut,
    test_set_name_without_dot_uses_first_three_characters,
    test_set_name_of_300_characters_counts_20,
    test_set_name_climbing_out_of_the_tool_folder_fails_the_gate,
]

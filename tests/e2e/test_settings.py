"""Settings at start-up: the fan-controller writes in both layouts, the Run value, the start
state, hidden headings, a bad address, the port program and the set-file gate."""
import re
import time

from harness import (MAIN_TITLE, check, restart_clean, tick_count, tick_starts, trace_ops,
                     tray_icon_present, wait_exit)

RUN_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = '"C:\\Program Files\\Kelvane\\kelvane.exe"'
TOOL = "C:\\POS\\Vorlind\\Vorlind Fan control Tool\\"
INI = "C:\\Program Files\\Kelvane\\kelvane.ini"
QUICK_TITLE = "Fan control set-up"
ABOUT_TITLE = "About Kelvane Ver5.07"
LABEL1 = 1301


def W(reg, value):
    return "WriteReg 0x0295 0x%02x 0x%02x" % (reg, value)


def R(reg, value):
    return "ReadReg 0x0295 0x%02x = 0x%02x" % (reg, value)


def start_and_wait_ticks(k, ticks=1, timeout=40):
    """Starts Kelvane and waits until the monitor has begun `ticks` ticks."""
    proc = k.start()
    check(k.wait_for(lambda: tick_count(k) >= ticks, timeout=timeout),
          "the monitor did not tick (%d trace lines)" % len(k.trace_lines()))
    return proc


def startup_phases(ops):
    """(port program ops, apply ops): what lies between the identification and the fan
    divisor read, and between that read and the first monitor tick."""
    first_tick = tick_starts(ops)[0]
    head = ops[:first_tick]
    ident_end = max(i for i, op in enumerate(head) if " 0x002e" in op)
    divisors = next(i for i, op in enumerate(head) if op.startswith("ReadReg 0x0295 0x0b "))
    check(ident_end < divisors, "fan divisors read before the identification: %s" % head)
    program = head[ident_end + 1:divisors]
    # The fan watch reads the registers it hands back before the port program can write them.
    while program and re.match(r"ReadReg 0x0295 0x1[4-7] ", program[0]):
        program = program[1:]
    return program, head[divisors + 1:]


def fan_ini(records, extra=""):
    text = "[Option]\nExecuteAtStartup=0\n" + extra
    for n, keys in enumerate(records):
        text += "[Default Fan Ctrl %d]\n" % n
        text += "".join("%s=%s\n" % kv for kv in keys.items())
    return text


def test_older_layout_apply_writes_every_block(k):
    k.describe_board("[Chip]\nId=0x12\nRevision=3\n")
    # Distinct numbers per fan, so a write to the wrong block shows; the newer-only keys
    # must be ignored by this layout.
    k.write(INI, fan_ini([
        dict(Mode=0, S0=10, S1=11, S2=12, S3=13, S4=14, Speed0=20, Speed1=21, Speed2=22,
             DeltaTemp=9),
        dict(Mode=0, S0=30, S1=31, S2=32, S3=33, S4=34, Speed0=40, Speed1=41, Speed2=42),
        dict(Mode=0, S0=50, S1=51, S2=52, S3=53, S4=54, Speed0=60, Speed1=61, Speed2=62),
    ]) + "[Fan Ctrl Option 1]\nS0=35\nSpeed2=45\n")
    start_and_wait_ticks(k)
    _, apply_ops = startup_phases(trace_ops(k))
    expected = [
        W(0x15, 0x80), W(0x60, 10), W(0x61, 11), W(0x62, 12), W(0x63, 13), W(0x64, 14),
        W(0x65, 20), W(0x66, 21), W(0x67, 22),
        W(0x16, 0x81), W(0x68, 35), W(0x69, 31), W(0x6a, 32), W(0x6b, 33), W(0x6c, 34),
        W(0x6d, 40), W(0x6e, 41), W(0x6f, 45),
        W(0x17, 0x82), W(0x70, 50), W(0x71, 51), W(0x72, 52), W(0x73, 53), W(0x74, 54),
        W(0x75, 60), W(0x76, 61), W(0x77, 62),
    ]
    check(apply_ops == expected, "older-layout apply:\n got %s\nwant %s" % (apply_ops, expected))

    # A file written for the newer layout gives this chip's fan 0 only in part: that fan keeps
    # the chip's settings, and the status line and About say what the file lacks.
    restart_clean(k)
    k.write(INI, fan_ini([dict(Mode=0, S0=30, S1=40, S2=60, Speed0=40)]))
    start_and_wait_ticks(k, ticks=8)
    text = "Check settings: System Fan (fan 0) lacks S3, S4, Speed1, Speed2"
    check(k.wait_for(lambda: k.child(LABEL1).get("text") == text, timeout=20),
          "status line: %r" % k.child(LABEL1).get("text"))
    _, apply_ops = startup_phases(trace_ops(k))
    check(not [op for op in apply_ops if re.match(r"WriteReg 0x0295 0x6[0-7] ", op)],
          "fan 0 programmed from a partial record: %s" % apply_ops)
    k.probe("click", MAIN_TITLE, 1012)
    check(k.wait_window(ABOUT_TITLE, timeout=10), "About did not open")
    listing = k.probe("children", ABOUT_TITLE).stdout
    check("Set-up problem: kelvane.ini gives a fan only part of its settings for this chip: "
          "System Fan (fan 0, [Fan Ctrl Option 0] or [Default Fan Ctrl 0]) lacks S3, S4, "
          "Speed1, Speed2" in listing, "About lacks the partial fan:\n%s" % listing)


def test_newer_layout_apply_with_delta_temperature(k):
    # B+5 starts with its top bits set: they must survive the delta write.
    k.describe_board("[Chip]\nId=0x12\nRevision=8\n[Registers]\n65=0xE5\n6D=0x40\n75=0x00\n")
    k.write(INI, fan_ini([
        # slope (127-47)/(50-40)*8 = 64: bit 6 lands in bit 7 of B+3
        dict(Mode=0, S0=30, S1=40, S2=50, DeltaTemp=2, Speed0=47, S3=99, S4=99, Speed1=99),
        # S1 = S2: S2 is raised to 51 after its write; slope 64*8 = 512 is too steep: 127
        dict(Mode=0, S0=20, S1=50, S2=50, DeltaTemp=5, Speed0=63),
        # slope 87/20*8 = 34.8, rounded to 35
        dict(Mode=0, S0=30, S1=40, S2=60, DeltaTemp=31, Speed0=40),
    ]) + "[Fan Speed Led Option 2]\nTag=5\n")
    start_and_wait_ticks(k)
    _, apply_ops = startup_phases(trace_ops(k))
    expected = [
        W(0x15, 0x80), W(0x60, 30), W(0x61, 40), W(0x62, 50),
        R(0x65, 0xe5), W(0x65, 0xe2), W(0x63, 47), W(0x64, 0xc0), R(0x63, 47), W(0x63, 0xaf),
        W(0x16, 0x81), W(0x68, 20), W(0x69, 50), W(0x6a, 50),
        R(0x6d, 0x40), W(0x6d, 0x45), W(0x6b, 63), W(0x6c, 0xff), R(0x6b, 63), W(0x6b, 0xbf),
        W(0x17, 0x85), W(0x70, 30), W(0x71, 40), W(0x72, 60),
        R(0x75, 0x00), W(0x75, 31), W(0x73, 40), W(0x74, 0xe3), R(0x73, 40), W(0x73, 40),
    ]
    check(apply_ops == expected, "newer-layout apply:\n got %s\nwant %s" % (apply_ops, expected))


def test_newer_layout_without_delta_uses_slope_codes(k):
    k.describe_board("[Chip]\nId=0x12\nRevision=7\n")
    k.write(INI, fan_ini([
        dict(Mode=0, S0=30, S1=40, S2=60, DeltaTemp=3, Speed0=27),   # slope 5: 0xBC
        dict(Mode=1, SwFan=33, S0=1, S1=2, S2=3, Speed0=4),          # software mode
        dict(Mode=0, S0=30, S1=40, S2=41, Speed0=0),                 # slope 127: 0xBF
    ]))
    start_and_wait_ticks(k)
    _, apply_ops = startup_phases(trace_ops(k))
    expected = [
        W(0x15, 0x80), W(0x60, 30), W(0x61, 40), W(0x62, 60), W(0x63, 27), W(0x64, 0xbc),
        W(0x16, 33),
        W(0x17, 0x82), W(0x70, 30), W(0x71, 40), W(0x72, 41), W(0x73, 0), W(0x74, 0xbf),
    ]
    check(apply_ops == expected, "apply without delta:\n got %s\nwant %s" % (apply_ops, expected))


def run_value(k):
    out = k.reg_query(RUN_KEY, "Kelvane")
    if out is None:
        return None
    for line in out.splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[0] == "Kelvane":
            return parts[2].strip()
    return None


def test_execute_at_startup_writes_and_removes_the_run_value(k):
    # A stale value from an older installation must be replaced, not kept.
    k.run_windows("reg", "add", RUN_KEY, "/v", "Kelvane", "/d", "C:\\old\\kelvane.exe", "/f",
                  check=True)
    k.write(INI, "[Option]\nExecuteAtStartup=2\n")
    k.start()
    check(k.wait_window(timeout=40), "main window did not appear with ExecuteAtStartup=2")
    value = run_value(k)
    check(value == RUN_VALUE, "Run value with 2 is %r, want %r" % (value, RUN_VALUE))
    info = k.window()
    check(info.get("visible") == "1" and info.get("iconic") == "0",
          "ExecuteAtStartup=2 did not start normal: %s" % info)
    check(k.read(INI).count(b"ExecuteAtStartup") == 1 and b"Fan Ctrl Option" not in k.read(INI),
          "the start-up apply wrote the settings file: %r" % k.read(INI))

    restart_clean(k)
    check(run_value(k) == RUN_VALUE, "the Run value did not outlive the first run")
    k.write(INI, "[Option]\nExecuteAtStartup=1\n")
    k.start()
    check(k.wait_window(timeout=40), "main window did not appear with ExecuteAtStartup=1")
    check(k.wait_for(lambda: run_value(k) is None, timeout=5),
          "ExecuteAtStartup=1 left the Run value %r" % run_value(k))
    info = k.window()
    check(info.get("visible") == "1" and info.get("iconic") == "0",
          "ExecuteAtStartup=1 did not start normal: %s" % info)


def test_execute_at_startup_3_starts_hidden_and_keeps_monitoring(k):
    k.write(INI, "[Option]\nExecuteAtStartup=3\n")
    proc = start_and_wait_ticks(k, ticks=2)
    info = k.window()
    check(info.get("found") == "1", "no main window at all")
    check(info.get("visible") == "0", "ExecuteAtStartup=3 shows the window: %s" % info)
    check(tray_icon_present(k), "hidden at start-up but no tray icon")
    check(run_value(k) == RUN_VALUE, "ExecuteAtStartup=3 wrote no Run value: %r" % run_value(k))
    before = tick_count(k)
    time.sleep(3)
    check(tick_count(k) >= before + 2, "the hidden program stopped ticking")
    check(proc.poll() is None, "the program ended")


def test_hidden_heading_leaves_its_fan_and_port_program_runs_first(k):
    k.describe_board("[Chip]\nId=0x12\nRevision=8\n[Speaker]\nPort61=0x33\n")
    record = dict(Mode=0, S0=30, S1=40, S2=50, DeltaTemp=2, Speed0=20)
    k.write(INI, fan_ini([record] * 3, "[Label Option 1]\nVisible=0\n"))
    k.write("C:\\Program Files\\Kelvane\\kelvane.dat", bytes([
        0x81, 0x61, 0x00,              # acc = port 0x61
        0x84, 0xFC,                    # clear the two speaker bits
        0x86, 0x61, 0x00,              # write it back
        0x7F,                          # no opcode: skipped alone
        0x87, 0x95, 0x02, 0x30, 0x44,  # register 0x30 = 0x44
        0x88, 0x95, 0x02, 0x31,        # read register 0x31; the accumulator stays
        0x86, 0x61, 0x00,              # so this writes the same value again
        0x00,                          # end
        0x80, 0x61, 0x00,              # never runs
    ]))
    start_and_wait_ticks(k)
    check(k.child(1001).get("visible") == "0", "heading 1 is not hidden")
    ops = trace_ops(k)
    program, apply_ops = startup_phases(ops)
    check(len(program) == 5, "port program accesses: %s" % program)
    check(program[0].startswith("Inb 0x0061 = "), "the program does not start with its read: %s"
          % program)
    read = int(program[0].rsplit(" ", 1)[1], 16)
    cleared = "Outb 0x0061 0x%02x" % (read & 0xFC)
    check(program[1] == cleared and program[4] == cleared,
          "port 0x61 not written back with its low bits cleared (read 0x%02x): %s" % (read, program))
    check(program[2] == W(0x30, 0x44) and program[3].startswith("ReadReg 0x0295 0x31 = "),
          "register instructions wrong: %s" % program)
    # The hidden heading's fan (1): neither its control register nor its block.
    fan1 = {0x16} | set(range(0x68, 0x70))
    touched = [op for op in apply_ops if int(op.split()[2], 16) in fan1]
    check(touched == [], "the hidden heading's fan was programmed: %s" % touched)
    check(W(0x15, 0x80) in apply_ops and W(0x17, 0x82) in apply_ops,
          "the shown headings' fans were not programmed: %s" % apply_ops)


def test_address_out_of_range_keeps_the_default_port(k):
    # Loading stops at Address: the caption below must not be taken either.
    k.write(INI, "[Option]\nAddress=70000\n[Label Option 0]\nCaption=Moved\n")
    start_and_wait_ticks(k, ticks=2)
    ops = trace_ops(k)
    ports = {op.split()[1] for op in ops}
    check(ports <= {"0x0295", "0x002e"}, "accesses outside 0x295 and 0x2e: %s" % sorted(ports))
    check(any(op.startswith("ReadReg 0x0295 0x29 ") for op in ops), "no temperature read at 0x295")
    check(k.child(1000).get("text") == "System",
          "loading went on after Address: %s" % k.child(1000))


def test_set_file_gate(k):
    # A set file that is not there: the companion program, and no chip access.
    k.write("C:\\Program Files\\Kelvane\\auto.set", "store12.set\r\n")
    proc = k.start()
    check(k.wait_window(QUICK_TITLE, timeout=30), "quick.exe's window did not appear")
    check(wait_exit(proc, 20), "Kelvane did not end after a failing gate")
    check(k.probe("count", MAIN_TITLE).stdout.strip() == "0", "a main window was made")
    ops = trace_ops(k)
    check(not any(op.startswith("ReadReg") for op in ops), "the chip was read: %s" % ops[:5])

    # A set file that exists but is not set up fails the same way.
    restart_clean(k)
    k.write(TOOL + "store12.set", "0 not set up\r\n")
    proc = k.start()
    check(k.wait_window(QUICK_TITLE, timeout=30), "quick.exe did not start for a '0' set file")
    check(wait_exit(proc, 20), "Kelvane did not end for a '0' set file")
    check(not any(op.startswith("ReadReg") for op in trace_ops(k)), "the chip was read")

    # A set-up set file lets Kelvane start.
    restart_clean(k)
    k.write(TOOL + "store12.set", "1 store 12\r\n")
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear with a passing gate")
    check(k.probe("count", QUICK_TITLE).stdout.strip() == "0", "quick.exe ran for a passing gate")
    check(k.wait_for(lambda: tick_count(k) >= 1, timeout=10), "no monitor tick after the gate")
    check(proc.poll() is None, "Kelvane ended")


CASES = [
    test_older_layout_apply_writes_every_block,
    test_newer_layout_apply_with_delta_temperature,
    test_newer_layout_without_delta_uses_slope_codes,
    test_execute_at_startup_writes_and_removes_the_run_value,
    test_execute_at_startup_3_starts_hidden_and_keeps_monitoring,
    test_hidden_heading_leaves_its_fan_and_port_program_runs_first,
    test_address_out_of_range_keeps_the_default_port,
    test_set_file_gate,
]

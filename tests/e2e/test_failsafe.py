"""The fans are never left unwatched: every end Kelvane sees hands the registers it steps
back to the chip as the last apply left them, and a chip that lost its settings (put back at
power-on values, or changed under Kelvane) is programmed again. Wine keeps no event log, so
the events are checked as Wine traces the event source's calls."""
import os
import re
import subprocess
import time

from harness import (EXE, MAIN_TITLE, check, restart_clean, tick_count, trace_ops, wait_exit,
                     windows_path)

WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC = 0x218, 0x12
WM_QUERYENDSESSION, WM_ENDSESSION, ENDSESSION_CLOSEAPP = 0x11, 0x16, 0x1
INI = "C:\\Program Files\\Kelvane\\kelvane.ini"
KEPT = "C:\\ProgramData\\Kelvane\\power-on.ini"
SNAPSHOT = [0x60, 0x61, 0x62, 0x63, 0x64, 0x68, 0x69, 0x6A, 0x6B, 0x6C]

# Older layout, the CPU at 100 C: from the seventh tick the monitor drives the CPU fan at full
# speed (0x16 and 0x6D..0x6F get 0x7F) besides stepping the system fan.
OLDER_HOT = "[Chip]\nId=0x12\nRevision=3\n[Registers]\n29=0x26\n2A=0x64\n"
OLDER_WATCHED = [0x14, 0x15, 0x16, 0x65, 0x66, 0x67, 0x6D, 0x6E, 0x6F]
NEWER_WATCHED = [0x14, 0x15, 0x16]
QUIET = "[Chip]\nId=0x12\nRevision=8\n[Registers]\n29=0x26\n2A=0x28\n"
# The healthy board's power-on values of both fans' control and parameter registers.
POWER_ON = "15=0x80\n16=0x81\n60=30\n61=40\n62=50\n63=60\n64=70\n68=30\n69=40\n6A=50\n6B=60\n6C=70\n"


def write_op(reg, value):
    return "WriteReg 0x0295 0x%02x 0x%02x" % (reg, value)


def read_value(op):
    return int(op.rsplit("= ", 1)[1], 16)


def handed_back_as_applied(k, watched):
    """The trace ends with the hand-back: each watched register gets what the start-up apply
    left in it, or the value read before the first write, and nothing follows but, from a
    dying process, the speaker switched off."""
    ops = trace_ops(k)
    while ops and re.fullmatch(r"(Inb 0x0061 = |Outb 0x0061 )0x[0-9a-f]{2}", ops[-1]):
        ops.pop()
    # Identification ends with where the chip has its hardware monitor (0x60, 0x61).
    ident = max(i for i, op in enumerate(ops[:60]) if " 0x002e " in op)
    power_on = {}
    noted = ops[ident + 1:ident + 1 + len(watched)]
    if os.path.exists(k.c_path(KEPT)) and not noted[0].startswith("ReadReg 0x0295 0x14 "):
        power_on = kept_power_on(k)  # a later run of this boot: what the first one noted
    for op in noted if not power_on else []:
        m = re.fullmatch(r"ReadReg 0x0295 0x([0-9a-f]{2}) = 0x[0-9a-f]{2}", op)
        check(m, "the watched registers are not read after identification: %s" % noted)
        power_on[int(m.group(1), 16)] = read_value(op)
    check(sorted(power_on) == sorted(watched), "read before the port program: %s" % power_on)
    first_tick = next(i for i, op in enumerate(ops) if op.endswith(" 0x51 0x38"))
    applied = dict(power_on)
    for op in ops[ident:first_tick]:
        m = re.fullmatch(r"WriteReg 0x0295 0x([0-9a-f]{2}) 0x([0-9a-f]{2})", op)
        if m and int(m.group(1), 16) in applied:
            applied[int(m.group(1), 16)] = int(m.group(2), 16)
    want = [write_op(r, applied[r]) for r in watched]
    check(ops[-len(want):] == want,
          "the trace does not end with the hand-back %s: %s" % (want, ops[-len(want) - 3:]))
    return applied


def kept_power_on(k):
    """The watched registers as the first run of this boot noted them."""
    fields = [line.partition("=") for line in k.read(KEPT).decode().splitlines()]
    return {int(key, 16): int(value, 16) for key, _, value in fields
            if re.fullmatch(r"[0-9A-F]{2}", key) and value}


def start_traced(k, name):
    """Kelvane with Wine's trace of the event log calls in a file of the case."""
    path = os.path.join(k.dir, "wine-%s.txt" % name)
    with open(path, "w") as err:
        proc = subprocess.Popen(["wine", EXE], env=k.env(WINEDEBUG="-all,fixme+advapi,+eventlog"),
                                stdout=subprocess.DEVNULL, stderr=err)
    k.procs.append(proc)
    check(k.wait_window(timeout=40), "main window did not appear")
    return proc, path


def events_traced(path, event_id):
    """Each traced ReportEventA of this id, with the trace lines that follow it."""
    with open(path, errors="replace") as f:
        lines = f.read().splitlines()
    mark = re.compile(r"ReportEventA \([0-9A-F]+,0x[0-9a-f]{4},0x0000,0x%08x," % event_id)
    return ["\n".join(lines[i:i + 3]) for i, line in enumerate(lines) if mark.search(line)]


def test_log_off_a_crash_and_a_close_request_hand_the_fans_back(k):
    k.describe_board(OLDER_HOT)
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear")
    check(k.wait_for(lambda: tick_count(k) >= 9, timeout=30), "the monitor did not tick")
    check(write_op(0x6D, 0x7F) in trace_ops(k), "the hot CPU was not driven at full speed")
    subprocess.run(["wineboot", "--end-session"], env=k.env(), capture_output=True, timeout=60)
    check(wait_exit(proc, 20), "Kelvane did not end with the session")
    applied = handed_back_as_applied(k, OLDER_WATCHED)
    check(applied[0x16] & 0x80 and applied[0x6D] != 0x7F, "not the apply's values: %s" % applied)

    # A driver call that faults inside the library, at a chosen call after start-up.
    restart_clean(k)
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear again")
    check(k.wait_for(lambda: tick_count(k) >= 8, timeout=30), "the monitor did not tick again")
    k.describe_board(OLDER_HOT + "[Faults]\nCrashAtCall=20\n")
    check(wait_exit(proc, 20), "the fault did not end Kelvane")
    handed_back_as_applied(k, OLDER_WATCHED)

    # A fault in the tune's thread in the middle of a note, the speaker sounding: the fans go
    # back, then the speaker is switched off.
    restart_clean(k)
    k.describe_board(OLDER_HOT)
    ini = k.read(INI)
    k.write(INI, ini.replace(b"SoundWarnning=0\r\n", b"SoundWarnning=2\r\n"))
    k.write("C:\\hwm.txt", b"earlier history\r\n")
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear for the tune")
    check(k.wait_for(lambda: os.path.exists(k.speaker) and os.path.getsize(k.speaker) > 0,
                     timeout=40), "the alarm tune did not play")
    k.describe_board(OLDER_HOT + "[Faults]\nCrashAtPort=0x42\n")
    check(wait_exit(proc, 20), "the fault in the tune did not end Kelvane")
    handed_back_as_applied(k, OLDER_WATCHED)
    speaker = [int(op[-2:], 16) for op in trace_ops(k) if op.startswith("Outb 0x0061 ")]
    check(speaker[-2] & 3 == 3 and speaker[-1] & 3 == 0,
          "the speaker was left sounding: port 0x61 got %s" % ["0x%02x" % v for v in speaker[-3:]])

    # An installer's restart manager closing the running program (ENDSESSION_CLOSEAPP).
    restart_clean(k)
    k.describe_board(OLDER_HOT)
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear a third time")
    check(k.wait_for(lambda: tick_count(k) >= 8, timeout=30), "the monitor did not tick a third time")
    k.probe("post", MAIN_TITLE, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP)
    k.probe("post", MAIN_TITLE, WM_ENDSESSION, 1, ENDSESSION_CLOSEAPP)
    check(wait_exit(proc, 20), "Kelvane did not end when asked to close")
    handed_back_as_applied(k, OLDER_WATCHED)

    # Killed outright, so that nothing of its end runs, with the chip keeping its last steps:
    # the run started again in the same boot hands back what the boot's first run noted. The
    # kept values go, as at a new boot, so that this board's 0x14 is noted; only ticks write it.
    restart_clean(k)
    if os.path.exists(k.c_path(KEPT)):
        os.remove(k.c_path(KEPT))
    k.describe_board(OLDER_HOT.replace("[Registers]\n", "[Registers]\n14=0x5A\n"))
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear before the kill")
    check(k.wait_for(lambda: tick_count(k) >= 9, timeout=30), "the monitor did not tick before the kill")
    proc.kill()
    check(wait_exit(proc, 10), "Kelvane was not killed")
    last = {}
    for op in trace_ops(k):
        m = re.fullmatch(r"WriteReg 0x0295 0x([0-9a-f]{2}) 0x([0-9a-f]{2})", op)
        if m and int(m.group(1), 16) in OLDER_WATCHED:
            last[int(m.group(1), 16)] = int(m.group(2), 16)
    k.describe_board(OLDER_HOT.replace("[Registers]\n", "[Registers]\n" + "".join(
        "%02X=0x%02x\n" % kv for kv in last.items())))
    n = tick_count(k)
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear after the kill")
    check(k.wait_for(lambda: tick_count(k) >= n + 8, timeout=30), "the monitor did not tick after the kill")
    k.probe("post", MAIN_TITLE, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP)
    k.probe("post", MAIN_TITLE, WM_ENDSESSION, 1, ENDSESSION_CLOSEAPP)
    check(wait_exit(proc, 20), "Kelvane did not end after the kill")
    applied = handed_back_as_applied(k, OLDER_WATCHED)
    check(applied[0x14] == 0x5A, "0x14 handed back as 0x%02x" % applied[0x14])


def resume(k):
    check(k.probe("post", MAIN_TITLE, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0).returncode == 0,
          "the resume could not be posted")


def resume_between_ticks(k, board):
    """Describes the board anew and resumes at once, between two ticks: the resume's own reads
    are the first to see the new description (the board looks at it at most every 200 ms)."""
    trigger = os.path.join(k.dir, "resume-%d" % len(k.procs))
    poster = subprocess.Popen(["wine", "C:\\probe.exe", "postwhen", windows_path(trigger),
                               MAIN_TITLE, str(WM_POWERBROADCAST), str(PBT_APMRESUMEAUTOMATIC), "0"],
                              env=k.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    k.procs.append(poster)
    time.sleep(2)
    n = tick_count(k)
    check(k.wait_for(lambda: tick_count(k) > n, timeout=5, step=0.02), "no tick")
    time.sleep(0.35)
    k.describe_board(board)
    open(trigger, "w").close()
    return time.time()


def resume_checks(ops):
    """Where the ten limit registers were read outside a tick (a tick goes on with 0x14)."""
    reads = ["ReadReg 0x0295 0x%02x" % r for r in SNAPSHOT]
    return [i for i in range(len(ops) - 10)
            if [op.split(" =")[0] for op in ops[i:i + 10]] == reads
            and not ops[i + 10].startswith("WriteReg 0x0295 0x14 ")]


def fan_block_writes(ops):
    return [op for op in ops if re.match(r"WriteReg 0x0295 0x(17|6[0-9a-f]) ", op)]


def test_a_chip_that_lost_its_settings_gets_them_back(k):
    k.describe_board(QUIET)
    proc, log = start_traced(k, "run")
    check(k.wait_for(lambda: tick_count(k) >= 3, timeout=30), "the monitor did not tick")
    ops = trace_ops(k)
    first_tick = next(i for i, op in enumerate(ops) if op.endswith(" 0x51 0x38"))
    applied = fan_block_writes(ops[:first_tick])
    s1 = [op for op in applied if op.startswith(("WriteReg 0x0295 0x61 ", "WriteReg 0x0295 0x69 "))]
    check(len(s1) == 2, "the start-up apply did not program both fans: %s" % applied)

    # Back at power-on values, then a resume: the apply's writes come back within two seconds.
    at = len(trace_ops(k))
    posted = resume_between_ticks(k, QUIET + POWER_ON)
    check(k.wait_for(lambda: set(applied) <= set(fan_block_writes(trace_ops(k)[at:])), timeout=2.5,
                     step=0.1) and time.time() - posted <= 2.0,
          "the apply's writes did not come back within 2 s: %s" % fan_block_writes(trace_ops(k)[at:]))
    restored_at = time.time()

    # Changed under Kelvane a few ticks later: the fan waits out its minute, then is restored.
    n = tick_count(k)
    check(k.wait_for(lambda: tick_count(k) >= n + 2, timeout=5), "no ticks")
    k.describe_board(QUIET + POWER_ON.replace("61=40", "61=0x07"))
    at = len(trace_ops(k))
    check(k.wait_for(lambda: s1[0] in trace_ops(k)[at:], timeout=65),
          "the changed registers were not restored within 65 s")
    waited = time.time() - restored_at
    check(waited >= 55, "restored again after %.0f s, within the minute" % waited)

    # A resume (a minute after the last) on a chip that kept its settings reads, writes nothing.
    time.sleep(2)
    at = len(trace_ops(k))
    resume(k)
    check(k.wait_for(lambda: resume_checks(trace_ops(k)[at:]), timeout=5), "the resume was not acted on")
    time.sleep(1.5)
    check(not fan_block_writes(trace_ops(k)[at:]), "a resume wrote to a chip that kept its settings")
    check(proc.poll() is None, "Kelvane ended")

    k.stop()
    restored = events_traced(log, 12)
    check(len(restored) == 2 and "after resume" in restored[0] and "registers changed" in restored[1],
          "the restore events traced: %s" % restored)
    check(not events_traced(log, 13), "a chip that keeps its settings was said not to")


CASES = [
    test_log_off_a_crash_and_a_close_request_hand_the_fans_back,
    test_a_chip_that_lost_its_settings_gets_them_back,
]

"""Start-up: the window, the order of the first chip accesses, single instance, fatal files."""
import os
import subprocess
import time

from harness import MAIN_TITLE, check, restart_clean, trace_fields, trace_ops, windows_path
from imaging import close, pixel

CONVERT = "/usr/bin/convert"


def client_origin(k):
    info = k.window()
    # The frame is as wide on the left as at the bottom; the caption takes the rest on top.
    border = (int(info["width"]) - int(info["client_width"])) // 2
    caption = int(info["height"]) - int(info["client_height"]) - border
    return int(info["left"]) + border, int(info["top"]) + caption


def test_window_appears_and_chip_is_read_in_order(k):
    k.start()
    check(k.wait_window(timeout=40), "main window did not appear")
    info = k.window()
    check(info.get("visible") == "1" and info.get("iconic") == "0", "window not shown normally: %s" % info)
    # The shipped file names the headings after the channels the alarms use.
    headings = [k.child(1000 + i).get("text") for i in range(3)]
    check(headings == ["System", "CPU", "Panel"], "headings: %s" % headings)
    check(k.child(1015).get("text") == "Option", "Option label missing")
    check(k.child(1020).get("visible") == "0", "ShutDown label is visible")
    # The README's picture: after warm-up, as a technician sees a healthy terminal.
    check(k.wait_for(lambda: k.child(1301).get("text") == "Normal...", timeout=30),
          "no \"Normal...\" after warm-up: %s" % k.child(1301))
    time.sleep(0.5)  # the tick that said so has drawn the LEDs
    k.screenshot("main-window.png")

    ops = trace_ops(k)
    snapshot = ["ReadReg 0x0295 0x%02x" % r for r in
                (0x60, 0x61, 0x62, 0x63, 0x64, 0x68, 0x69, 0x6a, 0x6b, 0x6c)]
    reads = [op.split(" =")[0] for op in ops]
    check(reads[:10] == snapshot, "first accesses are not the snapshot: %s" % ops[:12])
    key = ["Outb 0x002e 0x87", "Outb 0x002e 0x01", "Outb 0x002e 0x55", "Outb 0x002e 0x55"]
    check(ops[10:14] == key, "identification key does not follow the snapshot: %s" % ops[10:16])
    ident = [r for r in reads[14:20] if r.startswith("ReadReg 0x002e")]
    check(ident[:3] == ["ReadReg 0x002e 0x21", "ReadReg 0x002e 0x22", "ReadReg 0x002e 0x21"],
          "identification reads wrong: %s" % reads[14:20])
    # Still in configuration mode: where the chip has its hardware monitor (device 4).
    base = [r for r in reads[14:30] if r.startswith(("WriteReg 0x002e", "ReadReg 0x002e 0x6"))]
    check(base[:3] == ["WriteReg 0x002e 0x07 0x04", "ReadReg 0x002e 0x60", "ReadReg 0x002e 0x61"],
          "monitor base not read after the identification: %s" % reads[14:30])
    pid = int(k.window()["pid"])
    check({trace_fields(line)[1] for line in k.trace_lines()} == {pid},
          "trace lines not all from Kelvane's process %d: %s" % (pid, k.trace_lines()[:2]))

    # As a service sees it: no environment, the board and the trace named in the registry.
    restart_clean(k)
    board = os.path.join(k.dir, "registry-board.ini")
    trace = os.path.join(k.dir, "registry-trace.txt")
    with open(board, "w") as f:
        f.write("[Registers]\n2A=0x21\n")  # CPU at a steady 33 C, unlike the demo board
    key = "HKLM\\SOFTWARE\\Kelvane\\SimulatedBoard"
    for name, path in (("Description", board), ("Trace", trace)):
        k.run_windows("reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", windows_path(path), "/f",
                      check=True)
    k.start(KELVANE_TRACE=None, KELVANE_SPEAKER=None, KELVANE_BOARD=None)
    check(k.wait_window(timeout=40), "main window did not appear with the registry's board")
    pid = int(k.window()["pid"])

    def registry_trace():
        if not os.path.exists(trace):
            return []
        with open(trace) as f:
            return [trace_fields(line) for line in f.read().split("\n")[:-1]]

    def cpu_reads():
        return [op for _, _, op in registry_trace() if op.startswith("ReadReg 0x0295 0x2a ")]
    k.wait_for(lambda: len(cpu_reads()) >= 3, timeout=30)
    reads = cpu_reads()
    check(len(reads) >= 3, "no ticks in the trace the registry names: %d reads" % len(reads))
    check(set(reads) == {"ReadReg 0x0295 0x2a = 0x21"},
          "not the registry's board: %s" % sorted(set(reads)))
    check({line_pid for _, line_pid, _ in registry_trace()} == {pid},
          "trace lines not all from Kelvane's process %d" % pid)
    check(k.trace_lines() == [], "the unset environment's trace was written")


def test_skin_background_shows(k):
    subprocess.run([CONVERT, "-size", "520x420", "xc:#20a040", k.program_file("background.jpg")],
                   check=True)
    k.start()
    check(k.wait_window(timeout=40), "main window did not appear")
    time.sleep(1.5)
    shot = k.screenshot("skin.png")
    x, y = client_origin(k)
    # A spot of the window background that no control covers (right of the headings).
    rgb = pixel(shot, x + 470, y + 75)
    check(close(rgb, (0x20, 0xa0, 0x40), 40), "background picture not shown, pixel %s" % (rgb,))


def test_second_start_activates_the_first_and_ends(k):
    first = k.start()
    check(k.wait_window(timeout=40), "main window did not appear")
    # Hidden, as on a terminal: the second start must bring it back.
    k.probe("click", MAIN_TITLE, 1013)  # "Exit" only hides
    check(k.wait_for(lambda: k.window().get("visible") == "0", timeout=10), "Exit did not hide")
    second = k.start()
    end = time.time() + 30
    while second.poll() is None and time.time() < end:
        time.sleep(0.25)
    check(second.poll() is not None, "second instance did not end")
    check(first.poll() is None, "first instance ended")
    count = k.probe("count", MAIN_TITLE).stdout.strip()
    check(count == "1", "expected one main window, found %s" % count)
    info = k.window()
    check(info.get("visible") == "1" and info.get("iconic") == "0",
          "the first instance was not shown: %s" % info)


def test_missing_prog_txt_is_fatal_without_chip_access(k):
    import os
    os.remove(k.c_path("C:\\prog.txt"))
    # A hot board and the history file: a monitor tick would act at once.
    k.describe_board("[Chip]\nId=0x12\nRevision=8\n[Registers]\n2A=0x50\n[Hold]\n6C=0x28\n")
    k.write("C:\\hwm.txt", b"history\r\n")
    proc = k.start()
    check(k.wait_window("Kelvane", timeout=30), "no message box")
    time.sleep(6)  # the box left up, as a technician reading it would
    check(k.trace_lines() == [], "the driver was called behind the box: %s" % k.trace_lines()[:3])
    check(k.read("C:\\hwm.txt") == b"history\r\n", "the history file was appended to")
    check(k.window().get("visible") != "1", "a main window came up: %s" % k.window())
    k.probe("command", "Kelvane", 2)  # the box's OK button
    k.probe("command", "Kelvane", 1)
    end = time.time() + 20
    while proc.poll() is None and time.time() < end:
        time.sleep(0.25)
    check(proc.poll() is not None, "process did not end after the message")
    check(k.trace_lines() == [], "driver was called: %s" % k.trace_lines()[:3])


CASES = [
    test_window_appears_and_chip_is_read_in_order,
    test_skin_background_shows,
    test_second_start_activates_the_first_and_ends,
    test_missing_prog_txt_is_fatal_without_chip_access,
]

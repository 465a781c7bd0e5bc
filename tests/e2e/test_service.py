"""Kelvane as a Windows service: the same program, headless, the one owner of the chip with
nobody logged on. Wine runs services without sessions, resume or shutdown controls and restart
on failure, and ends them with the last ordinary Wine process unless wineserver -p keeps it up;
the service is started and stopped with sc here, and the rest is shown by unit tests."""
import os
import re
import time

from harness import (MAIN_TITLE, check, is_tick_start, keep_services_up, tick_count,
                     trace_fields, trace_ops, trace_pid, wait_exit, windows_path)
from test_failsafe import NEWER_WATCHED, QUIET, handed_back_as_applied, write_op
from test_options import (CTR_SLIDER, OK, OPTIONS_TITLE, VK_DOWN, click_apply, ini_sections,
                          press, reopen, slider)

INI = "C:\\Program Files\\Kelvane\\kelvane.ini"
SERVICE = "C:\\Program Files\\Kelvane\\kelvane-service.exe"
PROBE = "C:\\probe.exe"
METRICS = "C:\\metrics\\kelvane.prom"
LABEL1 = 1301
VIN = 1100  # the voltage fields, 1100 + input
WM_COMMAND, MENU_EXIT = "0x111", "2004"
GONE = "Kelvane service is not running."
ABOUT_TITLE = "About Kelvane Ver5.07"


def sc(k, *args):
    return k.run_windows("sc", *args, timeout=60)


def tick_times(k):
    """The trace time of each tick's start, in ms."""
    return [ms for ms, _, op in map(trace_fields, k.trace_lines()) if is_tick_start(op)][::3]


def views_served_answered_and_dropped_without_delaying_ticks(k, metrics):
    with open(metrics) as f:
        shown = re.search(r'kelvane_temperature_celsius\{channel="0",[^}]*\} (\d+)', f.read())
    read = k.probe("pipe-read", 2000)
    check(read.returncode == 0, "no state from the pipe within 2 s: %s" % read.stdout)
    check("status=Normal" in read.stdout and "before=2 3 " in read.stdout,
          "the pipe's first frames: %s" % read.stdout)
    check(shown and "temperature=%s\n" % shown.group(1) in read.stdout,
          "the pipe and the metrics file disagree: %s" % read.stdout)

    # A view's settings change reaches the chip and kelvane.ini through the owner, and every
    # view gets the new Layout; a span request is answered from the owner's history.
    mark = len(trace_ops(k))
    change = k.probe("pipe-settings", 10000, 33)
    check(change.returncode == 0 and "applied=1\nmessage=\n" in change.stdout,
          "the settings change was not applied: %s" % change.stdout)
    check("layout_s0=33\n" in change.stdout, "no Layout with the change: %s" % change.stdout)
    check(k.wait_for(lambda: write_op(0x60, 33) in trace_ops(k)[mark:], timeout=5),
          "the change did not reach the chip")
    saved = ini_sections(k).get("Fan Ctrl Option 0", {})
    check(saved.get("S0") == "33", "the change is not in kelvane.ini: %s" % saved)
    span = k.probe("pipe-span", 10000, 600, 600)
    check(span.returncode == 0 and "columns=600\n" in span.stdout,
          "no span from the owner: %s" % span.stdout)
    rows = int(re.search(r"with_reading=(\d+)", span.stdout).group(1))
    check(rows >= 10, "the span has too few seconds with a reading: %s" % span.stdout)
    check(re.search(r"folder=\S", span.stdout), "no data folder: %s" % span.stdout)

    ticks_before = len(tick_times(k))
    k.start(PROBE, "pipe-hold", "60000")
    garbage = k.probe("pipe-garbage", 5000)
    check("dropped=1" in garbage.stdout, "garbage was not dropped: %s" % garbage.stdout)
    counted = lambda: "kelvane_view_clients_dropped_total 2\n" in open(metrics).read()
    check(k.wait_for(counted, timeout=45), "the metrics file does not count both drops")
    times = tick_times(k)[ticks_before - 1:]
    check(len(times) > 10, "too few ticks while the clients acted: %s" % times)
    gaps = [b - a for a, b in zip(times, times[1:])]
    check(max(gaps) <= 1500, "a tick waited for a client: %s" % gaps)


def start_view(k):
    """A window program started while the service drives the chip: a view. Its window comes
    after the start-up's waits and shows the board's state within 2 s."""
    proc = k.start()
    check(k.wait_window(timeout=40), "the view's window did not appear")
    shown = time.time()
    showing = lambda: (k.child(LABEL1).get("text") == "Normal..." and
                       k.child(VIN + 1).get("text", "").endswith(" V"))
    check(k.wait_for(showing, timeout=2, step=0.1) and time.time() - shown <= 2.5,
          "the view does not show the board's state: %s %s" % (k.child(LABEL1), k.child(VIN + 1)))
    return proc


def views_show_the_state_and_never_reach_the_chip(k, service_pids):
    proc = start_view(k)
    view = k.probe("modules", MAIN_TITLE).stdout
    check("pid=" in view and "module=kelvane.exe" in view.lower(), "no module list: %s" % view)
    check("brantelvio.dll" not in view.lower(), "the view loaded the driver library: %s" % view)
    view_pid = k.window().get("pid")
    # About names the service as the chip's driver, under the service's own details.
    k.probe("click", MAIN_TITLE, 1012)
    check(k.wait_window(ABOUT_TITLE, timeout=10), "About did not open in the view")
    about = k.probe("children", ABOUT_TITLE).stdout
    check("Chip driven by: Kelvane service, running since " in about and
          "Chip: id 0x12, revision 8" in about, "the view's About: %s" % about)
    k.probe("post", ABOUT_TITLE, "0x10", "0", "0")  # WM_CLOSE
    # A board change reaches the view through the service: +5 V held at raw 100 reads 2.69 V.
    k.describe_board(QUIET + "[Hold]\n22=100\n")
    check(k.wait_for(lambda: k.child(VIN + 2).get("text") == "2.69 V", timeout=10, step=0.2),
          "the board change did not reach the view: %s" % k.child(VIN + 2))
    # The view's Options Apply goes through the owner: the System fan's Off point one up.
    reopen(k)
    off = slider(k, CTR_SLIDER) + 1
    press(k, CTR_SLIDER, VK_DOWN)
    check(k.wait_for(lambda: slider(k, CTR_SLIDER) == off, timeout=5), "Off did not move")
    mark = len(k.trace_lines())
    click_apply(k)
    reached = lambda: [trace_pid(line) for line in k.trace_lines()[mark:]
                       if line.endswith(" " + write_op(0x60, off))]
    check(k.wait_for(reached, timeout=5), "the view's Apply did not reach the chip")
    check(set(reached()) <= service_pids, "the Apply was written by %s" % reached())
    saved = ini_sections(k).get("Fan Ctrl Option 0", {})
    check(saved.get("S0") == str(off) and saved.get("DeltaTemp") == "2",
          "the view's Apply is not in kelvane.ini as edited: %s" % saved)
    check(not k.wait_window("Kelvane", timeout=1), "the view's Apply was refused")
    k.probe("click", OPTIONS_TITLE, OK)
    check(k.wait_gone(OPTIONS_TITLE, timeout=10), "Ok did not close the view's dialog")
    reopen(k)
    check(slider(k, CTR_SLIDER) == off, "the view shows Off %s after its Apply, want %d"
          % (slider(k, CTR_SLIDER), off))
    k.probe("click", OPTIONS_TITLE, OK)
    pids = {trace_pid(line) for line in k.trace_lines()}
    check(pids == service_pids, "a process other than the service drove the chip: %s, view %s"
          % (pids, view_pid))
    # The tray's Exit ends the view, and only the view.
    k.probe("post", MAIN_TITLE, WM_COMMAND, MENU_EXIT, "0")
    check(wait_exit(proc), "the tray's Exit did not end the view")
    before = tick_count(k)
    check(k.wait_for(lambda: tick_count(k) >= before + 3, timeout=10),
          "the service stopped ticking when the view ended")
    k.describe_board(QUIET)


def test_service_protects_with_no_window_and_hands_back_at_stop(k):
    k.describe_board(QUIET)
    # services.exe gives the service none of this environment: the registry names the board.
    key = "HKLM\\SOFTWARE\\Kelvane\\SimulatedBoard"
    for name, path in (("Description", k.board), ("Trace", k.trace), ("Speaker", k.speaker)):
        k.run_windows("reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", windows_path(path),
                      "/f", check=True)
    os.makedirs(k.c_path("C:\\metrics"))
    ini = k.read(INI)
    check(b"\r\nTextFile=\r\n" in ini, "the shipped kelvane.ini changed its TextFile key")
    k.write(INI, ini.replace(b"\r\nTextFile=\r\n", b"\r\nTextFile=" + METRICS.encode() + b"\r\n"))
    keep_services_up(k)
    check(sc(k, "create", "Kelvane", "binpath=", SERVICE).returncode == 0, "sc create failed")
    check(sc(k, "start", "Kelvane").returncode == 0, "sc start failed")

    check(k.wait_for(lambda: tick_count(k) >= 8, timeout=60),
          "the service did not tick: %s" % sc(k, "query", "Kelvane").stdout)
    check(k.probe("count", MAIN_TITLE).stdout.strip() == "0", "a window program is running")
    pids = {trace_fields(line)[1] for line in k.trace_lines()}
    check(len(pids) == 1, "more than one process drove the chip: %s" % pids)
    metrics = k.c_path(METRICS)
    check(k.wait_for(lambda: os.path.exists(metrics), timeout=10), "no metrics file")
    first = os.path.getmtime(metrics)
    check(k.wait_for(lambda: os.path.getmtime(metrics) > first + 1.5, timeout=10),
          "the metrics file is not kept fresh")
    with open(metrics) as f:
        text = f.read()
    check("kelvane_status_code 0" in text and "kelvane_temperature_celsius{" in text,
          "the metrics file lacks the state: %s" % text[:300])
    check('owner="service"} 1\n' in text, "kelvane_info does not name the service: %s" % text)
    views_served_answered_and_dropped_without_delaying_ticks(k, metrics)
    # The service reads and watches the policy: a value set while it runs is counted.
    k.run_windows("reg", "add", "HKLM\\SOFTWARE\\Policies\\Kelvane\\History", "/v", "Days",
                  "/t", "REG_DWORD", "/d", "40", "/f", check=True)
    check(k.wait_for(lambda: "\nkelvane_policy_values 1\n" in open(metrics).read(), timeout=5),
          "the service did not put the policy in force")
    views_show_the_state_and_never_reach_the_chip(k, pids)
    view = start_view(k)

    check(sc(k, "stop", "Kelvane").returncode == 0, "sc stop failed")
    stopped = k.wait_for(lambda: "STOPPED" in sc(k, "query", "Kelvane").stdout, timeout=20)
    check(stopped, "the service did not stop")
    handed_back_as_applied(k, NEWER_WATCHED)
    ended = len(k.trace_lines())
    time.sleep(2)
    check(len(k.trace_lines()) == ended, "the chip was reached after the hand-back")
    # The view stays, says so, and never takes the chip over while the service is installed.
    check(k.wait_for(lambda: k.child(LABEL1).get("text") == GONE, timeout=5),
          "the view does not say that the service is gone: %s" % k.child(LABEL1))
    check(view.poll() is None, "the view ended with the service")
    time.sleep(2)
    check(len(k.trace_lines()) == ended, "the view reached the chip")


def test_view_without_a_service_takes_the_chip_over_when_its_owner_ends(k):
    # A window program in another session owns the chip: here the probe holds its lock.
    k.describe_board(QUIET)
    holder = k.start(PROBE, "owner-lock", "25")
    time.sleep(4)
    check(holder.poll() is None, "the probe could not hold the owner lock")
    view = k.start()
    check(k.wait_window(timeout=40), "the view's window did not appear")
    check(k.wait_for(lambda: k.child(LABEL1).get("text") == GONE, timeout=3),
          "the view does not say that no owner answers: %s" % k.child(LABEL1))
    check(holder.poll() is None, "the owner lock went before the view was seen")
    check(k.trace_lines() == [], "the view reached the chip: %s" % k.trace_lines()[:3])
    # The owner ends: the view starts Kelvane again, which drives the chip as the owner.
    check(wait_exit(holder, timeout=40), "the probe did not let go of the owner lock")
    check(wait_exit(view, timeout=10), "the view did not hand over to a new owner")
    check(k.wait_for(lambda: tick_count(k) >= 3, timeout=60), "no owner ticks after the view")
    check(k.wait_for(lambda: k.child(LABEL1).get("text") == "Normal...", timeout=20),
          "the new owner's window: %s" % k.child(LABEL1))
    pids = {trace_pid(line) for line in k.trace_lines()}
    check(len(pids) == 1, "more than one process drove the chip: %s" % pids)
    check(k.probe("count", MAIN_TITLE).stdout.strip() == "1", "not one window after the hand-over")


CASES = [test_service_protects_with_no_window_and_hands_back_at_stop,
         test_view_without_a_service_takes_the_chip_over_when_its_owner_ends]

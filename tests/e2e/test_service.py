"""Kelvane as a Windows service: the same program, headless, the one owner of the chip with
nobody logged on. Wine runs services without sessions, resume or shutdown controls and restart
on failure, and ends them with the last ordinary Wine process unless wineserver -p keeps it up;
the service is started and stopped with sc here, and the rest is shown by unit tests."""
import os
import re
import subprocess
import time

from harness import (MAIN_TITLE, check, is_tick_start, tick_count, trace_fields,
                     windows_path)
from test_failsafe import NEWER_WATCHED, QUIET, handed_back_as_applied

INI = "C:\\Program Files\\Kelvane\\kelvane.ini"
SERVICE = "C:\\Program Files\\Kelvane\\kelvane-service.exe"
PROBE = "C:\\probe.exe"
METRICS = "C:\\metrics\\kelvane.prom"


def sc(k, *args):
    return k.run_windows("sc", *args, timeout=60)


def tick_times(k):
    """The trace time of each tick's start, in ms."""
    return [ms for ms, _, op in map(trace_fields, k.trace_lines()) if is_tick_start(op)][::3]


def views_served_and_dropped_without_delaying_ticks(k, metrics):
    with open(metrics) as f:
        shown = re.search(r'kelvane_temperature_celsius\{channel="0",[^}]*\} (\d+)', f.read())
    read = k.probe("pipe-read", 2000)
    check(read.returncode == 0, "no state from the pipe within 2 s: %s" % read.stdout)
    check("status=Normal" in read.stdout and "before=2 3 " in read.stdout,
          "the pipe's first frames: %s" % read.stdout)
    check(shown and "temperature=%s\n" % shown.group(1) in read.stdout,
          "the pipe and the metrics file disagree: %s" % read.stdout)

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
    # Without another Wine process the server, and the service with it, would end at once: a
    # persistent server, once the one the commands above left has gone.
    subprocess.run(["wineserver", "-w"], env=k.env(), timeout=60)
    keeper = subprocess.Popen(["wineserver", "-p"], env=k.env())
    k.procs.append(keeper)
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
    views_served_and_dropped_without_delaying_ticks(k, metrics)
    # The service reads and watches the policy: a value set while it runs is counted.
    k.run_windows("reg", "add", "HKLM\\SOFTWARE\\Policies\\Kelvane\\History", "/v", "Days",
                  "/t", "REG_DWORD", "/d", "40", "/f", check=True)
    check(k.wait_for(lambda: "\nkelvane_policy_values 1\n" in open(metrics).read(), timeout=5),
          "the service did not put the policy in force")

    check(sc(k, "stop", "Kelvane").returncode == 0, "sc stop failed")
    stopped = k.wait_for(lambda: "STOPPED" in sc(k, "query", "Kelvane").stdout, timeout=20)
    check(stopped, "the service did not stop")
    handed_back_as_applied(k, NEWER_WATCHED)
    ended = len(k.trace_lines())
    time.sleep(2)
    check(len(k.trace_lines()) == ended, "the chip was reached after the hand-back")


CASES = [test_service_protects_with_no_window_and_hands_back_at_stop]

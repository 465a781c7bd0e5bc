"""The fleet exports on the simulated board: the metrics file read by a real parser of its
format (Debian's python3-prometheus-client, from /usr/bin/python3), read in a tight loop
without ever a partial file, paths that cannot be written, and the event source's calls as
Wine traces them (Wine keeps no event log of its own)."""
import json
import os
import re
import subprocess
import time

from fleet_servers import FleetServers
from harness import EXE, ROOT, check, tick_count

INI = "C:\\Program Files\\Kelvane\\kelvane.ini"
PROM = "C:\\metrics\\kelvane.prom"

# Temperatures 38 / 42 / 36, limits 70 in R64 and R6C, VIN0 at 200 steps (3.2 V). The fan
# counts are the board's own: 5000 / 4500 / 3750 rpm.
BOARD = """[Chip]
Id=0x12
Revision=8
[Registers]
29=38
2A=42
2B=36
20=200
[Hold]
62=0x46
6A=0x46
"""

# Reads every file named on the command line with the real parser; prints one JSON list of
# [name, labels, value] samples per file, or the parser's complaint.
PARSER = r"""
import json, sys
from prometheus_client.parser import text_string_to_metric_families
for path in sys.argv[1:]:
    text = open(path, encoding="ascii").read()
    try:
        samples = [[s.name, s.labels, s.value]
                   for fam in text_string_to_metric_families(text) for s in fam.samples]
        print(json.dumps({"ok": text.endswith("\n"), "samples": samples}))
    except Exception as e:
        print(json.dumps({"ok": False, "error": str(e)}))
"""


def parse(paths):
    out = subprocess.run(["/usr/bin/python3", "-c", PARSER, *paths], capture_output=True,
                         text=True, check=True).stdout
    return [json.loads(line) for line in out.splitlines()]


def value(samples, metric, **labels):
    found = [s[2] for s in samples if s[0] == metric and all(s[1].get(k) == v for k, v in labels.items())]
    check(len(found) == 1, "%s %s: %s" % (metric, labels, found))
    return found[0]


def test_fleet_textfile_parses_and_is_never_partial(k):
    k.describe_board(BOARD)
    os.makedirs(k.c_path("C:\\metrics"))
    k.write(INI, '[Label Option 2]\nCaption=Pa"nel\\2\n[Export]\nTextFile=%s\n' % PROM)
    k.start()
    prom = k.c_path(PROM)
    check(k.wait_for(lambda: os.path.exists(prom), timeout=60), "no metrics file appeared")

    first = parse([prom])[0]
    check(first.get("ok"), "the parser refused the file: %s" % first)
    s = first["samples"]
    for channel, name, temp, rpm in (("0", "System", 38, 5000), ("1", "CPU", 42, 4500),
                                     ("2", 'Pa"nel\\2', 36, 3750)):
        check(value(s, "kelvane_temperature_celsius", channel=channel, name=name) == temp,
              "temperature of channel %s" % channel)
        check(value(s, "kelvane_fan_speed_rpm", channel=channel, name=name) == rpm,
              "fan speed of channel %s" % channel)
    for channel in ("0", "1"):
        check(value(s, "kelvane_temperature_limit_celsius", channel=channel) == 70,
              "limit of channel %s" % channel)
    check(abs(value(s, "kelvane_voltage_volts", input="0", name="VIN0") - 3.2) < 0.001, "VIN0")
    check(value(s, "kelvane_status_code") == 0, "status code")
    check(value(s, "kelvane_alarm_lasting") == 0, "alarm lasting")
    check(value(s, "kelvane_hardware_reachable") == 1, "reachable")
    check(abs(value(s, "kelvane_last_tick_timestamp_seconds") - time.time()) < 30, "timestamp")
    check(value(s, "kelvane_info", version="5.07", chip_id="0x12", revision="8",
                layout="newer-delta", driver="simulated", owner="window") == 1, "info")
    for reason in ("settings_unreadable", "settings_stopped", "port_program_failed",
                   "chip_not_identified", "monitor_not_at_address",
                   "fan_settings_partial", "history_unwritable"):
        check(value(s, "kelvane_setup_problem", reason=reason) == 0, "set-up problem " + reason)

    # A reader polling as fast as it can across several replacements sees whole files only.
    seen = {}
    end = time.time() + 4
    while time.time() < end:
        try:
            with open(prom, "rb") as f:
                seen[f.read()] = None
        except FileNotFoundError:  # never: the move replaces the file in one step
            seen[b"<missing>"] = None
    check(b"<missing>" not in seen, "the file was missing for a moment")
    check(len(seen) >= 3, "only %d distinct files in four seconds" % len(seen))
    paths = []
    for i, content in enumerate(seen):
        paths.append(os.path.join(k.dir, "read%d.prom" % i))
        with open(paths[-1], "wb") as f:
            f.write(content)
    for i, result in enumerate(parse(paths)):
        check(result.get("ok") and len(result["samples"]) == len(s),
              "read %d was not a whole file: %s" % (i, result))


def start_traced(k, name):
    """Starts Kelvane with Wine's traces of the event log calls in a file of the case."""
    with open(os.path.join(k.dir, "wine-%s.txt" % name), "w") as err:
        k.procs.append(subprocess.Popen(["wine", EXE],
                                        env=k.env(WINEDEBUG="-all,fixme+advapi,+eventlog"),
                                        stdout=subprocess.DEVNULL, stderr=err))


def test_fleet_bad_paths_are_harmless_and_events_reach_the_log(k):
    k.describe_board(BOARD)
    k.write(INI, "[Export]\nTextFile=C:\\no such folder\\kelvane.prom\n")
    start_traced(k, "first")
    check(k.wait_window(timeout=40), "main window did not appear")
    check(k.wait_for(lambda: tick_count(k) >= 5, timeout=60), "the monitor stopped ticking")
    check(not os.path.exists(k.c_path("C:\\no such folder")), "a folder was made")

    # A target that may not be replaced: the old file stays, the monitor goes on.
    os.makedirs(k.c_path("C:\\metrics"))
    k.write(PROM, "old\n")
    undo = k.make_read_only(PROM)
    try:
        k.stop()
        k.write(INI, "[Export]\nTextFile=%s\n" % PROM)
        start_traced(k, "second")
        check(k.wait_window(timeout=40), "main window did not appear again")
        at = tick_count(k)
        check(k.wait_for(lambda: tick_count(k) >= at + 4, timeout=60), "the monitor stopped")
        check(k.read(PROM) == b"old\n", "the read-only file was replaced")
    finally:
        undo()
    k.stop()
    # The start event (id 1, information) with its strings, as Wine's stub traces ReportEvent.
    with open(os.path.join(k.dir, "wine-second.txt"), errors="replace") as f:
        err = f.read()
    check(re.search(r"ReportEventA \([0-9A-F]+,0x0004,0x0000,0x00000001,", err),
          "no start event traced: %s" % err[-2000:])
    for text in ("5.07", "id 18 revision 8", "newer-delta"):
        check(text in err, "the start event lacks %r: %s" % (text, err[-2000:]))


# The same healthy board without a low VIN0, so that the shipped voltage nominals hold.
PIPELINE_BOARD = """[Chip]
Id=0x12
Revision=8
[Registers]
29=38
2A=%d
2B=36
[Hold]
62=0x46
6A=0x46
"""
DASHBOARD = os.path.join(ROOT, "packaging", "grafana", "kelvane.json")


def dashboard_queries():
    """(expression, instant) of every target of the dashboard, and its variable's query."""
    with open(DASHBOARD) as f:
        board = json.load(f)
    found = []

    def walk(panels):
        for p in panels:
            walk(p.get("panels", []))
            found.extend((t["expr"], bool(t.get("instant"))) for t in p.get("targets", []))
    walk(board["panels"])
    variables = [v["query"]["query"] for v in board["templating"]["list"]]
    return found, variables


def check_dashboard(s, instance, seconds):
    queries, variables = dashboard_queries()
    check(len(queries) >= 10, "the dashboard has only %d queries" % len(queries))
    for expr, instant in queries:
        expr = expr.replace("$instance", instance)
        if instant:
            got = s.query(expr)
        else:
            got = [r for r in s.query_range(expr, seconds) if r["values"]]
        check(got, "the dashboard's %r returned no data" % expr)
    for query in variables:  # Grafana's label_values(metric, label)
        m = re.fullmatch(r"label_values\((\w+), *(\w+)\)", query)
        check(m, "unexpected variable query %r" % query)
        values = {labels.get(m.group(2)) for labels, _ in s.query(m.group(1))}
        check(values == {instance}, "variable %r gives %s" % (query, values))


def firing(s, *names):
    return lambda: set(names) <= set(s.alerts())


def test_fleet_pipeline_alerts_on_a_real_prometheus(k):
    """Kelvane's file through the node exporter into Prometheus with the shipped rules: a hot
    board fires and cooling resolves, the values match the board's, an ended Kelvane goes
    stale, and every query of the shipped dashboard returns data."""
    k.describe_board(PIPELINE_BOARD % 42)
    folder = k.c_path("C:\\metrics")
    os.makedirs(folder)
    shipped = k.read(INI)
    check(b"[Export]\r\nTextFile=\r\n" in shipped, "the shipped kelvane.ini changed [Export]")
    k.write(INI, shipped.replace(b"TextFile=\r\n", b"TextFile=%s\r\n" % PROM.encode()))
    k.write("C:\\hwm.txt", "")  # the critical switch
    started = time.time()
    with FleetServers(k.dir, folder) as s:
        k.start()
        check(s.wait(lambda: s.query("kelvane_hardware_reachable == 1"), timeout=60),
              "Prometheus never got Kelvane's series")
        instance = s.query("kelvane_info")[0][0]["instance"]

        def values(metric, label):
            return {m[label]: v for m, v in s.query(metric)}
        check(values("kelvane_temperature_celsius", "channel") == {"0": 38, "1": 42, "2": 36},
              "temperatures: %s" % values("kelvane_temperature_celsius", "channel"))
        check(values("kelvane_fan_speed_rpm", "channel") == {"0": 5000, "1": 4500, "2": 3750},
              "fans: %s" % values("kelvane_fan_speed_rpm", "channel"))
        check(values("kelvane_temperature_limit_celsius", "channel") == {"0": 70, "1": 70},
              "limits: %s" % values("kelvane_temperature_limit_celsius", "channel"))
        # The node exporter's own series under the Windows exporter's names.
        for expr, want in (('windows_exporter_collector_success{collector="textfile"}', 1),
                           ("windows_textfile_scrape_error", 0),
                           ('count(windows_textfile_mtime_seconds{file=~".*kelvane\\\\.prom"})', 1)):
            got = [v for _, v in s.query(expr)]
            check(got == [want], "%s: %s" % (expr, got))

        k.describe_board(PIPELINE_BOARD % 85)  # CPU 15 degrees over its limit
        check(s.wait(firing(s, "KelvaneOverTemperature", "KelvaneCritical"), timeout=60),
              "no over-temperature alert: firing %s" % s.alerts())
        check(set(s.alerts()) == {"KelvaneOverTemperature", "KelvaneCritical"},
              "other alerts fired: %s" % s.alerts())
        check(values("kelvane_temperature_celsius", "channel")["1"] == 85, "CPU not at 85")
        check([v for _, v in s.query("kelvane_status_code")] == [1], "status code not 1")

        k.describe_board(PIPELINE_BOARD % 42)
        check(s.wait(lambda: not s.alerts(), timeout=30),
              "cooling left alerts firing: %s" % s.alerts())
        check_dashboard(s, instance, time.time() - started)

        k.stop()
        stopped = time.time()
        # Two minutes of scrapes that all read the last tick's time.
        check(s.wait(firing(s, "KelvaneStale"), timeout=150), "no stale alert after 150 s")
        waited = time.time() - stopped
        check(115 < waited < 140, "the stale alert took %.0f s" % waited)


CASES = [
    test_fleet_textfile_parses_and_is_never_partial,
    test_fleet_bad_paths_are_harmless_and_events_reach_the_log,
    test_fleet_pipeline_alerts_on_a_real_prometheus,
]

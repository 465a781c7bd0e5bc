"""A fleet's monitoring on loopback: Debian's node exporter reads a textfile folder and
Debian's Prometheus scrapes it every second with the shipped rules loaded.

The node exporter's textfile collector is the Linux sibling of the Windows exporter's, not
the same: its own series are named node_*, its "file" label is the full path, and it rejects
CRLF and a byte-order mark, which the Windows exporter strips. The scrape configuration maps
its series onto the Windows exporter's names, so the rules run as they will on the fleet.
Both servers run on free ports chosen here and always end with the `with` block."""
import json
import os
import shutil
import socket
import subprocess
import time
import urllib.parse
import urllib.request

from harness import ROOT, wait_until

RULES = os.path.join(ROOT, "packaging", "prometheus", "kelvane.rules.yml")

CONFIG = """global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files:
  - %(rules)s
scrape_configs:
  - job_name: terminals
    static_configs:
      - targets: ["127.0.0.1:%(exporter_port)d"]
        labels:
          kelvane: expected
    metric_relabel_configs:
      - source_labels: [__name__]
        regex: node_textfile_(mtime_seconds|scrape_error)
        target_label: __name__
        replacement: windows_textfile_$1
      - source_labels: [__name__]
        regex: node_scrape_collector_success
        target_label: __name__
        replacement: windows_exporter_collector_success
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class FleetServers:
    def __init__(self, work, textfile_folder):
        self.work = work
        self.folder = textfile_folder
        self.procs = []
        self.exporter_port = free_port()
        self.port = free_port()

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(timeout=10)
        self.procs = []
        shutil.rmtree(os.path.join(self.work, "tsdb"), ignore_errors=True)
        return False

    def _spawn(self, name, args):
        log = open(os.path.join(self.work, name + ".log"), "w")
        with log:
            self.procs.append(subprocess.Popen(args, stdout=log, stderr=subprocess.STDOUT,
                                               stdin=subprocess.DEVNULL))

    def _start(self):
        self._spawn("node-exporter", [
            "/usr/bin/prometheus-node-exporter",
            "--web.listen-address=127.0.0.1:%d" % self.exporter_port,
            "--collector.disable-defaults", "--collector.textfile",
            "--collector.textfile.directory=" + self.folder])
        config = os.path.join(self.work, "prometheus.yml")
        with open(config, "w") as f:
            f.write(CONFIG % {"rules": RULES, "exporter_port": self.exporter_port})
        self._spawn("prometheus", [
            "/usr/bin/prometheus", "--config.file=" + config,
            "--storage.tsdb.path=" + os.path.join(self.work, "tsdb"),
            "--web.listen-address=127.0.0.1:%d" % self.port])
        if not self.wait(lambda: self._ready(), timeout=30):
            raise AssertionError("Prometheus did not become ready: see %s" % self.work)

    def _ready(self):
        for proc in self.procs:
            if proc.poll() is not None:
                raise AssertionError("a server ended at start: see %s" % self.work)
        try:
            with urllib.request.urlopen("http://127.0.0.1:%d/-/ready" % self.port, timeout=2):
                return True
        except OSError:
            return False

    @staticmethod
    def wait(predicate, timeout, step=0.5):
        return wait_until(predicate, timeout, step)

    def api(self, path, **params):
        url = "http://127.0.0.1:%d/api/v1/%s?%s" % (self.port, path,
                                                    urllib.parse.urlencode(params))
        with urllib.request.urlopen(url, timeout=10) as r:
            body = json.load(r)
        if body.get("status") != "success":
            raise AssertionError("%s: %s" % (url, body))
        return body["data"]

    def query(self, expr):
        """{instance-less label text: value} of an instant query."""
        result = self.api("query", query=expr)["result"]
        return [(r["metric"], float(r["value"][1])) for r in result]

    def query_range(self, expr, seconds):
        now = time.time()
        return self.api("query_range", query=expr, start=now - seconds, end=now, step=1)["result"]

    def alerts(self, state="firing"):
        return sorted({a["labels"]["alertname"] for a in self.api("alerts")["alerts"]
                       if a["state"] == state})

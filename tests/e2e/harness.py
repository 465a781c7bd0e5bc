"""End-to-end harness: the installed Kelvane in a fresh Wine prefix under Xvfb.

Each case gets its own prefix (its own wineserver), so ending a case ends only the
processes that case started.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time
import traceback

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
# Separate runs (two engineers, or CI and a demo) keep apart through these two variables.
WORK = os.environ.get("KELVANE_E2E_WORK", os.path.join(ROOT, "build", "e2e"))
SHOTS = os.path.join(WORK, "screenshots")
PROBE = os.environ.get("KELVANE_PROBE",
                       os.path.join(ROOT, "build", "win32", "tests", "probe", "probe.exe"))
MAIN_TITLE = "Kelvane Ver 5.07"
EXE = r"C:\Program Files\Kelvane\kelvane.exe"
IMPORT = "/usr/bin/import"
CONVERT = "/usr/bin/convert"


def windows_path(linux_path):
    return "Z:" + os.path.abspath(linux_path).replace("/", "\\")


class Display:
    """One Xvfb for the whole run; the cases never touch the user's screen."""

    def __init__(self, number=None):
        if number is None:
            number = int(os.environ.get("KELVANE_E2E_DISPLAY", "93"))
        self.number = number
        self.name = ":%d" % number
        self.proc = subprocess.Popen(
            ["Xvfb", self.name, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.0)

    def close(self):
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(timeout=10)


class Kelvane:
    def __init__(self, name, display):
        self.name = name
        self.display = display
        self.dir = os.path.join(WORK, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.prefix = os.path.join(self.dir, "prefix")
        subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix.sh"), self.prefix], check=True)
        self.drive_c = os.path.join(self.prefix, "drive_c")
        shutil.copy(PROBE, os.path.join(self.drive_c, "probe.exe"))
        self.trace = os.path.join(self.dir, "trace.txt")
        self.speaker = os.path.join(self.dir, "speaker.txt")
        self.board = None
        self.procs = []

    # Environment and files.
    def env(self, **extra):
        env = dict(os.environ)
        env.update(WINEPREFIX=self.prefix, WINEARCH="win32", WINEDEBUG="-all",
                   DISPLAY=self.display.name, KELVANE_TRACE=windows_path(self.trace),
                   KELVANE_SPEAKER=windows_path(self.speaker))
        if self.board:
            env["KELVANE_BOARD"] = windows_path(self.board)
        env.update(extra)
        # None unsets: a program that must find its files elsewhere, as a service does.
        return {key: value for key, value in env.items() if value is not None}

    def c_path(self, windows):
        """Linux path of a C: path such as C:\\hwm.txt."""
        rel = windows[3:] if windows[1:3] == ":\\" else windows
        return os.path.join(self.drive_c, *rel.split("\\"))

    def program_file(self, name):
        return self.c_path("C:\\Program Files\\Kelvane\\" + name)

    def write(self, windows, content, mode="w"):
        path = self.c_path(windows)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, mode + ("b" if isinstance(content, bytes) else "")) as f:
            f.write(content)

    def read(self, windows):
        with open(self.c_path(windows), "rb") as f:
            return f.read()

    def make_read_only(self, windows):
        """Sets a C: file read-only; returns the function that undoes it.

        Wine shows a file without write permission as read-only, but run as root it still
        writes it, so root also gets the immutable flag, which stops root too."""
        path = self.c_path(windows)
        os.chmod(path, 0o444)
        immutable = os.geteuid() == 0
        if immutable:
            subprocess.run(["chattr", "+i", path], check=True)

        def undo():
            if immutable:
                subprocess.run(["chattr", "-i", path], check=True)
            os.chmod(path, 0o644)
        return undo

    def describe_board(self, text):
        self.board = os.path.join(self.dir, "board.ini")
        with open(self.board, "w") as f:
            f.write(text)

    # Processes.
    def start(self, program=EXE, *args, **env):
        proc = subprocess.Popen(["wine", program, *args], env=self.env(**env),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(proc)
        return proc

    def start_in(self, cwd, program=EXE, *args, **env):
        """Starts a program with the given Linux folder as its current directory."""
        proc = subprocess.Popen(["wine", program, *args], cwd=cwd, env=self.env(**env),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(proc)
        return proc

    def hold_locked(self, windows, seconds):
        """Another program keeps a C: file open without sharing; returns once it holds it."""
        out_path = os.path.join(self.dir, "lock-%d.txt" % len(self.procs))
        with open(out_path, "w") as out:
            proc = subprocess.Popen(["wine", "C:\\probe.exe", "lock", windows, str(seconds)],
                                    env=self.env(), stdout=out, stderr=subprocess.DEVNULL)
        self.procs.append(proc)

        def answer():
            with open(out_path) as f:
                return f.read().strip()
        said = self.wait_for(answer, timeout=30)
        if said != "locked=1":
            raise AssertionError("could not lock %s: %r" % (windows, said))
        return proc

    def probe(self, *args, check=False):
        # Output goes through a file: Wine's helper processes inherit a pipe and keep it
        # open long after the probe itself has ended.
        return self.run_windows("C:\\probe.exe", *args, check=check)

    def run_windows(self, program, *args, check=False, timeout=90):
        # Window texts come as the ANSI code page has them.
        with tempfile.TemporaryFile("w+", encoding="cp1252", errors="replace") as out:
            proc = subprocess.run(["wine", program, *map(str, args)], env=self.env(),
                                  stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            result = subprocess.CompletedProcess(proc.args, proc.returncode, out.read(), "")
        if check and result.returncode != 0:
            raise AssertionError("%s %s failed: %s" % (program, args, result.stdout))
        return result

    def window(self, title=MAIN_TITLE):
        out = self.probe("window", title)
        info = {}
        for line in out.stdout.splitlines():
            if "=" in line:
                k, v = line.split("=", 1)
                info[k.strip()] = v.strip()
        return info

    def child(self, id_, title=MAIN_TITLE):
        out = self.probe("child", title, id_)
        info = {}
        line = out.stdout.strip()
        if "text=" in line:
            head, text = line.split(" text=", 1)
            info["text"] = text
            for part in head.split():
                k, _, v = part.partition("=")
                info[k] = v
        return info

    def wait_window(self, title=MAIN_TITLE, timeout=30):
        return self.probe("wait", title, int(timeout * 1000)).returncode == 0

    def wait_gone(self, title=MAIN_TITLE, timeout=30):
        return self.probe("gone", title, int(timeout * 1000)).returncode == 0

    def trace_lines(self):
        try:
            with open(self.trace) as f:
                text = f.read()
        except FileNotFoundError:
            return []
        # The last piece is empty, or a line the library is still writing.
        return text.split("\n")[:-1]

    def wait_for(self, predicate, timeout=30, step=0.25):
        return wait_until(predicate, timeout, step)

    def screenshot(self, name):
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name)
        subprocess.run([IMPORT, "-display", self.display.name, "-window", "root", path],
                       check=True, capture_output=True)
        return path

    def key(self, *keys):
        subprocess.run(["xdotool", "key", *keys], env={**os.environ, "DISPLAY": self.display.name},
                       check=True)

    def reg_query(self, key, value):
        out = self.run_windows("reg", "query", key, "/v", value)
        return out.stdout if out.returncode == 0 else None

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env(), capture_output=True)
        for p in self.procs:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
        subprocess.run(["wineserver", "-w"], env=self.env(), capture_output=True)


def keep_services_up(k):
    """Wine ends its services with the last ordinary process: a persistent server, once the
    one that earlier commands left has gone, keeps them running. Its own processes start with a
    command whose output nobody reads to the end. The trace starts anew."""
    subprocess.run(["wineserver", "-w"], env=k.env(), timeout=60)
    if os.path.exists(k.trace):
        os.remove(k.trace)
    # Returns once the server listens; it fails while another one still serves the prefix.
    subprocess.run(["wineserver", "-p"], env=k.env(), timeout=60, check=True)
    subprocess.run(["wine", "cmd", "/c", "exit"], env=k.env(), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def run_cases(cases, display):
    passed = failed = 0
    for case in cases:
        name = case.__name__
        started = time.time()
        k = Kelvane(name, display)
        failed_before = failed
        try:
            case(k)
            passed += 1
            print("PASS %s (%.0f s)" % (name, time.time() - started), flush=True)
        except Exception:  # a failed case must not stop the others
            failed += 1
            print("FAIL %s\n%s" % (name, traceback.format_exc()), flush=True)
        finally:
            k.stop()
            # A prefix is over half a gigabyte: keep it only when its case failed.
            if failed_before == failed and not os.environ.get("KELVANE_E2E_KEEP"):
                shutil.rmtree(k.prefix, ignore_errors=True)
    return passed, failed


# Helpers shared by the settings, monitor and shell cases.

def trace_fields(line):
    """A trace line's time in ms, process id and operation:
    "1240 pid=36 WriteReg 0x0295 0x15 0x80" gives (1240, 36, "WriteReg 0x0295 0x15 0x80")."""
    ms, pid, op = line.split(" ", 2)
    check(pid.startswith("pid="), "a trace line without its process: %r" % line)
    return int(ms), int(pid[len("pid="):]), op


def trace_pid(line):
    return trace_fields(line)[1]


def trace_ops(k):
    """The trace without its time stamps and process ids: "WriteReg 0x0295 0x15 0x80"."""
    return [trace_fields(line)[2] for line in k.trace_lines()]


def is_tick_start(op):
    # Every temperature read is preceded by this write, three times per tick.
    return op.startswith("WriteReg ") and op.endswith(" 0x51 0x38")


def tick_starts(ops):
    """Indices in ops where each monitor tick begins."""
    marks = [i for i, op in enumerate(ops) if is_tick_start(op)]
    return marks[::3]


def ticks(ops):
    """The ops of each monitor tick, in order; ticks()[0] is the first tick (g_Delay 0)."""
    starts = tick_starts(ops)
    return [ops[a:b] for a, b in zip(starts, starts[1:] + [len(ops)])]


def tick_count(k):
    return len(tick_starts(trace_ops(k)))


def wait_until(predicate, timeout, step):
    """The predicate's first true value within the timeout, or its last value."""
    end = time.time() + timeout
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def xdotool(k, *args):
    subprocess.run(["xdotool", *map(str, args)], env={**os.environ, "DISPLAY": k.display.name},
                   check=True)


def client_origin(k, title=MAIN_TITLE):
    """Screen position of a window's client area."""
    info = k.window(title)
    # The frame is as wide on the left as at the bottom; the caption takes the rest on top.
    border = (int(info["width"]) - int(info["client_width"])) // 2
    caption = int(info["height"]) - int(info["client_height"]) - border
    return int(info["left"]) + border, int(info["top"]) + caption


def wait_exit(proc, timeout=20):
    end = time.time() + timeout
    while proc.poll() is None and time.time() < end:
        time.sleep(0.25)
    return proc.poll() is not None


def class_window(k, cls):
    """Window facts of the first window of a class (menus and the task bar have no title)."""
    info = {}
    for line in k.probe("class", cls).stdout.splitlines():
        if "=" in line:
            key, value = line.split("=", 1)
            info[key.strip()] = value.strip()
    return info


def tray_spot(k):
    """Screen point of Kelvane's icon: the only one, at the right end of the task bar."""
    bar = class_window(k, "Shell_TrayWnd")
    check(bar.get("visible") == "1", "no task bar on the desktop: %s" % bar)
    return (int(bar["left"]) + int(bar["width"]) - 11, int(bar["top"]) + int(bar["height"]) // 2)


def open_tray_menu(k):
    """Opens the tray menu with the right button; returns the icon's spot and the menu's facts."""
    x, y = tray_spot(k)
    xdotool(k, "mousemove", x, y)
    xdotool(k, "click", 3)
    menu = {}
    k.wait_for(lambda: menu.update(class_window(k, "#32768")) or menu.get("visible") == "1",
               timeout=5)
    check(menu.get("visible") == "1", "the tray menu did not open: %s" % menu)
    return (x, y), menu


def tray_icon_present(k):
    out = k.probe("trayicon", MAIN_TITLE, 1231).stdout
    return "present=1" in out


def top_window(k):
    """The caption of the visible top-level window nearest the top of the z-order."""
    for line in k.probe("list").stdout.splitlines():
        if " visible=1 " in line and " title=" in line:
            return line.split(" title=", 1)[1]
    return None


def above(k, title, other):
    """Whether the window titled `title` is nearer the top of the z-order than `other`."""
    return "above=1" in k.probe("above", title, other).stdout


def children(k, title):
    """Each child of a window as a dict (id, class, visible, ..., text)."""
    result = []
    for line in k.probe("children", title).stdout.splitlines():
        if " text=" not in line:
            continue
        head, text = line.split(" text=", 1)
        info = {"text": text}
        for part in head.split():
            key, _, value = part.partition("=")
            info[key] = value
        result.append(info)
    return result


def restart_clean(k):
    """Ends everything of the prefix and forgets the trace, so the next start is traced alone."""
    k.stop()
    k.procs = []
    for path in (k.trace, k.speaker):
        if os.path.exists(path):
            os.remove(path)

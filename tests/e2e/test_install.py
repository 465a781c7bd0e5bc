"""The packages: the portable zip's contents, and the MSI installed, reinstalled, upgraded and
removed silently in a prefix that has only the terminal's own files."""
import datetime
import os
import re
import shutil
import subprocess
import tempfile
import time
import zipfile

from harness import (MAIN_TITLE, ROOT, check, keep_services_up, restart_clean, tick_count,
                     trace_pid, windows_path)

PACKAGES = os.path.join(ROOT, "build", "win32", "packages")
MSI = os.path.join(PACKAGES, "kelvane-5.07.msi")
ZIP = os.path.join(PACKAGES, "kelvane-5.07-portable.zip")
EXE_BUILT = os.path.join(ROOT, "build", "win32", "src", "win32", "kelvane.exe")
DLL_BUILT = os.path.join(ROOT, "build", "win32", "src", "board", "dll", "brantelvio.dll")
SERVICE_BUILT = os.path.join(ROOT, "build", "win32", "src", "win32", "kelvane-service.exe")
ACTIONS_BUILT = os.path.join(ROOT, "build", "win32", "src", "win32", "kelvane-install-actions.dll")
RUN_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
SOURCE_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Kelvane"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
PROGRAM = "C:\\Program Files\\Kelvane\\"
KELVANE_KEY = r"HKLM\SOFTWARE\Kelvane"
BOARD_KEY = KELVANE_KEY + r"\SimulatedBoard"
METRICS_DIR = "C:\\ProgramData\\Kelvane\\metrics"
METRICS_FILE = METRICS_DIR + "\\kelvane.prom"
# Files of the terminal's own installation that the packages must never bring along.
FOREIGN = ("prog.txt", "getuser.exe", "quick.exe", ".set")


def tree(path):
    found = set()
    for folder, _, files in os.walk(path):
        found.update(os.path.relpath(os.path.join(folder, f), path) for f in files)
    return found


def msiexec(k, *args):
    """A silent run prints nothing at all: a fleet tool logs every line."""
    # Through a file: the services the package starts would keep a pipe open.
    with tempfile.TemporaryFile() as said:
        out = subprocess.run(["wine", "msiexec", *args], env=k.env(), stdout=said,
                             stderr=subprocess.STDOUT, timeout=180)
        said.seek(0)
        noise = said.read()
    check(out.returncode == 0, "msiexec %s ended with %d" % (" ".join(args), out.returncode))
    check(not noise, "msiexec %s printed:\n%s" % (" ".join(args), noise.decode(
        "cp1252", errors="replace")))


def products(k):
    """DisplayVersion of every installed Kelvane."""
    out = k.run_windows("reg", "query", UNINSTALL_KEY, "/s").stdout
    versions, name = [], None
    for line in out.splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[0] == "DisplayName":
            name = parts[2]
        elif len(parts) == 3 and parts[0] == "DisplayVersion" and name == "Kelvane 5.07":
            versions.append(parts[2])
        elif line.startswith("HKEY"):
            name = None
    return versions


def service_state(k):
    """RUNNING, STOPPED, ... or None when no service "Kelvane" is installed."""
    out = k.run_windows("sc", "query", "Kelvane", timeout=60)
    state = re.search(r"STATE\s*:\s*\d+\s+(\w+)", out.stdout)
    return state.group(1) if out.returncode == 0 and state else None


def runs_window_program(run):
    """Whether a Run value query gives kelvane.exe as Kelvane writes it: the path in quotes."""
    return re.search(r'REG_SZ\s+%s\n' % re.escape('"%skelvane.exe"' % PROGRAM), run or "")


def wait_running(k):
    """A service still starting refuses a stop, on Windows too: a removal comes once it runs."""
    check(k.wait_for(lambda: service_state(k) == "RUNNING", timeout=60),
          "the service is not running: %s" % service_state(k))


def check_service_drives_the_chip(k):
    """The service alone drives the chip, with no window program, and starts the window
    program at logon: the Run value names kelvane.exe, as Kelvane writes it."""
    wait_running(k)
    ticked = k.wait_for(lambda: tick_count(k) >= 3, timeout=60)
    check(ticked, "the service did not tick: %d ticks" % tick_count(k))
    # One process after the other (an upgrade stops the old service and starts the new one),
    # never two at once.
    pids = [trace_pid(line) for line in k.trace_lines()]
    turns = [pid for i, pid in enumerate(pids) if i == 0 or pid != pids[i - 1]]
    check(len(turns) == len(set(turns)), "two processes drove the chip at once: %s" % turns)
    check(k.probe("count", MAIN_TITLE).stdout.strip() == "0", "a window program is running")
    run = k.reg_query(RUN_KEY, "Kelvane")
    check(runs_window_program(run), "the Run value does not start the window program: %r" % run)


def check_service_gone(k):
    """No service any more, and nothing reaches the chip."""
    check(service_state(k) is None, "the service is still there: %s" % service_state(k))
    check(not os.path.exists(k.program_file("kelvane-service.exe")), "the service's file was left")
    ended = len(k.trace_lines())
    time.sleep(2)
    check(len(k.trace_lines()) == ended, "the chip is still reached")


def check_text_file(k, edited, path):
    """kelvane.ini is the technician's, but for [Export] TextFile, and the path is kept. With
    path None the package's TextFile line is gone, with the package."""
    ini = k.read(PROGRAM + "kelvane.ini")
    # Wine's profile functions drop the blank lines of a file they write; Windows keeps them.
    # A line that was removed comes back at the end of its section.
    lines = [line for line in ini.split(b"\r\n") if line]
    others = [line for line in edited.split(b"\r\n") if line and not line.startswith(b"TextFile=")]
    export = lines[lines.index(b"[Export]") + 1:]
    export = export[:next((i for i, line in enumerate(export) if line.startswith(b"[")),
                          len(export))]
    check([line for line in lines if not line.startswith(b"TextFile=")] == others
          and [line for line in export if line.startswith(b"TextFile=")]
          == ([] if path is None else [b"TextFile=" + path.encode()]),
          "kelvane.ini after METRICSFILE=%s:\n%s" % (path, ini.decode(errors="replace")))
    saved = k.reg_query(KELVANE_KEY, "MetricsFile")
    check(saved is None if path is None else saved and path in saved,
          "MetricsFile remembered: %r" % saved)


def test_packages_install_upgrade_and_remove_cleanly(k):
    names = zipfile.ZipFile(ZIP).namelist()
    for want in ("Kelvane/kelvane.exe", "Kelvane/kelvane.ini", "Kelvane/INSTALL.txt",
                 "Kelvane/docs/install.txt", "Kelvane/docs/settings.md",
                 "Kelvane/docs/fleet.md", "Kelvane/docs/kelvane.rules.yml",
                 "Kelvane/docs/kelvane.json", "Kelvane/policy/kelvane.admx",
                 "Kelvane/policy/en-US/kelvane.adml",
                 "Kelvane/simulated board/brantelvio.dll"):
        check(want in names, "zip lacks %s: %s" % (want, names))
    check(not {"Kelvane/docs/settings.txt", "Kelvane/docs/fleet.txt"} & set(names),
          "zip has a guide under its old name too: %s" % names)
    check(not [n for n in names if n.lower().endswith(FOREIGN)], "zip carries %s" % names)
    check("Kelvane/brantelvio.dll" not in names, "zip puts the simulated driver in the folder")

    # Wine's installer never chooses a transitive component anew, so the package's tables
    # show what lets a reinstall on Windows switch between the service and the window program.
    components = subprocess.run(["msiinfo", "export", MSI, "Component"], check=True,
                                capture_output=True, text=True).stdout
    service = [row.split("\t") for row in components.splitlines() if row.startswith("Service\t")]
    check(len(service) == 1 and int(service[0][3]) & 64 and service[0][4] == 'SERVICE <> "0"',
          "the service's component is not chosen by SERVICE at every install: %s" % service)

    # A terminal before Kelvane: prog.txt and the fan tool, no program folder.
    shutil.rmtree(k.c_path(PROGRAM))
    k.write("C:\\hwm.txt", "history before\r\n")
    k.write("C:\\ng.txt", "faults before\r\n")
    before = tree(k.drive_c)
    prog = k.read("C:\\prog.txt")

    # services.exe gives the service none of the test's environment: the registry names the
    # simulated board's trace.
    k.run_windows("reg", "add", BOARD_KEY, "/v", "Trace", "/t", "REG_SZ", "/d",
                  windows_path(k.trace), "/f", check=True)
    keep_services_up(k)
    msiexec(k, "/i", windows_path(MSI), "/qn", "ADDLOCAL=ALL")
    added = tree(k.drive_c) - before
    docs = [os.path.join("docs", f)
            for f in ("install.txt", "options.txt", "settings.md", "fleet.md")]
    program = {os.path.join("Program Files", "Kelvane", f) for f in
               ["kelvane.exe", "kelvane-service.exe", "kelvane.ini", "brantelvio.dll",
                os.path.join("docs", "kelvane.rules.yml"), os.path.join("docs", "kelvane.json")]
               + docs}
    check(program <= added, "not installed: %s (added %s)" % (program - added, added))
    # The templates lie beside the MSI for the central store, and never land on a terminal.
    for template in ("kelvane.admx", os.path.join("en-US", "kelvane.adml")):
        check(os.path.isfile(os.path.join(PACKAGES, "policy", template)),
              "%s is not beside the MSI" % template)
    check(not [p for p in added if p.lower().endswith((".admx", ".adml"))],
          "the MSI installed a template: %s" % added)
    # Text that Notepad shows line by line, under the names the shipped files give.
    for doc in docs:
        text = k.read(PROGRAM + doc.replace(os.sep, "\\"))
        check(text.count(b"\r\n") > 10 and b"\n" not in text.replace(b"\r\n", b""),
              "%s is not CRLF text" % doc)
    # Every guide the shipped kelvane.ini and INSTALL.txt name is there under that name.
    named = []
    for shipped in (os.path.join(ROOT, "dist", "kelvane.ini"),
                    os.path.join(ROOT, "packaging", "INSTALL.txt")):
        with open(shipped) as f:
            named += re.findall(r"docs[\\/]([\w.]+\.(?:txt|md))\b", f.read())
    check({"install.txt", "settings.md", "fleet.md"} <= set(named), "guides named: %s" % named)
    for name in named:
        check(os.path.join("Program Files", "Kelvane", "docs", name) in added,
              "docs\\%s is named but not installed" % name)
    outside = [f for f in added if not f.startswith(os.path.join("Program Files", "Kelvane"))
               and not f.startswith(("windows", "users", "ProgramData"))]
    check(not outside, "the package wrote outside its folder: %s" % outside)
    check(not [f for f in added if f.lower().endswith(FOREIGN)], "foreign files: %s" % added)
    check(k.read("C:\\prog.txt") == prog, "C:\\prog.txt changed")
    # The shipped settings, but starting with Windows, as the package does by default.
    with open(os.path.join(ROOT, "dist", "kelvane.ini"), "rb") as f:
        shipped = f.read().replace(b"\r\nExecuteAtStartup=0\r\n", b"\r\nExecuteAtStartup=2\r\n")
    check(k.read(PROGRAM + "kelvane.ini") == shipped, "shipped kelvane.ini differs")
    # The metrics folder is there for the cashier's Kelvane (its rights Wine cannot show);
    # without METRICSFILE nothing is remembered.
    check(os.path.isdir(k.c_path(METRICS_DIR)), "no metrics folder")
    check(k.reg_query(KELVANE_KEY, "MetricsFile") is None, "a metrics file remembered")
    exe = k.read(PROGRAM + "kelvane.exe")
    for text in ("CompanyName", "Talvenor Terminal Systems", "ProductVersion", "Kelvane"):
        check(text.encode("utf-16-le") in exe, "version resource lacks %r" % text)
    source = k.reg_query(SOURCE_KEY, "EventMessageFile") or ""
    check(PROGRAM + "kelvane.exe" in source, "event source not registered: %r" % source)

    # The package installed and started the service, which drives the chip on its own.
    check_service_drives_the_chip(k)

    # The uninstall stops and removes the service, and nothing reaches the chip after it.
    msiexec(k, "/x", windows_path(MSI), "/qn")
    check_service_gone(k)

    # SERVICE=0 installs the window program alone. (A reinstall with SERVICE=0 switches an
    # installed terminal on Windows; Wine does not choose a transitive component anew.) The
    # site's own autostart choice in the kept kelvane.ini, here minimised, is kept, and the
    # Run value follows it before any Kelvane has run.
    ini = k.read(PROGRAM + "kelvane.ini").replace(b"ExecuteAtStartup=2", b"ExecuteAtStartup=3")
    k.write(PROGRAM + "kelvane.ini", ini)
    msiexec(k, "/i", windows_path(MSI), "/qn", "ADDLOCAL=ALL", "SERVICE=0")
    check(service_state(k) is None, "SERVICE=0 installed the service")
    check(not os.path.exists(k.program_file("kelvane-service.exe")), "SERVICE=0 installed its file")
    check(k.read(PROGRAM + "kelvane.ini") == ini, "the install changed the site's kelvane.ini")
    run = k.reg_query(RUN_KEY, "Kelvane")
    check(runs_window_program(run), "the install did not follow the site's autostart: %r" % run)
    restart_clean(k)

    # The technician turns autostart on by hand; the program, started from its installed
    # folder, writes the Run value and drives the simulated board.
    k.run_windows("reg", "delete", RUN_KEY, "/v", "Kelvane", "/f", check=True)
    edited = ini.replace(b"ExecuteAtStartup=3", b"ExecuteAtStartup=2") + b"; set up on site\r\n"
    k.write(PROGRAM + "kelvane.ini", edited)
    k.start()
    check(k.wait_window(timeout=40), "installed Kelvane showed no window")
    check(k.wait_for(lambda: any(" ReadReg 0x0295 " in line for line in k.trace_lines())),
          "no driver calls in the trace")
    run = k.wait_for(lambda: k.reg_query(RUN_KEY, "Kelvane"), timeout=10) or ""
    check(PROGRAM + "kelvane.exe" in run, "Kelvane did not write its Run value: %r" % run)
    restart_clean(k)

    # METRICSFILE sets only [Export] TextFile, in the kept file, at a reinstall and an
    # upgrade; without it a later install keeps the one set before.
    elsewhere = "C:\\metrics\\kelvane.prom"
    msiexec(k, "/i", windows_path(MSI), "/qn", "REINSTALL=ALL", "REINSTALLMODE=vomus",
            "METRICSFILE=" + elsewhere)
    check_text_file(k, edited, elsewhere)

    # A later version replaces this one in place and keeps settings, driver and autostart.
    newer = os.path.join(k.dir, "kelvane-newer.msi")
    subprocess.run([os.path.join(ROOT, "packaging", "make-msi.sh"), newer, "5.7.99", "5.07",
                    EXE_BUILT, DLL_BUILT, SERVICE_BUILT, ACTIONS_BUILT], check=True,
                   capture_output=True)
    # Wine's installer does not carry feature states over an upgrade (Windows does), so the
    # demonstration feature is named again.
    # The guides an earlier version installed as docs\settings.txt and docs\fleet.txt.
    for old in ("settings", "fleet"):
        k.write(PROGRAM + "docs\\%s.txt" % old, b"the guide under its old name\r\n")
    # Without SERVICE, the upgrade moves the terminal to the service.
    keep_services_up(k)
    msiexec(k, "/i", windows_path(newer), "/qn", "ADDLOCAL=ALL", "METRICSFILE=" + METRICS_FILE)
    check(products(k) == ["5.7.99"], "after the upgrade installed: %s" % products(k))
    check_service_drives_the_chip(k)
    for old in ("settings", "fleet"):
        check(not os.path.exists(k.c_path(PROGRAM + "docs\\%s.txt" % old)),
              "the upgrade left docs\\%s.txt under its old name" % old)
        check(os.path.exists(k.c_path(PROGRAM + "docs\\%s.md" % old)), "the upgrade lost a guide")
    check_text_file(k, edited, METRICS_FILE)
    msiexec(k, "/i", windows_path(newer), "/qn", "REINSTALL=ALL", "REINSTALLMODE=vomus")
    check_text_file(k, edited, METRICS_FILE)
    wait_running(k)
    check(os.path.exists(k.program_file("brantelvio.dll")), "the upgrade lost the driver")
    # As Kelvane writes it, whichever version wrote it last.
    run = k.reg_query(RUN_KEY, "Kelvane")
    check(runs_window_program(run), "the upgrade lost the Run value: %r" % run)

    # The uninstall removes the metrics file the installation set, and only that one; it
    # keeps the site's settings and the history.
    k.write(METRICS_FILE, "kelvane_status_code 0\n")
    k.write(METRICS_FILE + ".tmp", "kelvane_status_code 0\n")
    k.write(elsewhere, "kelvane_status_code 0\n")
    # Yesterday's: the running service prunes the days past those it keeps.
    yesterday = datetime.date.today() - datetime.timedelta(days=1)
    day_file = "C:\\ProgramData\\Kelvane\\history\\%s.csv" % yesterday.isoformat()
    k.write(day_file, "time\r\n")
    msiexec(k, "/x", windows_path(newer), "/qn")
    check_service_gone(k)
    check(not os.path.exists(k.c_path(METRICS_FILE)), "the metrics file was left")
    check(not os.path.exists(k.c_path(METRICS_FILE + ".tmp")), "its temporary file was left")
    check(not os.path.exists(k.c_path(METRICS_DIR)), "the metrics folder was left")
    check(k.read(day_file) == b"time\r\n", "the history was removed")
    check(os.path.exists(k.c_path(elsewhere)), "a file the installation no longer named was removed")
    check(k.reg_query(KELVANE_KEY, "MetricsFile") is None, "MetricsFile left in the registry")
    left = tree(k.c_path(PROGRAM)) if os.path.exists(k.c_path(PROGRAM)) else None
    check(left == {"kelvane.ini"}, "program folder left with %s" % left)
    # The package's own TextFile line goes with the package.
    check_text_file(k, edited, None)
    check(k.reg_query(RUN_KEY, "Kelvane") is None, "Run value left after uninstall")
    check(k.reg_query(SOURCE_KEY, "EventMessageFile") is None, "event source left")
    check(products(k) == [], "still listed: %s" % products(k))

    # A reinstall finds the site's settings and gets the metrics file back by METRICSFILE;
    # AUTOSTART=0 switches the site's autostart off, and a Run value left from before goes.
    k.run_windows("reg", "add", RUN_KEY, "/v", "Kelvane", "/d", "C:\\old\\kelvane.exe", "/f",
                  check=True)
    msiexec(k, "/i", windows_path(MSI), "/qn", "METRICSFILE=" + METRICS_FILE, "AUTOSTART=0")
    check_text_file(k, edited.replace(b"ExecuteAtStartup=2", b"ExecuteAtStartup=0"),
                    METRICS_FILE)
    check(k.reg_query(RUN_KEY, "Kelvane") is None, "AUTOSTART=0 left the Run value")
    wait_running(k)
    # A removal with nothing to clean up (no Run value, no metrics file written) says nothing.
    msiexec(k, "/x", windows_path(MSI), "/qn")
    check(tree(k.c_path(PROGRAM)) == {"kelvane.ini"}, "program folder left with %s"
          % tree(k.c_path(PROGRAM)))
    check(k.read("C:\\hwm.txt") == b"history before\r\n", "C:\\hwm.txt touched")
    check(k.read("C:\\ng.txt") == b"faults before\r\n", "C:\\ng.txt touched")
    check(k.read("C:\\prog.txt") == prog, "C:\\prog.txt touched")

CASES = [test_packages_install_upgrade_and_remove_cleanly]

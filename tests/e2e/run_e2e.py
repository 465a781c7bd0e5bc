"""Runs every end-to-end case; prints "N passed, N failed" and exits non-zero on failure.

The cases are shared out to four workers, each with its own virtual screen (hot keys and
screenshots are per screen) and its own Wine prefixes. The cases mostly wait for ticks, so
four workers on two cores take about half the time of two, and no case depends on having a
core to itself. Arguments select cases by a part of their name; --workers 1 runs them in
order.
"""
import argparse
import importlib
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from harness import Display, run_cases  # noqa: E402

MODULES = ["test_startup", "test_settings", "test_monitor", "test_shell", "test_faults", "test_options",
           "test_install", "test_fleet", "test_history", "test_failsafe", "test_service"]


def selected_cases(only):
    cases = []
    for name in MODULES:
        module = importlib.import_module(name)
        cases += [c for c in module.CASES if not only or any(o in c.__name__ for o in only)]
    return cases


def run_worker(index, count, only):
    cases = selected_cases(only)[index::count]
    display = Display()
    try:
        passed, failed = run_cases(cases, display)
    finally:
        display.close()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("only", nargs="*")
    parser.add_argument("--workers", type=int, default=4)
    parser.add_argument("--worker", type=int)
    args = parser.parse_args()
    if args.worker is not None:
        return run_worker(args.worker, args.workers, args.only)
    if args.workers <= 1:
        return run_worker(0, 1, args.only)

    base_display = int(os.environ.get("KELVANE_E2E_DISPLAY", "93"))
    work = os.environ.get("KELVANE_E2E_WORK")
    workers = []
    for i in range(args.workers):
        env = dict(os.environ, KELVANE_E2E_DISPLAY=str(base_display - i))
        if work:
            env["KELVANE_E2E_WORK"] = work
        cmd = [sys.executable, __file__, "--worker", str(i), "--workers", str(args.workers),
               *args.only]
        workers.append(subprocess.Popen(cmd, env=env, stdout=subprocess.PIPE, text=True))
    passed = failed = 0
    for proc in workers:
        out, _ = proc.communicate()
        lines = out.rstrip("\n").split("\n")
        summary = lines[-1] if lines else ""
        print("\n".join(lines[:-1]), flush=True)
        try:
            p, f = summary.replace(" passed,", "").replace(" failed", "").split()
            passed += int(p)
            failed += int(f)
        except ValueError:  # a worker that died without its summary
            print(summary)
            failed += 1
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

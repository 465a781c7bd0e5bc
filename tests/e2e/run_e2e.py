"""Runs every end-to-end case; prints "N passed, N failed" and exits non-zero on failure."""
import importlib
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
from harness import Display, run_cases  # noqa: E402

MODULES = ["test_startup", "test_settings", "test_monitor", "test_shell", "test_faults"]


def main():
    only = sys.argv[1:]
    cases = []
    for name in MODULES:
        module = importlib.import_module(name)
        cases += [c for c in module.CASES if not only or any(o in c.__name__ for o in only)]
    display = Display()
    try:
        passed, failed = run_cases(cases, display)
    finally:
        display.close()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

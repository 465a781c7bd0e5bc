"""The ways in and out of hiding: hot keys, the Exit, Hide and About labels, and the tray icon
with its double click and menu, driven through the real notification area."""
import os
import subprocess
import time

from harness import (CONVERT, MAIN_TITLE, SHOTS, check, children, class_window, open_tray_menu,
                     restart_clean, tick_count, tray_icon_present, tray_spot, wait_exit, xdotool)
from imaging import close, crop
from test_failsafe import NEWER_WATCHED, handed_back_as_applied

INI = "C:\\Program Files\\Kelvane\\kelvane.ini"
ABOUT_TITLE = "About Kelvane Ver5.07"
WARNING_TITLE = "Warning Message Ver 5.07"
OPTIONS_TITLE = "Option (Kelvane Ver 5.07)"
INFINITY = b"\xe2\x88\x9e"  # what an editor writes for the line-break mark


def shown(k, title=MAIN_TITLE):
    return k.window(title).get("visible") == "1"


def wait_state(k, want, title=MAIN_TITLE, timeout=8):
    """Waits until the window's facts include all of `want`; returns the last facts."""
    last = {}

    def matches():
        last.clear()
        last.update(k.window(title))
        return all(last.get(key) == value for key, value in want.items())
    k.wait_for(matches, timeout=timeout, step=0.3)
    return last


def check_state(k, want, what, title=MAIN_TITLE):
    info = wait_state(k, want, title)
    check(all(info.get(key) == value for key, value in want.items()),
          "%s: want %s, window is %s" % (what, want, info))


def tray_double_click(k):
    x, y = tray_spot(k)
    xdotool(k, "mousemove", x, y)
    xdotool(k, "click", "--repeat", 2, "--delay", 80, 1)


def tray_menu_click(k, item):
    """Opens the tray menu with the right button and clicks its first or last item."""
    _, menu = open_tray_menu(k)
    left, top = int(menu["left"]), int(menu["top"])
    width, height = int(menu["width"]), int(menu["height"])
    # "&Open" is the first item, "E&xit" the last, below a separator.
    y = top + 11 if item == "first" else top + height - 12
    xdotool(k, "mousemove", left + width // 2, y)
    time.sleep(0.3)
    xdotool(k, "click", 1)


def test_hot_keys_hide_all_and_show_and_the_about_window(k):
    k.write(INI, b"[Option]\r\nstrAbout=Line one" + INFINITY + b"Line two" + INFINITY +
            b"Line three\r\n")
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear")
    check(k.wait_for(lambda: tick_count(k) >= 1, timeout=10), "no monitor tick")
    free = k.probe("hotkeys-free").stdout.split()
    check(free == ["show=0", "hide=0"], "Kelvane does not hold its hot keys: %s" % free)

    k.probe("click", MAIN_TITLE, 1012)
    check(k.wait_window(ABOUT_TITLE, timeout=10), "About did not open its window")
    check(k.window(ABOUT_TITLE).get("topmost") == "1", "the About window is not topmost")
    texts = [c["text"] for c in children(k, ABOUT_TITLE)]
    check("Line one||Line two||Line three" in texts, "About text: %s" % texts)
    # The technician's block: one line each, the driver by its full path.
    listing = k.probe("children", ABOUT_TITLE).stdout
    for line in ("Chip: id 0x12, revision 8", "Register layout: newer with delta field",
                 "Index port: 0x295",
                 # The stand-in library says what it is: it has no place on a terminal.
                 "Driver library: C:\\Program Files\\Kelvane\\brantelvio.dll "
                 "(simulated board, not for a terminal)",
                 "Settings file: " + INI + " (read to the end)"):
        check(line in listing, "About details lack %r:\n%s" % (line, listing))
    k.screenshot("about.png")

    k.key("ctrl+alt+shift+F12")
    check_state(k, {"visible": "0"}, "Ctrl+Alt+Shift+F12 did not hide the main window")
    check(not shown(k, ABOUT_TITLE), "the About window stayed up")
    # The windows not loaded yet are loaded hidden.
    for title in (WARNING_TITLE, OPTIONS_TITLE):
        info = k.window(title)
        check(info.get("found") == "1" and info.get("visible") == "0",
              "%s after hiding all: %s" % (title, info))
    check(tray_icon_present(k), "no tray icon while hidden")
    check(proc.poll() is None, "the program ended")

    k.key("ctrl+alt+shift+F11")
    check_state(k, {"visible": "1", "iconic": "0"}, "Ctrl+Alt+Shift+F11 did not show the window")

    k.probe("click", MAIN_TITLE, 1014)
    check_state(k, {"visible": "0", "iconic": "1"}, "Hide did not minimise and hide")
    k.key("ctrl+alt+shift+F11")
    check_state(k, {"visible": "1", "iconic": "0"}, "F11 did not restore a minimised window")

    k.probe("click", MAIN_TITLE, 1012)
    check(k.wait_window(ABOUT_TITLE, timeout=10), "About did not show its window again")
    k.probe("command", ABOUT_TITLE, 1)  # OK
    check(k.wait_for(lambda: k.probe("count", ABOUT_TITLE).stdout.strip() == "0", timeout=8),
          "OK did not unload the About window")
    # Escape closes it as OK does.
    k.probe("click", MAIN_TITLE, 1012)
    check(k.wait_window(ABOUT_TITLE, timeout=10), "About did not show its window a third time")
    k.probe("key", ABOUT_TITLE, 1, 0x1B)
    check(k.wait_for(lambda: k.probe("count", ABOUT_TITLE).stdout.strip() == "0", timeout=8),
          "Escape did not close the About window")
    check(proc.poll() is None, "the program ended")


def test_exit_and_hide_labels_and_the_tray_icon(k):
    proc = k.start()
    check(k.wait_window(timeout=40), "main window did not appear")

    k.probe("click", MAIN_TITLE, 1013)
    check_state(k, {"visible": "0", "topmost": "0"}, "Exit did not hide the window")
    check(k.wait_for(lambda: tray_icon_present(k), timeout=5), "no tray icon after Exit")
    before = tick_count(k)
    time.sleep(3)
    check(tick_count(k) >= before + 2, "the monitor stopped after Exit (%d -> %d)"
          % (before, tick_count(k)))
    check(proc.poll() is None, "Exit ended the program")

    tray_menu_click(k, "first")  # &Open
    check_state(k, {"visible": "1", "iconic": "0", "topmost": "1"}, "the tray menu's Open")

    k.probe("click", MAIN_TITLE, 1014)
    check_state(k, {"visible": "0", "iconic": "1", "topmost": "0"}, "Hide")
    check(k.wait_for(lambda: tray_icon_present(k), timeout=5), "no tray icon after Hide")
    tray_double_click(k)
    check_state(k, {"visible": "1", "iconic": "0", "topmost": "1"}, "the tray double click")
    time.sleep(1)
    check(tray_icon_present(k), "the icon left the notification area while the window is shown")

    k.probe("click", MAIN_TITLE, 1013)
    check_state(k, {"visible": "0"}, "Exit, the second time")
    check(k.wait_for(lambda: tray_icon_present(k), timeout=5), "no tray icon after the second Exit")
    tray_menu_click(k, "last")  # E&xit
    check(wait_exit(proc, 15), "the tray menu's Exit did not end the program")
    handed_back_as_applied(k, NEWER_WATCHED)
    free = k.probe("hotkeys-free").stdout.split()
    check(free == ["show=1", "hide=1"], "the hot keys are still held after Exit: %s" % free)
    check(k.probe("count", MAIN_TITLE).stdout.strip() == "0", "a main window is left")


# CPU 50 C between its fan-check threshold (R69 + 1 = 33) and its limit (R6C = 70); the
# CPU fan's count is filled in: 150 turns, 0 has stopped.
TRAY_BOARD = """[Chip]
Id=0x12
Revision=8
[Registers]
29=38
2A=50
[Hold]
61=0x20
62=0x46
69=0x20
6A=0x46
0D=135
0E=%d
"""
CPU_FAN_FAULT = "The CPU fan is out of order."
BADGE_NORMAL, BADGE_FAULT, BADGE_UNREACHABLE = (20, 90, 170), (210, 30, 30), (120, 120, 120)


def tray_shot(k, name, balloon=None):
    """The right end of the task bar, where the only notification icon is; with `balloon`,
    also the corner above it where the balloon shows, for the README."""
    bar = class_window(k, "Shell_TrayWnd")
    right, top, height = int(bar["left"]) + int(bar["width"]), int(bar["top"]), int(bar["height"])
    full = os.path.join(k.dir, name + "-screen.png")  # kept with the case, not for the README
    os.replace(k.screenshot(name + ".png"), full)
    if balloon:
        crop(full, right - 220, top - 100, 220, 100 + height, os.path.join(SHOTS, balloon))
    return crop(full, right - 28, top, 28, height, os.path.join(k.dir, name + ".png"))


def rgb_pixels(png):
    data = subprocess.run([CONVERT, png, "-depth", "8", "rgb:-"], capture_output=True,
                          check=True).stdout
    return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]


def has_colour(png, colour):
    return sum(1 for p in rgb_pixels(png) if close(p, colour, 30)) >= 6


def test_tray_icon_tells_a_hidden_fault_and_unreachable_hardware(k):
    k.describe_board(TRAY_BOARD % 150)
    k.write(INI, "[Option]\r\nSoundWarnning=0\r\n")  # sound off: the icon still tells
    k.start()
    check(k.wait_window(timeout=40), "main window did not appear")
    k.probe("click", MAIN_TITLE, 1013)  # Exit hides
    check_state(k, {"visible": "0"}, "Exit did not hide the window")
    check(k.wait_for(lambda: k.child(1301).get("text") == "Normal...", timeout=20),
          "no normal status after warm-up: %s" % k.child(1301))
    time.sleep(1.5)
    normal = tray_shot(k, "tray-normal")
    check(has_colour(normal, BADGE_NORMAL), "no normal badge at the task bar's end")

    k.describe_board(TRAY_BOARD % 0)
    check(k.wait_for(lambda: k.child(1301).get("text") == CPU_FAN_FAULT, timeout=40),
          "the stopped fan did not become a lasting fault: %s" % k.child(1301))
    time.sleep(1.5)
    fault = tray_shot(k, "tray-fault", balloon="tray-balloon.png")
    check(rgb_pixels(fault) != rgb_pixels(normal), "the tray icon did not change")
    check(has_colour(fault, BADGE_FAULT) and not has_colour(fault, BADGE_NORMAL),
          "the tray icon does not show the fault")
    check(k.window().get("visible") == "0", "a fault that is not critical showed the window")

    # Without its driver library the monitor cannot reach the hardware from the start.
    restart_clean(k)
    os.remove(k.program_file("brantelvio.dll"))
    k.start()
    check(k.wait_window(timeout=40), "main window did not appear without the driver")
    k.probe("click", MAIN_TITLE, 1013)
    check_state(k, {"visible": "0"}, "Exit did not hide the window")
    check(k.wait_for(lambda: tray_icon_present(k), timeout=10), "no tray icon")
    time.sleep(2)
    unreachable = tray_shot(k, "tray-unreachable")
    check(has_colour(unreachable, BADGE_UNREACHABLE) and not has_colour(unreachable, BADGE_FAULT),
          "the tray icon does not show unreachable hardware")
    # For the README: the three states side by side, enlarged.
    subprocess.run([CONVERT, normal, fault, unreachable, "+append", "-filter", "point",
                    "-resize", "400%", os.path.join(SHOTS, "tray-states.png")], check=True)


CASES = [
    test_hot_keys_hide_all_and_show_and_the_about_window,
    test_exit_and_hide_labels_and_the_tray_icon,
    test_tray_icon_tells_a_hidden_fault_and_unreachable_hardware,
]

"""The Option dialog driven as a user would: opening it from the main window, moving a fan's
temperature points with the keyboard, the Advanced page, and what Apply and Cancel leave in
kelvane.ini, on the board and in the registry."""
import os
import re
import time

from harness import MAIN_TITLE, check, children, tick_count, top_window, trace_ops

OPTIONS_TITLE = "Option (Kelvane Ver 5.07)"
INI = "C:\\Program Files\\Kelvane\\kelvane.ini"
RUN_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = '"C:\\Program Files\\Kelvane\\kelvane.exe"'

OPTION_LABEL = 1015  # "Option" on the main window
TABS, OK, CANCEL, APPLY = 3000, 3001, 3002, 3003
FRAME_AUTO, FRAME_SOFT, FRAME_VOLTAGE, FRAME_ADVANCED = 3010, 3011, 3012, 3013
CTR_SLIDER, CTR_TEXT, SPEED_SLIDER = 3030, 3040, 3060
CELSIUS, FAHRENHEIT = 3300, 3301
AUTOSTART = 3312
AP_NORMAL, AP_MINIMIZED = 3330, 3331
LABEL = 3100  # + n for Label1..Label14
SLIDER1, SLIDER2, SLIDER1_VALUE, SLIDER2_VALUE, SPEED_VALUE = 3071, 3072, 3073, 3074, 3075
DELTA_SCALE = 3080

VK_DOWN, VK_NEXT, VK_RETURN, VK_END = 0x28, 0x22, 0x0D, 0x23


def W(reg, value):
    return "WriteReg 0x0295 0x%02x 0x%02x" % (reg, value)


def open_options(k):
    """Starts Kelvane, lets its start-up apply finish, then clicks "Option"."""
    k.start()
    check(k.wait_window(timeout=40), "main window did not appear")
    # The first tick follows the start-up apply: later register writes are the dialog's.
    check(k.wait_for(lambda: tick_count(k) >= 1, timeout=20), "the monitor did not tick")
    reopen(k)


def reopen(k):
    k.probe("click", MAIN_TITLE, OPTION_LABEL)
    check(k.wait_window(OPTIONS_TITLE, timeout=15), "clicking Option showed no dialog")


def control(k, id_):
    return k.child(id_, OPTIONS_TITLE)


def enabled(k, id_):
    return control(k, id_).get("enabled") == "1"


def visible(k, id_):
    return control(k, id_).get("visible") == "1"


def slider(k, id_):
    out = k.probe("trackbar", OPTIONS_TITLE, id_).stdout
    match = re.search(r"pos=(-?\d+)", out)
    return int(match.group(1)) if match else None


def checked(k, id_):
    return "checked=1" in k.probe("button", OPTIONS_TITLE, id_).stdout


def tabs(k):
    info = {}
    for line in k.probe("tabs", OPTIONS_TITLE).stdout.splitlines():
        key, _, value = line.partition("=")
        info[key.strip()] = value.strip()
    return info


def select_tab(k, index, frame):
    k.probe("selecttab", OPTIONS_TITLE, index)
    check(k.wait_for(lambda: visible(k, frame), timeout=5),
          "tab %d did not show its page (%d): %s" % (index, frame, tabs(k)))


def press(k, id_, vk, times=1):
    focus = k.probe("focus", OPTIONS_TITLE, id_).stdout.strip()
    check(focus == "focused=1", "control %d did not take the keyboard: %r" % (id_, focus))
    for _ in range(times):
        k.probe("key", OPTIONS_TITLE, id_, vk)


def retype(k, id_, text):
    """Replaces a two-digit temperature box from the keyboard: caret to the end, two
    backspaces, then the new digits."""
    press(k, id_, VK_END)
    k.probe("type", OPTIONS_TITLE, id_, "\b\b" + text)


def click_apply(k):
    check(enabled(k, APPLY), "&Apply is greyed after an edit")
    k.probe("click", OPTIONS_TITLE, APPLY)
    check(k.wait_for(lambda: not enabled(k, APPLY), timeout=10),
          "&Apply did not grey out: the apply failed or never ran")
    info = k.window(OPTIONS_TITLE)
    check(info.get("visible") == "1" and info.get("topmost") == "1",
          "the dialog did not stay open and on top after &Apply: %s" % info)


def ini_sections(k):
    """{section: {key: value}} of the installed kelvane.ini, names as written."""
    sections, current = {}, None
    for raw in k.read(INI).decode("latin-1").splitlines():
        line = raw.strip()
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
        elif current is not None and "=" in line and not line.startswith(";"):
            key, _, value = line.partition("=")
            current[key.strip()] = value.strip()
    return sections


def run_value(k):
    out = k.reg_query(RUN_KEY, "Kelvane")
    for line in (out or "").splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[0] == "Kelvane":
            return parts[2].strip()
    return None


def newer_fan_block(n, s, delta, speed0, read_b5, read_b3):
    """The writes of one automatic fan in the newer layout with the delta field, given what
    the board answered to the two read-modify-writes."""
    b = 0x60 + 8 * n
    s2 = s[2] + 1 if s[2] == s[1] else s[2]
    slope = round((127 - speed0) / (s2 - s[1]) * 8)
    slope = slope if 0 <= slope <= 127 else 127
    return [W(0x15 + n, 0x80 + n), W(b, s[0]), W(b + 1, s[1]), W(b + 2, s[2]),
            "ReadReg 0x0295 0x%02x = 0x%02x" % (b + 5, read_b5),
            W(b + 5, (read_b5 & 0xE0) + delta), W(b + 3, speed0),
            W(b + 4, (slope & 0x3F) + 0xC0),
            "ReadReg 0x0295 0x%02x = 0x%02x" % (b + 3, read_b3),
            W(b + 3, (slope & 0x40) * 2 + (read_b3 & 0x7F))]


def apply_writes(ops):
    """The ops of the first dialog apply in ops: from fan 0's control write to fan 2's last."""
    start = ops.index(W(0x15, 0x80))
    end = max(i for i, op in enumerate(ops) if op.startswith("WriteReg 0x0295 0x73 "))
    return ops[start:end + 1]


def read_answer(ops, reg):
    prefix = "ReadReg 0x0295 0x%02x = " % reg
    return next(int(op[len(prefix):], 16) for op in ops if op.startswith(prefix))


def fan_register_writes(ops):
    """Writes only an apply makes: the fan blocks, and a fan control register set to
    automatic. The monitor's normal ticks put fans 0 and 1 into software mode (below 0x80)."""
    found = []
    for op in ops:
        parts = op.split()
        if len(parts) != 4 or parts[0] != "WriteReg":
            continue
        reg, value = int(parts[2], 16), int(parts[3], 16)
        if 0x60 <= reg <= 0x77 or reg == 0x17 or (reg in (0x15, 0x16) and value & 0x80):
            found.append(op)
    return found


def test_option_opens_topmost_with_its_five_tabs(k):
    open_options(k)
    info = k.window(OPTIONS_TITLE)
    check(info.get("topmost") == "1", "the dialog is not topmost: %s" % info)
    # Centred on the 1024 x 768 screen.
    left, top = int(info["left"]), int(info["top"])
    width, height = int(info["width"]), int(info["height"])
    check(abs(left - (1024 - width) // 2) <= 1 and abs(top - (768 - height) // 2) <= 1,
          "the dialog is not centred: %s" % info)
    strip = tabs(k)
    captions = [strip.get("tab%d" % t) for t in range(int(strip.get("count", 0)))]
    check(captions == ["System Fan", "CPU Fan", "Panel Fan", "Advanced", "Voltage"],
          "tab captions: %s" % captions)
    check(strip.get("selected") == "0", "the first tab is not selected: %s" % strip)
    check(not enabled(k, APPLY), "&Apply is enabled on opening")
    check(control(k, APPLY).get("text") == "&Apply", "apply button: %s" % control(k, APPLY))
    # The default board has the newer layout with the delta field.
    labels = [control(k, 3050 + i).get("text") for i in (0, 1, 2, 4)]
    check(labels == ["Off", "Start", "Full", "Delta"], "temperature point captions: %s" % labels)
    check([slider(k, CTR_SLIDER + i) for i in (0, 1, 2, 4)] == [30, 40, 60, 2],
          "System fan points are not the installed ones")
    # Delta's own scale, and the numbers beside the sliders without dragging them.
    delta_scale = [control(k, DELTA_SCALE + i) for i in (0, 1)]
    check([(c.get("visible"), c.get("text")) for c in delta_scale] == [("1", "0"), ("1", "5")],
          "Delta's scale: %s" % delta_scale)
    shown = [(control(k, SPEED_VALUE).get("text"), str(slider(k, SPEED_SLIDER))),
             (control(k, SLIDER1_VALUE).get("text"), str(slider(k, SLIDER1))),
             (control(k, SLIDER2_VALUE).get("text"), "%d C" % slider(k, SLIDER2))]
    check(all(text == want for text, want in shown), "slider values (shown, want): %s" % shown)
    check(visible(k, FRAME_AUTO) and visible(k, FRAME_SOFT) and not visible(k, FRAME_VOLTAGE)
          and not visible(k, FRAME_ADVANCED), "the fan tab does not show the fan page only")
    k.screenshot("options-fan.png")

    select_tab(k, 3, FRAME_ADVANCED)
    check(not visible(k, FRAME_AUTO) and not visible(k, FRAME_VOLTAGE),
          "Advanced shows another page as well")
    check(checked(k, CELSIUS) and not checked(k, FAHRENHEIT), "Celsius is not the shown scale")
    check(not checked(k, AUTOSTART) and not enabled(k, AP_NORMAL),
          "autostart is shown on although ExecuteAtStartup=0")
    k.screenshot("options-advanced.png")

    select_tab(k, 4, FRAME_VOLTAGE)
    check(not visible(k, FRAME_AUTO) and not visible(k, FRAME_ADVANCED),
          "Voltage shows another page as well")
    row = control(k, 3200)
    check(row.get("visible") == "1" and row.get("text") == "Vcore", "first voltage row: %s" % row)
    k.screenshot("options-voltage.png")

    select_tab(k, 1, FRAME_AUTO)
    check(not enabled(k, APPLY), "looking at the pages enabled &Apply")

    # A second click on Option brings the open dialog back rather than loading another.
    reopen(k)
    check(k.probe("count", OPTIONS_TITLE).stdout.strip() == "1", "a second dialog was opened")
    check(tabs(k).get("selected") == "1", "clicking Option again reloaded the dialog")


def test_option_opened_during_a_critical_alarm_stays_in_front(k):
    # The CPU 15 degrees over its limit with the critical switch: the alarm raises the main
    # window every tick and opens the warning window.
    k.describe_board("[Chip]\nId=0x12\nRevision=8\n[Registers]\n2A=85\n")
    k.write("C:\\hwm.txt", b"")
    k.start()
    check(k.wait_window(timeout=40), "main window did not appear")
    check(k.wait_window("Warning Message Ver 5.07", timeout=60), "no warning window")
    reopen(k)
    opened = tick_count(k)

    def settled_top():
        # A second look for one that fell between the tick's raise of the main window and the
        # dialog's return above it, in the same moment of the same tick.
        top = top_window(k)
        if top != OPTIONS_TITLE:
            time.sleep(0.1)
            top = top_window(k)
        return top
    while tick_count(k) <= opened + 5:
        top = settled_top()
        check(top == OPTIONS_TITLE, "tick %d: %r is in front of the dialog" % (tick_count(k), top))
    check(k.window().get("topmost") == "1", "the alarm no longer raises the main window")


def test_option_keyboard_slider_apply_writes_ini_and_board(k):
    open_options(k)
    # System fan: "Start" from 40 three pages down to 70 pushes "Full" (60) along to 70.
    press(k, CTR_SLIDER + 1, VK_NEXT, 3)
    check(k.wait_for(lambda: slider(k, CTR_SLIDER + 1) == 70, timeout=5),
          "Page Down did not move Start to 70: %s" % slider(k, CTR_SLIDER + 1))
    points = [slider(k, CTR_SLIDER + i) for i in (0, 1, 2, 4)]
    check(points == [30, 70, 70, 2], "System points after moving Start: %s" % points)
    texts = [control(k, CTR_TEXT + i).get("text") for i in (0, 1, 2, 4)]
    check(texts == ["30", "70", "70", "2"], "System point boxes after moving Start: %s" % texts)
    check(enabled(k, APPLY), "moving a slider did not enable &Apply")

    # CPU fan: "Full" five steps down, 70 to 75.
    select_tab(k, 1, FRAME_AUTO)
    check(k.wait_for(lambda: slider(k, CTR_SLIDER + 1) == 50, timeout=5),
          "the CPU Fan page does not show its own points")
    press(k, CTR_SLIDER + 2, VK_DOWN, 5)
    check(k.wait_for(lambda: slider(k, CTR_SLIDER + 2) == 75, timeout=5),
          "Down did not move Full to 75: %s" % slider(k, CTR_SLIDER + 2))
    check(control(k, CTR_TEXT + 2).get("text") == "75", "Full's box: %s" % control(k, CTR_TEXT + 2))
    # A point typed and committed with Enter: the slider follows, the dialog stays open.
    retype(k, CTR_TEXT, "38")
    k.probe("key", OPTIONS_TITLE, CTR_TEXT, VK_RETURN)
    check(k.wait_for(lambda: slider(k, CTR_SLIDER) == 38, timeout=5),
          "Enter did not commit the typed 38: %s" % slider(k, CTR_SLIDER))
    check(visible(k, CTR_TEXT) and enabled(k, APPLY), "Enter in a box closed or applied the dialog")

    # Ctrl+Shift+Tab turns back to the System page.
    k.key("ctrl+shift+Tab")
    check(k.wait_for(lambda: slider(k, CTR_SLIDER + 1) == 70, timeout=5),
          "Ctrl+Shift+Tab did not turn back to the System Fan page with its edit: %s" % tabs(k))

    before_ini = ini_sections(k)
    check("Fan Ctrl Option 0" not in before_ini, "the installed file already has fan records")
    mark = len(trace_ops(k))
    # Typed, then applied with Alt+A at once: leaving the box for the button commits it.
    retype(k, CTR_TEXT, "33")
    k.key("alt+a")
    check(k.wait_for(lambda: not enabled(k, APPLY), timeout=10), "Alt+A did not apply")
    check(slider(k, CTR_SLIDER) == 33, "the typed 33 was lost: %s" % slider(k, CTR_SLIDER))

    ini = ini_sections(k)
    want = {
        "Fan Ctrl Option 0": dict(Mode="0", S0="33", S1="70", S2="70", DeltaTemp="2",
                                  Speed0="40"),
        "Fan Ctrl Option 1": dict(Mode="0", S0="38", S1="50", S2="75", DeltaTemp="2",
                                  Speed0="40"),
        "Fan Ctrl Option 2": dict(Mode="0", S0="30", S1="40", S2="55", DeltaTemp="2",
                                  Speed0="40", TmpAlarm="55"),
    }
    for section, keys in want.items():
        got = ini.get(section, {})
        wrong = {key: got.get(key) for key, value in keys.items() if got.get(key) != value}
        check(not wrong, "[%s] after &Apply: %s (file has %s)" % (section, wrong, sorted(ini)))
        check("S3" not in got and "Speed1" not in got,
              "[%s] has keys of the older layout: %s" % (section, got))
    check(ini.get("Option", {}).get("DisplayScale") == "0", "[Option] not written: %s"
          % ini.get("Option"))

    ops = k.wait_for(lambda: (lambda o: o if W(0x15, 0x80) in o else None)(trace_ops(k)[mark:]),
                     timeout=5)
    check(ops, "no fan-controller writes after &Apply")
    got = apply_writes(ops)
    expected = (newer_fan_block(0, [33, 70, 70], 2, 40, read_answer(got, 0x65),
                                read_answer(got, 0x63))
                + newer_fan_block(1, [38, 50, 75], 2, 40, read_answer(got, 0x6d),
                                  read_answer(got, 0x6b))
                + newer_fan_block(2, [30, 40, 55], 2, 40, read_answer(got, 0x75),
                                  read_answer(got, 0x73)))
    check(got == expected, "registers written by &Apply:\n got %s\nwant %s" % (got, expected))

    # With &Apply greyed, a point typed and Alt+A at once: the box is committed first, as
    # leaving it would, and the apply takes it to the file and the chip.
    check(not enabled(k, APPLY), "&Apply is not greyed after the apply")
    mark = len(trace_ops(k))
    retype(k, CTR_TEXT, "42")
    k.key("alt+a")
    check(k.wait_for(lambda: ini_sections(k).get("Fan Ctrl Option 0", {}).get("S0") == "42",
                     timeout=10),
          "Alt+A lost the typed 42: %s" % ini_sections(k).get("Fan Ctrl Option 0"))
    check(k.wait_for(lambda: W(0x60, 42) in trace_ops(k)[mark:], timeout=5),
          "the typed 42 did not reach the chip")
    check(slider(k, CTR_SLIDER) == 42 and not enabled(k, APPLY),
          "after Alt+A: slider %s, &Apply %s" % (slider(k, CTR_SLIDER), enabled(k, APPLY)))


def test_option_advanced_scale_and_autostart(k):
    open_options(k)
    check(run_value(k) is None, "a Run value exists before any apply: %r" % run_value(k))
    select_tab(k, 3, FRAME_ADVANCED)
    k.probe("click", OPTIONS_TITLE, FAHRENHEIT)
    check(k.wait_for(lambda: checked(k, FAHRENHEIT), timeout=5), "Fahrenheit is not selected")
    check(not checked(k, CELSIUS), "Celsius stayed selected with Fahrenheit")
    click_apply(k)
    option = ini_sections(k).get("Option", {})
    check(option.get("DisplayScale") == "1", "[Option] after Fahrenheit: %s" % option)
    check(option.get("ExecuteAtStartup") == "0" and option.get("DisplayOnTop") == "0"
          and option.get("SoundWarnning") == "0", "other [Option] keys changed: %s" % option)
    check(run_value(k) is None, "ExecuteAtStartup=0 wrote a Run value: %r" % run_value(k))

    k.probe("click", OPTIONS_TITLE, AUTOSTART)
    check(k.wait_for(lambda: checked(k, AUTOSTART), timeout=5), "the autostart box is not on")
    check(enabled(k, AP_NORMAL) and enabled(k, AP_MINIMIZED) and checked(k, AP_NORMAL),
          "Normal / Minimized not enabled with Normal chosen")
    click_apply(k)
    check(ini_sections(k)["Option"].get("ExecuteAtStartup") == "2",
          "autostart on: %s" % ini_sections(k)["Option"])
    check(run_value(k) == RUN_VALUE, "Run value is %r, want %r" % (run_value(k), RUN_VALUE))

    k.probe("click", OPTIONS_TITLE, AP_MINIMIZED)
    check(k.wait_for(lambda: checked(k, AP_MINIMIZED), timeout=5), "Minimized is not selected")
    click_apply(k)
    check(ini_sections(k)["Option"].get("ExecuteAtStartup") == "3",
          "autostart minimised: %s" % ini_sections(k)["Option"])
    check(run_value(k) == RUN_VALUE, "Run value with 3 is %r" % run_value(k))

    # Ok applies a pending edit before it closes.
    k.probe("click", OPTIONS_TITLE, AUTOSTART)
    check(k.wait_for(lambda: not checked(k, AUTOSTART), timeout=5), "the autostart box stayed on")
    check(not enabled(k, AP_MINIMIZED), "Minimized not greyed with the autostart off")
    k.probe("click", OPTIONS_TITLE, OK)
    check(k.wait_gone(OPTIONS_TITLE, timeout=10), "Ok did not close the dialog")
    check(ini_sections(k)["Option"].get("ExecuteAtStartup") == "1",
          "autostart off, minimised remembered: %s" % ini_sections(k)["Option"])
    check(k.wait_for(lambda: run_value(k) is None, timeout=5),
          "switching autostart off left the Run value %r" % run_value(k))

    # The fan pages' scale follows the next time the dialog opens; the values stay Celsius.
    reopen(k)
    scale = [control(k, LABEL + n).get("text") for n in (1, 2, 4, 3, 13, 14)]
    check(scale == ["32 F", "212 F", "32 F", "212 F", "0 C", "100 C"],
          "scale labels after choosing Fahrenheit: %s" % scale)
    check(slider(k, CTR_SLIDER) == 30 and control(k, CTR_TEXT).get("text") == "30",
          "the temperature points are no longer in Celsius")
    check(not enabled(k, APPLY), "&Apply is enabled on reopening")

    # Ok with nothing to apply only closes.
    before, mark = k.read(INI), len(trace_ops(k))
    k.probe("click", OPTIONS_TITLE, OK)
    check(k.wait_gone(OPTIONS_TITLE, timeout=10), "Ok did not close the unchanged dialog")
    ticks = tick_count(k)
    check(k.wait_for(lambda: tick_count(k) >= ticks + 1, timeout=10), "the monitor stopped")
    check(k.read(INI) == before, "Ok without edits rewrote kelvane.ini")
    writes = fan_register_writes(trace_ops(k)[mark:])
    check(writes == [], "Ok without edits programmed the fan controller: %s" % writes)


def test_option_escape_after_edits_writes_nothing(k):
    open_options(k)
    before = k.read(INI)
    mark = len(trace_ops(k))
    # Through the X server this time, as a real key press arrives.
    focus = k.probe("focus", OPTIONS_TITLE, CTR_SLIDER).stdout.strip()
    check(focus == "focused=1", "Off did not take the keyboard: %r" % focus)
    k.key("Next")
    check(k.wait_for(lambda: slider(k, CTR_SLIDER) == 40, timeout=5),
          "Page Down did not move Off to 40: %s" % slider(k, CTR_SLIDER))
    select_tab(k, 3, FRAME_ADVANCED)
    k.probe("click", OPTIONS_TITLE, FAHRENHEIT)
    k.probe("click", OPTIONS_TITLE, AUTOSTART)
    check(k.wait_for(lambda: checked(k, AUTOSTART) and checked(k, FAHRENHEIT), timeout=5),
          "the Advanced edits did not take")
    check(enabled(k, APPLY), "edits did not enable &Apply")

    k.key("Escape")
    check(k.wait_gone(OPTIONS_TITLE, timeout=10), "Escape did not close the dialog")
    # Two more ticks: an apply would have happened well before them.
    ticks = tick_count(k)
    check(k.wait_for(lambda: tick_count(k) >= ticks + 2, timeout=10), "the monitor stopped")
    check(k.read(INI) == before, "Escape changed kelvane.ini:\n%r" % k.read(INI))
    writes = fan_register_writes(trace_ops(k)[mark:])
    check(writes == [], "Escape programmed the fan controller: %s" % writes)
    check(run_value(k) is None, "Escape wrote the Run value %r" % run_value(k))

    reopen(k)
    check(slider(k, CTR_SLIDER) == 30 and control(k, CTR_TEXT).get("text") == "30",
          "the cancelled slider edit came back on reopening: %s" % slider(k, CTR_SLIDER))
    select_tab(k, 3, FRAME_ADVANCED)
    check(checked(k, CELSIUS) and not checked(k, AUTOSTART),
          "the cancelled Advanced edits came back on reopening")
    check(not enabled(k, APPLY), "&Apply is enabled on reopening")


def test_option_apply_that_cannot_save_is_told(k):
    # A settings file that cannot be written, as for a user without administrator rights.
    ini = k.program_file("kelvane.ini")
    os.remove(ini)
    os.makedirs(ini)
    open_options(k)
    press(k, CTR_SLIDER, VK_DOWN)
    check(k.wait_for(lambda: enabled(k, APPLY), timeout=5), "the edit did not enable &Apply")
    mark = len(trace_ops(k))
    k.probe("click", OPTIONS_TITLE, APPLY)
    check(k.wait_window("Kelvane", timeout=15), "a failed apply showed no message")
    told = " ".join(c["text"] for c in children(k, "Kelvane"))
    check("kelvane.ini" in told and "Start Kelvane as administrator" in told,
          "the message does not say what failed and what to do: %r" % told)
    check(fan_register_writes(trace_ops(k)[mark:]), "the chip was not programmed")
    k.probe("command", "Kelvane", 2)
    k.probe("command", "Kelvane", 1)
    check(k.wait_gone("Kelvane", timeout=10), "the message stayed up")
    check(enabled(k, APPLY), "&Apply greyed after an apply that could not save")
    check(k.window(OPTIONS_TITLE).get("visible") == "1", "the dialog closed")


POLICY_KEY = "HKLM\\SOFTWARE\\Policies\\Kelvane\\Fan Ctrl Option "
POLICY_NOTE = 3090
MAIN_LABEL1, MAIN_LABEL3 = 1301, 1303


def set_policy(k, fan, value_name, data):
    k.run_windows("reg", "add", POLICY_KEY + str(fan), "/v", value_name, "/t", "REG_DWORD",
                  "/d", str(data), "/f", check=True)


def test_option_policy_value_wins_is_greyed_and_goes_again(k):
    open_options(k)
    select_tab(k, 1, FRAME_AUTO)
    check(k.wait_for(lambda: slider(k, CTR_SLIDER + 2) == 70, timeout=5),
          "the CPU Fan page does not show the file's Full point")
    check(enabled(k, CTR_SLIDER + 2) and not visible(k, POLICY_NOTE),
          "a point is greyed, or the administrator's note shown, without a policy")
    ini = k.read(INI)

    # While Kelvane runs: the CPU fan's full-speed point, 80 = 0x50, reaches its register.
    mark = len(trace_ops(k))
    set_policy(k, 1, "S2", 80)
    set_at = time.time()
    check(k.wait_for(lambda: W(0x6A, 0x50) in trace_ops(k)[mark:], timeout=2, step=0.1),
          "the policy's S2 did not reach the chip within 2 s: %s" % fan_register_writes(
              trace_ops(k)[mark:]))
    print("policy on the chip after %.1f s" % (time.time() - set_at))
    check(k.read(INI) == ini, "kelvane.ini changed when the policy came")
    # The open dialog follows: the point shows the policy's value, its group and the note
    # say the administrator set it.
    check(k.wait_for(lambda: slider(k, CTR_SLIDER + 2) == 80, timeout=5),
          "the open dialog does not show the policy's 80: %s" % slider(k, CTR_SLIDER + 2))
    for i in (0, 1, 2):
        check(not enabled(k, CTR_SLIDER + i) and not enabled(k, CTR_TEXT + i),
              "point %d is not greyed under the policy" % i)
    check(enabled(k, SPEED_SLIDER), "the speed, which no policy sets, is greyed")
    note = control(k, POLICY_NOTE)
    check(note.get("visible") == "1" and
          note.get("text") == "Some settings are managed by your administrator.",
          "the administrator's note: %s" % note)

    # Out of range: a set-up problem on the status line, not an alarm.
    set_policy(k, 0, "S1", 300)
    problem = "Policy Fan Ctrl Option 0\\S1=300 is outside 0..100; kelvane.ini's value is used"
    check(k.wait_for(lambda: k.child(MAIN_LABEL1).get("text") == problem, timeout=5),
          "status line: %r" % k.child(MAIN_LABEL1).get("text"))
    check(k.child(MAIN_LABEL3).get("text") == "", "an out-of-range policy raised a status code")
    check(not k.wait_window("Warning Message Ver 5.07", timeout=1), "the warning window opened")

    # Removed: the file's value back on the chip, the point free again, the file untouched.
    mark = len(trace_ops(k))
    k.run_windows("reg", "delete", POLICY_KEY + "1", "/v", "S2", "/f", check=True)
    check(k.wait_for(lambda: W(0x6A, 70) in trace_ops(k)[mark:], timeout=2, step=0.1),
          "the file's S2 did not come back to the chip within 2 s")
    check(k.wait_for(lambda: enabled(k, CTR_SLIDER + 2) and slider(k, CTR_SLIDER + 2) == 70,
                     timeout=5), "the point is not the file's and free again")
    check(k.read(INI) == ini, "kelvane.ini changed when the policy went")


CASES = [
    test_option_opens_topmost_with_its_five_tabs,
    test_option_opened_during_a_critical_alarm_stays_in_front,
    test_option_keyboard_slider_apply_writes_ini_and_board,
    test_option_advanced_scale_and_autostart,
    test_option_escape_after_edits_writes_nothing,
    test_option_apply_that_cannot_save_is_told,
    test_option_policy_value_wins_is_greyed_and_goes_again,
]

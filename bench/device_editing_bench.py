#!/usr/bin/python3
"""Timings of editing on glass, inside the virtual touch device (see device_editing.sh): how long
from a finger on "e" to its popup on the screen, and how a held BackSpace's deletions follow
each other on the screen. Uses the device test's framebuffer, touchscreen and layout.

Writes editing.json into the run folder and prints the figures.
"""
import argparse
import json
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "device"))
import touch_device_test as device_test  # noqa: E402

POPUP_RUNS = 9
HOLD_SECONDS = 3.0
E_KEY, BACKSPACE_KEY, FN_KEY, SAVE_KEY, LOAD_KEY = 1004, 1065, 1062, 1088, 1087
# a b c -: every deletion shows (a space at the end would not, while the caret blinks off) and
# the text still wraps, after each hyphen.
WORD_TAPS = [1000, 1001, 1002, 1059]
TEXT_AREA = (5, 1, 230, 76)


def press_to_popup(device, fb, touch, layout):
    """Milliseconds from the press on "e" to the first cell of its popup on the screen."""
    # The first cell lies on the key's top edge, centred over it (26 x 30 layout pixels).
    x, y, w, _ = layout.keys[E_KEY]["rect"]
    left, top, _, _ = layout.rect((x + w / 2 - 13, y - 30, 26, 30))
    point = (left + 3, top + 3)
    face = layout.keys[E_KEY]["face"]
    away = layout.rect(TEXT_AREA)
    times = []
    for _ in range(POPUP_RUNS + 1):  # the first warms the caches
        touch.press(*layout.centre(E_KEY))
        start = time.monotonic()
        while not device_test.close_to(fb.pixel(*point), face):
            if time.monotonic() - start > 10:
                raise device_test.CheckFailed("the popup of \"e\" did not appear")
            time.sleep(0.0005)
        times.append((time.monotonic() - start) * 1000)
        device_test.touch_move(touch, (away[0] + away[2]) // 2, (away[1] + away[3]) // 2)
        time.sleep(0.05)
        touch.release()
        time.sleep(0.4)
    return times[1:]


def region_pixels(fb, rect):
    left, top, right, bottom = rect
    return b"".join(fb.map[y * fb.stride + left * 4:y * fb.stride + right * 4] for y in range(top, bottom))


def region_signature(fb, rect):
    return hash(region_pixels(fb, rect))


def changed_columns(before, after, width):
    old, new = memoryview(before).cast("I"), memoryview(after).cast("I")
    return len({i % width for i, (a, b) in enumerate(zip(old, new)) if a != b})


def drawn_after(fb, area, start, timeout=3.0):
    """Milliseconds from start until the text area's pixels change."""
    before = region_signature(fb, area)
    while region_signature(fb, area) == before:
        if time.monotonic() - start > timeout:
            return None
        time.sleep(0.0005)
    return (time.monotonic() - start) * 1000


def taps_drawn(fb, touch, layout, key_id, runs=7):
    """Milliseconds from a tap's release (the press for BackSpace, which acts at once) to its
    change on the screen."""
    area = layout.rect(TEXT_AREA)
    times = []
    for _ in range(runs):
        time.sleep(0.6)
        touch.press(*layout.centre(key_id))
        start = time.monotonic()
        if key_id != BACKSPACE_KEY:
            time.sleep(0.05)
            touch.release()
            start = time.monotonic()
        times.append(drawn_after(fb, area, start))
        if key_id == BACKSPACE_KEY:
            time.sleep(0.05)
            touch.release()
    return [t for t in times if t is not None]


def held_backspace(device, fb, touch, layout, state):
    """When the text area changed while BackSpace was held over a text of 128 characters (changes
    closer than 30 ms are one, a frame read while it was drawn; the caret's blinking is none)."""
    device.tap_keys(touch, layout, WORD_TAPS)
    for _ in range(5):  # Copy and Paste double the text
        device.tap_keys(touch, layout, [FN_KEY, SAVE_KEY, FN_KEY, LOAD_KEY])
    device.wait_for_text(state, "Abc-" * 32, timeout=20)
    time.sleep(1.0)
    area = layout.rect(TEXT_AREA)
    before = region_pixels(fb, area)
    signature = hash(before)
    changes = []
    touch.press(*layout.centre(BACKSPACE_KEY))
    start = time.monotonic()
    while time.monotonic() - start < HOLD_SECONDS:
        now = region_pixels(fb, area)
        if hash(now) != signature:
            at = (time.monotonic() - start) * 1000
            # The caret blinking on or off changes one column; a deleted character more.
            if changed_columns(before, now, area[2] - area[0]) > 1 and (not changes or at - changes[-1] > 30):
                changes.append(at)
            before, signature = now, hash(now)
        time.sleep(0.0005)
    touch.release()
    return changes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--run", required=True)
    parser.add_argument("--wendrel", required=True)
    parser.add_argument("--vfb", required=True)
    args = parser.parse_args()
    args.helper = None
    with open(os.path.join(args.run, "keys.json")) as f:
        table = json.load(f)
    device = device_test.Device(args, table)
    device.load_framebuffer(240, 320)
    fb = device_test.Framebuffer(240, 320)
    touch = device_test.Touchscreen(240, 320)
    layout = device_test.Layout(table, (240, 320), 1.0)
    state = os.path.join(args.run, "home-editing-bench")
    process = None
    try:
        fb.clear()
        with open(os.path.join(args.run, "wendrel-editing-bench.log"), "w") as log:
            process = device.start([args.wendrel], touch, state, log)
        if device.wait_for_frame(fb, device.keyboard_expectation(layout))[0] is None:
            raise device_test.CheckFailed("the keyboard did not appear")
        time.sleep(1.0)
        popup = press_to_popup(device, fb, touch, layout)
        device.tap_keys(touch, layout, [BACKSPACE_KEY] * (POPUP_RUNS + 1))
        changes = held_backspace(device, fb, touch, layout, state)
        letter_taps = taps_drawn(fb, touch, layout, E_KEY)
        backspace_taps = taps_drawn(fb, touch, layout, BACKSPACE_KEY)
    finally:
        if process:
            device.stop(process)
        touch.close()
        fb.close()
        device.unload_framebuffer()

    gaps = [b - a for a, b in zip(changes[1:], changes[2:])]  # after the hold's own 400 ms
    figures = {
        "press_to_popup_ms": {"median": round(statistics.median(popup), 1), "fastest": round(min(popup), 1),
                              "slowest": round(max(popup), 1), "runs": [round(t, 1) for t in popup]},
        "backspace_held": {
            "first_deletion_ms": round(changes[0], 1) if changes else None,
            "second_deletion_ms": round(changes[1], 1) if len(changes) > 1 else None,
            "deletions_seen": len(changes),
            "between_repeats_ms": {"median": round(statistics.median(gaps), 1), "fastest": round(min(gaps), 1),
                                   "slowest": round(max(gaps), 1)} if gaps else None,
            "changes_ms": [round(t, 1) for t in changes],
        },
    }
    figures["tap_drawn_ms"] = {
        "letter_from_release": {"median": round(statistics.median(letter_taps), 1), "runs": [round(t, 1) for t in letter_taps]},
        "backspace_from_press": {"median": round(statistics.median(backspace_taps), 1),
                                 "runs": [round(t, 1) for t in backspace_taps]},
    }
    with open(os.path.join(args.run, "editing.json"), "w") as f:
        json.dump(figures, f, indent=1)
    held = figures["backspace_held"]
    print("editing on the 240 x 320 device (framebuffer, touchscreen; qemu without KVM):\n"
          "  press on \"e\" to its popup drawn: median %.0f ms, fastest %.0f ms, slowest %.0f ms (%d runs; the hold is 400 ms)\n"
          "  BackSpace held %.0f s: first deletion drawn after %s ms, the second after %s ms (hold 400 ms),\n"
          "  then %s between repeats (100 ms asked), %d deletions drawn"
          % (figures["press_to_popup_ms"]["median"], figures["press_to_popup_ms"]["fastest"],
             figures["press_to_popup_ms"]["slowest"], POPUP_RUNS, HOLD_SECONDS, held["first_deletion_ms"],
             held["second_deletion_ms"],
             "median %.0f ms (%.0f to %.0f)" % (held["between_repeats_ms"]["median"], held["between_repeats_ms"]["fastest"],
                                              held["between_repeats_ms"]["slowest"]) if gaps else "nothing",
             held["deletions_seen"]), flush=True)
    print("  for comparison, a tap drawn: a letter %.0f ms after its release, BackSpace %.0f ms after its press (medians)"
          % (figures["tap_drawn_ms"]["letter_from_release"]["median"],
             figures["tap_drawn_ms"]["backspace_from_press"]["median"]), flush=True)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except device_test.CheckFailed as failure:
        print("editing benchmark failed: %s" % failure, flush=True)
        sys.exit(1)

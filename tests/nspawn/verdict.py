# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Judges the run in the container from what inside.sh left: what
timedated was asked and answered (busctl monitor), what it logged, what the
program told the user; and whether this machine's clock moved.

    verdict.py FOLDER OFFSET_BEFORE OFFSET_AFTER
"""
import json
import sys

TIMEDATE = "org.freedesktop.timedate1"
BUSY = "Previous request is not finished"
SET_FAILED = "Failed to set local time: Operation not permitted"
# Far below the move the program asks for (about a second), far above what
# the kernel's slewing could do to the clock in the test's minute.
CLOCK_TOLERANCE_S = 0.1


def calls_and_answers(path):
    """The program's SetTime and SetNTP calls, in order, each as
    (member, arguments, answer); answer is None when it succeeded, the
    error's message when it failed, and "(no answer)" when none came."""
    messages = [json.loads(line) for line in open(path, encoding="utf-8") if line.strip()]
    calls = [m for m in messages if m["type"] == "method_call" and m.get("interface") == TIMEDATE
             and m.get("member") in ("SetTime", "SetNTP")]
    found = []
    for call in calls:
        answer = "(no answer)"
        for m in messages:
            if m.get("reply_cookie") == call["cookie"] and m.get("destination") == call["sender"]:
                answer = m["payload"]["data"][0] if m["type"] == "error" else None
                break
        found.append((call["member"], call["payload"]["data"], answer))
    return found


def described(member, arguments, answer):
    what = (f"SetTime({arguments[0] / 1e6:+.3f} s)" if member == "SetTime"
            else f"SetNTP({str(arguments[0]).lower()})")
    return f"{what} -> " + ("done" if answer is None else f'"{answer}"')


def main():
    folder, before, after = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
    failures = []

    calls = calls_and_answers(f"{folder}/monitor.json")
    print("timedated was asked: " + "; ".join(described(*c) for c in calls))
    ntp_off = [i for i, c in enumerate(calls) if c[0] == "SetNTP" and c[1][0] is False]
    if not ntp_off:
        failures.append("the program never turned network time off (no SetNTP(false))")
    else:
        after_off = [c for c in calls[ntp_off[0] + 1:] if c[0] == "SetTime"]
        if len(after_off) != 1:
            failures.append(f"SetTime was sent {len(after_off)} times after SetNTP(false), not once")
        if any(c[2] and BUSY in c[2] for c in after_off):
            failures.append(f'timedated refused the move after SetNTP(false): "{BUSY}"')

    journal = open(f"{folder}/journal.txt", encoding="utf-8").read()
    if SET_FAILED in journal:
        print(f'timedated logged "{SET_FAILED}": the move reached the clock, which the container may not set')
    else:
        failures.append(f'timedated never tried to set the clock (no "{SET_FAILED}" in its journal)')

    texts = open(f"{folder}/answer.txt", encoding="utf-8").read().splitlines()
    alerts = [t.split(": ", 1)[1] for t in texts if t.startswith("alert: ")]
    # The status line is the main window's first label.
    status = next((t.split(": ", 1)[1] for t in texts if ": " in t and not t.startswith("alert: ")), "?")
    print(f'The program answered "{" | ".join(alerts) or "(no message box)"}", and its status line says "{status}"')
    if not any("Operation not permitted" in a for a in alerts):
        failures.append("the program's answer does not tell what timedated said (Operation not permitted)")

    moved = after - before
    if abs(moved) > CLOCK_TOLERANCE_S:
        failures.append(f"THIS MACHINE'S CLOCK MOVED by {moved:+.6f} s against its monotonic clock")
    else:
        print(f"This machine's clock did not move ({moved:+.6f} s against its monotonic clock)")

    for failure in failures:
        print(f"FAIL: {failure}")
    sys.exit(1 if failures else 0)


main()

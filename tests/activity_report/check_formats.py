#!/usr/bin/env python3
"""The report's three formats carry the same rows: the text table as a person reads it,
the CSV as Python's csv module reads it, the JSON as Python's json module reads it. The
JSON keeps each name as it is; the table and the CSV replace control characters, and the
CSV starts a cell that a spreadsheet would take for a formula with an apostrophe. The
table's clock times, to the nearest second, are the ones given here.
   check_formats.py REPORT LOGS"""
import csv
import fcntl
import io
import json
import os
import pty
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import termios
import unicodedata

report, logs = sys.argv[1], sys.argv[2]

# Durations on either side of a half second, for the clock's rounding.
ROUNDING = [("a", 499), ("b", 500), ("c", 1500), ("d", 59_499), ("e", 59_500), ("f", 3_599_500)]
rounding = tempfile.mkdtemp(prefix="report-formats-")
with open(os.path.join(rounding, "2026-03-12.jsonl"), "w") as day:
    at = 8 * 3_600_000
    for title, ms in ROUNDING:
        stamp = lambda t: (f"2026-03-12T{t // 3_600_000:02}:{t // 60_000 % 60:02}:"
                           f"{t // 1000 % 60:02}.{t % 1000:03}+01:00")
        day.write(json.dumps({"start": stamp(at), "end": stamp(at + ms),
                              "seconds": ms / 1000, "state": "active", "title": title,
                              "curated_title": "", "doc": "", "url": "", "pid": 1, "app": "x",
                              "exe_path": "", "category": 0}) + "\n")
        at += ms

# Folders, selection, --by, --include-away; then the table's times, row by row, its
# total, the JSON's unrecorded time "X of Y" (the span) and the coverage line's "tags over"
# (None: no tags).
CASES = [
    (["basic"], ["--from", "2026-03-08", "--to", "2026-03-10"], "app", False,
     ["1:40:00", "1:40:00", "1:00:00", "0:45:00", "0:30:00"], "5:35:00", "66:03:30 of 72:00:00",
     None),
    (["basic", "other-machine"], ["--day", "2026-03-09"], "category", True,
     ["1:40:00", "1:35:00", "0:40:00", "0:30:00", "0:30:00", "0:15:00", "0:05:00", "0:01:00",
      "0:00:30"], "5:16:30", "19:58:30 of 24:00:00", None),
    (["basic"], ["--day", "2026-03-09"], "folder", False,
     ["1:40:00", "1:00:00", "0:40:00"], "3:20:00", "20:18:30 of 24:00:00", None),
    (["hostile"], ["--day", "2026-03-11"], "title", True,
     ["1:30:00", "1:00:00", "0:30:00", "0:20:00", "0:15:00", "0:10:00", "0:08:00", "0:07:00",
      "0:06:00", "0:05:00", "0:04:00", "0:03:00", "0:02:00", "0:00:01"], "4:20:01",
     "19:39:59 of 24:00:00", None),
    (["hostile"], ["--day", "2026-03-11"], "app", False,
     ["1:30:00", "1:00:00", "0:30:00", "0:20:00", "0:15:00", "0:10:00", "0:05:00", "0:00:01"],
     "3:50:01", "19:39:59 of 24:00:00", None),
    (["hostile"], ["--day", "2026-03-11"], "doc", False,
     ["1:30:00", "1:20:01", "1:00:00"], "3:50:01", "19:39:59 of 24:00:00", None),
    (["empty"], ["--day", "2026-03-11"], "app", False, [], None, "24:00:00 of 24:00:00", None),
    ([rounding], ["--day", "2026-03-12"], "title", False,
     ["1:00:00", "0:01:00", "0:00:59", "0:00:02", "0:00:01", "0:00:00"], "1:02:01",
     "22:57:59 of 24:00:00", None),
    (["tagged"], ["--day", "2026-03-09"], "category", True,
     ["1:40:00", "0:40:00", "0:30:00", "0:15:00", "0:05:00", "0:01:00", "0:00:30"], "3:11:30",
     "20:48:30 of 24:00:00", "1:55:00"),
    (["tagged", "other-machine"], ["--day", "2026-03-09"], "app", False,
     ["1:40:00", "1:35:00", "0:40:00", "0:30:00"], "4:25:00", "20:28:30 of 24:00:00", "1:55:00"),
]
ROW = re.compile(r"^(.*?) +(\d+:\d\d:\d\d) +(\d+\.\d)%(?:  \S+)?$")
failures = []


# Not a terminal and no COLUMNS: the table's 79 columns, whatever runs the check.
PLAIN = {k: v for k, v in os.environ.items() if k != "COLUMNS"}


def run(args, env=PLAIN):
    done = subprocess.run([report] + args, capture_output=True, env=env)
    if done.returncode != 0:
        failures.append(f"{args}: exit {done.returncode}: {done.stderr.decode()}")
    return done.stdout.decode("utf-8")


def clock(seconds):
    whole = int(seconds + 0.5)
    return f"{whole // 3600}:{whole // 60 % 60:02d}:{whole % 60:02d}"


def shown(name):
    """The name as the terminal shows it: control characters replaced."""
    return "".join("\ufffd" if unicodedata.category(c) == "Cc" or c in "\u2028\u2029" else c
                   for c in name)


def in_csv(name):
    return ("'" if name[:1] in ("=", "+", "-", "@", "\t", "\r") else "") + shown(name)


def text_rows(text):
    lines = text.split("\n")
    try:
        start = next(i for i, l in enumerate(lines) if l.split() and l.split()[-2:] == ["Time", "Share"])
    except StopIteration:
        return [], None
    rows, total = [], None
    for previous, line in zip(lines[start:], lines[start + 1:]):
        match = ROW.match(line)
        if previous.startswith("---"):
            total = match.group(2) if match and match.group(1) == "Total" else "missing"
            break
        if not line.startswith("---"):
            if not match:
                break
            rows.append(match.groups())
    return rows, total


for folders, selection, by, away, times, total_time, not_recorded, tagged_time in CASES:
    # --no-cache: the committed logs get no summaries beside them.
    args = ([a for f in folders for a in ("--dir", os.path.join(logs, f))] + selection
            + ["--by", by, "--no-cache"])
    if away:
        args.append("--include-away")
    label = " ".join([os.path.basename(f) for f in folders] + selection + [by]
                     + (["away"] if away else []))
    text = run(args)
    csv_text = run(args + ["--format", "csv"])
    table = list(csv.reader(io.StringIO(csv_text, newline="")))
    raw = [c for c in csv_text.replace("\r\n", "") if shown(c) != c]
    if raw:
        failures.append(f"{label}: control characters in the CSV: {raw}")
    document = json.loads(run(args + ["--format", "json"]))
    rows, total = text_rows(text)

    if table[0] != [by, "seconds", "percent"]:
        failures.append(f"{label}: CSV header {table[0]}")
    body = table[1:]
    if not (len(rows) == len(body) == len(document["rows"])):
        failures.append(f"{label}: {len(rows)} text rows, {len(body)} CSV rows, "
                        f"{len(document['rows'])} JSON rows")
        continue
    for (name, time, share), (csv_name, seconds, percent), item in zip(rows, body, document["rows"]):
        if (csv_name != in_csv(item["name"]) or float(seconds) != item["seconds"]
                or float(percent) != item["percent"]):
            failures.append(f"{label}: CSV {csv_name!r} {seconds} {percent} vs JSON {item}")
        expected = shown(item["name"])
        if name.endswith("\u2026"):
            if not expected.startswith(name[:-1]):
                failures.append(f"{label}: text {name!r} is not a cut of {expected!r}")
        elif name != expected:
            failures.append(f"{label}: text {name!r} vs CSV {expected!r}")
        if share != percent:
            failures.append(f"{label}: {csv_name!r}: text {share}% vs CSV {percent}")
    total_seconds = sum(float(r[1]) for r in body)
    if abs(total_seconds - document["total_seconds"]) > 1e-6:
        failures.append(f"{label}: JSON total {document['total_seconds']} vs rows {total_seconds}")
    if [time for _, time, _ in rows] != times or total != total_time:
        failures.append(f"{label}: text times {[time for _, time, _ in rows]}, total {total}; "
                        f"expected {times}, {total_time}")
    coverage = document["coverage"]
    parts = sum(coverage[k] for k in ("active_seconds", "away_seconds", "no_window_seconds",
                                      "unavailable_seconds", "not_recorded_seconds"))
    if abs(parts - coverage["span_seconds"]) > 1e-6:
        failures.append(f"{label}: coverage parts {parts} vs span {coverage['span_seconds']}")
    unrecorded = f"{clock(coverage['not_recorded_seconds'])} of {clock(coverage['span_seconds'])}"
    if unrecorded != not_recorded:
        failures.append(f"{label}: JSON not recorded {unrecorded}, expected {not_recorded}")
    # The line says when recording began and ended, as the JSON does.
    first, last = coverage["first_recorded"], coverage["last_recorded"]
    dated = "--from" in selection
    said = (f"recorded {first[:10] + ' ' if dated else ''}{first[11:19]} to"
            if first else "nothing recorded")
    if "Coverage: " + said not in text:
        failures.append(f"{label}: text coverage doesn't say '{said}': {text}")
    between = coverage["not_recorded_between_seconds"]
    gaps = sorted((g["seconds"] for g in coverage["longest_gaps"]), reverse=True)
    if between > coverage["not_recorded_seconds"] or sum(gaps) > between + 1e-6 \
            or len(gaps) != min(coverage["gaps_between"], 3):
        failures.append(f"{label}: the gaps between don't add up: {coverage}")
    tagged = coverage["tagged_seconds"]
    if (tagged_time is None) != (tagged == 0) or tagged > coverage["span_seconds"]:
        failures.append(f"{label}: tagged seconds {tagged}, expected tags over {tagged_time}")
    if tagged_time is not None and f"tags over {tagged_time}" not in text.replace("\n  ", " "):
        failures.append(f"{label}: text coverage lacks 'tags over {tagged_time}': {text}")
    if tagged_time is None and "tags over" in text:
        failures.append(f"{label}: 'tags over' without tags: {text}")

shutil.rmtree(rounding, ignore_errors=True)


def in_terminal(args, columns):
    """The report's output on a terminal COLUMNS wide (a pseudo-terminal), without COLUMNS."""
    leader, follower = pty.openpty()
    fcntl.ioctl(follower, termios.TIOCSWINSZ, struct.pack("HHHH", 50, columns, 0, 0))
    attributes = termios.tcgetattr(follower)
    attributes[1] &= ~termios.ONLCR  # the lines as written, without a carriage return
    termios.tcsetattr(follower, termios.TCSANOW, attributes)
    done = subprocess.Popen([report] + args, stdout=follower, stderr=subprocess.DEVNULL, env=PLAIN)
    os.close(follower)
    out = b""
    while True:
        try:
            chunk = os.read(leader, 65536)
        except OSError:  # the terminal closed as the report ended
            break
        if not chunk:
            break
        out += chunk
    done.wait()
    os.close(leader)
    return out.decode("utf-8")


def width(line):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 0 if unicodedata.combining(c) else 1
               for c in line)


# The table as wide as the terminal (COLUMNS, else the terminal's own width) or --width;
# a pipe keeps 79 columns. A long title is whole when there is room for it, cut to fit
# when not.
LONG = "報告書の最終版"  # the start of the hostile log's long title
hostile = ["--dir", os.path.join(logs, "hostile"), "--day", "2026-03-11", "--by", "title",
           "--no-cache"]
for what, text, most, whole in [
        ("a pipe", run(hostile), 79, False),
        ("COLUMNS=140", run(hostile, env=dict(PLAIN, COLUMNS="140")), 140, True),
        ("a terminal 120 wide", in_terminal(hostile, 120), 120, True),
        ("a terminal 120 wide, --width 60", in_terminal(hostile + ["--width", "60"], 120), 60, False),
        ("--width 110 over COLUMNS=50", run(hostile + ["--width", "110"], env=dict(PLAIN, COLUMNS="50")),
         110, True)]:
    lines = text.splitlines()
    widest = max((width(line) for line in lines), default=0)
    titled = [line for line in lines if line.startswith(LONG)]
    if widest > most or (most > 79 and widest <= 79) or len(titled) != 1:
        failures.append(f"{what}: lines up to {widest} columns, expected up to {most}: {text}")
    elif ("- Word " in titled[0]) != whole or (not whole and "…" not in titled[0]):
        failures.append(f"{what}: the long title {'cut' if whole else 'whole'}: {titled[0]}")
refused = subprocess.run([report] + hostile + ["--width", "100", "--format", "csv"],
                         capture_output=True, env=PLAIN)
if refused.returncode != 2 or b"--width" not in refused.stderr:
    failures.append(f"--width with CSV: exit {refused.returncode}, {refused.stderr!r}")

for failure in failures:
    print("FAIL", failure)
print(f"{len(CASES)} cases, {len(failures)} failures")
sys.exit(1 if failures else 0)

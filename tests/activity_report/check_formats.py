#!/usr/bin/env python3
"""The report's three formats carry the same rows: the text table as a person reads it,
the CSV as Python's csv module reads it, the JSON as Python's json module reads it. The
JSON keeps each name as it is; the table and the CSV replace control characters, and the
CSV starts a cell that a spreadsheet would take for a formula with an apostrophe.
   check_formats.py REPORT LOGS"""
import csv
import io
import json
import re
import subprocess
import sys
import unicodedata

report, logs = sys.argv[1], sys.argv[2]

CASES = [
    (["basic"], ["--from", "2026-03-08", "--to", "2026-03-10"], "app", False),
    (["basic", "other-machine"], ["--day", "2026-03-09"], "category", True),
    (["basic"], ["--day", "2026-03-09"], "folder", False),
    (["hostile"], ["--day", "2026-03-11"], "title", True),
    (["hostile"], ["--day", "2026-03-11"], "app", False),
    (["hostile"], ["--day", "2026-03-11"], "doc", False),
    (["empty"], ["--day", "2026-03-11"], "app", False),
    (["tagged"], ["--day", "2026-03-09"], "category", True),
    (["tagged", "other-machine"], ["--day", "2026-03-09"], "app", False),
]
ROW = re.compile(r"^(.*?) +(\d+:\d\d:\d\d) +(\d+\.\d)%(?:  \S+)?$")
failures = []


def run(args):
    done = subprocess.run([report] + args, capture_output=True)
    if done.returncode != 0:
        failures.append(f"{args}: exit {done.returncode}: {done.stderr.decode()}")
    return done.stdout.decode("utf-8")


def clock(seconds):
    whole = int(seconds * 1000 + 500) // 1000
    return f"{whole // 3600}:{whole // 60 % 60:02}:{whole % 60:02}"


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


for folders, selection, by, away in CASES:
    # --no-cache: the committed logs get no summaries beside them.
    args = ([a for f in folders for a in ("--dir", f"{logs}/{f}")] + selection
            + ["--by", by, "--no-cache"])
    if away:
        args.append("--include-away")
    label = " ".join(folders + selection + [by] + (["away"] if away else []))
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
        if time != clock(float(seconds)) or share != percent:
            failures.append(f"{label}: {csv_name!r}: text {time} {share}% vs CSV {seconds} {percent}")
    total_seconds = sum(float(r[1]) for r in body)
    if abs(total_seconds - document["total_seconds"]) > 1e-6:
        failures.append(f"{label}: JSON total {document['total_seconds']} vs rows {total_seconds}")
    if body and total != clock(document["total_seconds"]):
        failures.append(f"{label}: text total {total} vs JSON {document['total_seconds']}")
    coverage = document["coverage"]
    parts = sum(coverage[k] for k in ("active_seconds", "away_seconds", "no_window_seconds",
                                      "unavailable_seconds", "not_recorded_seconds"))
    if abs(parts - coverage["span_seconds"]) > 1e-6:
        failures.append(f"{label}: coverage parts {parts} vs span {coverage['span_seconds']}")
    if f"not recorded {clock(coverage['not_recorded_seconds'])}" not in text:
        failures.append(f"{label}: text coverage differs from JSON {coverage}")
    tagged = coverage["tagged_seconds"]
    if (f"tags over {clock(tagged)}" in text) != (tagged > 0) or tagged > coverage["span_seconds"]:
        failures.append(f"{label}: tagged time in the text vs JSON {coverage}")

for failure in failures:
    print("FAIL", failure)
print(f"{len(CASES)} cases, {len(failures)} failures")
sys.exit(1 if failures else 0)

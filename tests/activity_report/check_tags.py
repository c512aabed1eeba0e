#!/usr/bin/env python3
"""activity-report tag as a user runs it, the program itself (the Windows one under Wine
when a runner is given): tags made, listed and removed by lines appended to tags.jsonl,
never by an earlier byte changed; the report's coverage line and project table take
them; --untagged-away offers the commands; sixteen tags made at once each keep their
line. Run in a zone at +01:00 on 2026-03-09, as the committed log is.
   check_tags.py LOGS REPORT [RUNNER...]"""
import fcntl
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

logs, command = sys.argv[1], sys.argv[2:]
if len(command) > 1:
    command = command[1:] + command[:1]  # the runner (wine), then the program
failures = []


def run(args, status=0):
    done = subprocess.run(command + args, capture_output=True)
    if done.returncode != status:
        failures.append(f"{args}: exit {done.returncode}, not {status}: {done.stderr.decode()}")
    return done.stdout.decode("utf-8").replace("\r\n", "\n"), done.stderr.decode("utf-8")


with tempfile.TemporaryDirectory() as work:
    log = os.path.join(work, "log")
    os.mkdir(log)
    shutil.copy(os.path.join(logs, "basic", "2026-03-09.jsonl"), log)
    tags = os.path.join(log, "tags.jsonl")

    out, _ = run(["tag", "--dir", log, "--from", "2026-03-09 10:15", "--to", "2026-03-09 11:00",
                  "meeting/standup"])
    first = re.search(r"\(id (\S+)\)", out)
    if not first or "Tagged 2026-03-09 10:15 to 11:00 as meeting/standup" not in out:
        failures.append(f"tag: {out!r}")
    before = open(tags, "rb").read()
    line = json.loads(before.decode("utf-8"))
    if (line["start"], line["end"], line["label"]) != (
            "2026-03-09T10:15:00.000+01:00", "2026-03-09T11:00:00.000+01:00", "meeting/standup"):
        failures.append(f"tags.jsonl: {line}")

    run(["tag", "--dir", log, "--from", "2026-03-09 11:15", "--to", "2026-03-09 12:00", "call"])
    run(["tag", "--dir", log, "--from", "2026-03-09 12:00", "--to", "2026-03-09 11:00", "x"], 2)
    run(["tag", "--dir", log, "--remove", "no-such-id"], 2)
    if first:
        run(["tag", "--dir", log, "--remove", first.group(1)])
    after = open(tags, "rb").read()
    if not after.startswith(before) or after.count(b"\n") != 3:
        failures.append(f"tags.jsonl was not only appended to: {after!r}")
    out, _ = run(["tag", "--dir", log, "--list"])
    if "meeting" in out or "2026-03-09 11:15  2026-03-09 12:00  call" not in out:
        failures.append(f"--list: {out!r}")

    out, _ = run(["--dir", log, "--day", "2026-03-09", "--no-cache", "--by", "project",
                  "--format", "json"])
    document = json.loads(out)
    rows = {row["name"]: row["seconds"] for row in document["rows"]}
    if rows.get("call") != 2700 or document["coverage"]["tagged_seconds"] != 2700:
        failures.append(f"report: {rows} {document['coverage']}")

    out, _ = run(["--dir", log, "--day", "2026-03-09", "--no-cache", "--untagged-away", "10"])
    if ("2026-03-09 10:30 to 10:45  0:15:00  away" not in out
            or '--from "2026-03-09 10:30" --to "2026-03-09 10:45" LABEL' not in out
            or "11:15 to 12:00" in out):
        failures.append(f"--untagged-away: {out!r}")

# Sixteen tags made at once, in one folder: each waits for the one before to append, so
# that every one gets an id of its own and keeps its line. They start together: each says
# it is there, then waits at a gate (a lock this script holds) that opens for all at once.
with tempfile.TemporaryDirectory() as work:
    log = os.path.join(work, "log")
    os.mkdir(log)
    ready, gate = os.path.join(work, "ready"), os.path.join(work, "gate")
    with open(gate, "w") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        runs = [subprocess.Popen(["sh", "-c", 'echo >> "$0" && flock -s "$1" true && shift && '
                                  'exec "$@"', ready, gate] + command +
                                 ["tag", "--dir", log, "--from", f"2026-03-09 {n:02}:00",
                                  "--to", f"2026-03-09 {n:02}:30", f"task {n}"],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                for n in range(16)]
        while not os.path.exists(ready) or len(open(ready).read()) < 16:
            time.sleep(0.01)
    said = [run.communicate() + (run.returncode,) for run in runs]
    ids = [re.search(r"\(id (\S+)\)", out.decode()) for out, _, _ in said]
    if (any(code != 0 for _, _, code in said) or not all(ids)
            or len({i.group(1) for i in ids}) != 16):
        failures.append(f"16 tags at once: {said}")
    lines = open(os.path.join(log, "tags.jsonl"), "rb").read().splitlines()
    line_ids = [json.loads(line)["id"] for line in lines]
    if len(set(line_ids)) != 16:
        failures.append(f"16 tags at once: {len(lines)} lines, ids {line_ids}")
    out, err = run(["tag", "--dir", log, "--list"])
    if out.count("task ") != 16 or err:
        failures.append(f"16 tags at once, listed: {out!r} {err!r}")

for failure in failures:
    print("FAIL", failure)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)

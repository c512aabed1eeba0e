#!/usr/bin/env python3
"""activity-log end to end, natively: the real collector against the real sampler on a
virtual X server, and against stand-in samplers that misbehave. Only what the unit tests
can't show is here: real processes and their failures, kill -9, signals, the folder's
bytes on the disk.

  collector_e2e.py GROUP --collector PATH --sampler PATH [--test-window PATH --xvfb PATH]

GROUP: desktop (two windows, then idle), faults (samplers that fail as processes),
messages (the start line; no window because no desktop answers), crash (kill -9,
SIGSTOP, signals), privacy, hostile (patterns and titles made to hang or crash a
matcher, on a small stack), unwritable (events queued through a kill), forget
(across midnight, while a collector runs), forget-crash (killed at each system call;
--strace PATH), locked (a stand-in logind), without-libsystemd (--unshare PATH; as
root, else skipped). Every log left behind is read line by line with Python's json and
with jq.
"""
import argparse
import fcntl
import glob
import json
import os
import re
import resource
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

ARGS = None
FAILURES = []
SKIPPED = 77  # ctest's SKIP_RETURN_CODE


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL: " + message, file=sys.stderr)
    return condition


# --- the log -------------------------------------------------------------------------

def ms(stamp):
    """Unix milliseconds of a log timestamp, e.g. 2026-12-07T09:58:22.123+01:00."""
    from datetime import datetime
    return round(datetime.fromisoformat(stamp).timestamp() * 1000)


def read_log(directory):
    """Every event of the day files in DIRECTORY, oldest first, after checking each line
    with json and jq: strict UTF-8, LF, the keys in their order."""
    keys = ["start", "end", "seconds", "state", "title", "curated_title", "doc", "url",
            "pid", "app", "exe_path", "category"]
    events = []
    for name in sorted(os.listdir(directory)):
        path = os.path.join(directory, name)
        if not name.endswith(".jsonl"):
            continue
        data = open(path, "rb").read()
        check(data.endswith(b"\n") and b"\r" not in data, f"{name}: LF line ends only")
        text = data.decode("utf-8")  # strict: raises on a bad byte
        for number, line in enumerate(text.split("\n")[:-1], 1):
            event = json.loads(line)
            check(list(event) == keys, f"{name}:{number}: keys {list(event)}")
            check(name == event["start"][:10] + ".jsonl", f"{name}:{number}: in its day's file")
            check(abs(event["seconds"] * 1000 - (ms(event["end"]) - ms(event["start"]))) <= 1,
                  f"{name}:{number}: seconds is end - start")
            events.append(event)
        jq = subprocess.run(["jq", "-c", ".", path], capture_output=True)
        check(jq.returncode == 0 and jq.stdout.count(b"\n") == text.count("\n"),
              f"{name}: jq reads every line: {jq.stderr!r}")
    events.sort(key=lambda e: ms(e["start"]))
    return events


def check_contiguous(events, what):
    """No overlaps, no holes."""
    for before, after in zip(events, events[1:]):
        check(ms(before["end"]) == ms(after["start"]),
              f"{what}: {before['end']} then {after['start']}: a hole or an overlap")


def rejoined(events):
    """EVENTS with the pieces the collector cut at a local midnight joined again: a live
    run may cross one whatever the wall clock's day."""
    joined = []
    for event in events:
        last = joined[-1] if joined else None
        if (last is not None and last["end"] == event["start"] and
                event["start"][11:23] == "00:00:00.000" and
                all(last[key] == event[key] for key in last
                    if key not in ("start", "end", "seconds"))):
            joined[-1] = dict(last, end=event["end"],
                              seconds=round(last["seconds"] + event["seconds"], 3))
        else:
            joined.append(event)
    return joined


def states(events):
    return [e["state"] for e in events]


# --- processes -----------------------------------------------------------------------

def collector(directory, *options, env=None, sampler=None):
    command = [ARGS.collector, "--dir", directory, *options]
    if sampler:
        command += ["--sampler", sampler]
    return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=env)


START_LINE = re.compile(r"activity-log: (logging to .+|writing events to standard output); "
                        r"desktop: .+; idle time: .+\n")


def finish(process, limit=30, start_line=False):
    """Status, output and error of PROCESS; killed (status -9) if it runs past LIMIT. The
    collector's line at its start is left out of the error unless START_LINE."""
    try:
        out, err = process.communicate(timeout=limit)
    except subprocess.TimeoutExpired:
        process.kill()
        out, err = process.communicate()
    err = err.decode(errors="replace")
    if not start_line and START_LINE.match(err):
        err = err[err.index("\n") + 1:]
    return process.returncode, out.decode(errors="replace"), err


def stand_in(folder, name, body):
    """A stand-in sampler: a shell script with BODY."""
    path = os.path.join(folder, name)
    with open(path, "w") as script:
        script.write("#!/bin/sh\n" + body + "\n")
    os.chmod(path, 0o755)
    return path


def sample_line(title, name="Mozilla Firefox", pid=4242, path="/usr/bin/firefox", category=1):
    return (f'{{"Title": "{title}", "Curated_title": "{title}", "Doc": "{title}", "URL": "", '
            f'"Owner": {{"Pid": {pid}, "Name": "{name}", "Path": "{path}"}}, '
            f'"App_cat_nb": {category}}}')


def printing(line):
    return "printf '%s\\r\\n' '" + line.replace("'", "'\\''") + "'"


class Xvfb:
    def __enter__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            # -noreset: a desktop's server doesn't start over (idle time included) each
            # time its last client leaves.
            [ARGS.xvfb, "-displayfd", str(write), "-nolisten", "tcp", "-noreset", "-screen",
             "0", "1280x1024x24"], pass_fds=[write], stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read], [], [], 1)
            chunk = os.read(read, 64) if ready else b""
            if ready and not chunk:
                break
            number += chunk
        number = number.decode().strip()
        os.close(read)
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb gave no display")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display)
        return self

    def __exit__(self, *_):
        self.process.terminate()
        self.process.wait(10)

    def input(self):
        """Synthetic input through the server, as a user's mouse gives it."""
        subprocess.run(["xdotool", "mousemove", "--sync", "300", "300", "mousemove", "--sync",
                        "310", "305"], env=self.env, check=True, timeout=10)


class Window:
    """A copy of the test window client named EXE_NAME, showing TITLE, made active."""

    def __init__(self, xvfb, folder, exe_name, title):
        self.exe = os.path.join(folder, exe_name)
        shutil.copy(ARGS.test_window, self.exe)
        self.process = subprocess.Popen([self.exe, "--title=" + title], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, env=xvfb.env)
        ready, _, _ = select.select([self.process.stdout], [], [], 20)
        if not ready or self.process.stdout.readline() != b"ready\n":
            raise RuntimeError(f"{exe_name} isn't ready")

    def close(self):
        self.process.stdin.close()
        self.process.wait(10)


# --- the groups ----------------------------------------------------------------------

# A character outside the BMP: the sampler writes it as two surrogates in curated_title
# and doc; the log must hold the character itself.
PLAN = "plan \U0001F600.docx"


def desktop(work):
    with Xvfb() as x:
        # Two windows: Word first, a browser brought to the front partway through.
        word = Window(x, work, "WINWORD.EXE", PLAN + " - Word")
        log = os.path.join(work, "two")
        started = time.time()
        run = collector(log, "--interval", "0.2", "--for", "3", env=x.env)
        time.sleep(1.3)
        edge = Window(x, work, "msedge.exe", "Example Domain")
        code, _, err = finish(run, start_line=True)
        said = (f"activity-log: logging to {log}; desktop: X11 (DISPLAY={x.display}); "
                f"idle time: the X server (DISPLAY={x.display})\n")
        check(code == 0 and err == said, f"two windows: status {code}, stderr {err!r}")
        events = read_log(log)
        check(states(events) == ["active", "active"], f"two windows: {events}")
        if len(events) == 2:
            first, second = events
            check((first["title"], first["curated_title"], first["doc"]) ==
                  (PLAN + " - Word", PLAN, PLAN), f"Word's text: {first}")
            check((first["app"], first["category"], first["pid"], first["exe_path"]) ==
                  ("Microsoft Word", 8, word.process.pid, word.exe), f"Word's owner: {first}")
            check((second["title"], second["app"], second["category"], second["pid"]) ==
                  ("Example Domain", "Microsoft Edge", 1, edge.process.pid),
                  f"Edge: {second}")
            check(1.0 <= first["seconds"] <= 1.9, f"Word's time: {first['seconds']}")
            total = first["seconds"] + second["seconds"]
            check(abs(total - 3.0) <= 0.2, f"the events add up to {total} s, not 3")
            check(abs(ms(first["start"]) / 1000 - started) <= 0.5, "starts at the first sample")
        check_contiguous(events, "two windows")
        edge.close()
        word.close()

        # Idle: no input for longer than --idle-after, then input again.
        idle_folder = os.path.join(work, "idle-window")
        os.mkdir(idle_folder)
        word = Window(x, idle_folder, "WINWORD.EXE", PLAN + " - Word")
        log = os.path.join(work, "idle")
        x.input()
        run = collector(log, "--interval", "0.2", "--for", "4.5", "--idle-after", "1.5",
                        env=x.env)
        time.sleep(0.6)
        x.input()
        last_input = time.time() * 1000
        time.sleep(2.9)
        x.input()
        code, _, err = finish(run)
        check(code == 0 and err == "", f"idle: status {code}, stderr {err!r}")
        events = read_log(log)
        check(states(events) == ["active", "idle", "active"], f"idle: {states(events)}")
        if len(events) == 3:
            check(abs(ms(events[0]["end"]) - last_input) <= 150,
                  f"active until the last input: {ms(events[0]['end']) - last_input:.0f} ms off")
            check(events[1]["title"] == PLAN + " - Word", "the idle event names the window")
        check_contiguous(events, "idle")
        word.close()

        # No window on a desktop that answers (an empty screen) is nothing to report.
        empty = stand_in(work, "empty-screen", "echo '{}'")
        code, _, err = finish(collector(os.path.join(work, "empty"), "--interval", "0.05",
                                        "--samples", "20", "--stuck-after", "0.3", env=x.env,
                                        sampler=empty))
        check(code == 0 and err == "", f"empty screen: status {code}, stderr {err!r}")
        # A desktop the sampler can't ask: it says why, and so does the collector, once.
        why = "the Wayland compositor here offers no way to ask it"
        unasked = stand_in(work, "unasked", f"echo '{{}}'; echo 'activity-sampler: {why}' >&2")
        code, _, err = finish(collector(os.path.join(work, "unasked-log"), "--interval",
                                        "0.05", "--samples", "20", "--stuck-after", "0.3",
                                        env=x.env, sampler=unasked))
        said = (f"activity-log: no window in any sample for 0.3 seconds on X11 "
                f"(DISPLAY={x.display}); the sampler says: {why}\n")
        check(code == 0 and err == said, f"a desktop not asked: status {code}, stderr {err!r}")


FIXED = sample_line("Inbox - Mail")


def faults(work):
    # What the sampler's line says is the unit tests' (sample_line_test); here, a sampler
    # that fails as a process: not there, hung (with a child of its own), failing.
    cases = [
        ("missing", os.path.join(work, "no-such-sampler"), "unavailable"),
        ("hangs", stand_in(work, "hangs", printing(FIXED) + "\nsleep 30.5 &\nwait"),
         "unavailable"),
        ("exits 3", stand_in(work, "exits3", printing(FIXED) + "\nexit 3"), "unavailable"),
    ]
    for what, sampler, state in cases:
        log = os.path.join(work, "log-" + os.path.basename(sampler))
        begun = time.monotonic()
        run = collector(log, "--interval", "0.1", "--timeout", "0.3", "--for", "0.8",
                        sampler=sampler)
        code, _, err = finish(run)
        took = time.monotonic() - begun
        check(code == 0 and err == "", f"{what}: status {code}, stderr {err!r}")
        check(took < 2.0, f"{what}: ran {took:.1f} s for --for 0.8")
        events = read_log(log)
        check(states(events) == [state], f"{what}: {states(events)}, not [{state}]")
        if events:
            check(events[0]["seconds"] >= 0.7, f"{what}: {events[0]['seconds']} s")
    # --samples N: the sampler runs N times, and the collector stops after the last.
    counter = os.path.join(work, "samples")
    counting = stand_in(work, "counting", f"""n=$(cat {counter} 2>/dev/null || echo 0)
echo $((n + 1)) > {counter}
{printing(FIXED)}""")
    log = os.path.join(work, "log-samples")
    code, _, err = finish(collector(log, "--interval", "0.05", "--samples", "3",
                                    sampler=counting))
    runs = int(open(counter).read())
    check(code == 0 and err == "" and runs == 3, f"--samples 3: status {code}, {runs} runs, "
          f"stderr {err!r}")
    check(states(read_log(log)) == ["active"], "--samples 3: one event")

    # --output -: the same lines on standard output, as they close, and no files.
    changing = stand_in(work, "changing", f"""n=$(cat {work}/n 2>/dev/null || echo 0)
n=$((n + 1)); echo $n > {work}/n
{printing(sample_line("tab NUMBER")).replace("NUMBER", "'$n'")}""")
    folder = os.path.join(work, "stdout-cwd")
    os.mkdir(folder)
    run = subprocess.Popen([ARGS.collector, "--output", "-", "--interval", "0.1", "--for", "1",
                            "--sampler", changing], cwd=folder, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    code, out, err = finish(run)
    lines = out.split("\n")
    check(code == 0 and err == "" and lines[-1] == "", f"--output -: {code}, {err!r}")
    events = [json.loads(line) for line in lines[:-1]]
    jq = subprocess.run(["jq", "-c", "."], input=out.encode(), capture_output=True)
    check(jq.returncode == 0 and jq.stdout.count(b"\n") == len(events), "jq reads --output -")
    check(len(events) >= 5 and [e["title"] for e in events] ==
          [f"tab {n}" for n in range(1, len(events) + 1)], f"--output -: {events}")
    check_contiguous(events, "--output -")
    check(os.listdir(folder) == [], "--output - writes no files")

    # A reader that goes away: the collector stops, and says what it couldn't write.
    run = subprocess.Popen([ARGS.collector, "--output", "-", "--interval", "0.1", "--for", "30",
                            "--sampler", changing], stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    run.stdout.readline()
    run.stdout.close()
    gone = time.monotonic()
    code, _, err = finish(run, 10)
    took = time.monotonic() - gone
    check(code == 1 and took < 2 and "standard output" in err and
          "could not be written" in err, f"reader gone: {code} after {took:.1f} s, "
          f"{err!r}")

    # The hanging stand-in's own child went with it.
    check_no_process("30.5")


def messages(work):
    """What the collector says of itself on standard error: where it logs, the desktop and
    the idle time's source at its start; samples without a window because no desktop
    answers, once they have lasted --stuck-after, and each change after."""
    no_display = {k: v for k, v in os.environ.items()
                  if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    none_line = stand_in(work, "no-window", "echo '{}'")
    log = os.path.join(work, "log-start")
    for what, options, env, said in [
        ("no display", ["--dir", log], no_display,
         f"logging to {log}; desktop: none found (neither WAYLAND_DISPLAY nor DISPLAY is set)"
         "; idle time: unknown: no display answers"),
        ("standard output", ["--output", "-"], no_display,
         "writing events to standard output; desktop: none found"),
        ("a display that doesn't answer", ["--dir", log], dict(no_display, DISPLAY=":4321"),
         "desktop: none found (nothing answers on DISPLAY=:4321); idle time: unknown"),
    ]:
        run = subprocess.Popen([ARGS.collector, *options, "--samples", "1", "--sampler",
                                none_line], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               env=env)
        code, _, err = finish(run, start_line=True)
        lines = err.splitlines()
        check(code == 0 and len(lines) == 1 and lines[0].startswith("activity-log: ") and
              said in lines[0], f"start line, {what}: status {code}, stderr {err!r}")

    # No window for 30 samples, a window for 5, then none again: stuck, back, stuck.
    counter = os.path.join(work, "stuck-count")
    scripted = stand_in(work, "stuck", f"""n=$(cat {counter} 2>/dev/null || echo 0)
n=$((n + 1)); echo $n > {counter}
if [ $n -gt 30 ] && [ $n -le 35 ]; then {printing(FIXED)}; else echo '{{}}'; fi""")
    log = os.path.join(work, "log-stuck")
    run = subprocess.Popen([ARGS.collector, "--dir", log, "--interval", "0.05", "--samples",
                            "65", "--stuck-after", "0.5", "--sampler", scripted],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=no_display)
    code, _, err = finish(run)
    stuck = ("activity-log: no window in any sample for 0.5 seconds: no desktop answers "
             "(neither WAYLAND_DISPLAY nor DISPLAY is set); recording none until one does")
    back = re.compile(r"activity-log: a window is in front again, after \d+:\d\d:\d\d "
                      r"without one; recording as before")
    lines = err.splitlines()
    check(code == 0 and len(lines) == 3 and lines[0] == stuck and back.fullmatch(lines[1]) and
          lines[2] == stuck, f"stuck, back, stuck: status {code}, stderr {err!r}")
    check(states(read_log(log)) == ["none", "active", "none"], "stuck: the log as ever")

    # Where standard error goes nowhere (a Windows collector started at logon), the
    # messages are kept in a file in the log folder, each with its time.
    log = os.path.join(work, "log-no-stderr")
    with open(os.devnull, "rb") as unwritable:
        run = subprocess.Popen([ARGS.collector, "--dir", log, "--interval", "0.05",
                                "--samples", "20", "--stuck-after", "0.3", "--sampler",
                                none_line], stdout=subprocess.DEVNULL, stderr=unwritable,
                               env=no_display)
        code = run.wait(30)
    kept = os.path.join(log, "activity-log-messages.txt")
    text = open(kept, encoding="utf-8").read() if os.path.exists(kept) else ""
    stamp = r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d) "
    check(code == 0 and re.fullmatch(stamp + r"activity-log: logging to .*\n" + stamp +
                                     r"activity-log: no window in any sample .*\n", text),
          f"messages kept in the folder: status {code}, {text!r}")
    check(states(read_log(log)) == ["none"], "the kept messages are no day file's")


def wait_until(condition, limit=10):
    deadline = time.monotonic() + limit
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.02)


def check_no_process(marker):
    """No process left whose command line holds MARKER (a stand-in's sleep)."""
    left = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if marker.encode() in open(f"/proc/{pid}/cmdline", "rb").read():
                left.append(pid)
        except OSError:
            pass
    check(not left, f"the hung sampler's processes live on: {left}")


def crash(work):
    sampler = stand_in(work, "sound", printing(FIXED))
    # kill -9 in the middle of an event, then a restart.
    log = os.path.join(work, "killed")
    run = collector(log, "--interval", "0.2", sampler=sampler)
    time.sleep(1.2)
    run.kill()
    killed = time.time() * 1000
    run.wait()
    check(os.path.exists(os.path.join(log, "current.json")), "current.json holds the open event")
    code, _, err = finish(collector(log, "--interval", "0.2", "--for", "0.5", sampler=sampler))
    check(code == 0 and err == "", f"restart: status {code}, stderr {err!r}")
    events = read_log(log)
    check(len(events) == 2, f"after the restart: {events}")
    if events:
        end = ms(events[0]["end"])
        check(killed - 200 - 100 <= end <= killed, f"ends {killed - end:.0f} ms before the kill")
        check(events[0]["seconds"] >= 0.8, f"the killed run's event: {events[0]['seconds']} s")
    check(not os.path.exists(os.path.join(log, "current.json")), "current.json gone at a stop")

    # One collector per folder: a second one is refused, the first goes on.
    log = os.path.join(work, "twice")
    first = collector(log, "--interval", "0.2", "--for", "1.2", sampler=sampler)
    time.sleep(0.3)
    code, _, err = finish(collector(log, "--interval", "0.2", "--for", "1", sampler=sampler))
    check(code == 2 and "another activity-log" in err, f"second collector: {code}, {err!r}")
    code, _, err = finish(first)
    check(code == 0 and err == "", f"first collector: status {code}, stderr {err!r}")
    events = read_log(log)
    check(len(events) == 1 and events[0]["seconds"] >= 1.1, f"one collector's events: {events}")

    # A folder that can't be locked at the start (a file in its place) is tried again at
    # every sample; another collector takes it meanwhile: this one writes nothing there,
    # and stops.
    log = os.path.join(work, "taken")
    open(log, "w").close()
    waiter = collector(log, "--interval", "0.2", "--for", "10", sampler=sampler)
    time.sleep(1)
    ready = os.path.join(work, "taken-ready")
    os.mkdir(ready)
    with open(os.path.join(ready, "activity-log.lock"), "w") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        os.remove(log)
        os.rename(ready, log)
        code, _, err = finish(waiter, 5)
        check(code == 2 and "another activity-log took" in err, f"taken: {code}, {err!r}")
        check(os.listdir(log) == ["activity-log.lock"], f"taken: wrote {os.listdir(log)}")

    # Stopped (SIGSTOP) just after a sample: longer than 2 x --interval + --timeout and
    # no event covers that time; shorter, and the one event goes on with no hole. The
    # second stop and its wait make 1.25 s between samples: 1.5 s is allowed, and a rule
    # of 1 x --interval + --timeout would allow 1.
    for interval, timeout, stop, events_left, length in (("0.2", "0.5", 1.5, 2, 2.5),
                                                           ("0.5", "0.5", 1.15, 1, 2.3)):
        what = f"stopped {stop} s, --interval {interval} --timeout {timeout}"
        counter = os.path.join(work, f"stopping-{stop}-calls")
        counting = stand_in(work, f"stopping-{stop}", f"""n=$(cat {counter} 2>/dev/null || echo 0)
echo $((n + 1)) > {counter}
{printing(FIXED)}""")
        log = os.path.join(work, f"stopped-{stop}")
        run = collector(log, "--interval", interval, "--timeout", timeout, "--for", str(length),
                        sampler=counting)
        wait_until(lambda: os.path.exists(counter) and open(counter).read().strip() == "2")
        time.sleep(0.05)  # the sample is taken: the collector waits for the next
        run.send_signal(signal.SIGSTOP)
        stopped = time.time() * 1000
        time.sleep(stop)
        resumed = time.time() * 1000
        run.send_signal(signal.SIGCONT)
        code, _, err = finish(run)
        check(code == 0 and err == "", f"{what}: status {code}, stderr {err!r}")
        events = read_log(log)
        check(len(events) == events_left, f"{what}: {events}")
        if events_left > 1:
            for event in events:
                check(ms(event["end"]) <= stopped + 20 or ms(event["start"]) >= resumed - 20,
                      f"{what}: {event['start']} to {event['end']} covers the stopped time")
        else:
            check(events and events[0]["seconds"] >= length - 0.3,
                  f"{what}: a hole in {events}")

    # A stop while the sampler hangs doesn't wait for --timeout: the sampler goes at once.
    counter = os.path.join(work, "calls")
    stalls = stand_in(work, "stalls", f"""n=$(cat {counter} 2>/dev/null || echo 0)
n=$((n + 1)); echo $n > {counter}.new; mv {counter}.new {counter}
[ $n -le 2 ] || sleep 30.7
{printing(FIXED)}""")
    log = os.path.join(work, "stalled")
    run = collector(log, "--interval", "0.2", "--timeout", "10", sampler=stalls)
    time.sleep(0.8)
    run.send_signal(signal.SIGTERM)
    sent = time.time() * 1000
    code, _, err = finish(run)
    took = time.time() * 1000 - sent
    check(code == 0 and err == "" and took < 1000, f"stop during a sampler run: {code}, "
          f"{took:.0f} ms, {err!r}")
    events = read_log(log)
    check(states(events) == ["active"] and abs(ms(events[0]["end"]) - sent) < 150,
          f"stop during a sampler run: {events}")
    check_no_process("30.7")

    # SIGTERM and SIGINT close the open event and exit 0.
    for sig in (signal.SIGTERM, signal.SIGINT):
        log = os.path.join(work, "signal-%d" % sig)
        run = collector(log, "--interval", "0.2", sampler=sampler)
        time.sleep(0.5)
        run.send_signal(sig)
        sent = time.time() * 1000
        code, _, err = finish(run)
        check(code == 0 and err == "", f"signal {sig}: status {code}, stderr {err!r}")
        events = read_log(log)
        check(len(events) == 1 and abs(ms(events[0]["end"]) - sent) < 150,
              f"signal {sig}: {events}")


def privacy(work):
    secret = "Secret Bank Statement"
    sampler = stand_in(work, "bank", printing(sample_line(secret + " - Firefox")))
    with Xvfb() as x:
        # Idle time is known here; the kept application stays active without input.
        for keep, state in ((["--keep-active", "^Mozilla"], "active"), ([], "idle")):
            log = os.path.join(work, "kept" if keep else "unkept")
            run = collector(log, "--interval", "0.1", "--for", "2", "--idle-after", "0.2",
                            "--exclude", "Bank", *keep, env=x.env, sampler=sampler)
            time.sleep(1)
            seen = [open(os.path.join(log, f), "rb").read() for f in os.listdir(log)]
            code, _, err = finish(run)
            check(code == 0 and err == "", f"privacy: status {code}, stderr {err!r}")
            events = read_log(log)
            check({e["state"] for e in events} == {state}, f"privacy: {states(events)}")
            check(all(e["title"] == "excluded" and e["app"] == "Mozilla Firefox"
                      for e in events), f"privacy: {events}")
            for root, _, files in os.walk(log):
                seen += [open(os.path.join(root, f), "rb").read() for f in files]
            check(seen and not any(b"Secret" in data or b"Bank" in data for data in seen),
                  "the excluded title reached the disk")


def hostile(work):
    # Titles the sampler can give (1023 units at most), by turns, and patterns that make a
    # backtracking matcher recurse per character or run for hours; the stack is the 2 MiB
    # Windows gives a program. Both titles end in "x": both are excluded. The count of
    # samples goes through a rename: a sampler stopped as it writes leaves the last one.
    counter = os.path.join(work, "calls")
    cjk, words = "\u5b57" * 1022 + "x", "word " * 30 + "x"
    sampler = stand_in(work, "hostile", f"""n=$(cat {counter} 2>/dev/null || echo 0)
n=$((n + 1)); echo $n > {counter}
if [ $((n % 2)) -eq 1 ]; then
{printing(sample_line(words, name="Google Chrome"))}
else
{printing(sample_line(cjk, name="Google Chrome"))}
fi""")
    log = os.path.join(work, "log")
    two_mib = lambda: resource.setrlimit(resource.RLIMIT_STACK, (2 << 20, 2 << 20))
    run = subprocess.Popen([ARGS.collector, "--dir", log, "--interval", "0.2", "--sampler",
                            sampler, "--exclude", "(\\w+\\s?)+Bank", "--exclude", "(.|\\s)*x"],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, preexec_fn=two_mib)
    time.sleep(1.5)
    run.send_signal(signal.SIGTERM)
    sent = time.monotonic()
    try:
        code, _, err = finish(run, limit=5)
    except subprocess.TimeoutExpired:
        run.kill()
        code, _, err = finish(run)
        check(False, "SIGTERM didn't end the collector within 5 s")
    took = time.monotonic() - sent
    check(code == 0 and err == "" and took < 1, f"hostile: status {code} {took:.1f} s after "
          f"SIGTERM, stderr {err!r}")
    check(int(open(counter).read()) >= 4, "both titles were sampled, each more than once")
    events = rejoined(read_log(log))
    check(len(events) == 1 and events[0]["title"] == "excluded" and
          events[0]["app"] == "Google Chrome" and events[0]["seconds"] >= 1.3,
          f"hostile: {events}")
    for name in os.listdir(log):
        data = open(os.path.join(log, name), "rb").read()
        check(cjk[:10].encode() not in data and b"word word" not in data,
              f"an excluded title reached {name}")

    # Patterns refused at the start are options_test's.


def unwritable(work):
    # Every sample a new title, so that every sample closes an event. The log store's own
    # test shows a day file that can't be written on a real folder; here, what a kill
    # leaves of the events queued meanwhile.
    counter = os.path.join(work, "counter")
    sampler = stand_in(work, "counting", f"""n=$(cat {counter} 2>/dev/null || echo 0)
n=$((n + 1)); echo $n > {counter}
{printing(sample_line("window NUMBER")).replace("NUMBER", "'$n'")}""")

    # The day file can't be written (a folder in its place), current.json can: a kill
    # loses none of the events kept meanwhile, and the next start appends them once.
    log = os.path.join(work, "queue")
    run = collector(log, "--interval", "0.1", sampler=sampler)
    wait_until(lambda: glob.glob(os.path.join(log, "*.jsonl")))
    day = glob.glob(os.path.join(log, "*.jsonl"))[0]
    os.rename(day, day + ".aside")
    os.mkdir(day)
    time.sleep(1)
    run.kill()
    run.wait()
    time.sleep(0.3)  # a sampler the kill left running counts its run still
    killed_at = int(open(counter).read())
    os.rmdir(day)
    os.rename(day + ".aside", day)
    code, _, err = finish(collector(log, "--interval", "0.1", "--for", "0.5", sampler=sampler))
    check(code == 0 and err == "", f"after the kill: status {code}, stderr {err!r}")
    samples = int(open(counter).read())
    titles = [e["title"] for e in read_log(log)]
    # Each once, in order; the window open at the kill had no length yet, and the
    # sample the kill cut short none at all.
    expected = [f"window {n}" for n in range(1, samples + 1)]
    missing = set(expected) - set(titles)
    check(titles == [t for t in expected if t in titles] and
          missing <= {f"window {killed_at - 1}", f"window {killed_at}"},
          f"{samples} samples, killed at {killed_at}, events {titles}")


# --- forgetting ----------------------------------------------------------------------

SECRET = "Secret Bank Statement"
BERLIN = dict(os.environ, TZ="Europe/Berlin")


def log_line(start, end, title, state="active", doc=None):
    """A day-file line as the collector writes it; times are local, UTC+01:00."""
    def stamp(text):
        return f"2026-12-{text}.000+01:00"
    seconds = (ms(stamp(end)) - ms(stamp(start))) / 1000
    excluded = title in ("excluded", "")
    doc = "" if excluded else (doc if doc is not None else title)
    return (f'{{"start": "{stamp(start)}", "end": "{stamp(end)}", "seconds": {seconds:.3f}, '
            f'"state": "{state}", "title": "{title}", "curated_title": "{doc}", '
            f'"doc": "{doc}", "url": "", "pid": 4242, "app": "Mozilla Firefox", '
            f'"exe_path": "/usr/bin/firefox", "category": 1}}\n').replace(
                '"seconds": 600.000', '"seconds": 600')


def midnight_log(folder, cache):
    """Two day files and current.json around the midnight of 2026-12-07, as a collector
    killed at 00:09 left them, and the report's summaries of those days."""
    os.makedirs(folder)
    days = {
        "2026-12-07.jsonl": log_line("07T23:40:00", "07T23:50:00", "Public page") +
                            log_line("07T23:50:00", "08T00:00:00", SECRET),
        "2026-12-08.jsonl": log_line("08T00:00:00", "08T00:05:00", SECRET) + "\x00" * 8,
        "current.json": log_line("08T00:05:00", "08T00:09:00", "Private notes.txt - Editor",
                                 doc="Private notes.txt"),
    }
    for name, text in days.items():
        with open(os.path.join(folder, name), "w") as out:
            out.write(text)
    for summaries in (os.path.join(folder, "summaries"), cache):
        os.makedirs(summaries, exist_ok=True)
        for day in ("2026-12-07", "2026-12-08"):
            with open(os.path.join(summaries, day + ".json"), "w") as out:
                out.write(f'{{"title": "{SECRET}"}}\n')
    return {name: text.encode() for name, text in days.items()}


def cache_env(work, env=None):
    """XDG_CACHE_HOME in WORK."""
    env = dict(env or os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"))
    return env


def cached_summaries(work, log):
    """The folder where the report's fallback summaries of LOG go, with XDG_CACHE_HOME in
    WORK: the name is FNV-1a of the log folder's canonical path."""
    h = 14695981039346656037
    for byte in os.path.realpath(log).encode():
        h = ((h ^ byte) * 1099511628211) % (1 << 64)
    return os.path.join(work, "cache", "activity-sampler", "summaries", f"{h:016x}")


def holds_text(folders, *texts):
    """The files under FOLDERS that hold any of TEXTS."""
    found = []
    for folder in folders:
        for root, _, files in os.walk(folder):
            for name in files:
                data = open(os.path.join(root, name), "rb").read()
                if any(text.encode() in data for text in texts):
                    found.append(os.path.join(root, name))
    return found


def forget_run(log, *options, env=None, wrapper=()):
    run = subprocess.Popen([*wrapper, ARGS.collector, "forget", "--dir", log, *options],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, env=env)
    return finish(run)


MIDNIGHT = ("--from", "2026-12-07 23:55", "--to", "2026-12-08 00:06")


def forget(work):
    # Bad ranges: status 2 and a message; a folder that isn't there: 1. Nothing is made.
    nowhere = os.path.join(work, "nowhere")
    for options, status, message in (
            (["--last", "10x"], 2, '--last: not a duration: "10x"'),
            (["--from", "2026-12-07 11:00", "--to", "2026-12-07 10:00"], 2, "is not before"),
            (["--last", "10m"], 1, "there is no log at")):
        code, out, err = forget_run(nowhere, *options)
        check(code == status and out == "" and message in err, f"forget {options}: {code}, "
              f"{err!r}")
    check(not os.path.exists(nowhere), "a refused forget made the folder")

    # Across midnight, with no collector running: both day files and current.json.
    log = os.path.join(work, "midnight")
    env = cache_env(work, BERLIN)
    cache = cached_summaries(work, log)
    before = midnight_log(log, cache)
    code, out, err = forget_run(log, *MIDNIGHT, env=env)
    check(code == 0 and err == "" and out.startswith(
        "activity-log: forgot the text of 3 events from 2026-12-07 23:55:00 to "
        "2026-12-08 00:06:00; rewrote 2026-12-07.jsonl, 2026-12-08.jsonl; left out 1 damaged"),
        f"forget across midnight: {code}, {out!r}, {err!r}")
    day1 = open(os.path.join(log, "2026-12-07.jsonl"), "rb").read()
    check(day1.startswith(before["2026-12-07.jsonl"].split(b"\n")[0] + b"\n"),
          "the line before the range is kept as it was")
    events = read_log(log)
    check([e["title"] for e in events] == ["Public page", "excluded", "excluded"] and
          [e["seconds"] for e in events] == [600, 600, 300], f"across midnight: {events}")
    current = json.loads(open(os.path.join(log, "current.json")).read())
    check((current["title"], current["doc"], current["end"]) ==
          ("excluded", "", "2026-12-08T00:09:00.000+01:00"), f"current.json: {current}")
    left = holds_text([log, os.path.join(work, "cache")], "Secret", "Bank", "Private")
    check(not left, f"the forgotten text is still in {left}")
    check(sorted(os.listdir(log)) == ["2026-12-07.jsonl", "2026-12-08.jsonl",
                                      "activity-log.lock", "current.json", "summaries"],
          f"left in the folder: {sorted(os.listdir(log))}")
    code, out, err = forget_run(log, *MIDNIGHT, env=env)
    check(code == 0 and out == "activity-log: nothing to forget from 2026-12-07 23:55:00 to "
          "2026-12-08 00:06:00\n", f"forgotten twice: {code}, {out!r}, {err!r}")
    # The collector started next appends current.json's event once, forgotten.
    sampler = stand_in(work, "public", printing(sample_line("Public page")))
    code, _, err = finish(collector(log, "--samples", "1", env=env, sampler=sampler))
    events = read_log(log)
    starts = [e["start"] for e in events]
    check(code == 0 and len(set(starts)) == len(starts) and
          [e["title"] for e in events[:4]] == ["Public page", "excluded", "excluded",
                                                "excluded"], f"restarted: {events}")

    # While a collector writes: it does the forgetting itself, at its next sample.
    title_file = os.path.join(work, "title")
    with open(title_file, "w") as out:
        out.write(SECRET)
    reading = stand_in(work, "reading", "printf '%s\\r\\n' \"$(sed 's/.*/{\"Title\": \"&\", "
                       "\"Curated_title\": \"&\", \"Doc\": \"&\", \"URL\": \"\", \"Owner\": "
                       "{\"Pid\": 4242, \"Name\": \"Mozilla Firefox\", \"Path\": "
                       "\"\\/usr\\/bin\\/firefox\"}, \"App_cat_nb\": 1}/' " + title_file + ")\"")
    log = os.path.join(work, "running")
    env = cache_env(work)
    cache = cached_summaries(work, log)
    started = time.time()
    run = collector(log, "--interval", "0.2", env=env, sampler=reading)
    time.sleep(1)
    with open(title_file, "w") as out:
        out.write("Public page")
    time.sleep(0.6)
    today = time.strftime("%Y-%m-%d")
    for summaries in (os.path.join(log, "summaries"), cache):
        os.makedirs(summaries, exist_ok=True)
        with open(os.path.join(summaries, today + ".json"), "w") as out:
            out.write(SECRET)
    asked = time.time()
    code, out, err = forget_run(log, "--last", "10m", env=env)
    took = time.time() - asked
    check(code == 0 and err == "" and "forgot the text of 2 events" in out and
          "(done by the running collector)" in out and took < 2,
          f"forget while a collector runs: {code} after {took:.1f} s, {out!r}, {err!r}")
    time.sleep(0.6)
    run.send_signal(signal.SIGTERM)
    stopped = time.time()
    code, _, err = finish(run)
    check(code == 0 and err == "", f"the collector after the forget: {code}, {err!r}")
    events = read_log(log)
    check([e["title"] for e in events] == ["excluded", "excluded", "Public page"],
          f"while a collector runs: {events}")
    check_contiguous(events, "while a collector runs")
    if len(events) == 3:
        check(ms(events[2]["start"]) >= asked * 1000, "what came after the request is kept")
        total = (ms(events[-1]["end"]) - ms(events[0]["start"])) / 1000
        check(abs(total - (stopped - started)) < 0.5, f"{total:.1f} s of {stopped - started:.1f}")
    left = holds_text([log, os.path.join(work, "cache")], "Secret", "Bank")
    check(not left, f"the forgotten text is still in {left}")

    # A collector that doesn't answer in time (stopped): the request waits for it.
    with open(title_file, "w") as out:
        out.write(SECRET)
    log = os.path.join(work, "stopped")
    run = collector(log, "--interval", "0.2", env=env, sampler=reading)
    time.sleep(0.8)
    run.send_signal(signal.SIGSTOP)
    code, out, err = forget_run(log, "--last", "1h", "--wait", "0.5", env=env)
    check(code == 1 and "didn't answer within 0.5 seconds; the request waits in "
          "forget-requests/" in err,
          f"no answer: {code}, {out!r}, {err!r}")
    with open(title_file, "w") as out:
        out.write("Public page")
    run.send_signal(signal.SIGCONT)
    requests = os.path.join(log, "forget-requests")
    wait_until(lambda: not glob.glob(os.path.join(requests, "*.request")))
    run.send_signal(signal.SIGTERM)
    code, _, err = finish(run)
    check(code == 0 and not holds_text([log], "Secret"), f"answered late: {code}, {err!r}, "
          f"{holds_text([log], 'Secret')}")

    forget_spelled_otherwise(work)


def forget_spelled_otherwise(work):
    """The report's fallback summaries (the log folder's summaries/ can't be made: a file
    is in its place) made through the folder spelled with a trailing slash and through a
    link, then forget --dir in the plain spelling: the forgotten text is in no byte of
    the folder or the cache."""
    if not ARGS.report:
        return
    env = dict(cache_env(work, BERLIN), XDG_CACHE_HOME=os.path.join(work, "spelled-cache"))
    log = os.path.join(work, "spelled")
    os.makedirs(log)
    line = log_line("07T10:00:00", "07T10:10:00", SECRET).replace("2026-12-07", "2020-03-02")
    with open(os.path.join(log, "2020-03-02.jsonl"), "w") as out:
        out.write(line)
    with open(os.path.join(log, "summaries"), "w") as out:
        out.write("not a folder")
    os.symlink(log, os.path.join(work, "spelled-link"))
    for spelling in (log + "/", os.path.join(work, "spelled-link")):
        done = subprocess.run([ARGS.report, "--dir", spelling, "--day", "2020-03-02", "--by",
                               "title"], capture_output=True, env=env)
        check(done.returncode == 0 and SECRET.encode() in done.stdout,
              f"report --dir {spelling}: {done.returncode}, {done.stderr!r}")
    check(holds_text([env["XDG_CACHE_HOME"]], SECRET), "the report kept no summary in the cache")
    code, out, err = forget_run(log, "--from", "2020-03-02 00:00", "--to", "2020-03-03 00:00",
                                env=env)
    check(code == 0 and "forgot the text of 1 event" in out, f"forget: {code}, {out!r}, {err!r}")
    left = holds_text([log, env["XDG_CACHE_HOME"]], SECRET)
    check(not left, f"spelled otherwise: the forgotten text is still in {left}")


def forget_crash(work):
    """activity-log forget killed at each system call that writes, renames, removes or
    syncs (strace's fault injection): every file is the old one or the new, never a
    mixture; the request it left is carried out by the next forget or collector, once."""
    env = cache_env(work, BERLIN)
    # LeakSanitizer can't run under a tracer and aborts the sanitizer build's program at
    # its exit: leaks are the other tests' business here.
    traced_env = dict(env, ASAN_OPTIONS=":".join(
        filter(None, [env.get("ASAN_OPTIONS"), "detect_leaks=0"])))
    reference = os.path.join(work, "reference")
    midnight_log(reference, cached_summaries(work, reference))
    forget_run(reference, *MIDNIGHT, env=env)
    names = ["2026-12-07.jsonl", "2026-12-08.jsonl", "current.json"]
    after = {name: open(os.path.join(reference, name), "rb").read() for name in names}
    sampler = stand_in(work, "public", printing(sample_line("Public page")))
    kills = 0
    for call in ("openat", "write", "fdatasync", "fsync", "rename", "unlink", "flock"):
        for n in range(1, 200):
            log = os.path.join(work, f"{call}-{n}")
            # A cache of its own: forget clears a day from every folder of the cache, and
            # the calls counted are this log's.
            home = os.path.join(work, f"home-{call}-{n}")
            env = cache_env(home, BERLIN)
            traced_env = dict(traced_env, XDG_CACHE_HOME=env["XDG_CACHE_HOME"])
            cache = cached_summaries(home, log)
            before = midnight_log(log, cache)
            code, _, _ = forget_run(log, *MIDNIGHT, env=traced_env, wrapper=(
                ARGS.strace, "-f", "-qq", "-o", "/dev/null", "-e", f"trace={call}",
                "-e", f"inject={call}:signal=KILL:when={n}"))
            if code != -signal.SIGKILL and code != 128 + signal.SIGKILL:
                check(code == 0, f"{call} {n}: not killed, status {code}")
                break
            kills += 1
            for name in names:
                data = open(os.path.join(log, name), "rb").read()
                check(data in (before[name], after[name]),
                      f"killed at {call} #{n}: {name} is neither the old file nor the new")
            summaries = [log, cache]
            requested = glob.glob(os.path.join(log, "forget-requests", "*.request"))
            if not requested:
                # Killed before the request was made, or after it was carried out.
                now = [open(os.path.join(log, name), "rb").read() for name in names]
                done = now == [after[name] for name in names]
                check(done or now == [before[name] for name in names],
                      f"killed at {call} #{n}: no request, and half done")
                check(not done or not holds_text(summaries, "Secret", "Private"),
                      f"killed at {call} #{n}: done, and the text is left")
                continue
            # The request left is carried out by whoever holds the folder next.
            if n % 2:
                code, _, err = forget_run(log, "--last", "1m", env=env)
                recovered = [open(os.path.join(log, name), "rb").read() for name in names]
                check(code == 0 and recovered == [after[name] for name in names],
                      f"after the kill at {call} #{n}, forget: {code}, {err!r}")
            else:
                code, _, err = finish(collector(log, "--samples", "2", "--interval", "0.1",
                                                env=env, sampler=sampler))
                starts = [e["start"] for e in read_log(log)]
                check(code == 0 and len(set(starts)) == len(starts) and len(starts) >= 4,
                      f"after the kill at {call} #{n}, a collector: {code}, {err!r}, {starts}")
            left = holds_text(summaries, "Secret", "Private")
            check(not left, f"after the kill at {call} #{n}: the text is still in {left}")
            check(not os.path.exists(os.path.join(log, "forget-requests")) or
                  not glob.glob(os.path.join(log, "forget-requests", "*.request")),
                  f"after the kill at {call} #{n}: a request is left")
    check(kills >= 20, f"only {kills} kills")
    print(f"forget-crash: killed at {kills} system calls")


def locked(work):
    # systemd-logind's LockedHint, from a stand-in on a private bus: the session locked
    # for a while is one locked event, with none of the window's text, between two
    # active ones; a login manager that goes away leaves the collector sampling on, and
    # once it is back (the bus and logind started again), a lock is seen again.
    socket = os.path.join(work, "system_bus_socket")
    # The address as the system bus's is known, without the guid of one bus's run.
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=f"unix:path={socket}")
    state = os.path.join(work, "locked")
    processes = []

    def start_logind():
        if os.path.exists(socket):
            os.unlink(socket)
        bus = subprocess.Popen([ARGS.dbus_daemon, "--session", "--nofork", "--print-address",
                                f"--address=unix:path={socket}"], stdout=subprocess.PIPE)
        processes.append(bus)
        bus.stdout.readline()  # the bus is up
        logind = subprocess.Popen([ARGS.logind, state], env=env, stdout=subprocess.PIPE)
        processes.append(logind)
        check(logind.stdout.readline() == b"ready\n", "the stand-in logind started")
        return bus, logind

    def lock_for_a_while():
        for locked_now in ["1", "0"]:
            time.sleep(0.8)
            with open(state + ".new", "w") as f:
                f.write(locked_now)
            os.replace(state + ".new", state)

    try:
        with open(state, "w") as f:
            f.write("0")
        bus, logind = start_logind()
        log = os.path.join(work, "log-locked")
        run = collector(log, "--interval", "0.1", env=env,
                        sampler=stand_in(work, "mail", printing(FIXED)))
        lock_for_a_while()
        time.sleep(0.8)
        for process in (logind, bus):
            process.kill()
            process.wait()
        time.sleep(0.8)
        # The bus at the same address again: the collector's connection to the old one is
        # dead, and only a new one reaches it.
        start_logind()
        lock_for_a_while()
        time.sleep(0.8)
        run.send_signal(signal.SIGTERM)
        code, _, err = finish(run)
        check(code == 0 and err == "", f"locked: status {code}, stderr {err!r}")
        events = rejoined(read_log(log))
        want = ["active", "locked", "active", "locked", "active"]
        check(states(events) == want, f"locked: {states(events)}")
        check_contiguous(events, "locked")
        if states(events) == want:
            for lock in (events[1], events[3]):
                check(lock["title"] == "" and lock["app"] == "" and lock["pid"] == 0,
                      f"the locked event keeps no window: {lock}")
                check(0.5 <= lock["seconds"] <= 1.2, f"locked for {lock['seconds']} s, not 0.8")
            check(events[2]["seconds"] >= 1.3, f"after the lock, {events[2]['seconds']} s: the "
                  "collector stopped sampling when logind went away")
    finally:
        for process in processes:
            if process.poll() is None:
                process.kill()
                process.wait()


def without_libsystemd(work):
    # A system without libsystemd (its file made unreadable in a mount namespace of the
    # run's own): the collector asks no bus for the lock nor the idle time, and samples on.
    if os.geteuid() != 0:
        print("without-libsystemd: skipped, a mount namespace is root's")
        sys.exit(SKIPPED)
    library = subprocess.run(["sh", "-c", "ldconfig -p | sed -n 's/.*libsystemd.so.0 .*=> //p'"],
                             capture_output=True, text=True).stdout.split()
    check(library != [], "libsystemd.so.0 is known to ldconfig")
    hide = " && ".join(f"mount --bind /dev/null {os.path.realpath(path)}" for path in library)
    log = os.path.join(work, "log-without-libsystemd")
    run = subprocess.Popen([ARGS.unshare, "--mount", "sh", "-c", hide + ' && exec "$@"', "sh",
                            ARGS.collector, "--dir", log, "--samples", "3", "--interval", "0.1",
                            "--sampler", stand_in(work, "mail", printing(FIXED))],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    code, _, err = finish(run)
    check(code == 0 and err == "", f"without libsystemd: status {code}, stderr {err!r}")
    events = rejoined(read_log(log))
    check(states(events) == ["active"] and events[0]["title"] == "Inbox - Mail",
          f"without libsystemd: {events}")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("group", choices=["desktop", "faults", "messages", "crash", "privacy",
                                          "hostile", "unwritable", "forget", "forget-crash",
                                          "locked", "without-libsystemd"])
    parser.add_argument("--collector", required=True)
    parser.add_argument("--sampler", required=True)
    parser.add_argument("--report")
    parser.add_argument("--test-window")
    parser.add_argument("--xvfb")
    parser.add_argument("--strace")
    parser.add_argument("--dbus-daemon")
    parser.add_argument("--logind")
    parser.add_argument("--unshare")
    ARGS = parser.parse_args()
    ARGS.collector = os.path.abspath(ARGS.collector)
    work = tempfile.mkdtemp(prefix="activity-log-e2e-")
    os.environ.pop("DISPLAY", None)
    # The collector runs the sampler next to it unless told: the real one.
    try:
        globals()[ARGS.group.replace("-", "_")](work)
    except Exception:
        traceback.print_exc()
        FAILURES.append("exception")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{ARGS.group}: {'FAILED' if FAILURES else 'passed'}")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes a year of realistic activity log: about 1,000,000 events over 365 day files,
as the collector writes them (its key order, local time with offset, events split at
midnight), with titles of typical and of hostile lengths (1,023 characters, escapes,
CJK, emoji). --short writes plain titles and no document paths: lines of about 300 bytes,
where the cost per event counts more than the cost per byte.
   year_log.py DIR [--days N] [--events-per-day N] [--first YYYY-MM-DD] [--short]"""
import argparse
import json
import os
import random
from datetime import date, datetime, timedelta, timezone

APPS = [
    ("Microsoft Word", "WINWORD.EXE", 8, "{} - Word", "C:/Users/ann/Documents/{}"),
    ("Microsoft Excel", "EXCEL.EXE", 9, "{} - Excel", "C:/Users/ann/Documents/Budget/{}"),
    ("Microsoft Edge", "msedge.exe", 1, "{} and 3 more pages - Microsoft Edge", ""),
    ("Google Chrome", "Chrome.exe", 1, "{} - Google Chrome", ""),
    ("Visual Studio Code", "Code.exe", 5, "{} - app - Visual Studio Code", "C:/src/app/{}"),
    ("Microsoft Teams", "ms-teams.exe", 2, "Chat | {} | Microsoft Teams", ""),
    ("Outlook", "olk.exe", 3, "Inbox - {} - Outlook", ""),
    ("Windows Terminal", "WindowsTerminal.exe", 12, "ann@host: ~/{}", ""),
    ("Explorer", "explorer.exe", 10, "{}", ""),
    ("Spotify", "Spotify.exe", 13, "{}", ""),
    ("OneNote", "ONENOTE.EXE", 6, "{} - OneNote", ""),
    ("Slack", "slack.exe", 0, "{} - Slack", ""),
]
WORDS = ["report", "budget", "meeting", "notes", "plan", "review", "draft", "invoice",
         "design", "roadmap", "release", "issue", "minutes", "summary", "proposal"]
HOSTILE = [
    lambda r: ("\u5831\u544a\u66f8 \"quoted\" \\ tab\t " * 40)[:1023],
    lambda r: "</title><script>alert(1)</script> " + "x" * r.randint(200, 900),
    lambda r: "\U0001F600 emoji " * 60 + "\u0001\u001b[31m",
    lambda r: "long " * 204 + "end",
]


def stamp(moment, offset):
    text = moment.astimezone(timezone(timedelta(minutes=offset))).isoformat(timespec="milliseconds")
    return text


def line(start, end, offset, state, app=None, title="", doc="", url="", pid=0):
    ms = round((end - start).total_seconds() * 1000)
    name, exe, category = ("", "", 0) if app is None else (app[0], app[1], app[2])
    fields = [("start", stamp(start, offset)), ("end", stamp(end, offset))]
    head = ", ".join(f"{json.dumps(k)}: {json.dumps(v)}" for k, v in fields)
    rest = [("state", state), ("title", title), ("curated_title", doc), ("doc", doc),
            ("url", url), ("pid", pid), ("app", name),
            ("exe_path", f"/Device/HarddiskVolume3/Apps/{exe}" if exe else ""),
            ("category", category)]
    tail = ", ".join(f"{json.dumps(k)}: {json.dumps(v, ensure_ascii=False)}" for k, v in rest)
    return "{" + head + f", \"seconds\": {ms // 1000}.{ms % 1000:03d}, " + tail + "}\n"


def write_day(directory, day, events, rng, offset, short=False):
    zone = timezone(timedelta(minutes=offset))
    midnight = datetime(day.year, day.month, day.day, tzinfo=zone)
    at = midnight + timedelta(hours=7, minutes=rng.randint(0, 90))
    end_of_day = midnight + timedelta(days=1)
    step = (16 * 3600) / events
    out = []
    for _ in range(events):
        length = timedelta(milliseconds=rng.randint(int(step * 200), int(step * 1800)))
        end = min(at + length, end_of_day)
        roll = rng.random()
        if roll < 0.03:
            out.append(line(at, end, offset, rng.choice(["idle", "locked"])))
        elif roll < 0.035:
            out.append(line(at, end, offset, rng.choice(["none", "unavailable"])))
        else:
            app = rng.choice(APPS)
            if not short and rng.random() < 0.03:
                title = rng.choice(HOSTILE)(rng)
                doc = title
            else:
                doc = f"{rng.choice(WORDS)} {rng.randint(1, 400)}.docx"
                title = app[3].format(doc)
            url = app[4].format(doc) if app[4] and not short and rng.random() < 0.6 else ""
            out.append(line(at, end, offset, "active", app, title, doc, url,
                            rng.randint(1000, 60000)))
        at = end
        if at >= end_of_day:
            break
    with open(os.path.join(directory, f"{day.isoformat()}.jsonl"), "w", encoding="utf-8",
              newline="\n") as f:
        f.writelines(out)
    return len(out)


def generate(directory, days=365, events_per_day=2740, first=date(2025, 1, 1), seed=12,
             short=False):
    os.makedirs(directory, exist_ok=True)
    rng = random.Random(seed)
    total = 0
    for n in range(days):
        day = first + timedelta(days=n)
        # Central European offsets, as a machine there writes them.
        offset = 120 if date(day.year, 3, 30) <= day <= date(day.year, 10, 25) else 60
        total += write_day(directory, day, events_per_day, rng, offset, short)
    return total


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("dir")
    parser.add_argument("--days", type=int, default=365)
    parser.add_argument("--events-per-day", type=int, default=2740)
    parser.add_argument("--first", default="2025-01-01")
    parser.add_argument("--short", action="store_true")
    options = parser.parse_args()
    count = generate(options.dir, options.days, options.events_per_day,
                     date.fromisoformat(options.first), short=options.short)
    print(f"{count} events in {options.days} day files under {options.dir}")

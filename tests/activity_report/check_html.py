#!/usr/bin/env python3
"""The --html page in a real browser: headless chromium renders it (a screenshot at
1280x900 kept in OUT, a PDF to count its printed pages) and dumps the DOM it built. The
DOM holds one span per event of each day, in its category's lane, under a heading with
the day's weekday; text from the log, however hostile, arrives as text (in a page by
title too, where titles stand in attributes); the page loads nothing and runs nothing.
   check_html.py REPORT LOGS OUT"""
import html.parser
import json
import os
import re
import subprocess
import sys
from datetime import datetime, timedelta, timezone

report, logs, out = sys.argv[1], sys.argv[2], sys.argv[3]
os.makedirs(out, exist_ok=True)
page = os.path.join(out, "timeline.html")
folders = ["basic", "other-machine", "hostile"]
first, last = "2026-03-09", "2026-03-11"
HOSTILE = "</title><script>alert(1)</script>"
ATTRIBUTE = "x\" onmouseover=\"alert(1)"
NAMES = ["App", "Browser", "Message", "Email", "System", "IDE", "Notes", "DB edit", "Word",
         "Excel", "Explorer", "Docker", "Shell", "Music", "Photo", "Powerpoint", "Games",
         "3D model"]
failures = []

run = subprocess.run([report, "--from", first, "--to", last, "--html", page]
                     + [a for f in folders for a in ("--dir", f"{logs}/{f}")],
                     capture_output=True)
if run.returncode != 0:
    sys.exit(f"activity-report failed: {run.stderr.decode()}")


def events(folder):
    """The log's events as Python's json reads them, the open one unless appended."""
    found, open_event = [], None
    directory = os.path.join(logs, folder)
    for name in sorted(os.listdir(directory)):
        for line in open(os.path.join(directory, name), "rb"):
            try:
                event = json.loads(line.decode("utf-8"))
            except (UnicodeDecodeError, json.JSONDecodeError):
                continue
            if name == "current.json":
                open_event = event
            else:
                found.append(event)
    if open_event and not any(e["start"] == open_event["start"] and e["pid"] == open_event["pid"]
                              and e["title"] == open_event["title"] for e in found):
        found.append(open_event)
    return found


def category_name(number):
    return NAMES[number] if 0 <= number < len(NAMES) else f"Category {number}"


# Spans expected per (day, lane): an event has one on each day it touches, by its own offset.
expected = {}
for folder in folders:
    for event in events(folder):
        if event["state"] != "active":
            continue
        start, end = datetime.fromisoformat(event["start"]), datetime.fromisoformat(event["end"])
        day = start.date()
        while datetime.combine(day, datetime.min.time(), start.tzinfo) < end:
            if first <= day.isoformat() <= last:
                key = (day.isoformat(), category_name(event["category"]))
                expected[key] = expected.get(key, 0) + 1
            day += timedelta(days=1)


def chromium(*args):
    return subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu",
                           "--window-size=1280,900", *args, "file://" + os.path.abspath(page)],
                          capture_output=True, timeout=120)


class Dom(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.spans, self.titles, self.elements = [], {}, [], {}
        self.day = self.lane = None
        self.text = None
        self.handlers, self.headings, self.cells = [], {}, []

    def handle_starttag(self, tag, attrs):
        # Any on* attribute is a script the log's text would run.
        self.handlers += [(tag, name) for name, _ in attrs if name.lower().startswith("on")]
        attrs = dict(attrs)
        self.elements[tag] = self.elements.get(tag, 0) + 1
        if tag == "td" and "title" in attrs:
            self.cells.append(attrs["title"])
        if tag == "section":
            self.day = attrs["id"][4:] if (attrs.get("id") or "").startswith("day-") else None
        if tag == "g" and "data-lane" in attrs:
            self.lane = attrs["data-lane"]
        if tag == "rect" and attrs.get("class") == "event":
            if self.lane is None:
                failures.append("an event span outside a lane")
            key = (self.day, self.lane)
            self.spans[key] = self.spans.get(key, 0) + 1
        if tag in ("title", "h2"):
            self.text = ""
        self.stack.append(tag)

    def handle_endtag(self, tag):
        if tag == "g":
            self.lane = None
        if tag == "title" and self.text is not None:
            self.titles.append(self.text)
            self.text = None
        if tag == "h2" and self.text is not None:
            if self.day:
                self.headings[self.day] = self.text
            self.text = None
        if self.stack:
            self.stack.pop()

    def handle_data(self, data):
        if self.text is not None:
            self.text += data


dump = chromium("--dump-dom")
dom = Dom()
dom.feed(dump.stdout.decode("utf-8"))
if not dom.spans:
    failures.append(f"no spans in the DOM: {dump.stderr.decode()[-2000:]}")
if dom.spans != expected:
    failures.append(f"spans per (day, lane): {sorted(dom.spans.items())} "
                    f"expected {sorted(expected.items())}")
if dom.elements.get("script", 0) or dom.elements.get("img", 0) or dom.elements.get("b", 0):
    failures.append(f"markup from the log became elements: {dom.elements}")
if not any(t.split("\n")[-1] == HOSTILE for t in dom.titles):
    failures.append("the hostile title is not in any tooltip as text")
days = [datetime.fromisoformat(first).date() + timedelta(days=n) for n in range(3)]
want_headings = {d.isoformat(): d.strftime("%A ") + d.isoformat() for d in days}
if dom.headings != want_headings:
    failures.append(f"day headings {dom.headings}, expected {want_headings}")
# Start, end, app and title, a line each.
if not any(re.fullmatch(r"08:00:00 \u2013 09:00:00\nEvil <b>App</b> & \"co\"\n" + re.escape(HOSTILE), t)
           for t in dom.titles):
    failures.append(f"no tooltip gives the hostile event's start, end, app and title: {dom.titles[:3]}")

# By title, the titles are the table's names, in attributes as well as in text.
by_title = os.path.join(out, "by-title.html")
subprocess.run([report, "--dir", f"{logs}/hostile", "--day", "2026-03-11", "--by", "title",
                "--html", by_title], check=True, capture_output=True)
main_page, page = page, by_title
titled = Dom()
titled.feed(chromium("--dump-dom").stdout.decode("utf-8"))
page = main_page
for where in (dom, titled):
    if where.handlers:
        failures.append(f"the log's text became event handlers: {where.handlers}")
for text in (HOSTILE, ATTRIBUTE):
    if not any(t.split("\n")[-1] == text for t in titled.titles):
        failures.append(f"{text!r} is not in any tooltip as text")
    if text not in titled.cells:
        failures.append(f"{text!r} is not a table cell's title attribute as text")

source = open(page, encoding="utf-8").read()
outside = [u for u in re.findall(r"https?://[^\"' )]+", source) if u != "http://www.w3.org/2000/svg"]
for pattern, what in [(r"<script", "a script"), (r"\b(src|href)\s*=", "a reference"),
                      (r"url\(|@import", "a style reference")]:
    if re.search(pattern, source):
        failures.append(f"the page holds {what}")
if outside:
    failures.append(f"the page names other resources: {outside}")
if "break-after: page" not in source or "@page" not in source:
    failures.append("no print rules for a page per day")

shot = os.path.join(out, "timeline.png")
chromium(f"--screenshot={shot}")
if not os.path.exists(shot) or os.path.getsize(shot) < 10_000:
    failures.append("no screenshot")

pdf = os.path.join(out, "timeline.pdf")
chromium(f"--print-to-pdf={pdf}", "--no-pdf-header-footer")
pages = len(re.findall(rb"/Type\s*/Page[^s]", open(pdf, "rb").read())) if os.path.exists(pdf) else 0
# A page per day, and one for the totals of all days.
if pages != 4:
    failures.append(f"printed on {pages} pages, expected 4")

# The day the clocks go back, in its own zone: 25 hours on the axis, and 01 twice, an
# hour apart on the page.
fall = os.path.join(out, "fall-back.html")
subprocess.run([report, "--dir", f"{logs}/new-york", "--day", "2026-11-01", "--html", fall],
               env=dict(os.environ, TZ="America/New_York"), check=True, capture_output=True)
page = fall
ticks = re.findall(r'<text class="tick-label" x="([0-9.]+)"[^>]*>([0-9]+)</text>',
                   chromium("--dump-dom").stdout.decode("utf-8"))
labels = [label for _, label in ticks]
want = ["00", "01"] + [f"{h:02d}" for h in range(1, 25)]
if labels != want:
    failures.append(f"the fall-back day's hours read {labels}, expected {want}")
else:
    step = (float(ticks[-1][0]) - float(ticks[0][0])) / 25
    if abs(float(ticks[2][0]) - float(ticks[1][0]) - step) > 0.5:
        failures.append(f"the two 01s are not an hour apart: {ticks[:3]}")
chromium(f"--screenshot={os.path.join(out, 'fall-back.png')}")

for failure in failures:
    print("FAIL", failure)
print(f"{sum(dom.spans.values())} spans, {pages} printed pages, screenshot {shot}")
sys.exit(1 if failures else 0)

#!/usr/bin/env python3
"""The --html page in a real browser: headless chromium renders each page made here
(screenshots kept in OUT, a PDF to count the printed pages) and dumps the DOM it built.
Three days of three folders: one span per event of each day, in its category's lane, and
text from the log, however hostile, arrives as text (in a page by title too, where
titles stand in attributes), under a heading with each day's weekday. A 3.5-hour
morning: its axis runs 09 to 13 and the morning fills 7/8 of it; its top documents are the log's. A week: an
overview of stacked bars first, each bar's parts the log's time per day and lane, every
bar inside the scale (a longest day of 3.5 hours too), and a plain line for the day with
nothing recorded; its legend the eleven largest lanes and "Everything else". The day the clocks
go back reads 01 twice. No page loads anything, runs anything, or carries an event handler.
   check_html.py REPORT LOGS OUT"""
import html
import html.parser
import json
import os
import re
import subprocess
import sys
import tempfile
from datetime import datetime, timedelta

report, logs, out = sys.argv[1], sys.argv[2], sys.argv[3]
os.makedirs(out, exist_ok=True)
HOSTILE = "</title><script>alert(1)</script>"
ATTRIBUTE = "x\" onmouseover=\"alert(1)"
NAMES = ["Other", "Browser", "Message", "Email", "System", "IDE", "Notes", "DB edit", "Word",
         "Excel", "Explorer", "Docker", "Shell", "Music", "Photo", "Powerpoint", "Games",
         "3D model"]
failures = []


def make_page(name, folders, *args, env=None):
    page = os.path.join(out, name + ".html")
    run = subprocess.run([report, *args, "--html", page]
                         + [a for f in folders for a in ("--dir", f"{logs}/{f}")],
                         capture_output=True, env=env)
    if run.returncode != 0:
        sys.exit(f"activity-report failed: {run.stderr.decode()}")
    return page


def chromium(page, *args, size="1280,900"):
    with tempfile.TemporaryDirectory() as profile:
        return subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu",
                               "--disable-quic", "--no-first-run",
                               "--disable-background-networking", "--disable-component-update",
                               "--disable-sync", "--hide-scrollbars", f"--user-data-dir={profile}",
                               f"--window-size={size}", *args, "file://" + os.path.abspath(page)],
                              capture_output=True, timeout=120)


def events(folder):
    """The log's events as Python's json reads them, the open one unless appended."""
    found, open_event = [], None
    directory = os.path.join(logs, folder)
    for name in sorted(os.listdir(directory)):
        if not (re.fullmatch(r"\d{4}-\d\d-\d\d\.jsonl", name) or name == "current.json"):
            continue
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


def clock(ms):
    seconds = (ms + 500) // 1000
    return f"{seconds // 3600}:{seconds // 60 % 60:02d}:{seconds % 60:02d}"


class Node:
    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent, self.children, self.text = tag, attrs, parent, [], ""

    def all(self, tag=None, cls=None):
        for child in self.children:
            if (tag is None or child.tag == tag) and (
                    cls is None or cls in (child.attrs.get("class") or "").split()):
                yield child
            yield from child.all(tag, cls)

    def content(self):
        return self.text + "".join(child.content() for child in self.children)

    def up(self, tag):
        node = self.parent
        while node is not None and node.tag != tag:
            node = node.parent
        return node


VOID = {"meta", "br", "img", "input", "link", "hr", "area", "base", "col", "embed", "source"}


class Dom(html.parser.HTMLParser):
    """The document as a tree of nodes."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.root = self.at = Node("#root", {}, None)
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        node = Node(tag, dict(attrs), self.at)
        self.at.children.append(node)
        if tag not in VOID:
            self.at = node

    def handle_endtag(self, tag):
        node = self.at
        while node is not None and node.tag != tag:
            node = node.parent
        if node is not None and node.parent is not None:
            self.at = node.parent

    def handle_data(self, data):
        self.at.text += data


def dom_of(page):
    dump = chromium(page, "--dump-dom")
    dom = Dom(dump.stdout.decode("utf-8")).root
    if not any(dom.all("section")):
        failures.append(f"{page}: chromium built no page: {dump.stderr.decode()[-2000:]}")
    return dom


ELEMENTS = {"#root", "html", "head", "meta", "title", "style", "body", "h1", "h2", "h3",
            "section", "svg", "g", "rect", "line", "text", "p", "span", "div", "table", "caption",
            "tbody", "tr", "th", "td", "path"}
ATTRIBUTES = {"lang", "charset", "name", "content", "class", "id", "style", "title", "xmlns",
              "viewbox", "width", "height", "role", "aria-label", "x", "y", "x1", "x2", "y1", "y2",
              "fill", "data-lane", "data-tag", "data-day", "data-ms", "d", "data-events"}


def check_safe(page, dom):
    """Only the page's own elements and attributes; no handler, script, reference or
    style that loads anything."""
    for node in dom.all():
        if node.tag not in ELEMENTS:
            failures.append(f"{page}: a <{node.tag}> element")
        for name, value in node.attrs.items():
            if name.startswith("on") or name not in ATTRIBUTES:
                failures.append(f"{page}: a {name}= attribute on <{node.tag}>")
            value = value or ""
            if re.search(r"url\(|@import|expression|javascript:", value, re.I) or (
                    re.search(r"[a-z]+://", value, re.I) and value != "http://www.w3.org/2000/svg"):
                failures.append(f"{page}: {name}={value!r} may load something")
        if node.tag == "style" and re.search(r"url\(|@import|[a-z]+://", node.content(), re.I):
            failures.append(f"{page}: its style loads something")


def check_page(page, name, size="1280,900"):
    """The page's source and the DOM chromium made of it, checked alike; a screenshot
    kept; the pages it prints on."""
    check_safe(page, Dom(open(page, encoding="utf-8").read()).root)
    dom = dom_of(page)
    check_safe(page + " in chromium", dom)
    shot = os.path.join(out, name + ".png")
    chromium(page, f"--screenshot={shot}", size=size)
    if not os.path.exists(shot) or os.path.getsize(shot) < 10_000:
        failures.append(f"no screenshot of {page}")
    pdf = os.path.join(out, name + ".pdf")
    chromium(page, f"--print-to-pdf={pdf}", "--no-pdf-header-footer")
    pages = len(re.findall(rb"/Type\s*/Page[^s]", open(pdf, "rb").read())) if os.path.exists(pdf) else 0
    return dom, pages


def check_bars_fit(dom, name):
    """Every bar of the overview inside its scale: no part above the top line."""
    overview = next(dom.all("svg", "overview"), None)
    tops = [float(line.attrs["y1"]) for g in (overview.all("g", "scale") if overview else [])
            for line in g.all("line", "tick")]
    if not tops:
        failures.append(f"{name}: the overview has no scale")
        return
    for bar in overview.all("g", "day-bar"):
        for rect in bar.all("rect", "segment"):
            if float(rect.attrs["y"]) < min(tops) - 0.01:
                failures.append(f"{name}: {bar.attrs['data-day']}'s bar reaches "
                                f"{rect.attrs['y']}, above the scale's top at {min(tops)}")


def ticks_of(section):
    return [(float(t.attrs["x"]), t.content()) for t in section.all("text", "tick-label")]


# Three days of three folders.
folders = ["basic", "other-machine", "hostile"]
first, last = "2026-03-09", "2026-03-11"
page = make_page("timeline", folders, "--from", first, "--to", last)
dom, pages = check_page(page, "timeline")
expected = {}  # spans per (day, lane): one on each day an event touches, by its own offset
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
spans = {}
for mark in list(dom.all("rect", "event")) + [p for p in dom.all("path", "merged")
                                              if "data-lane" in p.up("g").attrs]:
    lane, section = mark.up("g"), mark.up("section")
    if lane is None or "data-lane" not in lane.attrs:
        failures.append("an event span outside a lane")
        continue
    key = (section.attrs["id"][4:], lane.attrs["data-lane"])
    spans[key] = spans.get(key, 0) + int(mark.attrs.get("data-events", 1))
if spans != expected:
    failures.append(f"spans per (day, lane): {sorted(spans.items())} expected {sorted(expected.items())}")
titles = [t.content() for t in dom.all("title")]
if any(dom.all("b")) or any(dom.all("img")) or any(dom.all("script")):
    failures.append("markup from the log became elements")
if not any(t.split("\n")[-1] == HOSTILE for t in titles):
    failures.append("the hostile title is not in any tooltip as text")
# Start, end, app and title, a line each.
if not any(re.fullmatch(r"08:00:00 \u2013 09:00:00\nEvil <b>App</b> & \"co\"\n" + re.escape(HOSTILE), t)
           for t in titles):
    failures.append(f"no tooltip gives the hostile event's start, end, app and title: {titles[:3]}")
if "<img src=x onerror=alert(2)>" not in [td.content() for td in dom.all("td", "name")]:
    failures.append("the hostile document is not in the top documents as text")

# Each day's heading names its weekday.
days = [datetime.fromisoformat(first).date() + timedelta(days=n) for n in range(3)]
headings = {}
for h2 in dom.all("h2"):
    section = h2.up("section")
    if section is not None and (section.attrs.get("id") or "").startswith("day-"):
        headings[section.attrs["id"][4:]] = h2.content()
want_headings = {d.isoformat(): d.strftime("%A ") + d.isoformat() for d in days}
if headings != want_headings:
    failures.append(f"day headings {headings}, expected {want_headings}")

# By title, the titles are the table's names, in attributes as well as in text.
by_title = make_page("by-title", ["hostile"], "--day", "2026-03-11", "--by", "title")
titled, _ = check_page(by_title, "by-title")
titled_tooltips = [t.content() for t in titled.all("title")]
cells = [td.attrs.get("title") for td in titled.all("td")]
# (The event titled ATTRIBUTE lasts a second: narrower than a pixel, it is drawn merged,
# and its title is in the table.)
for text in (HOSTILE, ATTRIBUTE):
    if text == HOSTILE and not any(t.split("\n")[-1] == text for t in titled_tooltips):
        failures.append(f"{text!r} is not in any tooltip as text")
    if text not in cells:
        failures.append(f"{text!r} is not a table cell's title attribute as text")
source = open(page, encoding="utf-8").read()
if "break-after: page" not in source or "@page" not in source:
    failures.append("no print rules for a page per day")
if pages != 4:  # a page per day, and one for the totals of all days
    failures.append(f"the three days printed on {pages} pages, expected 4")

# The morning: recorded from 09:00 to 12:30, so the axis runs 09 to 13 and the morning
# fills 3.5 of its 4 hours.
page = make_page("morning", ["morning"], "--day", "2026-03-12")
dom, pages = check_page(page, "morning")
ticks = ticks_of(dom)
if [label for _, label in ticks] != ["09", "10", "11", "12", "13"]:
    failures.append(f"the morning's hours read {[label for _, label in ticks]}, expected 09 to 13")
else:
    left, right = ticks[0][0], ticks[-1][0]
    drawn = [rect for rect in dom.all("rect") if (rect.attrs.get("class") or "") in ("event", "away")]
    start = min(float(r.attrs["x"]) for r in drawn)
    end = max(float(r.attrs["x"]) + float(r.attrs["width"]) for r in drawn)
    if abs(start - left) > 0.5 or abs((end - left) - 3.5 / 4 * (right - left)) > 0.5:
        failures.append(f"the morning spans {start}..{end} on an axis {left}..{right}")
    lane_rects = [r for r in dom.all("rect", "lane-bg")]
    if any(abs(float(r.attrs["x"]) - left) > 0.5 or
           abs(float(r.attrs["x"]) + float(r.attrs["width"]) - right) > 0.5 for r in lane_rects):
        failures.append("the lanes don't run the axis's length")
# Its top documents: the ten with the most active time, each with its app, by the log.
times = {}
for event in events("morning"):
    if event["state"] == "active" and event["doc"]:
        ms = (datetime.fromisoformat(event["end"]) - datetime.fromisoformat(event["start"])) \
            // timedelta(milliseconds=1)
        times[(event["doc"], event["app"])] = times.get((event["doc"], event["app"]), 0) + ms
want = [(doc, app, clock(ms)) for (doc, app), ms in
        sorted(times.items(), key=lambda item: (-item[1], item[0]))[:10]]
tables = list(dom.all("table", "documents"))
got = [tuple(td.content() for td in tr.all("td")) for t in tables for tr in t.all("tr")]
got = [row for row in got if row]
if len(times) <= 10 or got != want:
    failures.append(f"top documents {got}, expected {want} of {len(times)}")
# Its tags (tags.jsonl) as bands across the lanes: the one made last holds an overlap,
# a removed one is gone, one over unrecorded time is drawn too, labels stay text.
if len(ticks) == 5:
    left, right = ticks[0][0], ticks[-1][0]
    at = lambda hh, mm: left + ((hh - 9) * 60 + mm) / 240 * (right - left)
    want = [("meeting/standup", at(10, 5), at(10, 20)), ("phone", at(10, 20), at(10, 30)),
            ("meeting/standup", at(10, 30), at(10, 35)),
            ('email/<b>follow-ups</b> & "replies"', at(12, 25), at(12, 45))]
    bands = []
    for band in dom.all("g", "tagged"):
        rect = next(band.all("rect", "tag"))
        bands.append((band.attrs["data-tag"], float(rect.attrs["x"]),
                      float(rect.attrs["x"]) + float(rect.attrs["width"])))
        if next(rect.all("title")).content().split("\n")[0] != band.attrs["data-tag"]:
            failures.append(f"the band {band.attrs['data-tag']!r} has no tooltip naming it")
        top, bottom = float(rect.attrs["y"]), float(rect.attrs["y"]) + float(rect.attrs["height"])
        lanes = [float(r.attrs["y"]) for r in dom.all("rect", "lane-bg")]
        if not lanes or top > min(lanes) or bottom < max(lanes) + 20:
            failures.append(f"the band {band.attrs['data-tag']!r} doesn't cross every lane")
    if len(bands) != len(want) or any(a[0] != b[0] or abs(a[1] - b[1]) > 0.5 or abs(a[2] - b[2]) > 0.5
                                      for a, b in zip(bands, want)):
        failures.append(f"tag bands {bands}, expected {want}")
if "tags over 0:50:00" not in "".join(p.content() for p in dom.all("p", "coverage")):
    failures.append("the coverage line doesn't say how long tags lie over")

# Tag labels stay readable: on the band only where the whole label fits (about 8 units a
# character of 12-pixel bold), else not at all rather than cut to a letter; always in the
# band's tooltip and in the legend, with the band's times.
folder = os.path.join(out, "tag-labels")
os.makedirs(folder, exist_ok=True)
with open(os.path.join(folder, "2026-03-12.jsonl"), "w") as day_file:
    day_file.write(json.dumps({
        "start": "2026-03-12T09:00:00.000+01:00", "end": "2026-03-12T13:00:00.000+01:00",
        "seconds": 14400.0, "state": "active", "title": "draft.docx - Word",
        "curated_title": "draft.docx", "doc": "draft.docx", "url": "", "pid": 7, "app": "Word",
        "exe_path": "", "category": 8}) + "\n")
TAGS = [("Writing the quarterly report", "09:00", "11:00"), ("Weekly review", "11:00", "11:05"),
        ("\u5831\u544a", "11:05", "11:20")]
with open(os.path.join(folder, "tags.jsonl"), "w") as tag_file:
    for n, (label, start, end) in enumerate(TAGS):
        tag_file.write(json.dumps({"id": f"tl{n}", "start": f"2026-03-12T{start}:00.000+01:00",
                                   "end": f"2026-03-12T{end}:00.000+01:00", "label": label,
                                   "made": "2026-03-12T14:00:00.000+01:00"}) + "\n")
page = os.path.join(out, "tag-labels.html")
subprocess.run([report, "--no-cache", "--dir", folder, "--day", "2026-03-12", "--html", page],
               capture_output=True, check=True)
dom, _ = check_page(page, "tag-labels")
on_band = {}
for band in dom.all("g", "tagged"):
    rect = next(band.all("rect", "tag"))
    label = band.attrs["data-tag"]
    texts = [t.text for t in band.all("text", "tag-label")]
    on_band[label] = texts
    room = float(rect.attrs["width"])
    if texts and (texts != [label] or room < 8 * sum(2 if ord(c) > 0x2e7f else 1 for c in label)):
        failures.append(f"the band {label!r}, {room} wide, reads {texts}")
    if next(rect.all("title")).content().split("\n")[0] != label:
        failures.append(f"the band {label!r} has no tooltip naming it")
if on_band != {"Writing the quarterly report": ["Writing the quarterly report"], "Weekly review": [],
               "\u5831\u544a": ["\u5831\u544a"]}:
    failures.append(f"tag labels on their bands: {on_band}")
legend = html.unescape(re.sub(r"<[^>]*>", "", re.search(
    r'<p class="legend">(.*?)</p>', open(page, encoding="utf-8").read(), re.S).group(1)))
for label, start, end in TAGS:
    if f"{label} ({start}\u2013{end})" not in legend:
        failures.append(f"the legend doesn't name the tag {label!r} {start}-{end}: {legend!r}")

# Many events too short to see: those narrower than a pixel are drawn merged, a path per
# stretch of a lane, whose events and time add up to the lane's, and whose tooltip says
# how many events and which app most; an event a pixel wide or more keeps its own.
folder = os.path.join(out, "tiny-events")
os.makedirs(folder, exist_ok=True)
at, lines, lane_events, lane_ms, apps = datetime.fromisoformat("2026-03-12T09:00:00+01:00"), [], {}, {}, {}
for n in range(4000):
    category, app, ms = [(1, "Edge", 5_000), (8, "Word", 6_500), (8, "Writer", 3_000),
                         (5, "Code", 2_000)][n % 7 % 4]
    if n % 1000 == 999:
        ms = 600_000  # ten minutes: wide enough to draw alone
    end = at + timedelta(milliseconds=ms)
    lines.append(json.dumps({
        "start": at.isoformat(timespec="milliseconds"), "end": end.isoformat(timespec="milliseconds"),
        "seconds": ms / 1000, "state": "active", "title": f"t{n}", "curated_title": "", "doc": "",
        "url": "", "pid": 1, "app": app, "exe_path": "", "category": category}))
    lane = category_name(category)
    lane_events[lane] = lane_events.get(lane, 0) + 1
    lane_ms[lane] = lane_ms.get(lane, 0) + ms
    apps.setdefault(lane, set()).add(app)
    at = end
with open(os.path.join(folder, "2026-03-12.jsonl"), "w") as day_file:
    day_file.write("\n".join(lines) + "\n")
page = os.path.join(out, "tiny-events.html")
subprocess.run([report, "--no-cache", "--dir", folder, "--day", "2026-03-12", "--html", page],
               capture_output=True, check=True)
dom, _ = check_page(page, "tiny-events")
drawn, events_drawn, ms_drawn = 0, {}, {}
for lane in dom.all("g", "lane"):
    name = lane.attrs["data-lane"]
    for rect in lane.all("rect", "event"):
        start, end = re.match(r"(\d\d:\d\d:\d\d) \u2013 (\d\d:\d\d:\d\d)",
                              next(rect.all("title")).content()).groups()
        seconds = (datetime.strptime(end, "%H:%M:%S") - datetime.strptime(start, "%H:%M:%S")).seconds
        events_drawn[name] = events_drawn.get(name, 0) + 1
        ms_drawn[name] = ms_drawn.get(name, 0) + seconds * 1000
        drawn += 1
    for path in lane.all("path", "merged"):
        events_drawn[name] = events_drawn.get(name, 0) + int(path.attrs["data-events"])
        ms_drawn[name] = ms_drawn.get(name, 0) + int(path.attrs["data-ms"])
        drawn += 1
        said = re.search(r"\n(\d+) short events, [\d:]+ in all\nmostly (.+) [\d:]+$",
                         next(path.all("title")).content())
        if not said or int(said.group(1)) != int(path.attrs["data-events"]) \
                or said.group(2) not in apps[name]:
            failures.append(f"a merged stretch of {name} says {next(path.all('title')).content()!r}")
if events_drawn != lane_events or ms_drawn != lane_ms:
    failures.append(f"tiny events drawn {events_drawn} {ms_drawn}, expected {lane_events} {lane_ms}")
if drawn > 80:
    failures.append(f"{sum(lane_events.values())} tiny events drawn as {drawn} elements")

# A week: the overview first, a bar per day, its parts the day's time per lane.
week = [(datetime(2026, 3, 2) + timedelta(days=d)).date().isoformat() for d in range(7)]
page = make_page("week", ["week"], "--from", week[0], "--to", week[-1])
dom, pages = check_page(page, "week", size="1280,1600")
sections = [s.attrs.get("class") for s in dom.all("section")]
if sections != ["overview"] + ["day"] * 5 + ["day empty", "day", "all"]:
    failures.append(f"the week's sections are {sections}")
lane_ms = {}
for event in events("week"):
    if event["state"] == "active":
        ms = (datetime.fromisoformat(event["end"]) - datetime.fromisoformat(event["start"])) \
            // timedelta(milliseconds=1)
        key = (event["start"][:10], category_name(event["category"]))
        lane_ms[key] = lane_ms.get(key, 0) + ms
bars = list(dom.all("g", "day-bar"))
if [bar.attrs["data-day"] for bar in bars] != week:
    failures.append(f"the overview's bars are {[bar.attrs['data-day'] for bar in bars]}")
parts, scale = {}, set()
for bar in bars:
    bottom = None
    for rect in bar.all("rect", "segment"):
        parts[(bar.attrs["data-day"], rect.attrs["data-lane"])] = int(rect.attrs["data-ms"])
        scale.add(round(float(rect.attrs["height"]) / int(rect.attrs["data-ms"]) * 3_600_000, 1))
        # Stacked: each part sits on the one below.
        y, height = float(rect.attrs["y"]), float(rect.attrs["height"])
        if bottom is not None and abs(y + height - bottom) > 0.01:
            failures.append(f"a part of {bar.attrs['data-day']}'s bar floats")
        bottom = y
if parts != lane_ms:
    failures.append(f"the overview's parts {sorted(parts.items())} expected {sorted(lane_ms.items())}")
if len(scale) != 1:
    failures.append(f"the overview's bars are drawn to different scales: {scale}")
legend = next(dom.all("section"), None)
legend_text = "".join(p.content() for p in legend.all("p", "legend")) if legend else ""
if not all(lane in legend_text for _, lane in lane_ms):
    failures.append(f"the overview's legend reads {legend_text!r}")
empty = [s for s in dom.all("section") if s.attrs.get("id") == "day-2026-03-07"]
if not empty or [p.content() for p in empty[0].all("p")] != [
        "Nothing was recorded on Saturday 2026-03-07."] or any(empty[0].all("svg")):
    failures.append("the day with nothing recorded doesn't say so plainly")
if pages != 8:  # the overview, six days (the empty one's line on the next's page), the totals
    failures.append(f"the week printed on {pages} pages, expected 8")
# A run of empty days is one line, not a section each.
page = make_page("empty-run", ["week"], "--from", "2026-02-24", "--to", "2026-03-03")
sections = [(s.attrs.get("id"), s.attrs.get("class")) for s in dom_of(page).all("section")]
lines = [p.content() for p in dom_of(page).all("p", "empty")]
if [s for s in sections if s[1] != "overview" and s[1] != "all"] != [
        ("day-2026-02-24", "day empty"), ("day-2026-03-02", "day"), ("day-2026-03-03", "day")] \
        or lines != ["Nothing was recorded from Tuesday 2026-02-24 to Sunday 2026-03-01 (6 days)."]:
    failures.append(f"six empty days: sections {sections}, lines {lines}")
check_bars_fit(dom, "the week")
# A week whose longest day is no whole number of hours (3.5): the scale goes up to the
# next whole hour, past it.
page = make_page("week-end", ["week"], "--from", "2026-03-06", "--to", "2026-03-12")
check_bars_fit(dom_of(page), "the week from 2026-03-06")
if any(name.endswith("~") for name in os.listdir(out)):
    failures.append(f"a temporary file is left beside the page: {os.listdir(out)}")

# The week by project (rules two levels deep): a lane per project on each day, its time
# the report's own for that day, the same colour on every day and in the overview.
rules = ["--rules", os.path.join(os.path.dirname(logs), "rules", "morning.toml"), "--by", "project",
         "--depth", "2"]
page = make_page("week-by-project", ["week"], "--from", week[0], "--to", week[-1], *rules)
dom, pages = check_page(page, "week-by-project", size="1280,1600")
want, colours = {}, {}
for day in week:
    csv = subprocess.run([report, "--no-cache", "--dir", f"{logs}/week", "--day", day, *rules,
                          "--format", "csv"], capture_output=True, check=True).stdout.decode()
    for row in csv.splitlines()[1:]:
        name, seconds, _ = row.rsplit(",", 2)
        want[(day, name)] = round(float(seconds) * 1000)
lanes, parts = {}, {}
for section in dom.all("section", "day"):
    for label in section.all("text", "lane-label"):
        name, time = label.children[0].content().split("\n") if label.children else ("", "")
        lanes[(section.attrs["id"][4:], label.text)] = time
    for lane in section.all("g", "lane"):
        for rect in lane.all("rect", "event"):
            colours.setdefault(lane.attrs["data-lane"], set()).add(rect.attrs["fill"])
for bar in dom.all("g", "day-bar"):
    for rect in bar.all("rect", "segment"):
        parts[(bar.attrs["data-day"], rect.attrs["data-lane"])] = int(rect.attrs["data-ms"])
        colours.setdefault(rect.attrs["data-lane"], set()).add(rect.attrs["fill"])
if lanes != {key: clock(ms) for key, ms in want.items()}:
    failures.append(f"lanes by project {sorted(lanes.items())}, expected {sorted(want.items())}")
if parts != want:
    failures.append(f"the overview by project {sorted(parts.items())}, expected {sorted(want.items())}")
check_bars_fit(dom, "the week by project")
if any(len(fills) != 1 for fills in colours.values()) or \
        len({next(iter(f)) for f in colours.values()}) != len(colours):
    failures.append(f"a project's colour changes, or two share one: {colours}")

# The overview's legend: the eleven largest lanes by name, largest first, and any more as
# one "Everything else" with their time (category 0 is "Other"); the bars' parts the same.
for count in (11, 12, 18):
    folder = os.path.join(out, f"lanes-{count}")
    os.makedirs(folder, exist_ok=True)
    at, lines, want = datetime.fromisoformat("2026-03-02T06:00:00+01:00"), [], []
    for category in range(count):
        minutes = (count - category) * 5  # each lane its own size, the first the largest
        end = at + timedelta(minutes=minutes)
        lines.append(json.dumps({
            "start": at.isoformat(timespec="milliseconds"),
            "end": end.isoformat(timespec="milliseconds"), "seconds": minutes * 60.0,
            "state": "active", "title": f"t{category}", "curated_title": "", "doc": "",
            "url": "", "pid": 100 + category, "app": f"a{category}", "exe_path": "",
            "category": category}))
        want.append((category_name(category), minutes * 60_000))
        at = end
    with open(os.path.join(folder, "2026-03-02.jsonl"), "w") as day_file:
        day_file.write("\n".join(lines) + "\n")
    page = os.path.join(out, f"lanes-{count}.html")
    subprocess.run([report, "--no-cache", "--dir", folder, "--from", week[0], "--to", week[-1],
                    "--html", page], capture_output=True, check=True)
    dom = dom_of(page)
    if len(want) > 11:
        want = want[:11] + [("Everything else", sum(ms for _, ms in want[11:]))]
    legend = [span.content() for span in dom.all("span", "item")]
    if legend != [f"{name} {clock(ms)}" for name, ms in want]:
        failures.append(f"{count} lanes: the legend reads {legend}, expected {want}")
    segments = [(rect.attrs["data-lane"], int(rect.attrs["data-ms"]))
                for rect in dom.all("rect", "segment")]
    if sorted(segments) != sorted(want):
        failures.append(f"{count} lanes: the bars' parts {segments}, expected {want}")

# The day the clocks go back, in its own zone: 25 hours on the axis, and 01 twice, an
# hour apart on the page.
page = make_page("fall-back", ["new-york"], "--day", "2026-11-01",
                 env=dict(os.environ, TZ="America/New_York"))
dom, pages = check_page(page, "fall-back")
ticks = ticks_of(dom)
labels = [label for _, label in ticks]
want = ["00", "01"] + [f"{h:02d}" for h in range(1, 25)]
if labels != want:
    failures.append(f"the fall-back day's hours read {labels}, expected {want}")
else:
    step = (ticks[-1][0] - ticks[0][0]) / 25
    if abs(ticks[2][0] - ticks[1][0] - step) > 0.5:
        failures.append(f"the two 01s are not an hour apart: {ticks[:3]}")

for failure in failures:
    print("FAIL", failure)
print(f"{sum(spans.values())} spans; screenshots in {out}")
sys.exit(1 if failures else 0)

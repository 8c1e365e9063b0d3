#!/usr/bin/python3
"""Independent readers check the calendar writer's output.

Every appointment of the sample files and of the pstwrite calendar fixture is shown by `mailferry show` and read by
Python's icalendar (with dateutil), vobject and ical.js (pinned from npm into the build folder), and its calendar
reference mail, when it needs one, by Python's email and mailbox. For every series of the fixture, the occurrences
the readers expand (the rule minus its exclusions, plus the events of the moved occurrences) must be the ones the
recurrence blob describes, which this script expands from the blob on its own:
exported in the series' own zone, and, for the master's occurrences, exported in Europe/Berlin too. The real
series of recurring-distlist.pst must give its known occurrences in America/Los_Angeles.
"""

import argparse
import datetime as dt
import email
import email.policy
import json
import mailbox
import struct
import subprocess
import sys
from pathlib import Path
from zoneinfo import ZoneInfo

import icalendar
import vobject
from dateutil import rrule

ICALJS_VERSION = "2.2.1"
HORIZON_DAYS = 400
EPOCH_1601 = dt.datetime(1601, 1, 1)
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


# ---- the blob, read and expanded here without the program ----

def parse_blob(data):
    at = 0

    def take(fmt):
        nonlocal at
        values = struct.unpack_from("<" + fmt, data, at)
        at += struct.calcsize("<" + fmt)
        return values

    b = {}
    _, _, b["freq"], b["type"], _, b["first"], b["period"], _ = take("HHHHHIII")
    b["mask"] = b["day"] = b["nth"] = 0
    if b["type"] == 1:
        (b["mask"],) = take("I")
    elif b["type"] in (2, 4):
        (b["day"],) = take("I")
    elif b["type"] == 3:
        b["mask"], b["nth"] = take("II")
    b["end_type"], b["count"], b["first_dow"], deleted = take("IIII")
    b["deleted"] = list(take("I" * deleted))
    (modified,) = take("I")
    take("I" * modified)
    b["start_date"], b["end_date"] = take("II")
    _, _, b["start_offset"], b["end_offset"] = take("IIII")
    (exceptions,) = take("H")
    b["exceptions"] = []
    for _ in range(exceptions):
        start, end, _, flags = take("IIIH")
        b["exceptions"].append((start, end))
        for flag, fmt in ((1, "s"), (2, "I"), (4, "I"), (8, "I"), (0x10, "s"), (0x20, "I"), (0x40, "I"),
                          (0x80, "I"), (0x100, "I")):
            if flags & flag:
                if fmt == "s":
                    _, length = take("HH")
                    take(f"{length}s")
                else:
                    take(fmt)
    return b


def local(minutes):
    return EPOCH_1601 + dt.timedelta(minutes=minutes)


def month_add(year, month, k):
    index = year * 12 + month - 1 + k
    return index // 12, index % 12 + 1


def days_in_month(year, month):
    y, m = month_add(year, month, 1)
    return (dt.date(y, m, 1) - dt.timedelta(days=1)).day


def candidate_days(b, first):
    """The days the pattern gives from `first` on, in order (endless)."""
    if b["type"] == 0:
        step = dt.timedelta(days=b["period"] // 1440)
        day = first
        while True:
            yield day
            day += step
    elif b["type"] == 1:
        interval = b["period"] if b["freq"] == 0x200B else 1
        sunday0 = (first.weekday() + 1) % 7
        week0 = first - dt.timedelta(days=(sunday0 - b["first_dow"]) % 7)
        day = first
        while True:
            if ((day - week0).days // 7) % interval == 0 and b["mask"] & (1 << ((day.weekday() + 1) % 7)):
                yield day
            day += dt.timedelta(days=1)
    else:
        k = 0
        while True:
            year, month = month_add(first.year, first.month, k)
            k += b["period"]
            if b["type"] == 2:
                if b["day"] > days_in_month(year, month):
                    continue
                day = dt.date(year, month, b["day"])
            elif b["type"] == 4:
                day = dt.date(year, month, days_in_month(year, month))
            else:
                days = [dt.date(year, month, d) for d in range(1, days_in_month(year, month) + 1)
                        if b["mask"] & (1 << ((dt.date(year, month, d).weekday() + 1) % 7))]
                day = days[-1] if b["nth"] == 5 else days[b["nth"] - 1]
            if day >= first:
                yield day


def blob_series(b):
    """(master occurrence dates, moved occurrence starts) that the blob describes, up to the horizon."""
    first = local(b["start_date"]).date()
    horizon = first + dt.timedelta(days=HORIZON_DAYS)
    days = []
    for day in candidate_days(b, first):
        if b["end_type"] == 0x2022 and len(days) == b["count"]:
            break
        if b["end_type"] == 0x2021 and day > local(b["end_date"]).date():
            break
        if day >= horizon:
            break
        days.append(day)
    deleted = {local(d).date() for d in b["deleted"]}
    return [d for d in days if d not in deleted], [local(start) for start, _ in b["exceptions"]]


# ---- what the readers make of a calendar ----

def as_zoneinfo(value):
    """icalendar hands out pytz zones, whose offset is fixed; expansion needs the zone's own rules."""
    if isinstance(value, dt.datetime) and value.tzinfo is not None and hasattr(value.tzinfo, "zone"):
        return value.replace(tzinfo=ZoneInfo(value.tzinfo.zone))
    return value


def as_datetime(value):
    return value if isinstance(value, dt.datetime) else dt.datetime.combine(value, dt.time())


def key(value):
    """An occurrence as text: a date, or the instant in UTC."""
    if not isinstance(value, dt.datetime):
        return value.isoformat()
    if value.tzinfo is None:
        return value.date().isoformat() if value.time() == dt.time() else value.isoformat()
    return value.astimezone(dt.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def exdates(event):
    values = event.get("EXDATE")
    values = values if isinstance(values, list) else [values] if values is not None else []
    return [as_zoneinfo(d.dt) for v in values for d in v.dts]


def expand_icalendar(text):
    """[(start, [occurrences] or None, event)] by icalendar and dateutil."""
    events = []
    for event in icalendar.Calendar.from_ical(text).walk("VEVENT"):
        start = as_zoneinfo(event.decoded("DTSTART")) if "DTSTART" in event else None
        occurrences = None
        if "RRULE" in event and start is not None:
            first = as_datetime(start)
            rules = rrule.rruleset()
            rules.rrule(rrule.rrulestr(event["RRULE"].to_ical().decode(), dtstart=first))
            for excluded in exdates(event):
                rules.exdate(as_datetime(excluded))
            end = first + dt.timedelta(days=HORIZON_DAYS)
            occurrences = [o for o in rules.between(first - dt.timedelta(seconds=1), end)]
        events.append((start, occurrences, event))
    return events


def within(values, first, horizon_days=HORIZON_DAYS):
    end = as_datetime(first) + dt.timedelta(days=horizon_days)
    return [key(v) for v in values if as_datetime(v) < end]


def check_vobject(name, text, expanded):
    calendar = vobject.readOne(text)
    for event, (start, occurrences, _) in zip(calendar.vevent_list, expanded):
        if start is None:
            continue
        value = event.dtstart.value
        check(not isinstance(value, dt.datetime) or value.tzinfo is not None, f"{name}: vobject reads a floating start")
        if occurrences is not None:
            first = as_datetime(value)
            theirs = event.getrruleset(addRDate=True).between(first - dt.timedelta(seconds=1),
                                                               first + dt.timedelta(days=HORIZON_DAYS))
            check(within(theirs, start) == within(occurrences, start), f"{name}: vobject expands the series differently")


def all_occurrences(expanded):
    """The master's occurrences and the moved occurrences' events, as keys."""
    master = next((e for e in expanded if e[1] is not None), None)
    if master is None:
        return [], []
    moved = [key(s) for s, o, _ in expanded if o is None and s is not None]
    return within(master[1], master[0]), moved


# ---- the checks ----

def guarded(name, function, *arguments):
    """A reader that fails on a calendar is a finding, not the end of the run."""
    try:
        function(*arguments)
    except Exception as error:  # noqa: BLE001 - every reader error is reported the same way
        failures.append(f"{name}: {type(error).__name__}: {error}")


def show(args, pst, nid, zone, out):
    result = subprocess.run([args.mailferry, "show", str(pst), "--nid", str(nid), "--timezone", zone],
                            capture_output=True)
    check(result.returncode == 0, f"{pst.name} {nid}: show failed: {result.stderr.decode(errors='replace')}")
    out.write_bytes(result.stdout)
    return result.stdout.decode("utf-8")


def check_reference_mail(args, pst, nid, work):
    """The calendar reference mail, when the appointment needs one, reads as a mail in both forms."""
    for form in ("eml", "mbox"):
        command = [args.mailferry, "show", str(pst), "--nid", str(nid), "--reference"]
        command += ["--mbox"] if form == "mbox" else []
        result = subprocess.run(command, capture_output=True)
        name = f"{pst.name} {nid} reference mail ({form})"
        check(result.returncode == 0, f"{name}: show failed: {result.stderr.decode(errors='replace')}")
        if not result.stdout:
            continue
        out = work / f"{pst.stem}-{nid}-reference.{form}"
        out.write_bytes(result.stdout)
        if form == "mbox":
            messages = list(mailbox.mbox(str(out)))
            check(len(messages) == 1, f"{name}: {len(messages)} messages in the mailbox")
            message = email.message_from_bytes(messages[0].as_bytes(), policy=email.policy.default) if messages else None
            check(result.stdout.startswith(b"From "), f"{name}: no separator line")
        else:
            message = email.message_from_bytes(result.stdout, policy=email.policy.default)
        if message is None:
            continue
        check(not message.defects, f"{name}: defects {message.defects}")
        check(str(message["Subject"]).startswith(f"CalRef ID #0.{nid} - "), f"{name}: subject {message['Subject']}")


def check_fixture_item(args, pst, item, work, icaljs_files):
    zone = ZoneInfo(item["zone"])
    name = f"fixture {item['subject']}"
    own = show(args, pst, item["nid"], item["zone"], work / f"{item['nid']}-own.ics")
    check_reference_mail(args, pst, item["nid"], work)
    icaljs_files.append(work / f"{item['nid']}-own.ics")
    expanded = expand_icalendar(own)
    check_vobject(name, own, expanded)
    if item["blob"] is None:
        check(len(expanded) == 1 and expanded[0][1] is None, f"{name}: a single event expected")
        return
    b = parse_blob(bytes.fromhex(item["blob"]))
    days, moved = blob_series(b)
    offset = dt.timedelta(minutes=b["start_offset"])
    if item["all_day"]:
        want = [d.isoformat() for d in days]
    else:
        want = [key((dt.datetime.combine(d, dt.time()) + offset).replace(tzinfo=zone)) for d in days]
    want_moved = [key(m.replace(tzinfo=zone)) for m in moved]
    master, got_moved = all_occurrences(expanded)
    check(master == want, f"{name}: the rule gives {master}, the blob {want}")
    check(sorted(got_moved) == sorted(want_moved), f"{name}: moved occurrences {got_moved}, the blob {want_moved}")
    if item["all_day"] or item["zone"] == "Europe/Berlin":
        return
    berlin = ZoneInfo("Europe/Berlin")
    start = expanded[0][0].astimezone(berlin)
    if start.date() != local(b["start_date"]).date():
        return
    text = show(args, pst, item["nid"], "Europe/Berlin", work / f"{item['nid']}-berlin.ics")
    icaljs_files.append(work / f"{item['nid']}-berlin.ics")
    in_berlin = expand_icalendar(text)
    check_vobject(name + " in Berlin", text, in_berlin)
    master, _ = all_occurrences(in_berlin)
    want = [key(dt.datetime.combine(d, start.time()).replace(tzinfo=berlin)) for d in days]
    check(master == want, f"{name} in Berlin: the rule gives {master}, the blob's days at {start.time()} {want}")


def check_corpus(args, work, icaljs_files):
    corpus = Path(args.shared) / "corpus"
    for manifest in sorted(corpus.glob("*.json")):
        items = json.loads(manifest.read_text()).get("items") or []
        pst = manifest.with_suffix(".pst")
        for item in items:
            if not str(item.get("message_class", "")).startswith("IPM.Appointment"):
                continue
            nid = int(item["nid"], 16)
            check_reference_mail(args, pst, nid, work)
            for zone in ("Europe/Berlin", "America/Los_Angeles"):
                out = work / f"{pst.stem}-{nid}-{zone.replace('/', '_')}.ics"
                text = show(args, pst, nid, zone, out)
                icaljs_files.append(out)
                expanded = expand_icalendar(text)
                check_vobject(f"{pst.name} {nid}", text, expanded)
                if pst.name == "recurring-distlist.pst" and zone == "America/Los_Angeles":
                    check_known_series(expanded)


def check_known_series(expanded):
    la = ZoneInfo("America/Los_Angeles")
    tuesdays = [dt.date(2016, 8, 2) + dt.timedelta(weeks=w) for w in range(HORIZON_DAYS // 7 + 1)]
    want = [key(dt.datetime.combine(d, dt.time(8)).replace(tzinfo=la)) for d in tuesdays
            if d not in (dt.date(2016, 8, 9), dt.date(2016, 8, 23), dt.date(2016, 8, 30))
            and d < dt.date(2016, 8, 2) + dt.timedelta(days=HORIZON_DAYS)]
    master, moved = all_occurrences(expanded)
    check(master == want, f"recurring-distlist.pst: the series gives {master[:5]}...")
    check(sorted(moved) == [key(dt.datetime(2016, 8, 23, 9, tzinfo=la)), key(dt.datetime(2016, 8, 30, 10, tzinfo=la))],
          f"recurring-distlist.pst: moved occurrences {moved}")


def icaljs_module(folder):
    module = Path(folder) / "node_modules" / "ical.js"
    package = module / "package.json"
    if not package.exists() or json.loads(package.read_text())["version"] != ICALJS_VERSION:
        subprocess.run(["npm", "install", "--prefix", str(folder), "--no-save", "--no-audit", "--no-fund",
                        "--loglevel=error", f"ical.js@{ICALJS_VERSION}"], check=True)
    return module / "dist" / "ical.js"


def check_icaljs(args, files):
    result = subprocess.run(["node", str(Path(__file__).with_name("ical_readers.mjs")), str(icaljs_module(args.icaljs)),
                             *map(str, files)], capture_output=True, env={"TZ": "UTC", "PATH": "/usr/bin:/bin"})
    check(result.returncode == 0, f"ical.js failed: {result.stderr.decode(errors='replace')[:2000]}")
    if result.returncode != 0:
        return
    read = json.loads(result.stdout)
    for file in files:
        expanded = expand_icalendar(Path(file).read_text())
        for (start, occurrences, _), event in zip(expanded, read[str(file)]):
            if occurrences is None or start is None:
                continue
            theirs = [dt.date.fromisoformat(o) if len(o) == 10 else
                      dt.datetime.fromisoformat(o.replace("Z", "+00:00")) for o in event["occurrences"]]
            check(within(theirs, start) == within(occurrences, start),
                  f"{Path(file).name}: ical.js expands {event['summary']} differently")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mailferry", required=True)
    parser.add_argument("--pstwrite", required=True)
    parser.add_argument("--shared", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--icaljs", required=True, help="folder to install ical.js into")
    args = parser.parse_args()
    work = Path(args.work)
    work.mkdir(parents=True, exist_ok=True)
    icaljs_files = []

    pst = work / "calendar-fixture.pst"
    pst.unlink(missing_ok=True)
    manifest = json.loads(subprocess.run([args.pstwrite, "calendar", str(pst)], check=True,
                                         capture_output=True).stdout)
    for item in manifest["items"]:
        guarded(f"fixture {item['subject']}", check_fixture_item, args, pst, item, work, icaljs_files)
    guarded("corpus", check_corpus, args, work, icaljs_files)
    guarded("ical.js", check_icaljs, args, icaljs_files)

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(icaljs_files)} calendars read by icalendar, vobject and ical.js; {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

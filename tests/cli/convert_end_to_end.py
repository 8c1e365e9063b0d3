#!/usr/bin/env python3
"""End to end through `mailferry convert`: the sample files and written stores in every target and format, and
the ways a run fails; contacts and calendars of the sample files and of written stores in every target, with and
without the merge switches.

Each conversion is read the way its users' programs would read it: the layout on disk follows the target's rules;
every mail of the store is in the output or counted as skipped in the report; every EML file parses with Python's
email package (default policy), every MBOX file with Python's mailbox and with Dovecot (doveadm, private config,
as user nobody when run as root); the log file decodes as UTF-16LE and holds the report's lines in order. Every
contact and appointment is written or counted as skipped; every vCard file is read by vobject (the Apple and
archive cards without their quoted-printable note, as the contact writer's check reads them); every calendar
file by icalendar and vobject, a shared one holding one header and one end, with the expected occurrences of
known series; every calendar reference mail by Python's email (and, in mailboxes, by Dovecot).

    convert_end_to_end.py --part corpus|written|failures|pim --mailferry BIN --pstwrite BIN --corpus DIR --work DIR
                          [--doveadm BIN]
"""

import argparse
import datetime as dt
import email
import email.policy
import glob
import json
import mailbox
import os
import plistlib
import pty
import re
import resource
import select
import shutil
import signal
import subprocess
import sys
import tempfile
from zoneinfo import ZoneInfo

import icalendar
import vobject

# The writers' independent-reader checks: how they read a card's quoted-printable note and expand a calendar.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "writers"))
from ical_readers import HORIZON_DAYS, all_occurrences, expand_icalendar, key  # noqa: E402
from vcard_readers import split_quoted_printable_note  # noqa: E402

TARGETS = [("apple", "mbox"), ("thunderbird", "eml"), ("thunderbird", "mbox"), ("archive", "mbox"),
           ("files", "mbox"), ("files", "eml")]
# Container classes whose folders the converter does not take as mail (and the first three not at all).
NOT_MAIL_CLASSES = {"IPF.Appointment", "IPF.Contact", "IPF.Journal", "IPF.StickyNote", "IPF.Task"}
SKIPPED_WITH_CHILDREN = {"IPF.Journal", "IPF.StickyNote", "IPF.Task"}
FILE_FAILURE = ("Operation aborted due to following error:\nPlease ensure that there is enough space available on "
                "the disk or you have sufficient previledges to write on the disk.")
RUN_FAILURE = ("Operation aborted due to following error:\nPlease ensure that there is enough space avialable on the "
               "disk or you have sufficient privilege to access output folder.")
CORRUPT_PST = ("Operation aborted due to following error :\nPST File appears to be corrupt. Please run some pst "
               "repair tool (such as \"scanpst\" on Windows) on this pst file and try again later.")


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, condition, what):
        if not condition:
            self.failures.append(what)
            print("FAIL:", what, flush=True)
        return condition


class Tools:
    def __init__(self, args):
        self.mailferry = os.path.abspath(args.mailferry)
        self.pstwrite = os.path.abspath(args.pstwrite)
        self.doveadm = args.doveadm if args.doveadm and os.path.exists(args.doveadm) else None
        self.work = args.work

    def convert(self, files, out, *options, limit=None, cwd=None):
        """Converts the mail of the files, or the kinds an --only option names."""
        def lower_limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        kinds = () if "--only" in options else ("--only", "mail")
        return subprocess.run([self.mailferry, "convert", *files, "--out", out, *kinds, *options],
                              capture_output=True, cwd=cwd, preexec_fn=lower_limit if limit else None)

    def mail_count(self, pst, kinds=("mail", "store root")):
        """The items of the folders of the kinds that the converter takes (mail by default), by `mailferry list`."""
        listing = json.loads(subprocess.run([self.mailferry, "list", "--json", pst], capture_output=True,
                                            check=True).stdout)
        return sum(f["itemCount"] for entry in listing["files"] for f in entry.get("folders", [])
                   if f["kind"] in kinds)


def manifest_mail_count(manifest, of_kind=lambda container_class: container_class not in NOT_MAIL_CLASSES):
    """Items of the manifest that lie in folders of the IPM subtree (the tree the converter walks) whose container
    class is of the kind: mail unless told otherwise."""
    folders = {f["path"]: f for f in manifest["folders"]}

    def is_wanted(path):
        parts = path.split("/")
        for depth in range(2, len(parts) + 1):
            folder = folders.get("/".join(parts[:depth]))
            if folder is None or folder.get("is_search_folder"):
                return False
            if folder.get("container_class") in SKIPPED_WITH_CHILDREN:
                return False
        return of_kind(folders[path].get("container_class"))
    return sum(1 for item in manifest["items"] if item.get("in_ipm_subtree") and is_wanted(item["folder"]))


def report_of(result):
    text = result.stdout.decode("utf-8", "replace")
    processed = sum(int(n) for n in re.findall(r"^Processed Items Count: (\d+) $", text, re.M))
    skipped = sum(int(n) for n in re.findall(r"corrupt emails \(details could not be fetched\): (\d+)$", text, re.M))
    return text, processed, skipped


def entries(root):
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            yield os.path.join(folder, name)


def mailbox_files(out, target, fmt):
    mails = os.path.join(out, "Mails") if target in ("apple", "thunderbird") else out
    if target == "archive":
        mails = os.path.join(out, "Outlook PST Export.rge", "Mail")
    found = []
    for path in entries(mails):
        if not os.path.isfile(path) or os.path.basename(path).startswith("Detailed Log Report "):
            continue
        found.append(path)
    return sorted(found)


def check_layout(checks, out, target, fmt, what):
    logs = glob.glob(os.path.join(glob.escape(out), "Detailed Log Report *.txt"))
    checks.expect(len(logs) == 1, f"{what}: one log file beside the output, found {logs}")
    real_out = os.path.realpath(out)
    for path in entries(out):
        checks.expect(not os.path.islink(path), f"{what}: a link in the output: {path}")
        checks.expect(os.path.realpath(path).startswith(real_out + os.sep), f"{what}: outside the output: {path}")
    files = mailbox_files(out, target, fmt)
    if fmt == "eml":
        checks.expect(all(f.endswith(".eml") for f in files), f"{what}: only EML files")
    elif target == "apple":
        checks.expect(all(os.path.basename(f) == "mbox" and f.endswith(".mbox/mbox") for f in files),
                      f"{what}: Apple mailboxes are NAME.mbox/mbox")
    elif target == "thunderbird":
        for path in entries(os.path.join(out, "Mails")):
            if os.path.isdir(path):
                checks.expect(path.endswith(".sbd") and os.path.isfile(path[:-4]),
                              f"{what}: Thunderbird folder without its mailbox file: {path}")
    else:
        checks.expect(all(f.endswith(".mbox") for f in files), f"{what}: mailboxes end in .mbox")
    if target == "archive":
        package = os.path.join(out, "Outlook PST Export.rge")
        with open(os.path.join(package, "Contents", "Info.plist"), "rb") as plist:
            checks.expect(plistlib.load(plist).get("CFBundleName") == "Outlook PST Export", f"{what}: Info.plist")
        with open(os.path.join(package, "Contents", "PkgInfo"), "rb") as pkginfo:
            checks.expect(len(pkginfo.read()) == 8, f"{what}: PkgInfo holds eight characters")
        for part in ("Archive.xml", "Mail", "Contacts", "Calendar"):
            checks.expect(os.path.exists(os.path.join(package, part)), f"{what}: package lacks {part}")
    return logs[0] if logs else None


def read_message(checks, data, what, parse=True):
    if not parse:
        return
    message = email.message_from_bytes(data, policy=email.policy.default)
    try:
        str(message["subject"] or "")
        for part in message.walk():
            if not part.is_multipart() and part.get_content_maintype() in ("text", "application", "image"):
                part.get_content()
            checks.expect(not part.defects, f"{what}: {part.defects}")
    except Exception as error:  # any failure to read it is a finding
        checks.expect(False, f"{what}: {error!r}")


def check_mboxes(checks, tools, paths, what, parse=True):
    count = 0
    for path in paths:
        with open(path, "rb") as f:
            head = f.read(5)
        checks.expect(head in (b"", b"From "), f"{what}: {path} does not start with a From line")
        box = mailbox.mbox(path, create=False)
        for key in box.iterkeys():
            read_message(checks, box.get_bytes(key), f"{what}: {path} message {key}", parse)
            count += 1
        box.close()
    if tools.doveadm and paths:
        checks.expect(doveadm_count(tools, paths) == count, f"{what}: Dovecot counts other messages than Python")
    return count


def doveadm_count(tools, paths):
    """All mailboxes in one private mbox root, counted by Dovecot (as user nobody when run as root)."""
    base = tempfile.mkdtemp(dir=tools.work, prefix="dovecot-")
    root, control, inbox, config = (os.path.join(base, name) for name in ("mail", "control", "inbox", "dovecot.conf"))
    os.makedirs(root)
    os.makedirs(control)
    for n, path in enumerate(paths):
        shutil.copyfile(path, os.path.join(root, f"box{n:05d}"))
    open(inbox, "w").close()
    with open(config, "w") as f:
        f.write(f"mail_location = mbox:{root}:INBOX={inbox}:INDEX=MEMORY:CONTROL={control}\nssl = no\n")
    for folder, dirs, files in os.walk(base):
        os.chmod(folder, 0o777 if folder == control else 0o755)
        for name in files:
            os.chmod(os.path.join(folder, name), 0o644)
    command = [tools.doveadm, "-c", config, "mailbox", "status", "-t", "messages", "*"]
    if os.geteuid() == 0:
        command = ["runuser", "-u", "nobody", "--", "env", f"HOME={base}", "USER=nobody"] + command
    result = subprocess.run(command, capture_output=True, env=dict(os.environ, HOME=base))
    shutil.rmtree(base)
    match = re.search(rb"messages=(\d+)", result.stdout)
    if result.returncode != 0 or not match:
        print(result.stderr.decode(errors="replace")[-1000:], flush=True)
        return -1
    return int(match.group(1))


def check_emls(checks, paths, what, parse=True):
    for path in paths:
        with open(path, "rb") as f:
            read_message(checks, f.read(), f"{what}: {path}", parse)
    return len(paths)


def check_log(checks, log, report, what):
    with open(log, "rb") as f:
        data = f.read()
    checks.expect(data.startswith(b"\xff\xfe"), f"{what}: the log starts with a byte-order mark")
    text = data.decode("utf-16-le").replace("\ufeff", "").replace("\r\n", "\n")
    lines = iter(text.split("\n"))
    for line in report.split("\n"):
        if line and not any(line == log_line for log_line in lines):
            checks.expect(False, f"{what}: report line not in the log (in order): {line!r}")
            return


def convert_and_check(checks, tools, pst, target, fmt, expected, extra=(), expect_codes=(0, 3), parse=True):
    """Converts and checks; `parse` False counts the messages without reading each one through Python's email
    (the targets write the same message text, only laid out differently)."""
    what = f"{os.path.basename(pst)} {target}/{fmt} {' '.join(extra)}"
    out = tempfile.mkdtemp(dir=tools.work, prefix="out-")
    result = tools.convert([pst], out, "--target", target, "--format", fmt, "--quiet", *extra)
    report, processed, skipped = report_of(result)
    checks.expect(result.returncode in expect_codes, f"{what}: exit {result.returncode}: {result.stderr[-500:]}")
    checks.expect(processed + skipped == expected,
                  f"{what}: {processed} written + {skipped} skipped, {expected} mails in the store")
    log = check_layout(checks, out, target, fmt, what)
    files = mailbox_files(out, target, fmt)
    written = (check_emls(checks, files, what, parse) if fmt == "eml" else
               check_mboxes(checks, tools, files, what, parse))
    checks.expect(written == processed, f"{what}: {written} messages on disk, the report says {processed}")
    if log:
        check_log(checks, log, report.split("\n\n" + footer_start(target))[0], what)
    shutil.rmtree(out)
    print(f"ok {what}: {processed} mails, {skipped} skipped", flush=True)


def footer_start(target):
    return {"apple": "Converted data", "thunderbird": "Converted Thunderbird", "archive": "Exported RGE",
            "files": "Exported items"}[target]


def part_corpus(checks, tools, corpus):
    for pst in sorted(glob.glob(os.path.join(corpus, "*.pst"))):
        if os.path.basename(pst) == "corrupt-header.pst":
            continue
        with open(pst[:-4] + ".json") as f:
            expected = manifest_mail_count(json.load(f))
        checks.expect(tools.mail_count(pst) == expected, f"{pst}: the folder counts disagree with the manifest")
        for target, fmt in TARGETS:
            convert_and_check(checks, tools, pst, target, fmt, expected)


def written_store(tools, name, *command):
    path = os.path.join(tools.work, name)
    if not os.path.exists(path):
        subprocess.run([tools.pstwrite, *command, path], check=True)
    return path


def part_written(checks, tools):
    stores = [
        written_store(tools, "ansi.pst", "generate", "--format", "ansi", "--folders", "6", "--messages", "2000",
                      "--body-bytes", "1K", "--attachment-bytes", "3K", "--seed", "3"),
        written_store(tools, "unicode.pst", "generate", "--format", "unicode", "--crypt", "cyclic", "--folders", "5",
                      "--messages", "2000", "--body-bytes", "1K", "--attachment-bytes", "3K", "--seed", "4"),
        written_store(tools, "nested-ansi.pst", "fixture", "nested", "--format", "ansi"),
        written_store(tools, "hostile.pst", "fixture", "hostile-names"),
    ]
    # Every message is read through Python's email in the separate-files target; the other layouts hold the
    # same texts and are counted.
    for pst in stores:
        expected = tools.mail_count(pst)
        for target, fmt in TARGETS:
            convert_and_check(checks, tools, pst, target, fmt, expected, parse=target == "files")
    convert_and_check(checks, tools, stores[0], "files", "mbox", tools.mail_count(stores[0]),
                      ("--split-mbox", "1", "--read-unread"), parse=False)
    convert_and_check(checks, tools, stores[1], "files", "eml", tools.mail_count(stores[1]), ("--read-unread",),
                      parse=False)


def hostile_names_stay_inside(checks, tools):
    pst = written_store(tools, "hostile.pst", "fixture", "hostile-names")
    sandbox = tempfile.mkdtemp(dir=tools.work, prefix="sandbox-")
    with open(os.path.join(sandbox, "bystander"), "w") as f:
        f.write("keep")
    for target, fmt in TARGETS:
        out = os.path.join(sandbox, "out")
        before = sorted(entries(sandbox))
        result = tools.convert([pst], out, "--target", target, "--format", fmt, "--quiet", cwd=sandbox)
        checks.expect(result.returncode == 3, f"hostile {target}/{fmt}: exit {result.returncode}")
        after = sorted(p for p in entries(sandbox) if not p.startswith(out + os.sep) and p != out)
        checks.expect(after == [p for p in before if p != out], f"hostile {target}/{fmt}: wrote outside the output")
        names = {os.path.basename(p) for p in entries(out)}
        for name in ("_..", "_.", "_", "a\u2215b- c"):
            checks.expect(any(n in (name, name + ".mbox", name + ".sbd") for n in names),
                          f"hostile {target}/{fmt}: no folder {name!r}")
        shutil.rmtree(out)
    with open(os.path.join(sandbox, "bystander")) as f:
        checks.expect(f.read() == "keep", "hostile: a file beside the output changed")


def part_failures(checks, tools, corpus):
    store = written_store(tools, "failing.pst", "generate", "--format", "unicode", "--folders", "3", "--messages",
                          "300", "--body-bytes", "2K", "--attachment-bytes", "20K", "--seed", "5")
    # Large enough that a run lasts far longer than the test takes to press Ctrl-C.
    long_store = written_store(tools, "long.pst", "generate", "--format", "unicode", "--folders", "4", "--messages",
                               "3000", "--body-bytes", "1K", "--attachment-bytes", "3K", "--seed", "6")
    demo = written_store(tools, "demo.pst", "demo")

    # A file-size limit: the write that passes it fails, the run ends with code 2, what was written stays whole.
    limit = 128 * 1024
    out = tempfile.mkdtemp(dir=tools.work, prefix="limit-")
    result = tools.convert([store], out, "--quiet", limit=limit)
    report, processed, _ = report_of(result)
    checks.expect(result.returncode == 2, f"size limit: exit {result.returncode}")
    checks.expect(FILE_FAILURE in report and RUN_FAILURE in report, "size limit: the file-failure lines")
    files = mailbox_files(out, "files", "mbox")
    checks.expect(all(os.path.getsize(f) <= limit for f in files), "size limit: a file passed the limit")
    in_files = check_mboxes(checks, tools, files, "size limit")
    checks.expect(in_files == processed and processed > 0, "size limit: the mailboxes hold exactly the messages counted")

    # Ctrl-C on a terminal, once items are written: the run stops after the item in progress and keeps what it
    # wrote. (The second Ctrl-C, which ends the program at once, is checked in the process by the unit tests.)
    out = tempfile.mkdtemp(dir=tools.work, prefix="cancel-")
    code, stdout = interrupted_run(tools, long_store, out)
    report, processed, _ = report_of(subprocess.CompletedProcess([], code, stdout, b""))
    checks.expect(code == 1 and "Operation aborted !!!" in report, f"cancel: exit {code}")
    checks.expect(0 < processed < 3000, f"cancel: {processed} of 3000 written")
    files = mailbox_files(out, "files", "eml")
    checks.expect(check_emls(checks, files, "cancel") == processed, "cancel: files and report disagree")

    # A B-tree that breaks during the walk ends the run with the corrupt-file text.
    broken = written_store(tools, "broken.pst", "fixture", "broken-index")
    result = tools.convert([broken], tempfile.mkdtemp(dir=tools.work, prefix="broken-"), "--quiet")
    report, processed, _ = report_of(result)
    checks.expect(result.returncode == 2 and CORRUPT_PST in report and "Operation completed" not in report,
                  f"broken B-tree: exit {result.returncode}")

    # A file that cannot be loaded, and one that does not exist: one line each; the other file converts.
    out = tempfile.mkdtemp(dir=tools.work, prefix="unloadable-")
    missing = os.path.join(tools.work, "missing.pst")
    result = tools.convert([os.path.join(corpus, "corrupt-header.pst"), missing, demo], out, "--quiet")
    errors = result.stderr.decode().splitlines()
    checks.expect(result.returncode == 2 and len(errors) == 2 and
                  all(line.startswith("Failed to load following PST file: ") for line in errors),
                  f"unloadable files: exit {result.returncode}, {errors}")
    checks.expect(report_of(result)[1] == tools.mail_count(demo), "unloadable files: the demo store converts")

    # An output folder that cannot be written.
    result = tools.convert([demo], os.path.join(demo, "below-a-file"), "--quiet")
    checks.expect(result.returncode == 2 and RUN_FAILURE in report_of(result)[0], "unwritable output: exit 2")

    hostile_names_stay_inside(checks, tools)


PIM_CLASSES = {"IPF.Contact", "IPF.Appointment"}
PIM_RUNS = [(target, fmt, ()) for target, fmt in TARGETS] + [
    ("files", "mbox", ("--merge-contacts", "--merge-events")), ("files", "eml", ("--merge-contacts", "--merge-events"))]
# The sample files' series are known in this zone; the written stores keep UTC wall times.
CORPUS_ZONE = "America/Los_Angeles"


def pim_totals(text):
    def total(pattern):
        return sum(int(n) for n in re.findall(pattern, text, re.M))
    return {"contacts": total(r"^Total number of contacts processed: (\d+)$"),
            "events": total(r"^Total number of calendar items processed: (\d+)$"),
            "references": total(r"^Total number of emails processed: (\d+)$"),
            "processed": total(r"^Processed Items Count: (\d+) $"),
            "skipped": total(r"corrupt (?:contacts|calendar events) \(details could not be fetched\): (\d+)$")}


def read_vcards(checks, path, target, what):
    """The cards of one file, each read by vobject; the Apple and archive notes are quoted-printable, which vobject
    cannot read, so they are cut out first. Returns the number of cards."""
    try:
        text = open(path, "rb").read().decode("utf-8")
    except UnicodeDecodeError as error:
        checks.expect(False, f"{what}: {path} is not UTF-8: {error}")
        return 0
    cards = re.findall(r"(?is)begin:vcard\r\n.*?\r\nend:vcard", text)
    checks.expect(len(cards) == text.lower().count("begin:vcard"), f"{what}: {path}: a card without its end")
    for card in cards:
        if target in ("apple", "archive"):
            card = split_quoted_printable_note(card + "\r\n")[0]
        try:
            parsed = list(vobject.readComponents(card))
            checks.expect(len(parsed) == 1 and parsed[0].name == "VCARD", f"{what}: {path}: not one card")
        except Exception as error:  # any parse failure loses the contact
            checks.expect(False, f"{what}: {path}: vobject: {error!r}")
    if target not in ("apple", "archive") and cards:
        try:
            checks.expect(len(list(vobject.readComponents(text))) == len(cards), f"{what}: {path}: vobject count")
        except Exception as error:
            checks.expect(False, f"{what}: {path}: vobject reads the whole file: {error!r}")
    return len(cards)


def read_calendars(checks, path, what):
    """The events of one file, read by icalendar (a file may hold several calendars) and by vobject."""
    text = open(path, "rb").read().decode("utf-8")
    try:
        calendars = icalendar.Calendar.from_ical(text, multiple=True)
        checks.expect(len(list(vobject.readComponents(text))) == len(calendars), f"{what}: {path}: vobject count")
    except Exception as error:  # any parse failure loses the events
        checks.expect(False, f"{what}: {path}: {error!r}")
        return []
    checks.expect(len(calendars) == text.count("BEGIN:VCALENDAR") == text.count("END:VCALENDAR"),
                  f"{what}: {path}: calendars without their end")
    return [event for c in calendars for event in expand_icalendar(c.to_ical().decode())]


def check_series(checks, events, summary, want_master, want_moved, what):
    """A series' occurrences as the readers expand them: the rule minus its exclusions, and the moved events."""
    series = [e for e in events if str(e[2].get("SUMMARY", "")) == summary]
    master, moved = all_occurrences(series)
    checks.expect(master == want_master, f"{what}: {summary}: occurrences {master[:6]}")
    checks.expect(sorted(moved) == sorted(want_moved), f"{what}: {summary}: moved occurrences {moved}")


def convert_pim(checks, tools, psts, target, fmt, extra, expected, zone, series=()):
    what = f"{' + '.join(os.path.basename(p) for p in psts)} {target}/{fmt} {' '.join(extra)}"
    out = tempfile.mkdtemp(dir=tools.work, prefix="pim-")
    result = tools.convert(psts, out, "--target", target, "--format", fmt, "--only", "contacts,calendar",
                           "--timezone", zone, "--quiet", *extra)
    report = result.stdout.decode("utf-8", "replace")
    totals = pim_totals(report)
    checks.expect(result.returncode in (0, 3), f"{what}: exit {result.returncode}: {result.stderr[-500:]}")
    checks.expect(totals["processed"] == totals["contacts"] + totals["events"], f"{what}: totals disagree")
    checks.expect(totals["processed"] + totals["skipped"] == expected,
                  f"{what}: {totals['processed']} written + {totals['skipped']} skipped, {expected} in the store")
    logs = glob.glob(os.path.join(glob.escape(out), "Detailed Log Report *.txt"))
    checks.expect(len(logs) == 1, f"{what}: one log file beside the output, found {logs}")
    files = [p for p in entries(out) if os.path.isfile(p) and p not in logs]
    checks.expect(not any(os.path.islink(p) for p in entries(out)), f"{what}: a link in the output")
    names = {p: os.path.basename(p) for p in files}

    cards = sum(read_vcards(checks, p, target, what) for p, n in names.items()
                if n.endswith(".vcf") or n.startswith("OUTLOOKEXPORTEDADR"))
    checks.expect(cards == totals["contacts"], f"{what}: {cards} cards on disk, the report says {totals['contacts']}")

    calendars = [p for p, n in names.items() if n.endswith(".ics") or n.startswith("OUTLOOKEXPORTEDCAL")]
    events = [e for p in calendars for e in read_calendars(checks, p, what)]
    checks.expect(len(events) >= totals["events"], f"{what}: {len(events)} events for {totals['events']} items")
    if target in ("apple", "thunderbird") and totals["events"]:
        shared = [p for p in calendars if names[p] == "Calendar.ics"]
        checks.expect(len(shared) == 1 and len(calendars) == 1, f"{what}: one shared calendar, found {calendars}")
        text = open(shared[0], "rb").read().decode("utf-8") if shared else ""
        checks.expect(text.startswith("BEGIN:VCALENDAR\r\n") and text.endswith("\r\nEND:VCALENDAR\r\n") and
                      text.count("BEGIN:VCALENDAR") == text.count("END:VCALENDAR") == 1,
                      f"{what}: the shared calendar has one header and one end")
    for summary, want_master, want_moved in series:
        check_series(checks, events, summary, want_master, want_moved, what)

    emls = [p for p, n in names.items() if n.endswith(".eml")]
    mailboxes = [p for p, n in names.items() if n == "mbox" or n.endswith(".mbox") or n == "Calendar References"]
    references = check_emls(checks, emls, what) + check_mboxes(checks, tools, mailboxes, what)
    checks.expect(references == totals["references"],
                  f"{what}: {references} reference mails on disk, the report says {totals['references']}")
    shutil.rmtree(out)
    print(f"ok {what}: {totals['contacts']} contacts, {totals['events']} appointments, {totals['references']} "
          f"reference mails, {totals['skipped']} skipped", flush=True)


def utc_keys(days, hour, minute=0):
    return [key(dt.datetime.combine(d, dt.time(hour, minute), tzinfo=dt.timezone.utc)) for d in days]


def part_pim(checks, tools, corpus):
    la = ZoneInfo(CORPUS_ZONE)
    tuesdays = [dt.date(2016, 8, 2) + dt.timedelta(weeks=w) for w in range(HORIZON_DAYS // 7 + 1)]
    # The sample file's one series, every Tuesday at 08:00, three dates excluded and two of them moved.
    known = {"recurring-distlist.pst": [(
        "Test appointment",
        [key(dt.datetime.combine(d, dt.time(8), tzinfo=la)) for d in tuesdays
         if d not in (dt.date(2016, 8, 9), dt.date(2016, 8, 23), dt.date(2016, 8, 30))
         and d < dt.date(2016, 8, 2) + dt.timedelta(days=HORIZON_DAYS)],
        [key(dt.datetime(2016, 8, 23, 9, tzinfo=la)), key(dt.datetime(2016, 8, 30, 10, tzinfo=la))])]}
    for pst in sorted(glob.glob(os.path.join(corpus, "*.pst"))):
        if os.path.basename(pst) == "corrupt-header.pst":
            continue
        with open(pst[:-4] + ".json") as f:
            expected = manifest_mail_count(json.load(f), lambda container_class: container_class in PIM_CLASSES)
        if expected == 0:
            continue
        checks.expect(tools.mail_count(pst, ("contacts", "calendar")) == expected,
                      f"{pst}: the contact and calendar folder counts disagree with the manifest")
        for target, fmt, extra in PIM_RUNS:
            convert_pim(checks, tools, [pst], target, fmt, extra, expected, CORPUS_ZONE,
                        known.get(os.path.basename(pst), []))

    # Two stores in one run: one shared calendar and contacts file, one reference mailbox or folder.
    stores = [written_store(tools, "pim-unicode.pst", "fixture", "pim"),
              written_store(tools, "pim-ansi.pst", "fixture", "pim", "--format", "ansi")]
    expected = sum(tools.mail_count(p, ("contacts", "calendar")) for p in stores)
    tuesdays = [dt.date(2024, 3, 5) + dt.timedelta(weeks=w) for w in range(6) if w != 1]
    # Each store holds the series; both masters expand alike, and each brings its moved occurrence.
    weekly = ("Weekly sync", utc_keys(tuesdays, 9), utc_keys([dt.date(2024, 3, 12)] * 2, 11))
    for target, fmt, extra in PIM_RUNS:
        convert_pim(checks, tools, stores, target, fmt, extra, expected, "UTC", [weekly])

    # A generated store with many contacts and appointments, weekly series among them.
    generated = written_store(tools, "pim-generated.pst", "generate", "--format", "unicode", "--folders", "1",
                              "--messages", "2000", "--body-bytes", "1K", "--attachment-bytes", "1K", "--seed", "7")
    expected = tools.mail_count(generated, ("contacts", "calendar"))
    for target, fmt, extra in PIM_RUNS:
        convert_pim(checks, tools, [generated], target, fmt, extra, expected, "UTC")

    # A file-size limit the reference mailbox reaches first: the run ends with code 2, and the cards, events and
    # mails written before stay whole.
    out = tempfile.mkdtemp(dir=tools.work, prefix="pim-limit-")
    limit = 64 * 1024
    result = tools.convert([generated], out, "--only", "contacts,calendar", "--merge-contacts", "--merge-events",
                           "--timezone", "UTC", "--quiet", limit=limit)
    report = result.stdout.decode("utf-8", "replace")
    checks.expect(result.returncode == 2 and FILE_FAILURE in report and RUN_FAILURE in report,
                  f"pim size limit: exit {result.returncode}")
    written = [p for p in entries(out) if os.path.isfile(p) and not os.path.basename(p).startswith("Detailed")]
    checks.expect(all(os.path.getsize(p) <= limit for p in written), "pim size limit: a file passed the limit")
    totals = pim_totals(report)
    cards = sum(read_vcards(checks, p, "files", "pim size limit") for p in written if p.endswith(".vcf"))
    checks.expect(cards == totals["contacts"] > 0, "pim size limit: cards and report disagree")
    events = [e for p in written if p.endswith(".ics") for e in read_calendars(checks, p, "pim size limit")]
    checks.expect(len(events) >= totals["events"] > 0, "pim size limit: events and report disagree")
    mails = check_mboxes(checks, tools, [p for p in written if p.endswith(".mbox")], "pim size limit")
    checks.expect(mails == totals["references"], "pim size limit: reference mails and report disagree")


def interrupted_run(tools, store, out):
    """Runs a conversion with a terminal on stderr and presses Ctrl-C once the progress bar shows written items."""
    leader, follower = pty.openpty()
    process = subprocess.Popen([tools.mailferry, "convert", store, "--out", out, "--format", "eml", "--only", "mail"],
                               stdout=subprocess.PIPE, stderr=follower, stdin=subprocess.DEVNULL)
    os.close(follower)
    seen = b""
    while not re.search(rb"items [1-9]", seen):
        ready, _, _ = select.select([leader], [], [], 60)
        if not ready:
            break
        try:
            seen += os.read(leader, 4096)
        except OSError:
            break
    process.send_signal(signal.SIGINT)
    stdout, _ = process.communicate(timeout=120)
    os.close(leader)
    return process.returncode, stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--part", required=True, choices=["corpus", "written", "failures", "pim"])
    parser.add_argument("--mailferry", required=True)
    parser.add_argument("--pstwrite", required=True)
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--doveadm")
    args = parser.parse_args()
    args.work = os.path.join(os.path.abspath(args.work), args.part)
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    os.chmod(args.work, 0o755)
    tools = Tools(args)
    if not tools.doveadm:
        print("doveadm not found: MBOX files are read by Python only", flush=True)
    checks = Checks()
    if args.part == "corpus":
        if not glob.glob(os.path.join(args.corpus, "*.pst")):
            print("no corpus; skipped")
            return 0
        part_corpus(checks, tools, args.corpus)
    elif args.part == "written":
        part_written(checks, tools)
    elif args.part == "pim":
        part_pim(checks, tools, args.corpus)
    else:
        part_failures(checks, tools, args.corpus)
    if checks.failures:
        print(f"{len(checks.failures)} failures", flush=True)
        return 1
    shutil.rmtree(args.work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

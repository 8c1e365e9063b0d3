#!/usr/bin/python3
"""Every contact of the sample files and of the vCard fixtures, printed by `mailferry show` in the three targets,
read back by parsers that are not ours: Python's vobject and ical.js (Thunderbird's parser).

- plain: vobject parses the card, and FN, N, EMAIL, TEL, ADR, ORG, CATEGORIES, NOTE and PHOTO hold what the reader
  returns (reader_dump prints that); ical.js parses it and finds the same FN and e-mail addresses.
- apple, archive: vobject parses every line but the quoted-printable note, and that note decodes to the expected
  text.
"""

import argparse
import base64
import datetime
import json
import os
import quopri
import re
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import vobject

ICALJS = "ical.js@2.2.1"
TARGETS = ("plain", "apple", "archive")

PHONES = [("3A1A", ["pref"]), ("3A09", ["home"]), ("3A2F", ["home"]), ("3A1C", ["cell"]), ("3A1E", ["car"]),
          ("3A21", ["pager"]), ("3A2D", ["isdn"]), ("3A25", ["fax", "home"]), ("3A57", ["work", "pref"]),
          ("3A08", ["work"]), ("3A1B", ["work"]), ("3A23", ["fax", "pref"]), ("3A24", ["fax", "work"])]

# The fields that go to the note unless the target has a line for them: (source, label, archive line, Apple line).
EXTRAS = [("3A43", "Hobbies: ", True, False), ("3A30", "Assistant: ", True, True),
          ("gender", "Gender: ", True, False), ("anniversary", "Anniversary: ", True, True),
          ("3A48", "Spouse Name: ", True, True), ("children", "Children: ", True, False),
          ("3A4E", "Manager: ", True, True), ("3A00", "Account: ", False, False),
          ("3A2E", "Assistant Telephone Number: ", True, True), ("Billing", "Billing Information: ", False, False),
          ("3A4A", "Customer ID: ", False, False), ("3A4C", "FTP Site: ", False, False),
          ("3A07", "Government ID Number: ", False, False), ("3A0C", "Language: ", False, False),
          ("3A0D", "Location: ", False, False), ("3A19", "Office Location: ", False, False),
          ("3A10", "Organizational ID Number: ", False, False), ("3A02", "Callback Telephone Number: ", False, True),
          ("3A1D", "Radio Telephone Number: ", False, True), ("3A1F", "Other Telephone Number: ", False, True),
          ("3A47", "Preferred By Name: ", False, False), ("3A2C", "Telex Number: ", False, True),
          ("3A4B", "TTY/TDD Phone: ", False, True)]


def subject(c):
    """The subject without its prefix marker (U+0001 and the prefix length)."""
    text = c["tags"].get("0037", "")
    return text[2:] if text.startswith("\x01") else text


def day(seconds):
    return datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc).strftime("%Y-%m-%d")


def named_text(c, lid):
    return c["named"].get(lid, "")


def anniversary(c):
    if "80DF" in c["named_times"]:
        return day(c["named_times"]["80DF"])
    if "3A41" in c["times"]:
        return day(c["times"]["3A41"] + 12 * 3600)
    return ""


def extra_value(c, source):
    if source == "gender":
        return {1: "Female", 2: "Male"}.get(c["numbers"].get("3A4D"), "")
    if source == "anniversary":
        return anniversary(c)
    if source == "Billing":
        return named_text(c, "Billing")
    return c["tags"].get(source, "")


def note_entries(c, target):
    entries = []
    for source, label, archive_line, apple_line in EXTRAS:
        if source == "children":
            children = c["tag_lists"].get("3A58")
            if children is not None and target != "archive":
                entries.append(label + ", ".join(children))
            continue
        value = extra_value(c, source)
        if value and not (target == "archive" and archive_line) and not (target == "apple" and apple_line):
            entries.append(label + value)
    return "\r\n".join(entries)


def expected_note(c, target):
    extra = note_entries(c, target)
    if not extra and c["body"] is None:
        return None
    return (extra + "\r\n" if extra else "") + (c["body"] or "")


def expected_emails(c):
    emails = []
    for kind, address, display in (("8082", "8083", "8084"), ("8092", "8093", "8094"), ("80A2", "80A3", "80A4")):
        if named_text(c, kind) not in ("", "SMTP"):
            name = named_text(c, display)
            at = name.find("@")
            if at >= 0 and "." in name[at + 1:]:
                emails.append(name)
        elif named_text(c, address):
            emails.append(named_text(c, address))
    return emails


def expected_addresses(c):
    t, preferred = c["tags"], c["named_numbers"].get("8022")
    addresses = [
        ("home", 1, [t.get(k, "") for k in ("3A5E", "", "3A5D", "3A59", "3A5C", "3A5B", "3A5A")]),
        ("work", 2, [named_text(c, k) for k in ("804A", "", "8045", "8046", "8047", "8048", "8049")]),
        ("postal", 3, [t.get(k, "") for k in ("3A64", "", "3A63", "3A5F", "3A62", "3A61", "3A60")]),
    ]
    return sorted((sorted([kind] + (["pref"] if preferred == pid else [])), parts)
                  for kind, pid, parts in addresses if any(parts))


def expected(c, target):
    t = c["tags"]
    name = [t.get(k, "") for k in ("3A11", "3A06", "3A44", "3A45", "3A05")]
    org = [t.get("3A16", "")] + ([t["3A18"]] if t.get("3A18") else [])  # vobject drops an empty last unit
    phones = [(sorted(kinds), t[tag]) for tag, kinds in PHONES if t.get(tag)]
    if target == "archive" and t.get("3A2E"):
        phones.append((["assistant"], t["3A2E"]))
    return {
        "fn": subject(c) or None,
        "n": name if any(name) else None,
        "email": expected_emails(c),
        "tel": sorted(phones),
        "adr": expected_addresses(c),
        "org": org if any(org) else None,
        "categories": c["named_lists"].get("Keywords") or None,
        "photo": base64.b64decode(c["photo"]) if c["photo"] is not None else None,
    }


def joined(value):
    return ",".join(value) if isinstance(value, list) else value


def found(card):
    """The same fields as vobject reads them."""
    def lines(name):
        return [line for line in card.contents.get(name, []) if line.group is None]

    def one(name):
        return lines(name)[0].value if lines(name) else None

    n, org, photo = one("n"), one("org"), one("photo")
    return {
        "fn": one("fn"),
        "n": [joined(getattr(n, k)) for k in ("family", "given", "additional", "prefix", "suffix")] if n else None,
        "email": [line.value for line in lines("email")],
        "tel": sorted((sorted(line.params.get("TYPE", [])), line.value) for line in lines("tel")),
        "adr": sorted((sorted(line.params.get("TYPE", [])),
                       [joined(getattr(line.value, k)) for k in
                        ("box", "extended", "street", "city", "region", "code", "country")]) for line in lines("adr")),
        "org": org,
        "categories": one("categories"),
        "photo": photo,
    }


def line_breaks_as_lf(text):
    return re.sub(r"\r\n|\r|\n", "\n", text)


def split_quoted_printable_note(text):
    """The card without its quoted-printable note, and the note's encoded text."""
    lines = text.split("\r\n")
    start = next((i for i, line in enumerate(lines) if line.startswith("note;") and "quoted-printable" in line), None)
    if start is None:
        return text, None
    end = next(i for i in range(start + 1, len(lines)) if lines[i].startswith(("photo;", "end:vcard")))
    return "\r\n".join(lines[:start] + lines[end:]), "\r\n".join(lines[start + 1:end])


def check_card(text, c, target):
    """The differences between what vobject reads and what the reader returned."""
    problems = []
    rest, encoded_note = split_quoted_printable_note(text) if target != "plain" else (text, None)
    try:
        cards = list(vobject.readComponents(rest))
    except Exception as error:  # any parse failure loses the card
        return [f"vobject cannot parse it: {error!r}"]
    if len(cards) != 1 or cards[0].name != "VCARD":
        return [f"vobject finds {len(cards)} components"]
    want, got = expected(c, target), found(cards[0])
    for key in want:
        if want[key] != got[key]:
            problems.append(f"{key}: expected {want[key]!r}, vobject read {got[key]!r}")
    note = expected_note(c, target)
    if target == "plain":
        read = cards[0].contents.get("note", [None])[0]
        read = read.value if read else None
        if (note and line_breaks_as_lf(note)) != read:
            problems.append(f"note: expected {note!r}, vobject read {read!r}")
    else:
        decoded = None
        if encoded_note is not None:
            decoded = quopri.decodestring(encoded_note.encode("ascii")).decode("utf-8")
            decoded = re.sub(r"\\([\\,;])", r"\1", decoded)
        if decoded != note:
            problems.append(f"quoted-printable note: expected {note!r}, decoded {decoded!r}")
    return problems


def ensure_icaljs(prefix):
    package = prefix / "node_modules" / "ical.js" / "package.json"
    wanted = ICALJS.split("@")[1]
    if not package.exists() or json.loads(package.read_text())["version"] != wanted:
        subprocess.run(["npm", "install", "--prefix", str(prefix), "--no-save", "--no-audit", "--no-fund",
                        "--loglevel=error", ICALJS], check=True, stdout=subprocess.DEVNULL)
    return prefix / "node_modules" / "ical.js" / "dist" / "ical.js"


def main():
    parser = argparse.ArgumentParser()
    for flag in ("--mailferry", "--dump", "--corpus", "--work", "--npm-prefix"):
        parser.add_argument(flag, required=True)
    args = parser.parse_args()
    work = Path(args.work)
    (work / "cards").mkdir(parents=True, exist_ok=True)
    env = dict(os.environ, XDG_CONFIG_HOME=str(work / "config"))

    subprocess.run([args.dump, "fixtures", str(work)], check=True)
    files = [(work / "vcard-unicode.pst", 1252), (work / "vcard-cp1251.pst", 1251)]
    files += [(path, 1252) for path in sorted(Path(args.corpus).glob("*.pst")) if path.name != "corrupt-header.pst"]

    jobs = []
    for path, code_page in files:
        dump = subprocess.run([args.dump, "contacts", str(path), str(code_page)], check=True,
                              capture_output=True, text=True)
        for c in json.loads(dump.stdout):
            for target in TARGETS:
                jobs.append((path, code_page, c, target))

    def show(job):
        path, code_page, c, target = job
        result = subprocess.run([args.mailferry, "show", str(path), "--nid", str(c["nid"]), "--target", target,
                                 "--codepage", str(code_page)], capture_output=True, env=env)
        return job, result

    failures, icaljs_cards = [], []
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for (path, code_page, c, target), result in pool.map(show, jobs):
            label = f"{path.name} nid {c['nid']} ({target})"
            if result.returncode != 0:
                failures.append(f"{label}: mailferry show failed: {result.stderr.decode(errors='replace')}")
                continue
            text = result.stdout.decode("utf-8")
            card_file = work / "cards" / f"{path.stem}-{c['nid']}-{target}.vcf"
            card_file.write_bytes(result.stdout)
            failures += [f"{label}: {problem}" for problem in check_card(text, c, target)]
            if target == "plain":
                icaljs_cards.append({"file": str(card_file), "fn": subject(c) or None,
                                     "emails": expected_emails(c)})

    expectations = work / "icaljs-cards.json"
    expectations.write_text(json.dumps(icaljs_cards))
    icaljs = subprocess.run(["node", str(Path(__file__).with_name("vcard_icaljs_check.mjs")),
                             str(ensure_icaljs(Path(args.npm_prefix))), str(expectations)],
                            capture_output=True, text=True)
    if icaljs.returncode != 0:
        failures.append("ical.js: " + (icaljs.stdout + icaljs.stderr).strip())

    for failure in failures:
        print(failure)
    print(f"vCard readers: {len(jobs)} cards of {len(files)} files, {len(icaljs_cards)} read by ical.js")
    print(f"{len(jobs) - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Reads the mail writer's output with independent readers.

Every message of the sample PST files and of stores written by pstwrite (ANSI and Unicode, all three block
encodings, and the mail samples) is written by reader_dump as EML and as one MBOX file, beside what the PST reader
itself returns for it. Python's email package (policy=default) must parse every EML without defects and give back
the reader's subject, sender, recipients, plain text, attachment bytes and names, and attached messages as
message/rfc822 parts with their own headers. Python's mailbox and Dovecot must find every message of the MBOX
file, none merged, with body lines beginning "From " quoted once more. `mailferry show` is read the same way for
the mail samples.

Differences the writer must make, and which the comparisons allow for:
- Stored transport headers are written as they arrived: such a message shows the stored From, To, Cc and
  Subject, compared here with the stored text rather than with the properties.
- A display name or subject with line breaks is written on one line, each break a space.
- Header fields may carry header defects the writer is told to write: an address without SMTP address is
  written as its name and "<>" (an empty address), a non-ASCII file name as an encoded word in quotes beside its
  RFC 2231 form (encoded word inside quoted string, duplicate parameter), and message ids taken from the file
  as they are. Only defects of the message structure fail the check.
"""

import argparse
import email
import email.policy
import email.parser
import json
import mailbox
import os
import re
import shutil
import subprocess
import sys
import tempfile

FROM_LINE = re.compile(r"^>*From ")
SECURE_TYPES = ("multipart/signed", "application/pkcs7-mime", "application/x-pkcs7-mime")


class Checker:
    def __init__(self):
        self.failures = []
        self.messages = 0

    def fail(self, where, text):
        self.failures.append(f"{where}: {text}")


def normalized_text(text):
    text = text.replace("\r\n", "\n").replace("\r", "\n")
    return text.rstrip("\n\x00")


def one_line(text):
    return " ".join(text.replace("\r", " ").replace("\n", " ").split())


def chosen_address(email_address, address_type, first=None, second=None):
    """The address a reader should see: SMTP addresses only, or an SMTP alternative."""
    if email_address and address_type in (None, "", "SMTP"):
        return email_address
    if first:
        return first
    if second and "@" in second and "." in second[second.index("@"):]:
        return second
    return ""


def addresses(header):
    if header is None:
        return []
    return [(one_line(a.display_name), "" if a.addr_spec == "<>" else a.addr_spec) for a in header.addresses]


def leaf_parts(message):
    """The parts of one message level: attached messages are leaves, not descended into."""
    if message.is_multipart() and message.get_content_type() != "message/rfc822":
        for part in message.get_payload():
            yield from leaf_parts(part)
    else:
        yield message


def structure_defects(message):
    found = []
    for part in message.walk():
        found.extend(type(d).__name__ for d in part.defects)
    return found


def stored_headers_used(reader):
    """Whether the writer may write the stored headers: they hold a sender, a subject and a date."""
    stored = reader.get("transport_headers")
    if not stored:
        return None
    names = set()
    for line in stored.replace("\r\n", "\n").split("\n"):
        if line and not line[0].isspace() and ":" in line:
            names.add(line.split(":", 1)[0].strip().lower())
    has_from = "from" in names or not reader.get("from_name")
    has_subject = "subject" in names or not reader.get("subject")
    has_date = "date" in names or "delivery-date" in names
    if not (has_from and has_subject and has_date):
        return None
    return email.parser.HeaderParser(policy=email.policy.default).parsestr(stored)


def check_headers(checker, where, message, reader):
    stored = stored_headers_used(reader)
    if stored is not None:
        for name in ("subject", "from", "to", "cc"):
            got = message[name]
            want = stored[name]
            if (got is None) != (want is None) or (got is not None and one_line(str(got)) != one_line(str(want))):
                checker.fail(where, f"stored {name} {want!r} written as {got!r}")
        return
    subject = reader.get("subject")
    got_subject = message["subject"]
    if subject is None:
        if got_subject is not None:
            checker.fail(where, f"subject {got_subject!r} without one in the file")
    elif got_subject is None or one_line(str(got_subject)) != one_line(subject):
        checker.fail(where, f"subject {subject!r} written as {got_subject!r}")
    if reader.get("from_name"):
        want = [(one_line(reader["from_name"]), chosen_address(reader.get("from_email"), reader.get("from_type")))]
        got = addresses(message["from"])
        if got != want:
            checker.fail(where, f"from {want} read as {got}")
    for kind, name in ((1, "to"), (2, "cc")):
        want = []
        for r in reader["recipients"]:
            if r["kind"] != kind:
                continue
            address = chosen_address(r["email"], r["type"], r["smtp"], r["alternate"])
            want.append((one_line(r["name"] or address), address))
        got = addresses(message[name])
        if got != want:
            checker.fail(where, f"{name} {want} read as {got}")


def check_secure(checker, where, message, reader, dump_dir):
    data_file = reader["attachments"][0]["data"] if reader["attachments"] else None
    if data_file is None:
        return
    with open(os.path.join(dump_dir, data_file), "rb") as f:
        data = f.read()
    if message.get_content_type() == "multipart/signed":
        # The signed entity's body is kept byte for byte after its own content fields.
        body = data.split(b"\r\n\r\n", 1)[1] if b"\r\n\r\n" in data else b""
        if body and body not in message.as_bytes(policy=email.policy.default.clone(linesep="\r\n")):
            checker.fail(where, "signed entity not kept byte for byte")
        if len(message.get_payload()) != 2:
            checker.fail(where, "signed message without its two parts")
    elif message.get_payload(decode=True) != data:
        checker.fail(where, "encrypted data differs")


def check_message(checker, where, message, reader, dump_dir, depth=0):
    check_headers(checker, where, message, reader)
    if message.get_content_type() in SECURE_TYPES and len(reader["attachments"]) == 1:
        check_secure(checker, where, message, reader, dump_dir)
        return
    parts = list(leaf_parts(message))
    plain = reader.get("plain")
    if plain is not None:
        bodies = [p for p in parts if p.get_content_type() == "text/plain" and not p.is_attachment()]
        if not bodies:
            checker.fail(where, "no plain text part")
        elif normalized_text(bodies[0].get_content()) != normalized_text(plain):
            checker.fail(where, f"plain text {plain[:60]!r} read as {bodies[0].get_content()[:60]!r}")
    files = [p for p in parts if p.get_content_type() != "message/rfc822"]
    attached = [p for p in parts if p.get_content_type() == "message/rfc822"]
    for index, attachment in enumerate(reader["attachments"]):
        if (attachment.get("flags") or 0) & 2:
            continue
        at = f"{where} attachment {index}"
        if attachment.get("embedded"):
            inner = attachment["embedded"]
            match = next((p for p in attached
                          if one_line(str(p.get_payload()[0]["subject"] or "")) == one_line(inner.get("subject") or "")),
                         None)
            if match is None:
                checker.fail(at, f"attached message {inner.get('subject')!r} missing")
                continue
            attached.remove(match)
            check_message(checker, at, match.get_payload()[0], inner, dump_dir, depth + 1)
            continue
        if attachment["method"] != 1 or attachment["data"] is None:
            continue
        with open(os.path.join(dump_dir, attachment["data"]), "rb") as f:
            data = f.read()
        name = attachment["long_filename"] if attachment["long_filename"] is not None else attachment["filename"]
        match = next((p for p in files if p.get_payload(decode=True) == data
                      and (not name or p.get_filename() == name)), None)
        if match is None:
            checker.fail(at, f"{name!r} ({len(data)} bytes) missing or changed")
        else:
            files.remove(match)


def quoted(text):
    """The plain text as the MBOX file must hold it: each "From " line, however many ">" before it, gets one more."""
    return "\n".join(">" + line if FROM_LINE.match(line) else line for line in normalized_text(text).split("\n"))


def check_mbox(checker, name, dump_dir, records, use_dovecot):
    written = [r for r in records if "message" in r]
    path = os.path.join(dump_dir, "all.mbox")
    box = mailbox.mbox(path, create=False)
    keys = list(box.keys())
    if len(keys) != len(written):
        checker.fail(name, f"mbox holds {len(keys)} messages, {len(written)} written")
        return
    raw_subjects = []
    for key, record in zip(keys, written):
        where = f"{name} mbox #{record['index']}"
        parsed = email.message_from_bytes(box.get_bytes(key), policy=email.policy.default)
        raw_subjects.append(email.message_from_bytes(box.get_bytes(key))["Subject"])
        if structure_defects(parsed):
            checker.fail(where, f"defects {structure_defects(parsed)}")
        reader = record["message"]
        check_headers(checker, where, parsed, reader)
        plain = reader.get("plain")
        if plain is None or parsed.get_content_type() in SECURE_TYPES:
            continue
        bodies = [p for p in leaf_parts(parsed) if p.get_content_type() == "text/plain" and not p.is_attachment()]
        if bodies and normalized_text(bodies[0].get_content()) != quoted(plain):
            checker.fail(where, f"MBOX text {bodies[0].get_content()[:80]!r}")
    box.close()
    if use_dovecot:
        check_dovecot(checker, name, path, raw_subjects)


def check_dovecot(checker, name, path, raw_subjects):
    home = tempfile.mkdtemp(prefix="mf-dovecot-")
    try:
        os.chmod(home, 0o777)
        box = os.path.join(home, "box.mbox")
        shutil.copyfile(path, box)
        os.chmod(box, 0o666)
        config = os.path.join(home, "dovecot.conf")
        with open(config, "w") as f:
            f.write(f"mail_location = mbox:{home}/mail:INBOX={box}:INDEX=MEMORY\n")
            f.write("log_path = /dev/stderr\n")
        os.chmod(config, 0o644)
        command = ["doveadm", "-f", "json", "-c", config, "fetch", "uid hdr.subject body", "all"]
        if os.geteuid() == 0:
            # Dovecot refuses to read mail as root.
            command = ["runuser", "-u", "nobody", "--", "env", "USER=nobody", f"HOME={home}"] + command
        result = subprocess.run(command, capture_output=True, timeout=120)
        if result.returncode != 0:
            checker.fail(name, f"doveadm failed: {result.stderr.decode(errors='replace')[:300]}")
            return
        fetched = json.loads(result.stdout.decode("utf-8", errors="replace"))
        if len(fetched) != len(raw_subjects):
            checker.fail(name, f"Dovecot finds {len(fetched)} messages, {len(raw_subjects)} written")
            return
        for index, (message, subject) in enumerate(zip(fetched, raw_subjects)):
            if (message.get("hdr.subject") or None) != (subject.strip() if subject else None):
                checker.fail(name, f"Dovecot message {index}: subject {message.get('hdr.subject')!r}, not {subject!r}")
            if any(line.startswith("From ") for line in message.get("body", "").split("\n")):
                checker.fail(name, f"Dovecot message {index}: an unquoted From line")
    finally:
        shutil.rmtree(home, ignore_errors=True)


def dump(args, pst, out_dir, checker):
    os.makedirs(out_dir, exist_ok=True)
    result = subprocess.run([args.dump, "mail", pst, out_dir], capture_output=True, timeout=300)
    if result.returncode != 0:
        return result.stderr.decode(errors="replace").strip()
    with open(os.path.join(out_dir, "messages.jsonl"), encoding="utf-8") as f:
        return [json.loads(line) for line in f]


def check_store(args, checker, pst, use_dovecot):
    name = os.path.basename(pst)
    dump_dir = os.path.join(args.work, name + ".dump")
    records = dump(args, pst, dump_dir, checker)
    if isinstance(records, str):
        if "corrupt" in name:
            return  # refused whole, as it must be
        checker.fail(name, f"cannot be dumped: {records}")
        return
    for record in records:
        where = f"{name} #{record['index']} (node {record['nid']})"
        if "error" in record:
            checker.fail(where, f"writer failed: {record['error']}")
            continue
        checker.messages += 1
        with open(os.path.join(dump_dir, "eml", f"{record['index']}.eml"), "rb") as f:
            raw = f.read()
        message = email.message_from_bytes(raw, policy=email.policy.default)
        defects = structure_defects(message)
        if defects:
            checker.fail(where, f"defects {defects}")
        check_message(checker, where, message, record["message"], dump_dir)
    check_mbox(checker, name, dump_dir, records, use_dovecot)
    return records


def check_show(args, checker, pst, records):
    """`mailferry show` writes the same mail as the writer under test, read the same way."""
    name = os.path.basename(pst)
    for record in records:
        if "message" not in record or not (record["message"].get("class") or "").startswith("IPM.Note"):
            continue
        where = f"{name} show --nid {record['nid']}"
        for extra in ([], ["--mbox"]):
            result = subprocess.run([args.mailferry, "show", pst, "--nid", str(record["nid"])] + extra,
                                    capture_output=True, timeout=60)
            if result.returncode != 0:
                checker.fail(where, f"exit {result.returncode}: {result.stderr.decode(errors='replace')}")
                continue
            text = result.stdout
            if extra:
                if not text.startswith(b"From - ") or b"\r\n" in text.split(b"\n\n", 1)[0]:
                    checker.fail(where, "MBOX entry without its separator or with CR LF headers")
                text = text.split(b"\n", 1)[1]
            message = email.message_from_bytes(text, policy=email.policy.default)
            if structure_defects(message):
                checker.fail(where, f"defects {structure_defects(message)}")
            check_headers(checker, where, message, record["message"])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dump", required=True)
    parser.add_argument("--pstwrite", required=True)
    parser.add_argument("--mailferry", required=True)
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()

    use_dovecot = shutil.which("doveadm") is not None and (os.geteuid() != 0 or shutil.which("runuser") is not None)
    if not use_dovecot:
        print("doveadm (dovecot-core) is not installed: the check needs it", file=sys.stderr)
        return 77
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    stores = []
    for crypt in ("none", "permute", "cyclic"):
        for fmt in ("ansi", "unicode"):
            out = os.path.join(args.work, f"generated-{fmt}-{crypt}.pst")
            subprocess.run([args.pstwrite, "generate", "--format", fmt, "--crypt", crypt, "--folders", "2",
                            "--messages", "9", "--body-bytes", "3K", "--attachments-per-message", "2",
                            "--attachment-bytes", "5K", "--seed", "3", out], check=True)
            stores.append(out)
    samples = []
    for fmt in ("ansi", "unicode"):
        out = os.path.join(args.work, f"mail-samples-{fmt}.pst")
        subprocess.run([args.pstwrite, "mail-samples", "--format", fmt, out], check=True)
        samples.append(out)
    corpus = []
    if os.path.isdir(args.corpus):
        corpus = sorted(os.path.join(args.corpus, n) for n in os.listdir(args.corpus) if n.endswith(".pst"))

    checker = Checker()
    for pst in corpus + stores + samples:
        records = check_store(args, checker, pst, use_dovecot)
        if records and pst in samples:
            check_show(args, checker, pst, records)
    for failure in checker.failures:
        print(failure)
    print(f"{checker.messages} messages from {len(corpus) + len(stores) + len(samples)} files checked, "
          f"{len(checker.failures)} failures")
    return 1 if checker.failures else 0


if __name__ == "__main__":
    sys.exit(main())

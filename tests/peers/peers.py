#!/usr/bin/python3
"""Other contact programs read what Tovanel's vCard export writes, over every file of the vCard corpus, and
calendar programs its birthday calendar.

Usage: peers.py export  --tovanel BIN --corpus DIR --work DIR [--formats F,...]
       peers.py PEER    --corpus DIR --work DIR [--formats F,...] [--allow FILE]
       peers.py khard-names --bench BIN --corpus DIR --work DIR [--allow FILE]
PEER is radicale, vobject, ezvcard, khard, icalendar or khal; khard-names compares khard's names, their
order and its birthdays with Tovanel's list ("tovanel-bench names") and birthday calendar. "export" runs
the real program once per corpus file and format ("tovanel --export OUT --format F FILE", under a German locale) into the work folder, where the peers then
read it. A file Tovanel refuses to export (it reads it only in part, or finds no contact in it) is not a
peer's business; it must be refused in every format alike, with the same message. Prints, per corpus file,
what failed, and exits 1 when anything did; a peer program that is missing is a failure too (the set-up,
scripts/deps.sh, installs them all).
"""

import argparse
import collections
import concurrent.futures
import datetime
import http.client
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

PEER_FORMATS = {
    "radicale": ["vcard3", "vcard4"],
    "vobject": ["vcard3", "vcard4", "vcard21"],
    "ezvcard": ["vcard3", "vcard4", "vcard21"],
    "khard": ["folder"],
    "icalendar": ["ics"],
    "khal": ["ics"],
    "khard-names": ["folder", "ics"],
}
ALL_FORMATS = ["vcard3", "vcard4", "vcard21", "folder", "ics"]
VERSIONS = {"vcard3": "3.0", "vcard4": "4.0", "vcard21": "2.1"}
SKIP = 77


class Failures:
    """What went wrong, grouped by corpus file, printed in the corpus's order."""

    def __init__(self):
        self.by_file = {}

    def add(self, name, text):
        self.by_file.setdefault(name, []).append(text)

    def report(self, label):
        for name in sorted(self.by_file):
            print(f"FAIL {name}:")
            for text in self.by_file[name]:
                print(f"    {text}")
        count = sum(len(texts) for texts in self.by_file.values())
        print(f"{label}: {count} failures in {len(self.by_file)} files" if count else f"{label}: all read")
        return 1 if count else 0


def corpus_files(corpus):
    """The corpus's vCard files as the unit tests take them (tests/support/corpus.h), by relative name."""
    root = Path(corpus)
    files = [p for p in root.rglob("*") if p.is_file() and p.suffix.lower() in (".vcf", ".txt")]
    return sorted(str(p.relative_to(root)) for p in files)


def export_target(work, fmt, name):
    return Path(work) / fmt / (name + {"folder": ".d", "ics": ".ics"}.get(fmt, ".vcf"))


def split_cards(data):
    """The cards of an exported file, each as its bytes from its BEGIN line to its END line. A card inside a
    card (a 2.1 AGENT) stays with its card; a card whose END is missing runs to the file's end."""
    cards, current, depth = [], [], 0
    for line in data.splitlines(keepends=True):
        word = line.strip().upper()
        if word == b"BEGIN:VCARD":
            depth += 1
        if depth > 0:
            current.append(line)
        if word == b"END:VCARD" and depth > 0:
            depth -= 1
            if depth == 0:
                cards.append(b"".join(current))
                current = []
    if current:
        cards.append(b"".join(current))
    return cards


# --- the export ------------------------------------------------------------------------------------

def run_export(args):
    formats = args.formats or ALL_FORMATS
    names = corpus_files(args.corpus)
    work = Path(args.work)
    shutil.rmtree(work, ignore_errors=True)
    for fmt in formats:
        (work / fmt).mkdir(parents=True)
    env = dict(os.environ, LANG="de_DE.UTF-8", LC_ALL="de_DE.UTF-8", QT_QPA_PLATFORM="offscreen")

    def export(job):
        name, fmt = job
        target = export_target(work, fmt, name)
        target.parent.mkdir(parents=True, exist_ok=True)
        done = subprocess.run([args.tovanel, "--export", str(target), "--format", fmt,
                               str(Path(args.corpus) / name)],
                              env=env, capture_output=True, timeout=120)
        return name, fmt, done.returncode, done.stderr.decode("utf-8", errors="replace").strip()

    jobs = [(name, fmt) for name in names for fmt in formats]
    results = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(2, os.cpu_count() or 2)) as pool:
        for name, fmt, code, message in pool.map(export, jobs):
            results.setdefault(name, {})[fmt] = {"exit": code, "message": message}

    (work / "exports.json").write_text(json.dumps(results, ensure_ascii=False, indent=1), encoding="utf-8")
    refused = sum(1 for by_format in results.values() if {r["exit"] for r in by_format.values()} == {1})
    # What went wrong in a format is told by the peers that read it, so that one format's fault does not
    # keep the others from being read.
    print(f"export: {len(names)} corpus files in {', '.join(formats)}; {refused} refused in every format "
          "(read only in part, or without contacts)")
    return 0


def export_failure(by_format, fmt):
    """Why the export of one corpus file in `fmt` went wrong, or None: it crashed, or it refused the file
    in this format but not in another, or for another reason (a refusal is about reading the file, which is
    the same for every format)."""
    result = by_format[fmt]
    if result["exit"] not in (0, 1):
        return f"{fmt}: exit {result['exit']}: {one_line(result['message'])}"
    if result["exit"] == 1:
        others = {other: r for other, r in by_format.items() if other != fmt}
        if any(r["exit"] == 0 for r in others.values()):
            return f"{fmt}: not written, though other formats were: {one_line(result['message'])}"
        if any(r["message"] != result["message"] for r in others.values()):
            return f"{fmt}: refused for another reason than in other formats: {one_line(result['message'])}"
    return None


def cards_of(failures, name, fmt, path):
    """The cards of an exported file; a file the export wrote must hold one at least, as text a peer finds."""
    cards = split_cards(path.read_bytes())
    if not cards:
        failures.add(name, f"{fmt}: no BEGIN:VCARD line in the file written")
    return cards


def exported(args, fmt, failures):
    """(corpus name, exported path) of every file the export wrote in `fmt`; what went wrong in the export
    itself goes to `failures`."""
    results = json.loads((Path(args.work) / "exports.json").read_text(encoding="utf-8"))
    for name in sorted(results):
        if fmt not in results[name]:
            raise SystemExit(f"the export did not write {fmt}; run the peers_export test first")
        if failure := export_failure(results[name], fmt):
            failures.add(name, failure)
        if results[name][fmt]["exit"] == 0:
            yield name, export_target(args.work, fmt, name)


def require(program):
    if shutil.which(program) is None:
        print(f"FAIL: {program} is not installed (scripts/deps.sh test installs it)")
        raise SystemExit(1)


# --- vobject -----------------------------------------------------------------------------------------

def run_vobject(args, formats):
    try:
        import vobject
    except ImportError:
        print("FAIL: python3-vobject is not installed (scripts/deps.sh test installs it)")
        return 1
    failures = Failures()
    cards_read = 0
    for fmt in formats:
        for name, path in exported(args, fmt, failures):
            for number, card in enumerate(cards_of(failures, name, fmt, path), 1):
                try:
                    # vCard 2.1's quoted-printable values continue over soft line breaks, which vobject
                    # joins only when asked to.
                    components = list(vobject.readComponents(card.decode("utf-8"), allowQP=fmt == "vcard21"))
                    if len(components) != 1 or components[0].name != "VCARD":
                        raise ValueError(f"{len(components)} components, not one VCARD")
                    cards_read += 1
                except Exception as error:  # vobject raises many kinds; each is a card it cannot read
                    failures.add(name, f"{fmt} card {number}: {type(error).__name__}: {one_line(error)}")
    print(f"vobject: {cards_read} cards read")
    return failures.report("vobject")


def one_line(text):
    return " ".join(str(text).split())[:300]


# --- Radicale ----------------------------------------------------------------------------------------

def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Radicale:
    """A CardDAV server of its own for the run, storing into a temporary folder; anyone may log in."""

    USER = "tovanel"

    def __init__(self, folder):
        self.port = free_port()
        self.log_path = Path(folder) / "radicale.log"
        config = Path(folder) / "config"
        config.write_text(f"""[server]
hosts = 127.0.0.1:{self.port}
[auth]
type = none
[rights]
type = owner_only
[storage]
filesystem_folder = {folder}/collections
[web]
type = none
[logging]
level = info
""", encoding="utf-8")
        self.log = open(self.log_path, "wb")
        self.process = subprocess.Popen(["radicale", "--config", str(config)], stdout=self.log,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        self.connection = None
        deadline = time.monotonic() + 30
        while True:
            try:
                self.connect()
                self.request("PROPFIND", f"/{self.USER}/", headers={"Depth": "0"})
                break
            except OSError:
                if self.process.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError("Radicale did not start: " + self.log_path.read_text(errors="replace"))
                time.sleep(0.1)

    def connect(self):
        self.connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)

    def request(self, method, path, body=None, headers=None):
        all_headers = {"Authorization": "Basic dG92YW5lbDp4"}  # tovanel:x; the server takes any password
        all_headers.update(headers or {})
        for attempt in (1, 2):
            try:
                self.connection.request(method, path, body=body, headers=all_headers)
                response = self.connection.getresponse()
                return response.status, response.read()
            except (http.client.HTTPException, ConnectionError):
                if attempt == 2:
                    raise
                self.connection.close()
                self.connect()

    def log_since(self, offset):
        with open(self.log_path, "rb") as f:
            f.seek(offset)
            return f.read().decode("utf-8", errors="replace")

    def log_size(self):
        self.log.flush()
        return self.log_path.stat().st_size

    def stop(self):
        if self.connection:
            self.connection.close()
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
        self.log.close()


MKCOL_ADDRESSBOOK = (b'<?xml version="1.0" encoding="utf-8"?><mkcol xmlns="DAV:" '
                     b'xmlns:C="urn:ietf:params:xml:ns:carddav"><set><prop><resourcetype><collection/>'
                     b'<C:addressbook/></resourcetype></prop></set></mkcol>')
REFUSAL = re.compile(r"(Bad PUT request on [^\n]*|An exception occurred during PUT[^\n]*|"
                     r"(?:Failed|Invalid|Prepared)[^\n]*)")


def run_radicale(args, formats):
    require("radicale")
    failures = Failures()
    put = 0
    # Radicale syncs every item it stores to the disk; in memory that costs nothing, on a disk it is most
    # of the run.
    memory = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
    with tempfile.TemporaryDirectory(prefix="tovanel-radicale-", dir=memory) as folder:
        server = Radicale(folder)
        try:
            book = 0
            for fmt in formats:
                for name, path in exported(args, fmt, failures):
                    # A book per file: the corpus holds the same sample (and UID) in several files.
                    book += 1
                    base = f"/{Radicale.USER}/book{book}/"
                    status, _ = server.request("MKCOL", base, MKCOL_ADDRESSBOOK)
                    if status != 201:
                        failures.add(name, f"{fmt}: MKCOL {base} answered {status}")
                        continue
                    for number, card in enumerate(cards_of(failures, name, fmt, path), 1):
                        put += 1
                        href = f"{base}{number}.vcf"
                        offset = server.log_size()
                        status, body = server.request("PUT", href, card,
                                                      {"Content-Type": "text/vcard; charset=utf-8"})
                        if status not in (201, 204):
                            # The reason is in the log, or (a UID another card of the book has) in the
                            # answer's WebDAV error element.
                            said = " / ".join(REFUSAL.findall(server.log_since(offset))[-2:])
                            said = said or re.sub(r"<[^>]*>", " ", body.decode("utf-8", errors="replace"))
                            if status == 409 and not said.strip():
                                said = "an earlier card of this file has the same UID"
                            failures.add(name, f"{fmt} card {number}: PUT answered {status}: "
                                         + (one_line(said) or "(no reason given)"))
                            continue
                        status, body = server.request("GET", href)
                        if status != 200 or b"BEGIN:VCARD" not in body.upper():
                            failures.add(name, f"{fmt} card {number}: GET answered {status}, "
                                         f"{len(body)} bytes without a card")
        finally:
            server.stop()
    print(f"radicale: {put} cards put")
    return failures.report("radicale")


# --- ez-vcard ----------------------------------------------------------------------------------------

EZVCARD_JARS = ["/usr/share/java/ez-vcard.jar", "/usr/share/java/vinnie.jar"]


def read_allowed(path):
    """The warnings accepted, from lines "PATTERN <tab> REASON" (# starts a comment); PATTERN is a regular
    expression matched against "CODE PROPERTY: MESSAGE"."""
    allowed = []
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        pattern, _, reason = line.partition("\t")
        if not reason.strip():
            raise SystemExit(f"{path}: the allowed warning {pattern!r} gives no reason")
        allowed.append(re.compile(pattern))
    return allowed


def run_ezvcard(args, formats):
    require("java")
    missing = [jar for jar in EZVCARD_JARS if not Path(jar).exists()]
    if missing:
        print(f"FAIL: {', '.join(missing)} missing (libez-vcard-java, libvinnie-java; scripts/deps.sh test)")
        return 1
    allowed = read_allowed(args.allow) if args.allow else []
    failures = Failures()
    names, expected = {}, {}
    with tempfile.TemporaryDirectory(prefix="tovanel-ezvcard-") as folder:
        listing = Path(folder) / "files.txt"
        paths = []
        for fmt in formats:
            for name, path in exported(args, fmt, failures):
                names[str(path)] = (name, fmt)
                expected[str(path)] = len(cards_of(failures, name, fmt, path))
                paths.append(str(path))
        listing.write_text("\n".join(paths) + "\n", encoding="utf-8")
        done = subprocess.run(["java", "-cp", ":".join(EZVCARD_JARS),
                               str(Path(__file__).with_name("EzvcardCheck.java")), str(listing)],
                              capture_output=True, timeout=600)
    if done.returncode != 0:
        print(done.stderr.decode("utf-8", errors="replace"))
        print("FAIL: the ez-vcard check did not run")
        return 1
    read, warnings, accepted = {}, 0, 0
    current = None
    for line in done.stdout.decode("utf-8").splitlines():
        kind, *fields = line.split("\t")
        if kind == "FILE":
            current = fields[0]
            read[current] = 0
            continue
        name, fmt = names[current]
        if kind == "FAIL":
            failures.add(name, f"{fmt}: ez-vcard cannot read the file: {fields[0]}")
        elif kind == "CARD":
            read[current] += 1
            # vcard-original keeps each card's own version.
            if fmt in VERSIONS and fields[1] != VERSIONS[fmt]:
                failures.add(name, f"{fmt} card {fields[0]}: ez-vcard reads version {fields[1] or '(none)'}")
        elif kind == "WARN":
            number, code, prop, message = fields
            text = f"{code} {prop}: {message}"
            warnings += 1
            if any(pattern.search(text) for pattern in allowed):
                accepted += 1
                print(f"warning {name} {fmt} card {number}: {text} (allowed)")
            else:
                failures.add(name, f"{fmt} card {number}: warning {text}")
    for path, count in expected.items():
        if count and read.get(path, 0) != count:
            name, fmt = names[path]
            failures.add(name, f"{fmt}: ez-vcard read {read.get(path, 0)} of {count} cards")
    print(f"ezvcard: {sum(read.values())} cards read, {warnings} warnings, {accepted} of them allowed")
    return failures.report("ezvcard")


# --- khard -------------------------------------------------------------------------------------------

def name_key(text):
    """A name as far as a file name can keep it: letters and digits only, without a " (2)" that tells two
    contacts of the same name apart."""
    text = re.sub(r"\s*\(\d+\)$", "", text)
    return "".join(c for c in text.casefold() if c.isalnum())


def is_utf8(data):
    try:
        data.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


def run_khard_on(home, books, words):
    """khard run with `words` over `books` ({book name: folder}) and a configuration of its own."""
    config = Path(home) / ".config" / "khard" / "khard.conf"
    config.parent.mkdir(parents=True, exist_ok=True)
    lines = ["[addressbooks]"]
    for book, folder in books.items():
        lines += [f"[[{book}]]", f"path = {folder}"]
    lines += ["[general]", "default_action = list", "editor = true", "merge_editor = true",
              "[contact table]", "display = formatted_name", "show_uids = yes"]
    config.write_text("\n".join(lines) + "\n", encoding="utf-8")
    # A card khard cannot read would otherwise stop the whole list; skipped, it is missing from its book.
    env = dict(os.environ, HOME=str(home), XDG_CONFIG_HOME=str(Path(home) / ".config"),
               LANG="de_DE.UTF-8", LC_ALL="de_DE.UTF-8")
    return subprocess.run(["khard", "--skip-unparsable", *words], env=env, capture_output=True, timeout=300)


def khard_list(home, books, words=("list", "--parsable")):
    """khard's parsable list over `books` ({book name: folder}), in one run: ({book name: [names]}, {book name:
    [what khard said about it]}), or an error text when khard listed nothing. `words` may ask for another
    display and order of the list, grouped by book when there are several."""
    done = run_khard_on(home, books, words)
    output = done.stdout.decode("utf-8")
    said = done.stderr.decode("utf-8", errors="replace")
    if done.returncode != 0 and not output:
        return one_line(" ".join(said.splitlines()[-3:]) or f"exit {done.returncode}")
    listed = {book: [] for book in books}
    # A name may hold a line break, which khard prints as it is: a line of fewer fields goes on the next.
    lines, pending = [], ""
    for line in output.splitlines():
        pending = f"{pending}\n{line}" if pending else line
        if pending.count("\t") >= 2:
            lines.append(pending)
            pending = ""
    for line in lines:
        fields = line.split("\t")
        # uid, name, and the address book when there are several
        listed[fields[2] if len(fields) > 2 else next(iter(books))].append(fields[1])
    notes = {}
    for line in said.splitlines():
        for book, folder in books.items():
            if f"address book {book} " in line or f"{folder}/" in line:
                notes.setdefault(book, []).append(one_line(line))
    return listed, notes


def khard_list_each(home, books, words=("list", "--parsable")):
    """khard_list over all `books`, or, where khard stops altogether, over ever smaller groups of them until
    the books it stops on are known: (listed, notes, {book: why khard stopped})."""
    result = khard_list(home, books, words)
    if not isinstance(result, str):
        return result + ({},)
    if len(books) == 1:
        return {}, {}, {next(iter(books)): result}
    listed, notes, broken = {}, {}, {}
    names = list(books)
    size = max(1, len(names) // 16)
    for start in range(0, len(names), size):
        part = khard_list_each(home, {book: books[book] for book in names[start:start + size]}, words)
        listed.update(part[0])
        notes.update(part[1])
        broken.update(part[2])
    return listed, notes, broken


def card_uids(folder):
    return {line[4:].strip() for p in Path(folder).iterdir() if p.suffix == ".vcf"
            for line in p.read_text(encoding="utf-8", errors="replace").splitlines() if line.startswith("UID:")}


def books_without_shared_uids(books):
    """`books` ({book: (name, folder)}) in groups whose folders share no UID, each group a list of books."""
    groups = []
    for book, (_, folder) in books.items():
        uids = card_uids(folder)
        for group in groups:
            if not uids & group[1]:
                group[0].append(book)
                group[1].update(uids)
                break
        else:
            groups.append(([book], set(uids)))
    return [group for group, _ in groups]


def formatted_name(path):
    for line in path.read_text(encoding="utf-8", errors="replace").splitlines():
        if line.startswith("FN:"):
            return line[3:].strip()
    return ""


def run_khard(args, formats):
    require("khard")
    failures = Failures()
    listed_total = 0
    with tempfile.TemporaryDirectory(prefix="tovanel-khard-") as home:
        for fmt in formats:
            books = {}
            for name, path in exported(args, fmt, failures):
                # khard stops at the first file that is not UTF-8, whatever it is told to skip.
                not_utf8 = [p.name for p in sorted(path.iterdir()) if not is_utf8(p.read_bytes())]
                if not_utf8:
                    failures.add(name, f"{fmt}: not UTF-8: {', '.join(not_utf8)}")
                    continue
                books[f"b{len(books) + 1}"] = (name, path)
            if not books:
                continue
            listed, notes, broken = {}, {}, {}
            # khard shows one card of each UID across all its address books, and the corpus repeats cards
            # in several files: books that share a UID are listed in runs of their own.
            for group in books_without_shared_uids(books):
                part = khard_list_each(home, {book: str(books[book][1]) for book in group})
                listed.update(part[0])
                notes.update(part[1])
                broken.update(part[2])
            for book, (name, path) in books.items():
                if book in broken:
                    failures.add(name, f"{fmt}: khard stops on this folder: {broken[book]}")
                    continue
                # A card without a name is listed by khard under what it shows in its place, while its file
                # takes what the list shows first: only named cards are compared by name.
                stems = sorted(p.stem for p in path.iterdir() if p.suffix == ".vcf")
                named = sorted(p.stem for p in path.iterdir() if p.suffix == ".vcf" and formatted_name(p))
                names = listed[book]
                listed_total += len(names)
                if len(names) != len(stems):
                    failures.add(name, f"{fmt}: khard lists {len(names)} contacts, the folder holds "
                                 f"{len(stems)} files")
                missing = sorted(set(map(name_key, named)) - set(map(name_key, names)))
                if missing:
                    failures.add(name, f"{fmt}: files whose name khard does not list: {', '.join(missing)}")
                if name in failures.by_file:
                    for note in notes.get(book, [])[:5]:
                        failures.add(name, f"{fmt}: khard: {note}")
    print(f"khard: {listed_total} contacts listed")
    return failures.report("khard")


# --- the birthday calendar -----------------------------------------------------------------------

def unfolded_lines(card):
    """The content lines of a card's bytes (any of the corpus's encodings), unfolded, as text: dates and
    property names are ASCII, so a byte-wise reading is enough for them."""
    if card.startswith((b"\xff\xfe", b"\xfe\xff")):
        card = card.decode("utf-16").encode("utf-8")
    text = card.decode("latin-1").replace("\r\n", "\n").replace("\r", "\n")
    return re.sub(r"\n[ \t]", "", text).split("\n")


def card_day(value):
    """(year or None, month, day) of a date value as vCard writers put it, or None for one that is no day."""
    match = re.fullmatch(r"(\d{4})-?(\d{2})-?(\d{2})(?:T.*)?|--(\d{2})-?(\d{2})(?:T.*)?", value.strip())
    if not match:
        return None
    year = int(match[1]) if match[1] else None
    month, day = (int(match[2]), int(match[3])) if match[1] else (int(match[4]), int(match[5]))
    year = None if year in (0, 1604) else year
    try:
        datetime.date(year or 2000, month, day)
    except ValueError:
        return None
    return year, month, day


def card_dates(card):
    """The birthday (the last BDAY line that says anything) and the anniversaries of a card, read from its
    lines here, independently of Tovanel: ANNIVERSARY, X-ANNIVERSARY, and Apple's X-ABDATE labelled as one."""
    birthday, anniversaries, labelled, labels = None, [], {}, set()
    for line in unfolded_lines(card):
        match = re.match(r"(?:([\w-]+)\.)?([\w-]+)(?:;[^:]*)?:(.*)", line)
        if not match:
            continue
        group, name, value = match[1], match[2].upper(), match[3]
        if name == "BDAY" and value.strip():
            birthday = card_day(value)
        elif name in ("ANNIVERSARY", "X-ANNIVERSARY") and card_day(value):
            anniversaries.append(card_day(value))
        elif name == "X-ABDATE" and group and card_day(value):
            labelled.setdefault(group.lower(), []).append(card_day(value))
        elif name == "X-ABLABEL" and group and value.strip().lower() == "_$!<anniversary>!$_":
            labels.add(group.lower())
    for group in labels:
        anniversaries += labelled.get(group, [])
    return birthday, anniversaries


def calendar_events(failures, name, path):
    """The events of an exported calendar as python3-icalendar reads them: (uid, summary, first day, rule)."""
    import icalendar
    try:
        calendar = icalendar.Calendar.from_ical(path.read_bytes())
    except Exception as error:  # whatever the library raises, it could not read the file
        failures.add(name, f"icalendar: {type(error).__name__}: {one_line(error)}")
        return []
    events = []
    for event in calendar.walk("VEVENT"):
        start = event.decoded("DTSTART")
        rule = event.get("RRULE")
        uid, summary = str(event.get("UID", "")), str(event.get("SUMMARY", ""))
        if isinstance(start, datetime.datetime) or not isinstance(start, datetime.date):
            failures.add(name, f"{uid}: DTSTART is no date: {start!r}")
        elif not rule or rule.get("FREQ") != ["YEARLY"] or "DTSTAMP" not in event:
            failures.add(name, f"{uid}: not a yearly event with a DTSTAMP: {one_line(event.to_ical())}")
        else:
            events.append((uid, summary, start, rule.to_ical().decode("ascii")))
    return events


def run_icalendar(args, formats):
    try:
        import icalendar  # noqa: F401
    except ImportError:
        print("FAIL: python3-icalendar is not installed (scripts/deps.sh test installs it)")
        return 1
    failures = Failures()
    total = 0
    for fmt in formats:
        for name, path in exported(args, fmt, failures):
            events = calendar_events(failures, name, path)
            total += len(events)
            uids = [uid for uid, *_ in events]
            if len(set(uids)) != len(uids) or "" in uids:
                failures.add(name, "events without a UID of their own")
            birthdays = sorted(start.strftime("%m%d") for _, summary, start, _ in events
                               if summary.endswith("hat Geburtstag") or summary == "Geburtstag")
            anniversaries = sorted(start.strftime("%m%d") for _, summary, start, _ in events
                                   if summary.startswith("Jahrestag"))
            expected_birthdays, expected_anniversaries = [], []
            for card in split_cards((Path(args.corpus) / name).read_bytes()):
                birthday, dates = card_dates(card)
                expected_birthdays += [f"{birthday[1]:02}{birthday[2]:02}"] if birthday else []
                expected_anniversaries += [f"{month:02}{day:02}" for _, month, day in dates]
            if birthdays != sorted(expected_birthdays):
                failures.add(name, f"birthdays {birthdays}, the cards have {sorted(expected_birthdays)}")
            if anniversaries != sorted(expected_anniversaries):
                failures.add(name, f"anniversaries {anniversaries}, the cards have {sorted(expected_anniversaries)}")
    print(f"icalendar: {total} yearly events read")
    return failures.report("icalendar")


# The day khal lists from: the year after it has no 29 February, so a leap day's event shows on 28 February.
KHAL_TODAY = datetime.date(2026, 12, 8)


def next_days(events, today):
    """{uid: the next day of the event from `today` on}, by python-dateutil's reading of each rule."""
    from dateutil import rrule
    days = {}
    for uid, _, start, rule in events:
        first = datetime.datetime.combine(start, datetime.time())
        day = rrule.rrulestr(rule, dtstart=first).after(datetime.datetime.combine(today, datetime.time()), inc=True)
        days[uid] = day.date()
    return days


def run_khal(args, formats):
    require("khal")
    failures = Failures()
    listed_total = 0
    with tempfile.TemporaryDirectory(prefix="tovanel-khal-") as home:
        calendars = {}
        for fmt in formats:
            for name, path in exported(args, fmt, failures):
                events = calendar_events(failures, name, path)
                if events:
                    calendars[f"c{len(calendars)}"] = (name, path, events)
        config = Path(home) / "khal.conf"
        config.write_text("[calendars]\n" + "".join(f"[[{cal}]]\npath = {home}/{cal}\n" for cal in calendars) +
                          "[locale]\ndateformat = %Y-%m-%d\nlongdateformat = %Y-%m-%d\ntimeformat = %H:%M\n"
                          "datetimeformat = %Y-%m-%d %H:%M\nlongdatetimeformat = %Y-%m-%d %H:%M\n"
                          "[default]\ndefault_calendar = c0\n", encoding="utf-8")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home, XDG_DATA_HOME=home,
                   LANG="de_DE.UTF-8", LC_ALL="de_DE.UTF-8", TZ="Europe/Berlin")

        def khal(*words):
            return subprocess.run(["khal", "-c", str(config), *words], env=env, capture_output=True, timeout=300)

        def import_one(cal):
            Path(home, cal).mkdir()
            return cal, khal("import", "--batch", "-a", cal, str(calendars[cal][1]))

        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            for cal, done in pool.map(import_one, calendars):
                if done.returncode != 0:
                    failures.add(calendars[cal][0], f"khal import: {one_line(done.stderr.decode('utf-8', 'replace'))}")
        # One event a line; a title with a line break in it is not among the corpus's names, and would show
        # as a line without the separators.
        done = khal("list", "--format", "{start-date}\x1f{calendar}\x1f{uid}", "--day-format", "",
                    KHAL_TODAY.isoformat(), "366d")
        if done.returncode != 0:
            print(f"FAIL: khal list: {one_line(done.stderr.decode('utf-8', 'replace'))}")
            return 1
        listed = {cal: [] for cal in calendars}
        for line in done.stdout.decode("utf-8").splitlines():
            fields = line.split("\x1f")
            if len(fields) == 3 and fields[1] in listed:
                listed[fields[1]].append((datetime.date.fromisoformat(fields[0]), fields[2]))
        for cal, (name, _, events) in calendars.items():
            expected = next_days(events, KHAL_TODAY)
            # The window of 366 days holds a day of today's date a year on: each event's first day counts.
            shown = {}
            for day, uid in listed[cal]:
                shown.setdefault(uid, day)
            listed_total += len(shown)
            if shown != expected:
                wrong = sorted(f"{uid}: khal {shown.get(uid)}, dateutil {expected.get(uid)}"
                               for uid in set(shown) | set(expected) if shown.get(uid) != expected.get(uid))
                failures.add(name, "khal and dateutil differ on " + "; ".join(wrong[:5]))
            # khal lists the events in the order the "Geburtstage" window has them: by the day each next
            # comes round, as dateutil reckons it.
            firsts = [day for day, uid in listed[cal] if shown.get(uid) == day and uid in expected]
            if firsts != sorted(expected.values()):
                failures.add(name, "khal lists the events in another order than their next days")
            # A leap day's event falls on 28 February in a year without one.
            for uid, _, start, _ in events:
                day = shown.get(uid)
                if day and (start.month, start.day) == (2, 29) and day.year % 4 != 0:
                    if (day.month, day.day) != (2, 28):
                        failures.add(name, f"{uid}: 29 February falls on {day} in {day.year}")
    print(f"khal: {listed_total} events listed from {KHAL_TODAY}")
    return failures.report("khal")


# --- names and birthdays against khard ------------------------------------------------------------
# khard reads the folder export and lists it by last name ("Müller, Jürgen": N's family names, a comma, its
# given and additional names), which is what "Ansicht › Namen › Nachname, Vorname" shows, sorted, as
# "tovanel-bench names" prints it. They part on purpose where a card has no family name: Tovanel shows
# the card's name (or its company, for a card that says it is one) and sorts by it; khard shows the given
# names, else FN. A file's names may differ in as many pairs as it has such cards; what else differs is a
# failure unless the allow-list (khard-names-allowed.tsv) gives a reason. How the two collate is not
# compared: khard sorts by an ASCII transliteration, lower-cased (unidecode), Tovanel in German collation,
# so they part on umlauts, punctuation and names of equal letters. Only the order of names whose first
# letters are different ASCII letters is held against each other: a family name read wrongly (a prefix
# or the given name in front) moves a card there.

def plain(name):
    # khard keeps the spaces a name part ends with ("Ñ Ñ , Ñ"); Tovanel trims each part.
    return re.sub(r" ,", ",", " ".join(name.split()))


def cards_named_otherwise(card_bytes):
    """How many cards of a corpus file both programs name otherwise than by N's family name: those
    without one (no N, or N without a family name; the export gives a card without N one cut from its
    name, which khard then shows) and those that say they are a company (X-ABShowAs:COMPANY)."""
    count = 0
    for card in split_cards(card_bytes):
        family, company = False, False
        for line in unfolded_lines(card):
            if match := re.match(r"(?:[\w-]+\.)?N(?:;[^:]*)?:(.*)", line, re.I):
                family = family or bool(re.split(r"(?<!\\);", match[1])[0].strip())
            company = company or bool(re.match(r"(?:[\w-]+\.)?X-ABSHOWAS:\s*COMPANY", line, re.I))
        count += 1 if company or not family else 0
    return count


def tovanel_names(bench, path):
    """Tovanel's names of a corpus file, family name first, in its list's order by them."""
    done = subprocess.run([bench, "names", str(path)], capture_output=True, timeout=120)
    if done.returncode != 0:
        return None
    escapes = {"\\\\": "\\", "\\t": "\t", "\\r": "\r", "\\n": "\n"}
    return [plain(re.sub(r"\\[\\trn]", lambda m: escapes[m[0]], line))
            for line in done.stdout.decode("utf-8").splitlines()]


def initials(names):
    """The first letters of those `names` that start with an ASCII letter, in their order."""
    return [name[0].lower() for name in names if name[:1].isascii() and name[:1].isalpha()]


def khard_birthdays(home, folder):
    """(name, month, day) of every birthday khard lists for the cards of `folder`; text birthdays left out."""
    done = run_khard_on(home, {"b": str(folder)}, ("birthdays", "--parsable"))
    days = []
    for line in done.stdout.decode("utf-8").splitlines():
        date, _, name = line.partition("\t")
        if match := re.fullmatch(r"\d{4}\.(\d{2})\.(\d{2})", date):
            days.append((plain(name), int(match[1]), int(match[2])))
    return days


def tovanel_birthdays(path):
    """(name, month, day) of each birthday in the exported calendar, the name from the event's title."""
    days = []
    for _, summary, start, _ in calendar_events(Failures(), "", path):
        if summary == "Geburtstag" or summary.endswith(" hat Geburtstag"):
            days.append((plain(summary.removesuffix("Geburtstag").removesuffix(" hat ")), start.month, start.day))
    return days


def run_khard_names(args, formats):
    require("khard")
    if not args.bench or not Path(args.bench).is_file():
        print(f"FAIL: tovanel-bench not found at {args.bench!r}")
        return 1
    # The allow-list's patterns are matched against "CORPUS FILE: DIFFERENCE".
    allowed = read_allowed(args.allow) if args.allow else []
    failures, export_failures = Failures(), Failures()
    results = json.loads((Path(args.work) / "exports.json").read_text(encoding="utf-8"))
    books = {}
    for name, path in exported(args, "folder", export_failures):
        if all(is_utf8(p.read_bytes()) for p in path.iterdir()) and results[name].get("ics", {}).get("exit") == 0:
            books[f"b{len(books) + 1}"] = (name, path)
    compared, accepted, birthdays = 0, 0, 0

    def differ(name, text):
        nonlocal accepted
        if any(pattern.search(f"{name}: {text}") for pattern in allowed):
            accepted += 1
        else:
            failures.add(name, text)

    with tempfile.TemporaryDirectory(prefix="tovanel-khard-names-") as home:
        listed = {}
        for group in books_without_shared_uids(books):
            part = khard_list_each(home, {book: str(books[book][1]) for book in group},
                                   ("list", "--parsable", "-g", "-d", "last_name", "-s", "last_name"))
            listed.update(part[0])
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            ours = dict(zip(books, pool.map(lambda book: tovanel_names(args.bench, Path(args.corpus) / books[book][0]),
                                            books)))
        for book, (name, path) in books.items():
            theirs = [plain(n) for n in listed.get(book, [])]
            if book not in listed or ours[book] is None:
                continue  # khard or the reading stopped on the file: peers_khard tells why
            compared += len(theirs)
            # Counted: two cards may show the same name.
            only_ours = sorted((collections.Counter(ours[book]) - collections.Counter(theirs)).elements())
            only_theirs = sorted((collections.Counter(theirs) - collections.Counter(ours[book])).elements())
            if len(only_ours) == len(only_theirs) <= cards_named_otherwise((Path(args.corpus) / name).read_bytes()):
                only_ours, only_theirs = [], []
            for shown in only_ours:
                differ(name, f"Tovanel shows {shown!r}, khard does not")
            for shown in only_theirs:
                differ(name, f"khard shows {shown!r}, Tovanel does not")
            both = set(ours[book]) & set(theirs)
            ours_order = initials([n for n in ours[book] if n in both])
            theirs_order = initials([n for n in theirs if n in both])
            if ours_order != theirs_order:
                at = next(i for i, (a, b) in enumerate(zip(ours_order + ["$"], theirs_order + ["$"])) if a != b)
                differ(name, f"order by family name: Tovanel {''.join(ours_order[max(0, at - 3):at + 4])}, "
                             f"khard {''.join(theirs_order[max(0, at - 3):at + 4])}")
            # The birthdays khard lists are those in the calendar, by name and day.
            if any(re.search(rb"^BDAY", p.read_bytes(), re.M) for p in path.iterdir()):
                theirs_days = sorted(khard_birthdays(home, path))
            else:
                theirs_days = []
            ours_days = sorted(tovanel_birthdays(export_target(args.work, "ics", name)))
            birthdays += len(theirs_days)
            for day in sorted(set(ours_days) - set(theirs_days)):
                differ(name, f"birthday in the calendar, not in khard: {day[0]!r} {day[2]:02}.{day[1]:02}.")
            for day in sorted(set(theirs_days) - set(ours_days)):
                differ(name, f"birthday in khard, not in the calendar: {day[0]!r} {day[2]:02}.{day[1]:02}.")
    print(f"khard-names: {compared} names and {birthdays} birthdays compared in {len(books)} files, "
          f"{accepted} differences allowed")
    return failures.report("khard-names")


def main(argv):
    # CTest ends a test that runs over its time with SIGTERM: the servers started are stopped on the way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["export"] + list(PEER_FORMATS))
    parser.add_argument("--tovanel")
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--formats", type=lambda text: text.split(","))
    parser.add_argument("--allow")
    parser.add_argument("--bench")
    args = parser.parse_args(argv)
    if not args.corpus or not Path(args.corpus).is_dir():
        print(f'SKIP: no vCard corpus at "{args.corpus}" (TOVANEL_CORPUS_DIR): real-world files not checked')
        return SKIP
    if args.action == "export":
        return run_export(args)
    formats = args.formats or PEER_FORMATS[args.action]
    runner = {"radicale": run_radicale, "vobject": run_vobject, "ezvcard": run_ezvcard, "khard": run_khard,
              "icalendar": run_icalendar, "khal": run_khal, "khard-names": run_khard_names}
    return runner[args.action](args, formats)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

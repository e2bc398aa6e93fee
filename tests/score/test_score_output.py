#!/usr/bin/env python3
"""morvel-score's --xml, --summary and --post, run as the operator runs them.

The XML is read back with xml.etree and its numbers compared with the
statistics text of the same log; --post goes only to servers this script
starts on 127.0.0.1 (one that takes the document, one that answers 500, one
that never answers, one that closes the connection) and stops. Natively, or
with --emulator for the Windows program under Wine.

  test_score_output.py --score PROGRAM --loggen PROGRAM [--emulator RUNNER]
                       [--needs FILE] --work DIR
"""
import argparse
import http.server
import os
import re
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import threading
import time
import xml.etree.ElementTree as ET

METRES = {"1.8": "160", "3.5": "80", "7": "40", "10": "30", "14": "20",
          "18": "17", "21": "15", "24": "12", "28": "10"}

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


class Programs:
    def __init__(self, args):
        self.prefix = [args.emulator] if args.emulator else []
        self.score_exe = args.score
        self.loggen_exe = args.loggen

    def score(self, *args, timeout=120):
        return subprocess.run(self.prefix + [self.score_exe] + list(args),
                              capture_output=True, timeout=timeout, stdin=subprocess.DEVNULL)

    def loggen(self, *args):
        done = subprocess.run(self.prefix + [self.loggen_exe] + list(args),
                              capture_output=True, timeout=300, stdin=subprocess.DEVNULL)
        if done.returncode != 0:
            sys.exit("morvel-loggen failed: " + done.stderr.decode(errors="replace"))


def statistics(text):
    """The rows of the statistics text: band -> (qsos, points, obl, dxcc), the
    total and the score."""
    lines = text.split("\n")
    rows = {}
    total = None
    score = None
    for line in lines[1:]:
        if line.startswith("Total\t"):
            total = tuple(int(v) for v in line.split("\t")[1:5])
        elif line.startswith(" Score: "):
            score = int(line.rsplit("=", 1)[1])
        elif line:
            fields = line.split("\t")
            rows[fields[0].lstrip(" ")] = tuple(int(v) for v in fields[1:5])
    return rows, total, score


def as_xml_text(band):
    """A band of the statistics text (read as Latin-1) as the document carries
    it: a byte that is no part of valid UTF-8 as \\xHH."""
    raw = band.encode("latin-1")
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return "".join(chr(b) if b < 0x80 else "\\x%02x" % b for b in raw)


def breakdown(root):
    """band -> (qso, point, obl, dxcc) of the document's breakdown."""
    found = {}
    for element in root.find("breakdown"):
        band = element.get("band")
        check(element.get("mode") == "ALL", "mode of %s" % band)
        entry = found.setdefault(band, {})
        key = element.tag if element.tag != "mult" else element.get("type")
        check(key not in entry, "one %s for band %s" % (key, band))
        entry[key] = int(element.text)
    return {band: (e.get("qso"), e.get("point"), e.get("obl"), e.get("dxcc"))
            for band, e in found.items()}


def xml_matches_statistics(programs, log, label, extra_bands=()):
    plain = programs.score("--sqlite", log)
    check(plain.returncode == 0, label + ": statistics: " + plain.stderr.decode(errors="replace"))
    rows, total, score = statistics(plain.stdout.decode("latin-1"))
    done = programs.score("--sqlite", log, "--xml", "--call", "UA3<&\"'>X",
                          "--category", "mode=cw, power=Low,assisted=ASSISTED",
                          "--operators", "UA3AAA,RA3BBB", "--contest", "MORVEL & <CO>")
    check(done.returncode == 0, label + ": --xml: " + done.stderr.decode(errors="replace"))
    document = done.stdout
    done.stdout.decode("utf-8")  # UTF-8 whatever the log holds
    root = ET.fromstring(document)
    check(root.tag == "dynamicresults", label + ": root")
    check(root.findtext("contest") == "MORVEL & <CO>", label + ": contest")
    check(root.findtext("call") == "UA3<&\"'>X", label + ": call")
    check([e.text for e in root.findall("ops")] == ["UA3AAA", "RA3BBB"], label + ": ops")
    check(root.find("class").attrib == {"ops": "SINGLE-OP", "mode": "CW", "power": "LOW",
                                        "bands": "ALL", "transmitter": "ONE",
                                        "assisted": "ASSISTED"}, label + ": class")
    check(root.findtext("soft") == "MorvelRussia" and root.findtext("version"),
          label + ": soft and version")
    check(re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d", root.findtext("timestamp") or ""),
          label + ": timestamp")
    check(int(root.findtext("score")) == score, label + ": score %s, statistics %s"
          % (root.findtext("score"), score))
    numbers = breakdown(root)
    check(numbers.pop("total") == total, label + ": total")
    expected = {}
    for band, values in rows.items():
        name = METRES.get(band, as_xml_text(band) + " (not a contest band)")
        expected[name] = values
    check(numbers == expected, label + ": bands %r, statistics %r" % (numbers, expected))
    for band in extra_bands:
        check(band in numbers, label + ": band %r kept under its own text" % band)
    return root


def summary_matches_statistics(programs, log, label, outside):
    plain = programs.score("--sqlite", log)
    rows, total, score = statistics(plain.stdout.decode("latin-1"))
    done = programs.score("--sqlite", log, "--summary", "--call", "UA3AAA",
                          "--category", "ops=MULTI-OP,transmitter=two")
    check(done.returncode == 0, label + ": --summary: " + done.stderr.decode(errors="replace"))
    text = done.stdout.decode("latin-1")
    for line in ("CONTEST: MORVEL-RUSSIA", "CALLSIGN: UA3AAA", "CATEGORY-OPERATOR: MULTI-OP",
                 "CATEGORY-MODE: MIXED", "CATEGORY-POWER: HIGH", "CATEGORY-BAND: ALL",
                 "CATEGORY-TRANSMITTER: TWO", "CATEGORY-ASSISTED: NON-ASSISTED",
                 "CLAIMED-SCORE: %d" % score):
        check(line + "\n" in text, label + ": " + line)
    table = [line.split("\t") for line in text.split("\n") if line.startswith("Total\t")]
    check(tuple(int(v) for v in (table[0][1], table[0][3], table[0][4], table[0][5])) == total,
          label + ": summary total")
    kept = [v for band, v in rows.items() if band in METRES]
    points = sum(v[1] for v in kept)
    mults = sum(v[2] + v[3] for v in kept)
    left_out = sum(v[0] for band, v in rows.items() if band not in METRES)
    labelled = "Without the %d %s on bands outside the nine" % (
        left_out, "QSO" if left_out == 1 else "QSOs")
    if outside:
        check(labelled in text, label + ": the score without the bands outside the nine")
        check(text.endswith("=%d\n" % (points * mults)), label + ": score without them")
    else:
        check("Without" not in text, label + ": nothing left out")
    return text


class Handler(http.server.BaseHTTPRequestHandler):
    status = 200
    received = []

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        type(self).received.append((self.path, self.headers.get("Content-Type"), body))
        self.send_response(type(self).status)
        self.send_header("Content-Length", "2")
        self.end_headers()
        self.wfile.write(b"ok")

    def log_message(self, *args):
        pass


def http_server(status):
    handler = type("Handler%d" % status, (Handler,), {"status": status, "received": []})
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, handler


def raw_server(behaviour):
    """A server that takes the connection and then never answers ("silent") or
    closes it at once ("close")."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    listener.settimeout(1)
    held = []
    first_bytes = []
    stop = threading.Event()

    def serve():
        while not stop.is_set():
            try:
                connection, _ = listener.accept()
            except OSError:
                continue
            if behaviour == "close":
                connection.settimeout(5)
                try:
                    first_bytes.append(connection.recv(100))
                except OSError:
                    pass
                connection.close()
            else:
                held.append(connection)
        for connection in held:
            connection.close()
        listener.close()
    threading.Thread(target=serve, daemon=True).start()
    return listener.getsockname()[1], stop, first_bytes


def post_rounds(programs, log, label):
    served, handler = http_server(200)
    refusing, _ = http_server(500)
    silent_port, silent_stop, _ = raw_server("silent")
    closing_port, closing_stop, first_bytes = raw_server("close")
    try:
        url = "http://127.0.0.1:%d/scores?x=1" % served.server_address[1]
        done = programs.score("--sqlite", log, "--post", url, "--once", "--call", "UA3AAA")
        out = done.stdout.decode(errors="replace")
        check(done.returncode == 0, label + ": posted: " + out + done.stderr.decode())
        check(re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC  score \d+  sent: HTTP 200 OK\n",
                           out), label + ": the round's line %r" % out)
        check(len(handler.received) == 1, label + ": one document")
        path, content_type, body = handler.received[0]
        check(path == "/scores?x=1", label + ": path")
        check(content_type.startswith("text/xml"), label + ": content type " + content_type)
        root = ET.fromstring(body)
        check(root.findtext("call") == "UA3AAA", label + ": posted call")
        score = statistics(programs.score("--sqlite", log).stdout.decode("latin-1"))[2]
        check(int(root.findtext("score")) == score and " score %d " % score in out,
              label + ": posted score")

        url = "http://127.0.0.1:%d/" % refusing.server_address[1]
        done = programs.score("--sqlite", log, "--post", url, "--once", "--call", "UA3AAA")
        out = done.stdout.decode(errors="replace")
        check(done.returncode == 1 and "refused: HTTP 500" in out,
              label + ": 500 is a refusal: %r" % out)

        for port, what in ((silent_port, "never answers"), (closing_port, "closes")):
            started = time.monotonic()
            done = programs.score("--sqlite", log, "--post", "http://127.0.0.1:%d/" % port,
                                  "--once", "--timeout", "2", "--call", "UA3AAA", timeout=60)
            out = done.stdout.decode(errors="replace")
            check(done.returncode == 1 and re.search(r"  not sent: .+\n$", out),
                  label + ": a server that %s: %r %r" % (what, out, done.stderr))
            check(time.monotonic() - started < 30, label + ": the timeout holds")

        # An https:// address speaks TLS: what reaches the server first is a
        # TLS handshake record, never the document in clear.
        first_bytes.clear()
        done = programs.score("--sqlite", log, "--post", "https://127.0.0.1:%d/" % closing_port,
                              "--once", "--timeout", "5", "--call", "UA3AAA", timeout=60)
        check(done.returncode == 1 and "not sent: " in done.stdout.decode(errors="replace"),
              label + ": https to a server that closes: %r" % done.stdout)
        check(first_bytes and first_bytes[0][:1] == b"\x16",
              label + ": https begins with a TLS handshake: %r" % first_bytes[:1])

        # The logger in the middle of a write: the round is skipped, saying so.
        holder = sqlite3.connect(log, isolation_level=None)
        holder.execute("BEGIN EXCLUSIVE")
        try:
            done = programs.score("--sqlite", log, "--wait", "1", "--post", url, "--once",
                                  "--call", "UA3AAA")
        finally:
            holder.execute("ROLLBACK")
            holder.close()
        out = done.stdout.decode(errors="replace")
        check(done.returncode == 1 and re.search(
            r" UTC  round skipped: .*the log is locked by another program", out),
            label + ": a locked log: %r" % out)

        # No server at all: the round says so; the program does not fail.
        free = socket.socket()
        free.bind(("127.0.0.1", 0))
        port = free.getsockname()[1]
        free.close()
        done = programs.score("--sqlite", log, "--post", "http://127.0.0.1:%d/" % port,
                              "--once", "--call", "UA3AAA")
        check(done.returncode == 1 and "not sent: " in done.stdout.decode(errors="replace"),
              label + ": nobody listening")
        return served, handler
    finally:
        refusing.shutdown()
        silent_stop.set()
        closing_stop.set()


def every_stops_on_ctrl_c(programs, log, label, served, handler):
    """--every 1: the first round at once, then the wait; SIGINT ends the wait
    at once and the program says how many rounds it made."""
    handler.received.clear()
    url = "http://127.0.0.1:%d/" % served.server_address[1]
    process = subprocess.Popen(programs.prefix + [programs.score_exe, "--sqlite", log, "--post",
                                                  url, "--every", "1", "--call", "UA3AAA"],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               stdin=subprocess.DEVNULL)
    try:
        first = process.stdout.readline().decode(errors="replace")
        check("sent: HTTP 200" in first, label + ": first round %r" % first)
        started = time.monotonic()
        process.send_signal(signal.SIGINT)
        rest, err = process.communicate(timeout=20)
        check(time.monotonic() - started < 10, label + ": Ctrl+C ends the wait at once")
        check(process.returncode == 0, label + ": status %s %r" % (process.returncode, err))
        check(rest.decode() == "Stopped after 1 round.\n", label + ": %r" % rest)
        check(len(handler.received) == 1, label + ": one round sent")
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()

    # Ctrl+C while the server keeps the round waiting: the round ends at once,
    # says it was stopped, and so does the program. Natively only: under Wine
    # a Ctrl+C while WinINet waits for the answer does not end the round yet.
    if programs.prefix:
        return
    port, stop, _ = raw_server("silent")
    process = subprocess.Popen(programs.prefix + [programs.score_exe, "--sqlite", log, "--post",
                                                  "http://127.0.0.1:%d/" % port, "--timeout",
                                                  "300", "--call", "UA3AAA"],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               stdin=subprocess.DEVNULL)
    try:
        time.sleep(5)  # the log read, the request sent and waiting
        started = time.monotonic()
        process.send_signal(signal.SIGINT)
        out, err = process.communicate(timeout=60)
        check(time.monotonic() - started < 30, label + ": Ctrl+C ends a round at once")
        check(process.returncode == 0 and re.fullmatch(
            r"\S+ \S+ UTC  score \d+  not sent: stopped\nStopped after 1 round\.\n",
            out.decode(errors="replace")), label + ": stopped in a round: %r %r" % (out, err))
    finally:
        stop.set()
        if process.poll() is None:
            process.kill()
            process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--score", required=True)
    parser.add_argument("--loggen", required=True)
    parser.add_argument("--emulator")
    parser.add_argument("--work", required=True)
    parser.add_argument("--needs", help="a file without which the test is skipped (77)")
    args = parser.parse_args()
    if args.needs and not os.path.exists(args.needs):
        print("skipped: no " + args.needs)
        sys.exit(77)
    # Bounded in time whatever a program or server does.
    signal.alarm(600)
    programs = Programs(args)
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)

    for seed in (1, 7):
        log = os.path.join(args.work, "seed%d.sqlite" % seed)
        programs.loggen("--out", log, "--contacts", "2000", "--seed", str(seed))
        xml_matches_statistics(programs, log, "seed %d" % seed)
        summary_matches_statistics(programs, log, "seed %d" % seed, outside=False)

    # Rows on bands outside the nine, one of them named as a contest band's
    # metre name, and band texts that XML cannot carry as they are.
    log = os.path.join(args.work, "odd-bands.sqlite")
    programs.loggen("--out", log, "--contacts", "500", "--seed", "3")
    with sqlite3.connect(log) as db:
        columns = [row[1] for row in db.execute("PRAGMA table_info(Log)") if not row[5]]
        template = dict(zip(columns, db.execute(
            "SELECT %s FROM Log LIMIT 1" % ",".join(columns)).fetchone()))
        for call, band in (("DL1AA", "50"), ("DL1AB", "50"), ("DL1AC", "20"),
                           ("DL1AD", "<&\"\x01>"), ("DL1AE", "")):
            row = dict(template, CallSign=call, DigiBand=band)
            db.execute("INSERT INTO Log (%s) VALUES (%s)" % (",".join(columns),
                                                            ",".join("?" * len(columns))),
                       [row[c] for c in columns])
        row = dict(template, CallSign="DL1AF")
        db.execute("INSERT INTO Log (%s) VALUES (%s)" % (
            ",".join(columns), ",".join("CAST(X'3134E9' AS TEXT)" if c == "DigiBand" else "?"
                                        for c in columns)),
            [row[c] for c in columns if c != "DigiBand"])
    root = xml_matches_statistics(programs, log, "odd bands",
                                  extra_bands=("50 (not a contest band)",
                                               "20 (not a contest band)",
                                               "<&\"\\x01> (not a contest band)",
                                               "14\\xe9 (not a contest band)"))
    summary_matches_statistics(programs, log, "odd bands", outside=True)

    served, handler = post_rounds(programs, log, "post")
    try:
        every_stops_on_ctrl_c(programs, log, "every", served, handler)
    finally:
        served.shutdown()

    if failures:
        sys.exit("%d failures" % len(failures))
    print("all passed")


if __name__ == "__main__":
    main()

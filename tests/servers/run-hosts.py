#!/usr/bin/env python3
"""Runs one server case: host processes drive MorvelRussia.dll under Wine
against the private database servers of the test run, while the case stops,
restarts and changes those servers between two commands. The host is the test
host (tests/host/: morvel-host with the verbs of the tests), run as
morvel-host.exe, the name the plug-in's message boxes carry.

    run-hosts.py --host EXE --dll DLL --loggen EXE --score EXE
                 --servers STATE_DIR --case CASE_DIR

A case directory holds `script` and `expected`. Script lines:

    # ...                      a comment
    host NAME DATABASE [reader] [table=TABLE]
                               start a morvel-host named NAME on DATABASE: pg,
                               mariadb or sqlite (a file of the case), as the
                               owner or as "reader" (SELECT only); pg-faults
                               is the PostgreSQL database that reads in
                               batches; the log table is TABLE (default Log)
    NAME<TAB>COMMAND...        one morvel-host command; its output is printed
                               with NAME<TAB> before each line
    end NAME                   the host's script ends; prints its exit status
    server ENGINE ACTION       server.sh ACTION (halt, resume) on the engine
    sql DATABASE STATEMENT     run as the administrator, output dropped
    sqlfile DATABASE FILE      the same for a file beside this driver
    loggen DATABASE ARGS...    morvel-loggen.exe (under Wine) writes its log there
    score DATABASE [TABLE]     morvel-score.exe on it; prints "score NAME" and
                               the statistics, band rows sorted (the order
                               of the bands follows the server's collation)
    same NAME NAME...          the last statistics the hosts printed, band
                               rows sorted, compared with each other and
                               with the last score: prints "same N" or the
                               two that differ
    statements USER            the statements USER ran on PostgreSQL since the
                               last such line, as kinds: "statements select N"
                               and one line for every other kind

Every host command is followed by "sleep 0", whose answer marks the end of the
command's output: the driver waits for it before it goes on, so that a server
action comes exactly between two commands, and nothing waits for time.
"""

import argparse
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile

# A command that has not answered by then has hung.
ANSWER_SECONDS = 240


class Failure(Exception):
    pass


def env_file(path):
    values = {}
    with open(path) as f:
        for line in f:
            m = re.match(r"^(\w+)='(.*)'$", line.rstrip("\n"))
            if m:
                values[m.group(1)] = m.group(2)
    return values


class Host:
    def __init__(self, name, process):
        self.name = name
        self.process = process
        self.buffer = b""
        self.last_stats = None

    def send(self, line):
        self.process.stdin.write((line + "\n").encode())
        self.process.stdin.flush()

    def read_line(self):
        deadline = ANSWER_SECONDS
        while b"\n" not in self.buffer:
            ready, _, _ = select.select([self.process.stdout], [], [], deadline)
            if not ready:
                raise Failure(f"host {self.name}: no answer within {ANSWER_SECONDS} s")
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                raise Failure(f"host {self.name}: ended (status {self.process.wait()})")
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode("latin-1").rstrip("\r")

    def command(self, line):
        self.send(line)
        out = self.sync()
        if any(l.startswith("stats\t") for l in out):
            self.last_stats = [l for l in out if not l.startswith(("stats\t", "msgbox\t"))]
        return out

    def sync(self):
        """Waits until the host has carried out everything sent so far."""
        self.send("sleep\t0")
        out = []
        while True:
            got = self.read_line()
            if got == "sleep":
                break
            out.append(got)
        return out


def sorted_stats(lines):
    """The statistics with the band rows sorted."""
    if not lines:
        return []
    head, body = lines[0], lines[1:]
    bands = [l for l in body if not l.startswith(("Total", " Score"))]
    rest = [l for l in body if l.startswith(("Total", " Score"))]
    return [head] + sorted(bands) + rest


class Case:
    def __init__(self, args):
        self.args = args
        self.tmp = tempfile.mkdtemp(prefix="morvel-servers-")
        self.hosts = {}
        self.out = []
        self.last_score = None
        self.log_offsets = {}
        self.env = {}
        for engine in ("pg", "mariadb"):
            path = os.path.join(args.servers, engine, "env")
            if os.path.exists(path):
                self.env[engine] = env_file(path)
        # The drivers as the servers' odbcinst.ini names them (server.sh).
        os.environ["ODBCSYSINI"] = os.path.abspath(args.servers)
        for engine, values in self.env.items():
            # Statements are counted from the start of the case on.
            if engine == "pg" and os.path.exists(values["LOG"]):
                self.log_offsets["*"] = os.path.getsize(values["LOG"])
        self.wine_env = dict(os.environ)
        self.wine_env.update(WINEPREFIX=os.path.join(self.tmp, "prefix"), WINEDEBUG="-all",
                             WINEDLLOVERRIDES="mscoree,mshtml=", WINEARCH="win32")
        here = os.path.dirname(os.path.abspath(__file__))
        subprocess.check_call([os.path.join(here, "..", "..", "scripts", "wine-run"),
                               "--copy-prefix", self.wine_env["WINEPREFIX"]])
        self.app = os.path.join(self.tmp, "app")
        os.makedirs(self.app)
        for exe, name in ((args.host, "morvel-host.exe"), (args.dll, "MorvelRussia.dll"),
                          (args.loggen, "morvel-loggen.exe"), (args.score, "morvel-score.exe")):
            shutil.copy(exe, os.path.join(self.app, name))

    def connection(self, database, user=None):
        if database == "sqlite":
            path = os.path.join(self.tmp, "log.db")
            return f"DRIVER={{SQLite3}};Database={path};"
        engine, _, variant = database.partition("-")
        if engine not in self.env:
            raise Failure(f"no {engine} server in {self.args.servers}")
        values = self.env[engine]
        if variant == "faults":
            return values["FAULTS_ODBC"]
        return values["READER_ODBC" if user == "reader" else "ODBC"]

    def server_sh(self, *args, stdin=None):
        here = os.path.dirname(os.path.abspath(__file__))
        done = subprocess.run(["bash", os.path.join(here, "server.sh"), *args], input=stdin,
                              capture_output=True, text=True)
        if done.returncode != 0:
            raise Failure(f"server.sh {' '.join(args)}: {done.stdout}{done.stderr}")
        return done.stdout

    def sql(self, database, text):
        engine, _, variant = database.partition("-")
        db = "faults" if variant == "faults" else "morvel"
        self.server_sh("sql", engine, os.path.join(self.args.servers, engine), db, stdin=text)

    def wine(self, *args):
        return subprocess.run(["wine", *args], cwd=self.app, env=self.wine_env,
                              capture_output=True)

    def start_host(self, name, database, options):
        connection = self.connection(database, "reader" if "reader" in options else None)
        table = [o.split("=", 1)[1] for o in options if o.startswith("table=")]
        process = subprocess.Popen(
            ["wine", "morvel-host.exe", "--odbc", connection, "--table", (table or ["Log"])[0],
             "-"], cwd=self.app,
            env=self.wine_env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=open(os.path.join(self.tmp, f"host-{name}.err"), "wb"))
        self.hosts[name] = Host(name, process)
        # Connected (or gone) before the case goes on.
        self.out.extend(f"{name}\t{l}" for l in self.hosts[name].sync())

    def end_host(self, name):
        host = self.hosts.pop(name)
        try:
            rest, _ = host.process.communicate(timeout=ANSWER_SECONDS)
        except subprocess.TimeoutExpired:
            host.process.kill()
            raise Failure(f"host {name}: did not end within {ANSWER_SECONDS} s") from None
        rest = rest.decode("latin-1")
        status = host.process.returncode
        for line in (host.buffer.decode("latin-1") + rest).splitlines():
            self.out.append(f"{name}\t{line.rstrip(chr(13))}")
        self.out.append(f"end\t{name}\t{status}")

    def score(self, database, table=None):
        args = ["morvel-score.exe", "--odbc", self.connection(database)]
        if table:
            args += ["--table", table]
        done = self.wine(*args)
        text = done.stdout.decode("latin-1").replace("\r\n", "\n")
        if done.returncode != 0:
            self.out.append(f"score\t{database}\tfailed\t{done.stderr.decode('latin-1').strip()}")
            self.last_score = None
            return
        self.last_score = sorted_stats(text.rstrip("\n").split("\n"))
        self.out.append(f"score\t{database}")
        self.out.extend(self.last_score)

    def same(self, names):
        stats = []
        for name in names:
            host = self.hosts.get(name)
            if host is None or host.last_stats is None:
                raise Failure(f"same: host {name} has printed no statistics")
            stats.append((name, sorted_stats(host.last_stats)))
        if self.last_score is not None:
            stats.append(("score", self.last_score))
        for name, lines in stats[1:]:
            if lines != stats[0][1]:
                self.out.append(f"same\tdiffer\t{stats[0][0]}\t{name}")
                self.out.extend(f"{stats[0][0]}\t{l}" for l in stats[0][1])
                self.out.extend(f"{name}\t{l}" for l in lines)
                return
        self.out.append(f"same\t{len(stats)}")

    def statements(self, user):
        log = self.env["pg"]["LOG"]
        start = self.log_offsets.get(user, self.log_offsets.get("*", 0))
        with open(log, "rb") as f:
            f.seek(start)
            data = f.read().decode("latin-1")
            self.log_offsets[user] = f.tell()
        kinds = {}
        for line in data.splitlines():
            m = re.match(rf"^{re.escape(user)} .*?statement: (.*)$", line)
            if m:
                kind = m.group(1).split()[0].lower() if m.group(1).split() else ""
                kinds[kind] = kinds.get(kind, 0) + 1
        for kind in sorted(kinds):
            self.out.append(f"statements\t{kind}\t{kinds[kind]}")

    def run(self, script):
        for number, raw in enumerate(open(script, encoding="latin-1"), 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            try:
                self.step(line)
            except Failure as e:
                raise Failure(f"line {number}: {e}") from None

    def step(self, line):
        if "\t" in line and line.split("\t", 1)[0] in self.hosts:
            name, command = line.split("\t", 1)
            self.out.extend(f"{name}\t{l}" for l in self.hosts[name].command(command))
            return
        words = line.split(" ")
        verb = words[0]
        if verb == "host":
            self.start_host(words[1], words[2], words[3:])
        elif verb == "end":
            self.end_host(words[1])
        elif verb == "server":
            self.server_sh(words[2], words[1], os.path.join(self.args.servers, words[1]))
            self.out.append(f"server\t{words[1]}\t{words[2]}")
        elif verb == "sql":
            self.sql(words[1], line.split(" ", 2)[2])
        elif verb == "sqlfile":
            here = os.path.dirname(os.path.abspath(__file__))
            with open(os.path.join(here, words[2])) as f:
                self.sql(words[1], f.read())
        elif verb == "loggen":
            target = words[1]
            if target == "sqlite":
                args = ["--out", os.path.join(self.tmp, "log.db")]
            else:
                args = ["--odbc", self.connection(target)]
            done = self.wine("morvel-loggen.exe", *args, *words[2:])
            if done.returncode != 0:
                raise Failure(f"morvel-loggen: {done.stderr.decode('latin-1')}")
        elif verb == "score":
            self.score(words[1], words[2] if len(words) > 2 else None)
        elif verb == "same":
            self.same(words[1:])
        elif verb == "statements":
            self.statements(words[1])
        else:
            raise Failure(f"unknown line: {line}")

    def close(self):
        for host in list(self.hosts.values()):
            try:
                host.process.stdin.close()
            except OSError:
                pass
            try:
                host.process.wait(timeout=60)
            except subprocess.TimeoutExpired:
                host.process.kill()
                host.process.wait()
        subprocess.run(["wineserver", "-k"], env=self.wine_env, capture_output=True)
        shutil.rmtree(self.tmp, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--host", "--dll", "--loggen", "--score", "--servers", "--case"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    case = Case(args)
    try:
        try:
            case.run(os.path.join(args.case, "script"))
            for name in list(case.hosts):
                case.end_host(name)
        except Failure as e:
            print(f"case {os.path.basename(args.case)}: {e}", file=sys.stderr)
            for name in os.listdir(case.tmp):
                if name.startswith("host-") and name.endswith(".err"):
                    sys.stderr.write(open(os.path.join(case.tmp, name),
                                          encoding="latin-1").read())
            print("\n".join(case.out))
            return 1
        # The case's folder differs from run to run.
        text = "\n".join(case.out) + "\n"
        text = text.replace(case.tmp, "%TMP%")
    finally:
        # Whatever happened, no host and no Wine server is left running.
        case.close()
    if os.environ.get("MORVEL_E2E_SAVE"):
        with open(os.environ["MORVEL_E2E_SAVE"], "w", encoding="latin-1") as f:
            f.write(text)
    expected = open(os.path.join(args.case, "expected"), encoding="latin-1").read()
    if text != expected:
        import difflib
        sys.stdout.writelines(difflib.unified_diff(
            expected.splitlines(True), text.splitlines(True), "expected", "actual"))
        print(f"case {os.path.basename(args.case)}: output differs", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

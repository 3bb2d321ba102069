#!/usr/bin/python3
"""A local CDDB server for the tests and the run command.

Speaks the CDDB protocol (levels 1 to 6) on 127.0.0.1, one connection at a time,
from plain xmcd files kept as ENTRIES/<category>/<discid> (eight lowercase
hexadecimal digits). Options make it misbehave the way real servers and
networks do.

    cddb-server.py --entries DIR [--port N] [--port-file FILE] [options]

Start-up and stop:
  --port N              listen on 127.0.0.1:N; 0 (the default) takes a free port
  --port-file FILE      write the port number there once listening; the server
                        exits within 0.2 s of the file's deletion
  --log FILE            also append every received command line to FILE
  --idle-exit SECONDS   exit after SECONDS without a connection or a received
                        line (0, the default: never); a guard for tests that
                        may end without deleting the port file
  SIGTERM and SIGINT end it as well; on the way out it deletes its port file.
  Every received line is logged to standard error.

Conversation:
  greeting              201 <host> CDDBP server v1.5.2 ready at <date>
  cddb hello U H C V    200 Hello and welcome U@H running C V.
  proto N               201 OK, protocol version now: N (1 to 6; 501 for
                        another level); entries are sent as their files hold
                        them, whatever the level
  cddb query ID N OFFSETS... SECONDS
                        200 <cat> <id> <title> for one entry with that id,
                        211 and a list ended by "." for several (in category
                        order), 202 No match for disc ID <id>. for none
  cddb read CAT ID      210 <cat> <id> CD database entry follows ..., the
                        entry's lines and "."; 401 when there is no such entry
  quit, cddb quit       230 <host> Closing connection.  Goodbye. and close
  Before the hello, query and read give 409; a malformed command gives 500.

Misbehaviour:
  --fail STEP=CODE      answer STEP (greeting, hello, proto, query, read) with the
                        one line "CODE <text>"; after a failed greeting the
                        connection is closed (may be repeated for other steps)
  --silent STEP         never answer from STEP on (the greeting included);
                        the connection stays open until the client closes it
  --inexact             answer 211 even when a single entry matches
  --match-all ID        take every query's and every read's disc id as ID
  --close-mid-entry N   close the connection after N lines of an entry
  --long-line           send a comment line of 300 characters in the entry,
                        before its first title line (counted by the option above)
  --lf-only             end the server's lines with LF instead of CR LF
"""

import argparse
import os
import re
import signal
import socket
import sys
import time

STEPS = ("greeting", "hello", "proto", "query", "read")
HOST = "localhost"
POLL_SECONDS = 0.2
LONGEST_COMMAND = 65536
LONG_LINE = ("# " + "a long comment line " * 15)[:300].encode("ascii")

# The texts public servers give with their error codes.
ERROR_TEXTS = {
    ("greeting", 432): "No connections allowed: X users allowed, Y currently active.",
    ("greeting", 433): "No connections allowed: system load too high.",
    ("greeting", 434): "No connections allowed: permission denied.",
    ("hello", 402): "Already shook hands.",
    ("hello", 431): "Handshake not successful, closing connection.",
    ("query", 403): "Database entry is corrupt.",
    ("query", 409): "No handshake.",
    ("read", 401): "No such CD entry in database.",
    ("read", 402): "Server error.",
    ("read", 403): "Database entry is corrupt.",
    ("read", 409): "No handshake.",
}

stop_requested = False


def log(text):
    # Started from Wine or a service, the server may have no standard error.
    if sys.stderr:
        try:
            print("cddb-server: " + text, file=sys.stderr, flush=True)
        except OSError:
            pass


def disc_id(text):
    """The id as eight lowercase hexadecimal digits; None when not hexadecimal."""
    if not re.fullmatch(r"[0-9a-fA-F]{1,8}", text):
        return None
    return "%08x" % int(text, 16)


def failure(value):
    step, _, code = value.partition("=")
    if step not in STEPS or not re.fullmatch(r"[0-9]{3}", code):
        raise argparse.ArgumentTypeError("expected STEP=CODE, STEP one of %s" % ", ".join(STEPS))
    return step, int(code)


def id_argument(value):
    wanted = disc_id(value)
    if not wanted:
        raise argparse.ArgumentTypeError("not a disc id: " + value)
    return wanted


def parse_arguments():
    parser = argparse.ArgumentParser(
        description="A local CDDB server for tests.", formatter_class=argparse.RawDescriptionHelpFormatter,
        epilog=__doc__)
    parser.add_argument("--entries", required=True, help="folder of <category>/<discid> xmcd files")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--log")
    parser.add_argument("--idle-exit", type=float, default=0)
    parser.add_argument("--fail", type=failure, action="append", default=[], metavar="STEP=CODE")
    parser.add_argument("--silent", choices=STEPS, action="append", default=[])
    parser.add_argument("--inexact", action="store_true")
    parser.add_argument("--match-all", type=id_argument, metavar="ID")
    parser.add_argument("--close-mid-entry", type=int, metavar="N")
    parser.add_argument("--long-line", action="store_true")
    parser.add_argument("--lf-only", action="store_true")
    options = parser.parse_args()
    options.fail = dict(options.fail)
    return options


class Stopper:
    """Tells when the server should end: a signal, its port file gone, or
    idle for too long."""

    def __init__(self, options):
        self.port_file = options.port_file
        self.idle_exit = options.idle_exit
        self.last_activity = time.monotonic()

    def active(self):
        self.last_activity = time.monotonic()

    def reason(self):
        if stop_requested:
            return "signal"
        if self.port_file and not os.path.exists(self.port_file):
            return "port file deleted"
        if self.idle_exit > 0 and time.monotonic() - self.last_activity > self.idle_exit:
            return "idle"
        return None


class Closed(Exception):
    """The connection is over: the client left, or the server ends it."""


class Session:
    def __init__(self, connection, options, stopper):
        self.connection = connection
        self.options = options
        self.stopper = stopper
        self.eol = b"\n" if options.lf_only else b"\r\n"
        self.received = b""
        self.silent = False
        self.shook_hands = False

    def run(self):
        try:
            if self.answers("greeting"):
                code = self.options.fail.get("greeting")
                if code:
                    self.fail("greeting", code)
                    return
                self.send("201 %s CDDBP server v1.5.2 ready at %s" % (HOST, time.strftime("%a %b %d %H:%M:%S %Y")))
            while True:
                line = self.receive_line()
                if not self.silent:
                    self.command(line)
        except Closed:
            pass

    def answers(self, step):
        if step in self.options.silent:
            log("silent from the %s on" % step)
            self.silent = True
        return not self.silent

    def send(self, *lines):
        data = b"".join((line if isinstance(line, bytes) else line.encode("latin-1")) + self.eol for line in lines)
        try:
            self.connection.sendall(data)
        except OSError:
            raise Closed()

    def fail(self, step, code):
        self.send("%d %s" % (code, ERROR_TEXTS.get((step, code), "Command failed.")))
        if step == "greeting":
            raise Closed()

    def receive_line(self):
        while b"\n" not in self.received:
            if self.stopper.reason():
                raise Closed()
            try:
                data = self.connection.recv(4096)
            except socket.timeout:
                continue
            except OSError:
                raise Closed()
            if not data or len(self.received) > LONGEST_COMMAND:
                raise Closed()
            self.received += data
        line, _, self.received = self.received.partition(b"\n")
        text = line.rstrip(b"\r").decode("latin-1")
        self.stopper.active()
        log("< " + text)
        if self.options.log:
            with open(self.options.log, "a", encoding="latin-1") as f:
                f.write(text + "\n")
        return text

    def command(self, line):
        words = line.split()
        verb = [w.lower() for w in words[:2]]
        if verb[:1] == ["quit"] or verb == ["cddb", "quit"]:
            self.send("230 %s Closing connection.  Goodbye." % HOST)
            raise Closed()
        if verb == ["cddb", "hello"]:
            self.hello(words[2:])
        elif verb[:1] == ["proto"]:
            self.proto(words[1:])
        elif verb == ["cddb", "query"]:
            self.query(words[2:])
        elif verb == ["cddb", "read"]:
            self.read(words[2:])
        else:
            self.send("500 Unrecognized command.")

    def step(self, name):
        """True when the step is answered normally; otherwise it was failed,
        silenced or refused for want of a handshake."""
        if not self.answers(name):
            return False
        if name in self.options.fail:
            self.fail(name, self.options.fail[name])
            return False
        if name != "hello" and not self.shook_hands:
            self.send("409 No handshake.")
            return False
        return True

    def hello(self, arguments):
        if not self.step("hello"):
            return
        if len(arguments) != 4:
            self.send("500 Command syntax error.")
        elif self.shook_hands:
            self.send("402 Already shook hands.")
        else:
            self.shook_hands = True
            self.send("200 Hello and welcome %s@%s running %s %s." % tuple(arguments))

    def proto(self, arguments):
        if not self.step("proto"):
            return
        if len(arguments) == 1 and arguments[0] in ("1", "2", "3", "4", "5", "6"):
            self.send("201 OK, protocol version now: %s" % arguments[0])
        else:
            self.send("501 Illegal protocol level.")

    def query(self, arguments):
        if not self.step("query"):
            return
        well_formed = len(arguments) >= 3 and disc_id(arguments[0]) and all(a.isdigit() for a in arguments[1:])
        if not well_formed or int(arguments[1]) != len(arguments) - 3 or int(arguments[1]) == 0:
            self.send("500 Command syntax error.")
            return
        wanted = self.options.match_all or disc_id(arguments[0])
        matches = [(category, title(path)) for category, path in entries(self.options.entries, wanted)]
        if not matches:
            self.send("202 No match for disc ID %s." % wanted)
        elif len(matches) == 1 and not self.options.inexact:
            self.send(b"200 %s %s %s" % (matches[0][0].encode(), wanted.encode(), matches[0][1]))
        else:
            self.send("211 Found inexact matches, list follows (until terminating `.')",
                      *[b"%s %s %s" % (category.encode(), wanted.encode(), text) for category, text in matches], ".")

    def read(self, arguments):
        if not self.step("read"):
            return
        if len(arguments) != 2 or not disc_id(arguments[1]):
            self.send("500 Command syntax error.")
            return
        category = arguments[0].lower()
        wanted = self.options.match_all or disc_id(arguments[1])
        path = os.path.join(self.options.entries, category, wanted)
        if not re.fullmatch(r"[a-z0-9_-]+", category) or not os.path.isfile(path):
            self.send("401 %s %s No such CD entry in database." % (category, wanted))
            return
        self.send("210 %s %s CD database entry follows (until terminating `.')" % (category, wanted))
        lines = read_lines(path)
        if self.options.long_line:
            titles = [i for i, line in enumerate(lines) if line.startswith((b"DTITLE", b"TTITLE"))]
            lines.insert(titles[0] if titles else len(lines), LONG_LINE)
        for sent, line in enumerate(lines):
            if sent == self.options.close_mid_entry:
                log("closing after %d lines of the entry" % sent)
                raise Closed()
            self.send(line)
        self.send(".")


def read_lines(path):
    with open(path, "rb") as f:
        return f.read().splitlines()


def entries(folder, wanted):
    """(category, path) of every entry with the id, in category order."""
    try:
        categories = sorted(os.listdir(folder))
    except OSError:
        return []
    found = []
    for category in categories:
        path = os.path.join(folder, category, wanted)
        if os.path.isfile(path):
            found.append((category, path))
    return found


def title(path):
    """The entry's disc title: its DTITLE lines joined, as bytes."""
    return b"".join(line.partition(b"=")[2] for line in read_lines(path) if line.startswith(b"DTITLE="))


def write_port_file(path, port):
    # Written whole under another name first, so that a reader never sees a
    # part of it.
    temporary = path + ".new"
    with open(temporary, "w") as f:
        f.write("%d\n" % port)
    os.replace(temporary, path)


def main():
    options = parse_arguments()

    def request_stop(number, frame):
        global stop_requested
        stop_requested = True

    signal.signal(signal.SIGTERM, request_stop)
    signal.signal(signal.SIGINT, request_stop)

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", options.port))
    listener.listen(8)
    listener.settimeout(POLL_SECONDS)
    port = listener.getsockname()[1]
    stopper = Stopper(options)
    if options.port_file:
        write_port_file(options.port_file, port)
    log("listening on 127.0.0.1:%d, entries in %s" % (port, options.entries))

    while not stopper.reason():
        try:
            connection, peer = listener.accept()
        except (socket.timeout, InterruptedError):
            continue
        stopper.active()
        log("connection from %s:%d" % peer)
        connection.settimeout(POLL_SECONDS)
        Session(connection, options, stopper).run()
        connection.close()
        log("connection closed")

    log("stopping: " + stopper.reason())
    listener.close()
    if options.port_file and os.path.exists(options.port_file):
        os.remove(options.port_file)


if __name__ == "__main__":
    main()

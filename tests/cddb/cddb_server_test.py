#!/usr/bin/python3
"""The local CDDB server that the lookup tests and the run command talk to:
its conversation, its misbehaviours, and how it starts and stops."""

import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cddb-server.py")
ENTRY = b"""# xmcd
#
# Track frame offsets:
#\t150
#\t15150
#\t30150
#
# Disc length: 602 seconds
#
DISCID=0c025803
DTITLE=Some Artist / Some
DTITLE= Album
TTITLE0=First
TTITLE1=Second
TTITLE2=Third
EXTD=
PLAYORDER=
"""
QUERY = "cddb query 0c025803 3 150 15150 30150 602"
HELLO = "cddb hello undef localhost Corvane 1.32"


def wait_until(condition, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.02)
    return condition()


class Server:
    def __init__(self, folder, *options):
        self.port_file = os.path.join(folder, "port")
        self.log = os.path.join(folder, "commands.log")
        self.process = subprocess.Popen(
            [SERVER, "--entries", os.path.join(folder, "entries"), "--port-file", self.port_file, "--log", self.log,
             *options], stderr=subprocess.DEVNULL)
        if not wait_until(lambda: os.path.exists(self.port_file)):
            self.process.kill()
            raise AssertionError("the server did not write its port file")
        with open(self.port_file) as f:
            self.port = int(f.read())

    def stop(self):
        if os.path.exists(self.port_file):
            os.remove(self.port_file)
        return self.process.wait(10)

    def commands(self):
        with open(self.log) as f:
            return f.read().splitlines()


class Client:
    def __init__(self, port):
        self.socket = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.received = b""

    def line(self):
        """The next line with its ending; b"" once the server has closed."""
        while b"\n" not in self.received:
            data = self.socket.recv(4096)
            if not data:
                rest, self.received = self.received, b""
                return rest
            self.received += data
        line, _, self.received = self.received.partition(b"\n")
        return line + b"\n"

    def ask(self, command):
        self.socket.sendall(command.encode() + b"\n")
        return self.line()

    def nothing_within(self, seconds):
        """True when the server neither sends nor closes for that long."""
        self.socket.settimeout(seconds)
        try:
            self.socket.recv(1)
            return False
        except socket.timeout:
            return True
        finally:
            self.socket.settimeout(10)

    def close(self):
        self.socket.close()


class CDDBServerTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.servers = []
        self.add_entry("rock", "0c025803")

    def tearDown(self):
        for server in self.servers:
            if server.process.poll() is None:
                server.stop()

    def add_entry(self, category, discid, text=ENTRY):
        folder = os.path.join(self.folder.name, "entries", category)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, discid), "wb") as f:
            f.write(text)

    def start(self, *options):
        server = Server(self.folder.name, *options)
        self.servers.append(server)
        return server

    def connect(self, server, hello=True):
        client = Client(server.port)
        self.addCleanup(client.close)
        self.assertRegex(client.line(), rb"^201 localhost CDDBP server v1\.5\.2 ready at .+\r\n$")
        if hello:
            self.assertEqual(b"200 Hello and welcome undef@localhost running Corvane 1.32.\r\n", client.ask(HELLO))
        return client

    def read_entry(self, client):
        lines = []
        while True:
            line = client.line()
            if line in (b"", b".\r\n", b".\n"):
                return lines, line
            lines.append(line)

    def test_a_whole_lookup(self):
        server = self.start()
        client = self.connect(server)
        self.assertEqual(b"200 rock 0c025803 Some Artist / Some Album\r\n", client.ask(QUERY))
        self.assertEqual(b"210 rock 0c025803 CD database entry follows (until terminating `.')\r\n",
                         client.ask("cddb read rock 0c025803"))
        lines, end = self.read_entry(client)
        self.assertEqual(ENTRY.replace(b"\n", b"\r\n"), b"".join(lines))
        self.assertEqual(b".\r\n", end)
        self.assertEqual(b"230 localhost Closing connection.  Goodbye.\r\n", client.ask("cddb quit"))
        self.assertEqual(b"", client.line())
        self.assertEqual([HELLO, QUERY, "cddb read rock 0c025803", "cddb quit"], server.commands())
        # The next connection is served as well.
        client = self.connect(server)
        self.assertEqual(b"230 localhost Closing connection.  Goodbye.\r\n", client.ask("quit"))

    def test_no_match_and_no_entry(self):
        client = self.connect(self.start())
        self.assertEqual(b"202 No match for disc ID 0d025803.\r\n", client.ask(QUERY.replace("0c0", "0d0")))
        self.assertEqual(b"401 jazz 0c025803 No such CD entry in database.\r\n", client.ask("cddb read jazz 0c025803"))
        self.assertEqual(b"401 ../rock 0c025803 No such CD entry in database.\r\n",
                         client.ask("cddb read ../rock 0c025803"))

    def test_several_categories_give_the_inexact_list(self):
        self.add_entry("misc", "0c025803", b"DTITLE=Another / Disc\n")
        client = self.connect(self.start())
        self.assertEqual(b"211 Found inexact matches, list follows (until terminating `.')\r\n", client.ask(QUERY))
        self.assertEqual(([b"misc 0c025803 Another / Disc\r\n", b"rock 0c025803 Some Artist / Some Album\r\n"],
                          b".\r\n"), self.read_entry(client))

    def test_inexact_lists_a_single_match(self):
        client = self.connect(self.start("--inexact"))
        self.assertEqual(b"211 Found inexact matches, list follows (until terminating `.')\r\n", client.ask(QUERY))
        self.assertEqual(([b"rock 0c025803 Some Artist / Some Album\r\n"], b".\r\n"), self.read_entry(client))

    def test_match_all_names_any_disc(self):
        client = self.connect(self.start("--match-all", "0C025803"))
        self.assertEqual(b"200 rock 0c025803 Some Artist / Some Album\r\n",
                         client.ask("cddb query 02000201 1 150 2"))
        self.assertEqual(b"210 rock 0c025803 CD database entry follows (until terminating `.')\r\n",
                         client.ask("cddb read rock 02000201"))

    def test_handshake_and_syntax(self):
        client = self.connect(self.start(), hello=False)
        self.assertEqual(b"409 No handshake.\r\n", client.ask(QUERY))
        self.assertEqual(b"409 No handshake.\r\n", client.ask("cddb read rock 0c025803"))
        self.assertEqual(b"500 Command syntax error.\r\n", client.ask("cddb hello undef"))
        self.assertEqual(b"200 Hello and welcome undef@localhost running Corvane 1.32.\r\n", client.ask(HELLO))
        self.assertEqual(b"402 Already shook hands.\r\n", client.ask(HELLO))
        self.assertEqual(b"500 Command syntax error.\r\n", client.ask("cddb query 0c025803 4 150 15150 30150 602"))
        self.assertEqual(b"500 Command syntax error.\r\n", client.ask("cddb query xyz 1 150 2"))
        self.assertEqual(b"500 Unrecognized command.\r\n", client.ask("cddb frobnicate"))

    def test_failed_steps(self):
        for step, command, code in (("hello", HELLO, 431), ("query", QUERY, 403), ("read", "cddb read rock 0c025803",
                                                                                      402)):
            with self.subTest(step=step):
                server = self.start("--fail", "%s=%d" % (step, code))
                client = self.connect(server, hello=False)
                if step != "hello":
                    client.ask(HELLO)
                self.assertRegex(client.ask(command), rb"^%d [^\r\n]+\r\n$" % code)
                server.stop()

    def test_a_failed_greeting_closes_the_connection(self):
        client = Client(self.start("--fail", "greeting=433").port)
        self.addCleanup(client.close)
        self.assertEqual(b"433 No connections allowed: system load too high.\r\n", client.line())
        self.assertEqual(b"", client.line())

    def test_silent_steps(self):
        server = self.start("--silent", "greeting")
        client = Client(server.port)
        self.addCleanup(client.close)
        self.assertTrue(client.nothing_within(1))
        client.close()
        server.stop()

        server = self.start("--silent", "query")
        client = self.connect(server)
        client.socket.sendall(QUERY.encode() + b"\n")
        self.assertTrue(client.nothing_within(1))
        client.socket.sendall(b"cddb quit\n")
        self.assertTrue(client.nothing_within(0.5))
        self.assertTrue(wait_until(lambda: server.commands() == [HELLO, QUERY, "cddb quit"]))

    def test_close_mid_entry(self):
        client = self.connect(self.start("--close-mid-entry", "3"))
        client.ask("cddb read rock 0c025803")
        self.assertEqual(([b"# xmcd\r\n", b"#\r\n", b"# Track frame offsets:\r\n"], b""), self.read_entry(client))

    def test_long_line_comes_before_the_titles(self):
        client = self.connect(self.start("--long-line"))
        client.ask("cddb read rock 0c025803")
        lines, _ = self.read_entry(client)
        self.assertEqual(b"DISCID=0c025803\r\n", lines[9])
        self.assertEqual(302, len(lines[10]))
        self.assertTrue(lines[10].startswith(b"# "))
        self.assertEqual(b"DTITLE=Some Artist / Some\r\n", lines[11])

    def test_lf_only(self):
        client = Client(self.start("--lf-only").port)
        self.addCleanup(client.close)
        self.assertRegex(client.line(), rb"^201 [^\r]+[^\r]\n$")
        self.assertEqual(b"200 Hello and welcome undef@localhost running Corvane 1.32.\n", client.ask(HELLO))

    def test_stops_when_its_port_file_goes_and_on_sigterm(self):
        server = self.start()
        client = self.connect(server)
        # Even with a client connected.
        self.assertEqual(0, server.stop())
        self.assertEqual(b"", client.line())

        server = self.start()
        server.process.send_signal(signal.SIGTERM)
        self.assertEqual(0, server.process.wait(10))
        self.assertFalse(os.path.exists(server.port_file))

    def test_idle_exit(self):
        server = self.start("--idle-exit", "0.5")
        self.assertEqual(0, server.process.wait(10))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)

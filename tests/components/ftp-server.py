#!/usr/bin/python3
"""A local anonymous FTP server for the download tests and the run command.

Serves ROOT read-only to anonymous users on 127.0.0.1, passive mode, with
pyftpdlib (Debian's python3-pyftpdlib). The programs fetch their setups from
ROOT/components. Options make it misbehave the way real servers do.

    ftp-server.py --root DIR [--port N] [--port-file FILE] [options]

Start-up and stop:
  --port N              listen on 127.0.0.1:N; 0 (the default) takes a free port
  --port-file FILE      write the port number there once listening; the server
                        exits within 0.2 s of the file's deletion
  --log FILE            append every received command line to FILE (the
                        password is written as "PASS ***")
  --idle-exit SECONDS   exit after SECONDS without a connection or a command
                        (0, the default: never); a guard for tests that may
                        end without deleting the port file
  SIGTERM and SIGINT end it as well; on the way out it deletes its port file.

Misbehaviour:
  --refuse              refuse every log-on (530)
  --size-zero           list every file with size 0
  --rate BYTES          send file data at BYTES a second at most
  --cut BYTES           send only the first BYTES of a file, then end the
                        transfer as complete (the listing keeps the full size)
  --extra BYTES         send BYTES more after a file's own (the listing keeps
                        its own size), as a server that sends another file
  --stall BYTES         send the first BYTES of a file, then nothing more,
                        keeping the transfer open
  --silent              accept connections and never greet
"""

import argparse
import io
import logging
import os
import signal
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.log import config_logging
from pyftpdlib.servers import FTPServer

POLL_SECONDS = 0.2


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--log")
    parser.add_argument("--idle-exit", type=float, default=0)
    parser.add_argument("--refuse", action="store_true")
    parser.add_argument("--size-zero", action="store_true")
    parser.add_argument("--rate", type=int, default=0)
    parser.add_argument("--cut", type=int, default=-1)
    parser.add_argument("--extra", type=int, default=0)
    parser.add_argument("--stall", type=int, default=-1)
    parser.add_argument("--silent", action="store_true")
    args = parser.parse_args()

    class Extended(io.RawIOBase):
        """A file followed by args.extra bytes of 0x5A, made as they are read."""
        def __init__(self, f):
            self.f, self.left, self.name = f, args.extra, f.name

        def readable(self):
            return True

        def read(self, n=-1):
            data = self.f.read(n)
            if data:
                return data
            take = self.left if n < 0 else min(n, self.left)
            self.left -= take
            return b"\x5a" * take

        def close(self):
            self.f.close()
            super().close()

    last_activity = [time.monotonic()]

    class ServedFS(AbstractedFS):
        def lstat(self, path):
            st = super().lstat(path)
            if args.size_zero:
                values = list(st)
                values[6] = 0  # st_size
                st = os.stat_result(values)
            return st

        def open(self, filename, mode):
            f = super().open(filename, mode)
            if args.extra > 0:
                return Extended(f)
            if args.cut < 0:
                return f
            with f:
                cut = io.BytesIO(f.read(args.cut))
            cut.name = filename
            return cut

    class Handler(FTPHandler):
        abstracted_fs = ServedFS
        permit_foreign_addresses = False

        def on_connect(self):
            last_activity[0] = time.monotonic()

        def handle(self):
            # Greets, unless the server is to keep the client waiting.
            if args.silent:
                self.on_connect()
            else:
                super().handle()

        def pre_process_command(self, line, cmd, arg):
            last_activity[0] = time.monotonic()
            if args.log:
                with open(args.log, "a") as log:
                    log.write(("PASS ***" if cmd == "PASS" else line) + "\n")
            return super().pre_process_command(line, cmd, arg)

    authorizer = DummyAuthorizer()
    if not args.refuse:
        authorizer.add_anonymous(os.path.abspath(args.root), perm="elr")
    Handler.authorizer = authorizer
    if args.stall >= 0:
        class Stalling(DTPHandler):
            def send(self, data):
                if self.tot_bytes_sent >= args.stall:
                    # Off the loop for good: the connection stays, silent.
                    self.del_channel()
                    return 0
                return super().send(data[:args.stall - self.tot_bytes_sent])
        Handler.dtp_handler = Stalling
        # sendfile() would pass the file by the handler's send().
        Handler.use_sendfile = False
    if args.rate > 0:
        class Throttled(ThrottledDTPHandler):
            write_limit = args.rate
        Handler.dtp_handler = Throttled

    server = FTPServer(("127.0.0.1", args.port), Handler)
    # Only trouble on standard error; --log keeps the conversation.
    config_logging(level=logging.WARNING)
    port = server.socket.getsockname()[1]

    def stop(*_):
        raise SystemExit(0)
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    try:
        if args.port_file:
            # Written whole under another name, then renamed: a reader never sees half of it.
            with open(args.port_file + ".new", "w") as f:
                f.write(f"{port}\n")
            os.replace(args.port_file + ".new", args.port_file)
        print(f"ftp-server: listening on 127.0.0.1:{port}, serving {args.root}", file=sys.stderr, flush=True)
        while True:
            server.ioloop.loop(POLL_SECONDS, blocking=False)
            if args.port_file and not os.path.exists(args.port_file):
                break
            if args.idle_exit and time.monotonic() - last_activity[0] > args.idle_exit:
                break
    finally:
        server.close_all()
        if args.port_file:
            try:
                os.remove(args.port_file)
            except FileNotFoundError:
                pass


if __name__ == "__main__":
    main()

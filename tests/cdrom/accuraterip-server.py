#!/usr/bin/python3
"""A local AccurateRip database for the tests and the run command.

Serves, over HTTP on 127.0.0.1, the files below ROOT at their paths (the
entries accuraterip_entry.py writes: ROOT/accuraterip/a/b/c/dBAR-....bin) as
application/octet-stream, and 404 for every other path. Options make it
misbehave as real servers and networks do.

    accuraterip-server.py --root DIR [--port N] [--port-file FILE] [options]

  --port N            listen on 127.0.0.1:N; 0 (the default) takes a free port
  --port-file FILE    write the port number there once listening; the server
                      exits within 0.2 s of the file's deletion
  --log FILE          append every requested path to FILE
  --idle-exit SECONDS exit after SECONDS without a request (0: never)
  --html              answer a missing entry with 200 and an HTML page, as
                      some front ends do, instead of 404
  --silent            accept connections and never answer
  --cut N             send the headers and only N bytes of an entry's body,
                      then close the connection
SIGTERM and SIGINT end it as well; on the way out it deletes its port file.
"""

import argparse
import http.server
import os
import signal
import socketserver
import sys
import threading
import time

POLL_SECONDS = 0.2


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        sys.stderr.write("accuraterip-server: " + (fmt % args) + "\n")

    def do_GET(self):
        options = self.server.options
        self.server.last_request = time.monotonic()
        if options.log:
            with open(options.log, "a", encoding="utf-8") as log:
                log.write(self.path + "\n")
        if options.silent:
            while not self.server.stopping.is_set():
                time.sleep(POLL_SECONDS)
            return
        path = os.path.normpath(self.path.split("?", 1)[0]).lstrip("/")
        full = os.path.join(options.root, path)
        inside = os.path.commonpath([os.path.abspath(options.root), os.path.abspath(full)]) == os.path.abspath(
            options.root)
        if not inside or not path.startswith("accuraterip/") or not os.path.isfile(full):
            if options.html:
                self.answer(200, "text/html", b"<html><body><h1>Not here</h1></body></html>")
            else:
                self.answer(404, "text/html", b"<html><body><h1>404 Not Found</h1></body></html>")
            return
        with open(full, "rb") as entry:
            body = entry.read()
        if options.cut is not None:
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[:options.cut])
            self.wfile.flush()
            self.close_connection = True
            return
        self.answer(200, "application/octet-stream", body)

    def answer(self, code, content_type, body):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True

    def __init__(self, options):
        super().__init__(("127.0.0.1", options.port), Handler)
        self.options = options
        self.stopping = threading.Event()
        self.last_request = time.monotonic()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--log")
    parser.add_argument("--idle-exit", type=float, default=0)
    parser.add_argument("--html", action="store_true")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--cut", type=int)
    options = parser.parse_args()

    server = Server(options)
    signal.signal(signal.SIGTERM, lambda *_: server.stopping.set())
    signal.signal(signal.SIGINT, lambda *_: server.stopping.set())
    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": POLL_SECONDS}, daemon=True)
    thread.start()
    if options.port_file:
        with open(options.port_file + ".tmp", "w", encoding="ascii") as f:
            f.write("%d\n" % server.server_address[1])
        os.replace(options.port_file + ".tmp", options.port_file)
    try:
        while not server.stopping.is_set():
            if options.port_file and not os.path.exists(options.port_file):
                break
            if options.idle_exit > 0 and time.monotonic() - server.last_request > options.idle_exit:
                break
            time.sleep(POLL_SECONDS)
    finally:
        server.stopping.set()
        server.shutdown()
        server.server_close()
        if options.port_file and os.path.exists(options.port_file):
            os.remove(options.port_file)
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""An FTP server 30 ms away, for the publish benchmark.

  slow_ftpd.py ROOT DELAY_MS [--serial]

pyftpdlib's threaded server (writable anonymous user) behind a delay line
on its control port: a small threaded TCP proxy that forwards each chunk,
in order, DELAY_MS/2 after it arrived, in each direction. A lone command
costs DELAY_MS from send to reply, as over a link with that round trip;
commands sent together share one round trip, and several connections wait
side by side. Data connections go straight to the server (its passive
replies name its own ports).

--serial: the earlier model instead, the server waiting DELAY_MS before
each reply with no proxy: commands sent together cost DELAY_MS each.

Prints "port=<n>" (the port to connect to) once it listens.
"""
import argparse
import collections
import logging
import os
import socket
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

p = argparse.ArgumentParser()
p.add_argument("root")
p.add_argument("delay_ms", type=int)
p.add_argument("--serial", action="store_true")
args = p.parse_args()
delay = args.delay_ms / 1000.0

logging.basicConfig(level=logging.WARNING)
auth = DummyAuthorizer()
auth.add_anonymous(args.root, perm="elradfmwMT")


class Handler(FTPHandler):
    authorizer = auth


class SerialHandler(FTPHandler):
    authorizer = auth

    def respond(self, resp, logfun=logging.debug):
        time.sleep(delay)
        super().respond(resp, logfun)


def no_delay(s):
    # Small writes go at once: Nagle's wait would add to the modelled delay.
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)


class DelayedPipe:
    """One direction: a reader stamps each chunk as it arrives; a sender
    passes it on at arrival + half the round trip."""

    def __init__(self, src, dst, closer):
        self.src, self.dst, self.closer = src, dst, closer
        self.chunks = collections.deque()
        self.ready = threading.Condition()
        threading.Thread(target=self.read, daemon=True).start()
        threading.Thread(target=self.send, daemon=True).start()

    def read(self):
        while True:
            try:
                data = self.src.recv(65536)
            except OSError:
                data = b""
            with self.ready:
                self.chunks.append((time.monotonic() + delay / 2, data))
                self.ready.notify()
            if not data:
                return

    def send(self):
        while True:
            with self.ready:
                while not self.chunks:
                    self.ready.wait()
                due, data = self.chunks.popleft()
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            if not data:
                self.closer(self.dst)
                return
            try:
                self.dst.sendall(data)
            except OSError:
                self.closer(self.dst)
                return


class Link:
    """A client's connection and ours to the server: each direction's end
    is passed on as a half close; both sockets close once both ended."""

    def __init__(self, client, upstream):
        self.sockets = (client, upstream)
        self.ended = 0
        self.lock = threading.Lock()
        DelayedPipe(client, upstream, self.end)
        DelayedPipe(upstream, client, self.end)

    def end(self, s):
        try:
            s.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        with self.lock:
            self.ended += 1
            if self.ended < 2:
                return
        for x in self.sockets:
            x.close()


def proxy(listener, server_port):
    while True:
        client, _ = listener.accept()
        try:
            upstream = socket.create_connection(("127.0.0.1", server_port))
        except OSError:
            client.close()
            continue
        no_delay(client)
        no_delay(upstream)
        Link(client, upstream)


os.chdir(args.root)
server = ThreadedFTPServer(("127.0.0.1", 0), SerialHandler if args.serial else Handler)
server.max_cons = 64
server_port = server.socket.getsockname()[1]
if args.serial:
    print("port=%d" % server_port, flush=True)
else:
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    threading.Thread(target=proxy, args=(listener, server_port), daemon=True).start()
    print("port=%d" % listener.getsockname()[1], flush=True)
server.serve_forever()

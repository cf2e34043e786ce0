"""A threaded FTP server for the publish benchmark that waits before each
reply, as a server 30 ms away would seem: one thread per connection, so
several connections wait side by side. Writable anonymous user.
  slow_ftpd.py ROOT DELAY_MS
Prints "port=<n>" once it listens.
"""
import logging
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

root, delay = sys.argv[1], int(sys.argv[2]) / 1000.0
logging.basicConfig(level=logging.WARNING)
auth = DummyAuthorizer()
auth.add_anonymous(root, perm="elradfmwMT")


class Handler(FTPHandler):
    authorizer = auth

    def respond(self, resp, logfun=logging.debug):
        time.sleep(delay)
        super().respond(resp, logfun)


os.chdir(root)
server = ThreadedFTPServer(("127.0.0.1", 0), Handler)
server.max_cons = 64
print("port=%d" % server.socket.getsockname()[1], flush=True)
server.serve_forever()

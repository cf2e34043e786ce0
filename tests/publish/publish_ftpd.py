"""pyftpdlib for the publish tests: a writable anonymous user on a port the
kernel picks (printed as pyftpdlib prints it), with knobs for the cases:
  --local-times     list and set times in the process's zone (TZ), as a
                    server whose clock is off from UTC
  --max-per-ip N    refuse connections beyond N from one address (421)
"""
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

p = argparse.ArgumentParser()
p.add_argument("root")
p.add_argument("--local-times", action="store_true")
p.add_argument("--max-per-ip", type=int, default=0)
a = p.parse_args()

logging.basicConfig(level=logging.INFO)
auth = DummyAuthorizer()
auth.add_anonymous(a.root, perm="elradfmwMT")


class Handler(FTPHandler):
    authorizer = auth
    use_gmt_times = not a.local_times


server = FTPServer(("127.0.0.1", 0), Handler)
if a.max_per_ip:
    server.max_cons_per_ip = a.max_per_ip
server.serve_forever()

# pyftpdlib over explicit TLS for the tests: anonymous, writable, TLS
# required on control and data connections, on a port the kernel picks
# (logged in pyftpdlib's own words so the launcher reads it the same way).
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_FTPHandler
from pyftpdlib.servers import FTPServer

root, cert, key = sys.argv[1:4]
authorizer = DummyAuthorizer()
authorizer.add_anonymous(root, perm="elradfmwMT")
TLS_FTPHandler.certfile = cert
TLS_FTPHandler.keyfile = key
TLS_FTPHandler.tls_control_required = True
TLS_FTPHandler.tls_data_required = True
TLS_FTPHandler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), TLS_FTPHandler)
print("starting FTP server on 127.0.0.1:%d" % server.address[1], flush=True)
server.serve_forever()

# pyftpdlib over explicit TLS for the tests: anonymous, writable, TLS
# required on control and data connections, on a port the kernel picks
# (logged in pyftpdlib's own words so the launcher reads it the same way).
# A fourth argument "refuse-prot-p" makes it refuse encrypted data (PROT P).
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_FTPHandler
from pyftpdlib.servers import FTPServer

root, cert, key = sys.argv[1:4]
refuse_prot_p = sys.argv[4:5] == ["refuse-prot-p"]


class Handler(TLS_FTPHandler):
    def ftp_PROT(self, line):
        if refuse_prot_p and line.strip().upper() == "P":
            self.respond("534 Encrypted data connections are not allowed here.")
        else:
            TLS_FTPHandler.ftp_PROT(self, line)


authorizer = DummyAuthorizer()
authorizer.add_anonymous(root, perm="elradfmwMT")
Handler.certfile = cert
Handler.keyfile = key
Handler.tls_control_required = True
Handler.tls_data_required = True
Handler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), Handler)
print("starting FTP server on 127.0.0.1:%d" % server.address[1], flush=True)
server.serve_forever()

# pyftpdlib over explicit TLS for the tests: anonymous, writable, TLS
# required on control and data connections, on a port the kernel picks
# (logged in pyftpdlib's own words so the launcher reads it the same way).
# A fourth argument "refuse-prot-p" makes it refuse encrypted data (PROT P);
# "data-cert CERT KEY" makes the data connections show another certificate
# (and start no session of the control connection's); "implicit" makes it
# speak TLS from the first byte (implicit FTPS), greeting once secured.
import sys

from OpenSSL import SSL
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

root, cert, key = sys.argv[1:4]
refuse_prot_p = sys.argv[4:5] == ["refuse-prot-p"]
implicit = sys.argv[4:5] == ["implicit"]
data_context = None
if sys.argv[4:5] == ["data-cert"]:
    data_context = SSL.Context(SSL.TLS_SERVER_METHOD)
    data_context.use_certificate_chain_file(sys.argv[5])
    data_context.use_privatekey_file(sys.argv[6])
    data_context.set_session_cache_mode(SSL.SESS_CACHE_OFF)
    data_context.set_options(SSL.OP_NO_TICKET)


class OtherCertificateData(TLS_DTPHandler):
    def secure_connection(self, ssl_context):
        TLS_DTPHandler.secure_connection(self, data_context)


class Handler(TLS_FTPHandler):
    def ftp_PROT(self, line):
        if refuse_prot_p and line.strip().upper() == "P":
            self.respond("534 Encrypted data connections are not allowed here.")
        else:
            TLS_FTPHandler.ftp_PROT(self, line)


class Implicit(Handler):
    # pyftpdlib has no implicit mode: the handshake starts on connect, and
    # the greeting waits until it is done.
    def handle(self):
        self.secure_connection(self.ssl_context)

    def handle_ssl_established(self):
        Handler.handle(self)


authorizer = DummyAuthorizer()
authorizer.add_anonymous(root, perm="elradfmwMT")
Handler.certfile = cert
Handler.keyfile = key
Handler.tls_control_required = True
Handler.tls_data_required = True
Handler.authorizer = authorizer
if data_context is not None:
    Handler.dtp_handler = OtherCertificateData
if implicit:
    Implicit.ssl_context = Handler.get_ssl_context()
server = FTPServer(("127.0.0.1", 0), Implicit if implicit else Handler)
print("starting FTP server on 127.0.0.1:%d" % server.address[1], flush=True)
server.serve_forever()

"""pyftpdlib for the publish tests: a writable anonymous user on a port the
kernel picks (printed as pyftpdlib prints it), with knobs for the cases:
  --local-times     list and set times in the process's zone (TZ), as a
                    server whose clock is off from UTC
  --max-per-ip N    refuse connections beyond N from one address (421)
  --no-rename-over  refuse RNTO onto an existing file (550), as some
                    servers on other systems do
  --cut-stor N      close the connection, without a reply, at every Nth
                    STOR of the server (a line cut mid-run)
  --slow            data connections carry 20,000 bytes a second
  --content-faults  a STOR whose bytes begin with "FAIL" is stored whole but
                    answered 451 (an upload that failed at its end); MFMT
                    on a file whose bytes begin with "NOTIME" is refused,
                    and so is RNTO of one whose bytes begin with "NORENAME",
                    and MKD of a folder whose name begins with "NOMKD";
                    RNTO of a file whose bytes begin with "LIERENAME" is
                    answered 250 but nothing is renamed, and a STOR of bytes
                    beginning "PARTSTOR" keeps only its first 100 bytes
                    and is answered 226; one beginning "VANISH" is removed
                    before its 226, as another client's cleanup would
"""
import os
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

p = argparse.ArgumentParser()
p.add_argument("root")
p.add_argument("--local-times", action="store_true")
p.add_argument("--max-per-ip", type=int, default=0)
p.add_argument("--no-rename-over", action="store_true")
p.add_argument("--cut-stor", type=int, default=0)
p.add_argument("--content-faults", action="store_true")
p.add_argument("--slow", action="store_true")
a = p.parse_args()

logging.basicConfig(level=logging.INFO)
auth = DummyAuthorizer()
auth.add_anonymous(a.root, perm="elradfmwMT")


stors = [0]


def starts_with(path, prefix):
    try:
        with open(path, "rb") as f:
            return f.read(len(prefix)) == prefix
    except OSError:
        return False


class Handler(FTPHandler):
    authorizer = auth
    use_gmt_times = not a.local_times

    def ftp_RNTO(self, path):
        if a.content_faults and self._rnfr and starts_with(self._rnfr, b"LIERENAME"):
            self._rnfr = None
            self.respond("250 Renaming ok.")
            return
        if a.content_faults and self._rnfr and starts_with(self._rnfr, b"NORENAME"):
            self._rnfr = None
            self.respond("553 Rename refused.")
            return
        if a.no_rename_over and self._rnfr and os.path.isfile(path):
            self._rnfr = None
            self.respond("550 Destination exists.")
            return
        return super().ftp_RNTO(path)

    stor_path = None

    def respond(self, resp, logfun=logging.debug):
        if a.content_faults and resp.startswith("226") and self.stor_path:
            if starts_with(self.stor_path, b"FAIL"):
                resp = "451 Requested action aborted: local error in processing."
            elif starts_with(self.stor_path, b"PARTSTOR"):
                os.truncate(self.stor_path, 100)
            elif starts_with(self.stor_path, b"VANISH"):
                os.remove(self.stor_path)
            self.stor_path = None
        return super().respond(resp, logfun)

    def ftp_MKD(self, path):
        if a.content_faults and os.path.basename(path).startswith("NOMKD"):
            self.respond("550 Folder refused.")
            return
        return super().ftp_MKD(path)

    def ftp_MFMT(self, path, timeval):
        if a.content_faults and starts_with(path, b"NOTIME"):
            self.respond("550 Cannot set the time.")
            return
        return super().ftp_MFMT(path, timeval)

    def ftp_STOR(self, file, mode="w"):
        self.stor_path = file
        stors[0] += 1
        if a.cut_stor and stors[0] % a.cut_stor == 0:
            self.close()
            return
        return super().ftp_STOR(file, mode)


if a.slow:
    ThrottledDTPHandler.read_limit = ThrottledDTPHandler.write_limit = 20000
    Handler.dtp_handler = ThrottledDTPHandler
server = FTPServer(("127.0.0.1", 0), Handler)
if a.max_per_ip:
    server.max_cons_per_ip = a.max_per_ip
server.serve_forever()

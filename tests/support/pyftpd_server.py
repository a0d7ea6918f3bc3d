"""FTP server for the integration tests, on 127.0.0.1 only.

Usage: pyftpd_server.py ROOT USER PASSWORD [LIST_SHIFT_MINUTES] [--max-rate BYTES]

Binds a port the system chooses, prints it on a line of its own and serves until it is
terminated. Listed modification times are local times moved by LIST_SHIFT_MINUTES, so a test
can play a server whose clock runs ahead (positive) or behind (negative). --max-rate limits
each data connection to BYTES a second, so a test can act while a transfer is under way.
"""

import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


class _ShiftedStat:
    """A stat result whose modification time is moved by a fixed number of seconds."""

    def __init__(self, st, shift):
        self._st = st
        self.st_mtime = st.st_mtime + shift

    def __getattr__(self, name):
        return getattr(self._st, name)


def make_filesystem(shift_seconds):
    class ShiftedFS(AbstractedFS):
        def stat(self, path):
            return _ShiftedStat(super().stat(path), shift_seconds)

        def lstat(self, path):
            return _ShiftedStat(super().lstat(path), shift_seconds)

        def getmtime(self, path):
            return super().getmtime(path) + shift_seconds

    return ShiftedFS


def main(argv):
    parser = argparse.ArgumentParser(description="FTP server for the integration tests")
    parser.add_argument("root")
    parser.add_argument("user")
    parser.add_argument("password")
    parser.add_argument("list_shift_minutes", type=int, nargs="?", default=0)
    parser.add_argument("--max-rate", type=int, default=0)
    args = parser.parse_args(argv[1:])
    root, user, password = args.root, args.user, args.password
    shift_minutes = args.list_shift_minutes

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")

    class Handler(FTPHandler):
        pass

    handler = Handler
    handler.authorizer = authorizer
    handler.abstracted_fs = make_filesystem(shift_minutes * 60)
    handler.banner = "Quillmar test pyftpdlib ready."
    # Local times, so that the listing differs from the file system by the shift alone.
    handler.use_gmt_times = False
    # Names that are not UTF-8 travel byte for byte.
    handler.unicode_errors = "surrogateescape"
    # Refused logins answer at once instead of after the default three-second pause.
    handler.auth_failed_timeout = 0
    # PORT may only name the client's own address (127.0.0.1); passive listeners bind to the
    # control connection's local address, which is 127.0.0.1 as well.
    handler.permit_foreign_addresses = False
    handler.passive_ports = None
    if args.max_rate > 0:
        class Throttled(ThrottledDTPHandler):
            pass

        Throttled.read_limit = args.max_rate
        Throttled.write_limit = args.max_rate
        handler.dtp_handler = Throttled

    server = FTPServer(("127.0.0.1", 0), handler)
    sys.stdout.write("%d\n" % server.socket.getsockname()[1])
    sys.stdout.flush()
    server.serve_forever()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

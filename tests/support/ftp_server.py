"""Loopback FTP server for tests: pyftpdlib on 127.0.0.1, configured by a JSON file.

Prints "port N" on stdout once it listens, then serves until it is signalled.
"""
import json
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler, proto_cmds
from pyftpdlib.servers import FTPServer


def make_handler(cfg):
    authorizer = DummyAuthorizer()
    for account in cfg["accounts"]:
        authorizer.add_user(account["user"], account["password"], account["home"],
                            perm=account["perm"])

    disabled = set(cfg["disabled_commands"])
    listing = cfg.get("listing")

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.banner = cfg["banner"]
    Handler.timeout = cfg["idle_timeout"]
    # A refused log-in answers at once; the default delay would only slow the tests.
    Handler.auth_failed_timeout = 0
    Handler.proto_cmds = {k: v for k, v in proto_cmds.items() if k not in disabled}
    if cfg.get("masquerade_address"):
        Handler.masquerade_address = cfg["masquerade_address"]
    if cfg["rate_limit"] > 0:
        dtp = type("Dtp", (ThrottledDTPHandler,), {})
        dtp.read_limit = cfg["rate_limit"]
        dtp.write_limit = cfg["rate_limit"]
        Handler.dtp_handler = dtp
    if listing is not None:
        # A fixed LIST reply, for names no file system can hold.
        def ftp_LIST(self, path):
            self.push_dtp_data(listing.encode("utf-8", "surrogateescape"), cmd="LIST")
            return path
        Handler.ftp_LIST = ftp_LIST
    return Handler


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        cfg = json.load(f)
    server = FTPServer(("127.0.0.1", 0), make_handler(cfg))
    server.max_cons = 64
    print("port %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(timeout=0.2, handle_exit=True)


if __name__ == "__main__":
    main()

"""The built-in demo of scripts/play, run around the player by
tests/servers/with_servers.py: a local portal on the origin that scripts/build
compiles in (https://localhost:18431, with the test certificates that the Wine
prefix trusts) with one entry, `demo`, whose movie comes from a loopback HTTP
server."""

import errno
import sys

from loopback import Server, body
from portal import PORT, demo, entry_path, metadata, portal_server

ENTRY = "demo"


def _portal(pki):
    try:
        return portal_server(pki, wait=0)
    except OSError as error:
        if error.errno != errno.EADDRINUSE:
            raise
    print(f"demo portal: port {PORT} is in use (a test run?); waiting for it", file=sys.stderr)
    return portal_server(pki, wait=300)


def servers(pki):
    movies = Server("127.0.0.1")
    movies.route("/demo.swf", body(demo(),
                                   content_type="application/x-shockwave-flash"))
    site = _portal(pki)
    site.route(entry_path(ENTRY), body(metadata(550, 400, "Quibbleton Demo", movies.url("/demo.swf"),
                                                "level=1&sound=off")))
    return {"portal": site, "movies": movies}

"""A local stand-in for the game portal, on the origin that scripts/build
compiles into the player (QP_PORTAL_ORIGIN=https://localhost:18431).

    from portal import portal_server, metadata, movie, PORT
    site = portal_server(pki)                       # TLS on 127.0.0.1:18431
    movies = Server("127.0.0.1").route("/m.swf", body(movie(), content_type="application/x-shockwave-flash"))
    site.route(entry_path("123_7"), body(metadata(550, 400, "Demo", movies.url("/m.swf"), "a=1")))

Used by the end-to-end tests (tests/wine/player_servers.py), the demo of
scripts/play and scripts/bench-startup. The port is fixed, so runs take turns
for it: portal_server waits up to `wait` seconds for a busy port.
"""

import os
import runpy
import sys
import time

from loopback import Server

PORT = 18431
ENTRY_PATH = "/portal/swf-player-meta/"
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

_make_swf = runpy.run_path(os.path.join(ROOT, "scripts", "make-swf"))
movie, demo = _make_swf["movie"], _make_swf["demo"]


def entry_path(entry):
    return ENTRY_PATH + entry


def portal_server(pki, wait=60):
    tls = (os.path.join(pki, "localhost.pem"), os.path.join(pki, "localhost.key"))
    start = time.monotonic()
    server = Server("127.0.0.1", PORT, tls=tls, wait=wait)
    waited = time.monotonic() - start
    if waited > 1:
        print(f"portal: waited {waited:.1f} s for port {PORT}", file=sys.stderr)
    return server


def metadata(width, height, title, swf, flash_vars):
    """An entry's metadata as the portal writes it: one flat object, one blank
    after each colon, slashes escaped, a line feed after the closing brace.
    title is text (sent as UTF-8); the player splits pairs at ',' and drops
    quotes, so no value may hold either."""
    values = {"title": title, "swf": swf, "flashVars": flash_vars}
    for name, value in values.items():
        if "," in value or '"' in value:
            raise ValueError(f"{name} {value!r}: the metadata format has no room for ',' or '\"'")
    text = (f'{{"width": {int(width)}, "height": {int(height)}, "title": "{title}", '
            f'"swf": "{swf.replace("/", chr(92) + "/")}", "flashVars": "{flash_vars}"}}\n')
    return text.encode("utf-8")


def stall_letting_go_of_the_port():
    """Never answers, like loopback.stall, but closes the listening socket as
    soon as the request is in. The connection stays open (the client waits
    out its own time-out) while other runs can bind the fixed port."""
    def answer(request):
        server = request.server
        # serve_forever runs on another thread; shutdown waits for it to stop.
        server.shutdown()
        server.server_close()
        request.server.owner.stopping.wait()
    return answer


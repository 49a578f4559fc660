"""The portal the installed player talks to (with_servers.py): the test
installer's player asks https://localhost:18431, scripts/build's loopback
origin, so this server needs that fixed port (private_loopback.py gives each
test a port of its own)."""

import json
import os

from loopback import Server, body

PORTAL_PORT = 18431

# What the portal says about entry 123_7; the title shows the answer arrived.
ENTRY = {"width": 320, "height": 240, "title": "Link scheme test", "flashVars": "from=link"}


def servers(pki):
    portal = Server("127.0.0.1", PORTAL_PORT, wait=120,
                    tls=(os.path.join(pki, "localhost.pem"), os.path.join(pki, "localhost.key")))
    portal.route("/portal/swf-player-meta/123_7", body(json.dumps(ENTRY).encode(), content_type="application/json"))
    return {"portal": portal}

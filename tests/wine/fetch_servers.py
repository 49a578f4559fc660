"""The loopback servers around each test of qp_fetch_tests (with_servers.py)."""

import os

from loopback import ClosedPort, Server, blocks, body, redirect, stall, truncated

HELLO = b"Hello from the loopback server\n"


def block_body():
    # FetchTest.cpp builds the same bytes: every 256th one and more are NUL.
    return bytes((i * 31 + (i >> 8)) & 0xFF for i in range(40000))


def servers(pki):
    http = Server("127.0.0.1")
    other = Server("127.0.0.1")
    http.route("/hello", body(HELLO))
    http.route("/moved", redirect("/hello"))
    http.route("/chain", redirect(other.url("/hop")))
    other.route("/hop", redirect(http.url("/hello")))
    http.route("/missing", body(b"<html><body>No such entry</body></html>", status=404,
                                content_type="text/html"))
    http.route("/blocks", blocks(block_body(), size=7))
    http.route("/partial", truncated(b"first half", announced=20))
    http.route("/stall", stall())

    def tls(name):
        return (os.path.join(pki, name + ".pem"), os.path.join(pki, name + ".key"))

    https = Server("127.0.0.1", tls=tls("localhost")).route("/hello", body(HELLO))
    untrusted = Server("127.0.0.1", tls=tls("untrusted-localhost")).route("/hello", body(HELLO))
    otherhost = Server("127.0.0.1", tls=tls("otherhost")).route("/hello", body(HELLO))

    # Plain http:// handing over to https://, where the roots come in late.
    http.route("/to-https", redirect(https.url("/hello")))
    http.route("/to-untrusted", redirect(untrusted.url("/hello")))
    http.route("/to-otherhost", redirect(otherhost.url("/hello")))

    result = {"http": http, "other": other, "refused": ClosedPort("127.0.0.1"),
              "https": https, "untrusted": untrusted, "otherhost": otherhost}

    # A server on ::1 alone, its port held closed on 127.0.0.1, so only an
    # IPv6 connection to localhost could reach it. Left out without ::1.
    for _ in range(20):
        try:
            v6 = Server("::1")
        except OSError:
            break
        try:
            result["v4side"] = ClosedPort("127.0.0.1", v6.port)
        except OSError:
            v6.stop()
            continue
        result["v6"] = v6.route("/reached", body(HELLO))
        break
    return result

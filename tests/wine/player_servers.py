"""The servers around each end-to-end test of the player (with_servers.py):
the portal on the fixed origin the build compiles in, and the movies it names
over plain HTTP. PlayerTest.cpp and its siblings expect these entries."""

from loopback import Server, body
from portal import entry_path, metadata, movie, portal_server, stall_letting_go_of_the_port

# 400 x 300 keeps the ratio exact in single precision (300 * 4/3 is 400).
STAGE = (400, 300)
BACKGROUND = (0x2E, 0x8B, 0x57)

ENTRIES = {
    "123": "Entry 123",
    "123_7": "Entry 123 part 7",
    "pokemon": "Pok\u00e9mon",
    "kana": "\u30dd\u30b1\u30e2\u30f3",
}


def servers(pki):
    movies = Server("127.0.0.1")
    movies.route("/stage.swf", body(movie(*STAGE, fps=24, frames=24, background=BACKGROUND),
                                    content_type="application/x-shockwave-flash"))
    site = portal_server(pki)
    for entry, title in ENTRIES.items():
        site.route(entry_path(entry), body(metadata(*STAGE, title, movies.url("/stage.swf"), "a=1&b=2")))
    site.route(entry_path("123%22_7"), body(metadata(*STAGE, "Entry 123%22 part 7",
                                                     movies.url("/stage.swf"), "")))
    site.route(entry_path("stall"), stall_letting_go_of_the_port())
    return {"portal": site, "movies": movies}

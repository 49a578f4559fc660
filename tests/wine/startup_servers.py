"""The portal around each test of qp_startup_tests (with_servers.py): those
launches name entries, and their requests must reach a portal of their own,
not the one another test or run is serving. It knows no entry (404s)."""

from portal import portal_server


def servers(pki):
    return {"portal": portal_server(pki)}

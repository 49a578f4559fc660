"""Loopback HTTP/HTTPS servers for tests (Python 3 standard library only).

A Server binds when it is made (port 0 picks a free port, so .port is known
before anything starts and routes may point at other servers), serves from a
thread after start(), and lets go of everything in stop(): every connection it
holds, including ones a stall route keeps waiting.

    from loopback import Server, ClosedPort, body, redirect, blocks, stall, truncated
    portal = Server("127.0.0.1", 18431, tls=(pki + "/localhost.pem", pki + "/localhost.key"),
                    wait=60)
    portal.route("/portal/swf-player-meta/123_7", body(metadata))
    portal.route("/old", redirect(portal.url("/portal/swf-player-meta/123_7")))
    portal.start(); ...; portal.stop()
    portal.requests   # [("GET", "/old"), ("GET", "/portal/...")], in arrival order

url() names an HTTPS server on 127.0.0.1 "localhost": the test certificates
(testpki.py) are for that name, and it is the only kind of name libcurl's
Schannel host check matches.

Routes are matched on the whole request target (path and query). A request for
anything else gets a 404 with the body b"no route". Each request is logged
(method and target) before its route runs, so a stalled request is logged too;
with log_path the same lines, "GET /old\n", are appended to that file as they
come, for test programs in other processes (Windows tests read it under Wine).

host must be "127.0.0.1" or "::1": nothing here listens beyond loopback. A
fixed port that is busy (another run using the same fixed port) is retried for
up to `wait` seconds, so runs that need one fixed port take turns.

ClosedPort binds a loopback port without listening: connections to it are
refused, and nobody else can take the port while it is held.

with_servers.py (next to this file) runs a program with a set of these.
"""

import errno
import http.server
import socket
import socketserver
import ssl
import sys
import threading
import time

LOOPBACK = ("127.0.0.1", "::1")


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuibbletonTestServer"
    sys_version = ""

    def setup(self):
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.server.tls_context is not None:
            # The handshake runs here, on the connection's own thread, so a
            # client that never finishes it cannot hold up the others.
            self.request = self.server.tls_context.wrap_socket(self.request, server_side=True)
        super().setup()

    def _dispatch(self):
        self.server.owner._log(self.command, self.path)
        route = self.server.owner.routes.get(self.path)
        if route is None:
            body(b"no route", status=404)(self)
        else:
            route(self)
        self.close_connection = True

    do_GET = do_HEAD = do_POST = do_PUT = do_DELETE = do_OPTIONS = _dispatch

    def log_message(self, format, *args):
        pass


class _TcpServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    block_on_close = False

    def __init__(self, owner, family, address, tls_context):
        self.address_family = family
        self.owner = owner
        self.tls_context = tls_context
        super().__init__(address, _Handler, bind_and_activate=False)

    def server_bind(self):
        if self.address_family == socket.AF_INET6:
            self.socket.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.socket.getsockname()[:2]

    def process_request_thread(self, request, client_address):
        with self.owner._lock:
            self.owner._connections.add(request)
        try:
            super().process_request_thread(request, client_address)
        finally:
            with self.owner._lock:
                self.owner._connections.discard(request)

    def handle_error(self, request, client_address):
        error = sys.exc_info()[1]
        # Clients that give up (a failed certificate check, a time-out) are
        # part of the tests; anything else is worth a line.
        if not isinstance(error, OSError):
            print(f"loopback: {self.owner.url('')}: {error!r}", file=sys.stderr)


def _check_host(host):
    if host not in LOOPBACK:
        raise ValueError(f"loopback servers bind to 127.0.0.1 or ::1, not {host!r}")
    return socket.AF_INET6 if host == "::1" else socket.AF_INET


def _bind_retrying(bind, port, wait):
    deadline = time.monotonic() + wait
    while True:
        try:
            return bind()
        except OSError as error:
            if error.errno != errno.EADDRINUSE or port == 0 or time.monotonic() >= deadline:
                raise
            time.sleep(0.2)


class Server:
    def __init__(self, host="127.0.0.1", port=0, tls=None, log_path=None, wait=0):
        family = _check_host(host)
        self.host = host
        self.tls = tls is not None
        self.routes = {}
        self.requests = []
        self.stopping = threading.Event()
        self._lock = threading.Lock()
        self._connections = set()
        self._log_file = None
        if log_path:
            self.log_to(log_path)
        context = None
        if tls is not None:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*tls)

        def bind():
            server = _TcpServer(self, family, (host, port), context)
            try:
                server.server_bind()
                server.server_activate()
            except OSError:
                server.server_close()
                raise
            return server

        self._server = _bind_retrying(bind, port, wait)
        self.port = self._server.server_port
        self._thread = None

    def url(self, path="/", hostname=None):
        scheme = "https" if self.tls else "http"
        if hostname is None:
            hostname = "[::1]" if self.host == "::1" else "localhost" if self.tls else self.host
        return f"{scheme}://{hostname}:{self.port}{path}"

    def log_to(self, path):
        """Appends each request's line to the file at path from now on."""
        with self._lock:
            if self._log_file is not None:
                self._log_file.close()
            self._log_file = open(path, "a", buffering=1)
        return self

    def route(self, path, handler):
        self.routes[path] = handler
        return self

    def start(self):
        self._thread = threading.Thread(target=self._server.serve_forever,
                                        kwargs={"poll_interval": 0.05}, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self.stopping.set()
        if self._thread is not None:
            self._server.shutdown()
            self._thread.join()
            self._thread = None
        self._server.server_close()
        with self._lock:
            held = list(self._connections)
        for connection in held:
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        with self._lock:
            if self._log_file is not None:
                self._log_file.close()
                self._log_file = None

    def _log(self, method, target):
        with self._lock:
            self.requests.append((method, target))
            if self._log_file is not None:
                self._log_file.write(f"{method} {target}\n")


class ClosedPort:
    """A bound, never listening loopback port: connecting to it is refused."""

    def __init__(self, host="127.0.0.1", port=0, wait=0):
        family = _check_host(host)

        def bind():
            sock = socket.socket(family, socket.SOCK_STREAM)
            try:
                sock.bind((host, port))
            except OSError:
                sock.close()
                raise
            return sock

        self._socket = _bind_retrying(bind, port, wait)
        self.host = host
        self.port = self._socket.getsockname()[1]

    def start(self):
        return self

    def stop(self):
        self._socket.close()


def stop_all(servers):
    """Stops servers side by side: each stop waits up to a poll interval."""
    threads = [threading.Thread(target=server.stop) for server in servers]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()


# Routes: each takes the request handler and answers (or does not).

def body(data, status=200, content_type="text/plain", headers=()):
    """A whole body with its Content-Length."""
    def answer(request):
        request.send_response(status)
        request.send_header("Content-Type", content_type)
        request.send_header("Content-Length", str(len(data)))
        request.send_header("Connection", "close")
        for name, value in headers:
            request.send_header(name, value)
        request.end_headers()
        if request.command != "HEAD":
            request.wfile.write(data)
    return answer


def redirect(location, status=302):
    """A redirect to an absolute URL or a path on the same server."""
    return body(b"moved", status=status, headers=(("Location", location),))


def blocks(data, size=7, status=200):
    """The body in chunked encoding, `size` bytes a chunk, each one sent on its
    own, so the client gets it in many small pieces."""
    def answer(request):
        request.send_response(status)
        request.send_header("Content-Type", "application/octet-stream")
        request.send_header("Transfer-Encoding", "chunked")
        request.send_header("Connection", "close")
        request.end_headers()
        for start in range(0, len(data), size):
            piece = data[start:start + size]
            request.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
        request.wfile.write(b"0\r\n\r\n")
    return answer


def truncated(data, announced):
    """Announces `announced` bytes, sends `data`, and hangs up."""
    def answer(request):
        request.send_response(200)
        request.send_header("Content-Type", "application/octet-stream")
        request.send_header("Content-Length", str(announced))
        request.end_headers()
        request.wfile.write(data)
        request.wfile.flush()
        request.connection.shutdown(socket.SHUT_RDWR)
    return answer


def stall():
    """Reads the request and never answers, until the server stops."""
    def answer(request):
        request.server.owner.stopping.wait()
    return answer

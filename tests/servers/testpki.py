"""Certificates for the loopback HTTPS servers, made once with openssl.

    python3 tests/servers/testpki.py [DIR]     # default: build/testpki

DIR then holds (all PEM):
  ca.pem, ca.key               "Quibbleton Test CA"; scripts/lib/wine-env.sh adds
                               ca.pem to the Wine prefix's Root store
  localhost.pem, .key          signed by the CA for DNS:localhost (first SAN,
                               the only kind of name libcurl's Schannel host
                               check matches) and IP:127.0.0.1
  otherhost.pem, .key          signed by the CA for DNS:elsewhere.test only
  untrusted-localhost.pem, .key  self-signed for DNS:localhost, IP:127.0.0.1

The set is built in a scratch folder and renamed into place, so parallel
callers never see half of it; an existing set is kept as it is (delete DIR to
renew it, then restart Wine through wine-env.sh so the prefix trusts the new CA).
"""

import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEFAULT_DIR = os.path.join(ROOT, "build", "testpki")
DAYS = "7300"
FILES = ("ca.pem", "localhost.pem", "localhost.key", "otherhost.pem", "otherhost.key",
         "untrusted-localhost.pem", "untrusted-localhost.key")

LEAF_EXTENSIONS = """\
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = {san}
"""


def _openssl(*args, cwd):
    subprocess.run(("openssl",) + args, cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _leaf(work, name, subject, san, issuer):
    with open(os.path.join(work, name + ".ext"), "w") as ext:
        ext.write(LEAF_EXTENSIONS.format(san=san))
    _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key",
             "-subj", subject, "-out", name + ".csr", cwd=work)
    if issuer is None:
        _openssl("x509", "-req", "-in", name + ".csr", "-key", name + ".key",
                 "-days", DAYS, "-sha256", "-extfile", name + ".ext",
                 "-out", name + ".pem", cwd=work)
    else:
        _openssl("x509", "-req", "-in", name + ".csr", "-CA", issuer + ".pem",
                 "-CAkey", issuer + ".key", "-CAcreateserial", "-days", DAYS,
                 "-sha256", "-extfile", name + ".ext", "-out", name + ".pem", cwd=work)


def ensure(directory=DEFAULT_DIR):
    """Makes the set unless it is there; returns the directory."""
    if all(os.path.exists(os.path.join(directory, f)) for f in FILES):
        return directory
    parent = os.path.dirname(os.path.abspath(directory))
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix=".testpki-", dir=parent)
    try:
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key",
                 "-subj", "/O=Quibbleton Player tests/CN=Quibbleton Test CA",
                 "-days", DAYS, "-sha256",
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                 "-out", "ca.pem", cwd=work)
        _leaf(work, "localhost", "/CN=localhost", "DNS:localhost, IP:127.0.0.1", "ca")
        _leaf(work, "otherhost", "/CN=elsewhere.test", "DNS:elsewhere.test", "ca")
        _leaf(work, "untrusted-localhost", "/CN=localhost",
              "DNS:localhost, IP:127.0.0.1", None)
        for leftover in os.listdir(work):
            if leftover.endswith((".csr", ".ext", ".srl")):
                os.remove(os.path.join(work, leftover))
        try:
            os.rename(work, directory)
        except OSError:
            # Someone else finished first (or an incomplete set is in the way).
            if not all(os.path.exists(os.path.join(directory, f)) for f in FILES):
                raise
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return directory


if __name__ == "__main__":
    print(ensure(os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else DEFAULT_DIR))

"""Runs a program in a network namespace of its own, with its loopback up.

    python3 private_loopback.py -- PROGRAM [ARGS...]
    python3 private_loopback.py --check


Fixed loopback ports (the test portal's 18431) are then the program's alone:
servers it starts bind them without waiting for other test runs on the
machine, and no other run's clients reach them. Unix sockets (the X display,
wineservers) are files and work as before. Needs the right to make a network
namespace (root); without it the program runs in the machine's namespace,
with a note on standard error. The exit code is PROGRAM's. --check exits 0
when a network namespace can be made here, 1 when not.
"""

import ctypes
import fcntl
import os
import socket
import struct
import sys

CLONE_NEWNET = 0x40000000
SIOCGIFFLAGS = 0x8913
SIOCSIFFLAGS = 0x8914
IFF_UP = 0x1


def enter_private_network():
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.unshare(CLONE_NEWNET) != 0:
        return os.strerror(ctypes.get_errno())
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        request = struct.pack("16sH22x", b"lo", 0)
        flags = struct.unpack("16sH22x", fcntl.ioctl(s, SIOCGIFFLAGS, request))[1]
        fcntl.ioctl(s, SIOCSIFFLAGS, struct.pack("16sH22x", b"lo", flags | IFF_UP))
    return None


def can_make_private_network():
    child = os.fork()
    if child == 0:
        os._exit(0 if enter_private_network() is None else 1)
    _, status = os.waitpid(child, 0)
    return os.waitstatus_to_exitcode(status) == 0


def main(argv):
    if argv[1:] == ["--check"]:
        return 0 if can_make_private_network() else 1
    if len(argv) < 3 or argv[1] != "--":
        print("usage: private_loopback.py -- PROGRAM [ARGS...]", file=sys.stderr)
        return 2
    command = argv[2:]
    if "--gtest_list_tests" not in command:
        error = enter_private_network()
        if error:
            print(f"private_loopback: no network namespace of its own ({error}); "
                  "fixed ports are shared with the machine", file=sys.stderr)
    os.execvp(command[0], command)


if __name__ == "__main__":
    sys.exit(main(sys.argv))

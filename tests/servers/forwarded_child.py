"""A program run as this script's child, which receives the signals this
script gets, so that a test runner stopping the wrapper stops the program
first and the wrapper can still clean up after it.

    child = ForwardedChild()
    try:
        ...                       # set up; a signal here raises KeyboardInterrupt
        return child.run(command, env)
    except KeyboardInterrupt:
        return 130
    finally:
        child.stop()
        ...                       # clean up

run() answers the program's exit code, or 128 + N for a program ended by
signal N.
"""

import signal
import subprocess


class ForwardedChild:
    def __init__(self):
        self.process = None
        for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(signum, self._forward)

    def _forward(self, signum, frame):
        if self.process is not None and self.process.poll() is None:
            self.process.send_signal(signum)
        else:
            raise KeyboardInterrupt

    def run(self, command, env):
        self.process = subprocess.Popen(command, env=env)
        while True:
            try:
                code = self.process.wait()
                return 128 - code if code < 0 else code
            except KeyboardInterrupt:
                self.process.kill()

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()

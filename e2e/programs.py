# The programs a real-screen test starts (displays, browsers, servers, the game), each ended by its PID.
import ctypes
import os
import re
import signal
import subprocess
import tempfile

from player import expect, poll

PR_SET_PDEATHSIG = 1


def end_with_this_script():
    """Run in each program before it starts: it gets SIGTERM should this script die first (a test runner's kill)."""
    ctypes.CDLL(None).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class Programs:
    # The programs one driver starts, the last started ended first. They write to one log file, which no
    # unread pipe can fill and block, in a folder of their own.
    def __init__(self, prefix):
        # A browser's helper processes may still write its profile as it goes.
        self.folder = tempfile.TemporaryDirectory(prefix=prefix, ignore_cleanup_errors=True)
        self.log = open(os.path.join(self.folder.name, "log"), "w+b")
        self.started = []

    def start(self, argv, env=None, stdout=None, log=None):
        """Starts a program writing to the shared log, or to a log of its own, and its standard output too
        unless it is given another."""
        log = log or self.log
        program = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=stdout or log, stderr=log,
                                   preexec_fn=end_with_this_script)
        self.started.append(program)
        return program

    def said(self):
        with open(self.log.name, errors="replace") as log:
            return log.read()

    def wait_for(self, pattern, what, deadline=20):
        """The first match of the pattern in what the programs said, once one of them has said it."""
        found = poll(lambda: re.search(pattern, self.said()), deadline)
        expect(found, "%s within %d s" % (what, deadline), "nothing said of it")
        return found

    def stop(self, program):
        program.terminate()
        if not poll(lambda: program.poll() is not None, 5):
            program.kill()
        return "%s (pid %d): status %s\n" % (" ".join(program.args), program.pid, program.wait())

    def close(self):
        """Ends every program, the last started first; returns their statuses and what they said."""
        statuses = [self.stop(program) for program in reversed(self.started)]
        said = "".join(statuses) + self.said()
        self.log.close()
        self.folder.cleanup()
        return said

"""Child processes for the benchmarks: output lines stamped as they arrive,
and the exit with the kernel's own account of CPU time and peak memory."""

import json
import os
import subprocess
import threading
import time
from dataclasses import dataclass

EXIT_TIMEOUT = 15.0
# Same engine and model as the tool: the program every ratio compares with.
REFERENCE = "pocketsphinx_continuous"


class NotAvailable(Exception):
    """A figure that cannot be measured here, with the reason as message."""


@dataclass
class Line:
    seconds: float  # since launch
    stream: str     # "out" or "err"
    text: str
    unterminated: bool = False  # the output ended without a line feed after it
    malformed: bool = False     # not UTF-8: `text` holds replacement characters


def _line(seconds, stream, raw, unterminated=False):
    try:
        return Line(seconds, stream, raw.decode("utf-8"), unterminated)
    except UnicodeDecodeError:
        return Line(seconds, stream, raw.decode("utf-8", "replace"), unterminated, True)


@dataclass
class Finished:
    status: int          # exit status, or -signal
    wall: float          # launch to exit, seconds
    cpu: float           # user + system, seconds
    # Peak resident set, as the kernel counts it (what /usr/bin/time -f %M
    # prints). Linux carries it over from the forking driver (about 17 MiB),
    # so it is a floor for tiny children but exact for both programs here.
    max_rss_kib: int


class Watched:
    """A child whose output lines are stamped as they arrive. A reader thread
    per stream keeps the pipes drained, so a chatty child (level events) never
    blocks on a full pipe while the driver sleeps."""

    def __init__(self, argv, env=None, stdin=False):
        self.lines = []
        self._changed = threading.Condition()
        self._readers = []
        self.launched = time.perf_counter()
        self.proc = subprocess.Popen(
            argv, env=env, stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        for stream, name in ((self.proc.stdout, "out"), (self.proc.stderr, "err")):
            reader = threading.Thread(target=self._read, args=(stream, name), daemon=True)
            reader.start()
            self._readers.append(reader)
        self.finished = None
        self.timed_out = False  # wait() had to kill it

    def now(self):
        return time.perf_counter() - self.launched

    def _read(self, stream, name):
        pending = b""
        fd = stream.fileno()
        while True:
            chunk = os.read(fd, 65536)
            stamp = self.now()
            if not chunk:
                break
            pending += chunk
            *whole, pending = pending.split(b"\n")
            with self._changed:
                for raw in whole:
                    self.lines.append(_line(stamp, name, raw))
                self._changed.notify_all()
        with self._changed:
            if pending:
                self.lines.append(_line(self.now(), name, pending, unterminated=True))
            self._changed.notify_all()

    def wait_line(self, predicate, timeout, after=0):
        """The first line from index `after` on that satisfies `predicate`,
        as (index, line), or None once `timeout` seconds have passed."""
        deadline = time.perf_counter() + timeout
        with self._changed:
            index = after
            while True:
                while index < len(self.lines):
                    if predicate(self.lines[index]):
                        return index, self.lines[index]
                    index += 1
                left = deadline - time.perf_counter()
                if left <= 0 or (not self.alive() and
                                 not any(r.is_alive() for r in self._readers)):
                    return None
                self._changed.wait(min(left, 0.05))

    def write(self, text):
        """Writes to the child's stdin; returns the time since launch just
        after the bytes were handed to the pipe."""
        self.proc.stdin.write(text.encode())
        self.proc.stdin.flush()
        return self.now()

    def alive(self):
        """Whether the child still runs. Never reaps it (Popen.poll would):
        wait() must reap it itself to get its resource usage."""
        if self.finished:
            return False
        return os.waitid(os.P_PID, self.proc.pid, os.WEXITED | os.WNOHANG | os.WNOWAIT) is None

    def _kill_if_alive(self):
        try:
            if self.alive():
                self.proc.kill()
                self.timed_out = True
        except ChildProcessError:
            pass  # reaped in the meantime

    def close_stdin(self):
        if self.proc.stdin and not self.proc.stdin.closed:
            try:
                self.proc.stdin.close()
            except OSError:
                pass  # the child is gone and the pipe broken

    def wait(self, timeout=EXIT_TIMEOUT, interrupt=None):
        """Reaps the child with its resource usage. `interrupt` (a signal) is
        sent first; a child still there after `timeout` is killed."""
        if self.finished:
            return self.finished
        if interrupt is not None and self.alive():
            self.proc.send_signal(interrupt)
        # A blocking wait, so the exit is stamped the moment it happens and
        # the driver spends no CPU polling beside the child it measures.
        watchdog = threading.Timer(timeout, self._kill_if_alive)
        watchdog.start()
        try:
            _, wait_status, usage = os.wait4(self.proc.pid, 0)
            wall = self.now()
        finally:
            watchdog.cancel()
        # Popen must not try to reap the pid a second time.
        self.proc.returncode = os.waitstatus_to_exitcode(wait_status)
        for reader in self._readers:
            reader.join(5)
        for stream in (self.proc.stdin, self.proc.stdout, self.proc.stderr):
            if stream:
                try:
                    stream.close()
                except OSError:
                    pass  # a child gone before reading its stdin
        self.finished = Finished(self.proc.returncode, wall, usage.ru_utime + usage.ru_stime,
                                 usage.ru_maxrss)
        return self.finished

    def stdout_lines(self):
        return [l for l in self.lines if l.stream == "out"]

    def hypothesis(self, after=0):
        """The non-empty stdout lines from index `after` on, joined: the
        reference program's transcript, one line per utterance."""
        return " ".join(l.text for l in self.lines[after:] if l.stream == "out" and l.text.strip())

    def stderr_tail(self, count=3):
        err = [l.text for l in self.lines if l.stream == "err"]
        return " | ".join(err[-count:])


def event(line):
    """The JSON object on a stdout line of the tool, or None."""
    if line.stream != "out":
        return None
    try:
        parsed = json.loads(line.text)
    except ValueError:
        return None
    return parsed if isinstance(parsed, dict) else None


def is_event(kind):
    return lambda line: (event(line) or {}).get("t") == kind


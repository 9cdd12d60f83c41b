#!/usr/bin/env python3
"""The reference host (examples/host.py) in a pseudo-terminal, as a person
runs it.

    host_test.py live TOOL RIG_DIR   read speech played into the rig's
                                     virtual microphone, Enter, final text
    host_test.py error TOOL          a file that does not exist: the message
                                     and its status's meaning
"""

import fcntl
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "bench"))
from wer import LIBRIVOX, edit_distance, transcripts, words  # noqa: E402

HOST = os.path.join(ROOT, "examples", "host.py")
# Generous on a loaded machine: a cold model read, a slow decoder.
READY_SECONDS = 30
FINISH_SECONDS = 20
# How far the live final's word error rate may stray above the tool's own
# --file transcription of the same audio: the spread the live dictation
# tests allow the tool itself, on the same two recordings through the same
# rig. A host that cuts the text short or mangles it strays much further.
LIVE_SPREAD = 0.25
ANSI = re.compile(r"\x1b\[[0-9;]*[A-Za-z]")


class Terminal:
    """The host on the slave side of a pseudo-terminal of 100 columns; what
    it draws is read all the time, so the host never waits on its screen."""

    def __init__(self, arguments, env=None):
        master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 30, 100, 0, 0))
        self.master = master
        self.screen = b""
        self.lock = threading.Lock()
        self.process = subprocess.Popen([sys.executable, HOST, *arguments], stdin=slave,
                                        stdout=slave, stderr=slave, env=env,
                                        start_new_session=True)
        os.close(slave)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        while True:
            try:
                chunk = os.read(self.master, 4096)
            except OSError:  # EIO: every holder of the slave side has gone
                return
            if not chunk:
                return
            with self.lock:
                self.screen += chunk

    def text(self):
        with self.lock:
            return self.screen.decode("utf-8", errors="replace")

    def wait_for(self, pattern, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if re.search(pattern, self.text()):
                return True
            if self.process.poll() is not None:
                self.reader.join(2)
                return bool(re.search(pattern, self.text()))
            time.sleep(0.05)
        return False

    def type(self, keys):
        os.write(self.master, keys)

    def finish(self, seconds):
        try:
            status = self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None
        self.reader.join(5)
        return status

    def lines(self):
        """What a person sees: each carriage return redraws the line."""
        seen = []
        for line in ANSI.sub("", self.text()).replace("\r\n", "\n").split("\n"):
            seen.append(line.split("\r")[-1])
        return [line for line in seen if line.strip()]


def check(condition, message, terminal):
    if not condition:
        print("FAIL: " + message)
        print("--- the terminal showed ---")
        print(ANSI.sub("", terminal.text()).replace("\r", "\n"))
        sys.exit(1)


def rig_environment(rig_dir):
    env = dict(os.environ)
    with open(os.path.join(rig_dir, "env"), encoding="utf-8") as listing:
        for line in listing:
            name, _, value = line.strip().partition("=")
            if name:
                env[name] = value
    return env


def live(tool, rig_dir):
    env = rig_environment(rig_dir)
    first = "sense_and_sensibility_01_austen_64kb-0870"
    second = "sense_and_sensibility_01_austen_64kb-0930"
    reference = transcripts()[first] + transcripts()[second]
    with tempfile.TemporaryDirectory() as scratch:
        speech = os.path.join(scratch, "speech.wav")
        subprocess.run(["sox", f"{LIBRIVOX}/{first}.wav", f"{LIBRIVOX}/{second}.wav", speech,
                        "pad", "0.3", "0.7"], check=True)
        transcribed = subprocess.run([tool, "--file", speech], capture_output=True, text=True,
                                     timeout=120)
        file_final = json.loads(transcribed.stdout.splitlines()[-1]).get("text", "")
        file_rate = edit_distance(reference, words(file_final)) / len(reference)
        terminal = Terminal(["--tool", tool, "en-US"], env)
        try:
            check(terminal.wait_for("Listening", READY_SECONDS), "no Listening line", terminal)
            subprocess.run(["paplay", "--device=rig_speaker", speech], env=env, check=True,
                           timeout=60)
            # The rig delivers what was played a little later, as a real
            # microphone would; a person lets the last word out first.
            time.sleep(1.5)
            check(terminal.wait_for(r"\] [A-Za-z]", 10), "no partial text", terminal)
            check(re.search(r"\[#+-*\]", terminal.text()), "the level bar never moved", terminal)
            terminal.type(b"\n")
            status = terminal.finish(FINISH_SECONDS)
        finally:
            if terminal.process.poll() is None:
                terminal.process.kill()
    check(status == 0, f"the host exited with {status}", terminal)
    final = terminal.lines()[-1]
    rate = edit_distance(reference, words(final)) / len(reference)
    check(rate <= file_rate + LIVE_SPREAD,
          f"final text {final!r}: word error rate {rate:.2f}, the file's {file_rate:.2f}", terminal)
    print(f"final text through the host: {final!r} (word error rate {rate:.2f}, "
          f"the file's {file_rate:.2f})")


def error(tool):
    terminal = Terminal(["--tool", tool, "--file", "/nonexistent/speech.wav"])
    status = terminal.finish(FINISH_SECONDS)
    check(status == 3, f"the host exited with {status}", terminal)
    lines = terminal.lines()
    check(len(lines) >= 2, "fewer than two lines", terminal)
    check(lines[-2].startswith("Dictation stopped: The file \u201cspeech.wav\u201d"),
          "not the tool's message: " + lines[-2], terminal)
    check(lines[-1] == "Exit status 3: speech recognition failed before any text.",
          "not the status's meaning: " + lines[-1], terminal)
    print("error through the host: " + " / ".join(lines[-2:]))


if __name__ == "__main__":
    if sys.argv[1:2] == ["live"] and len(sys.argv) == 4:
        live(sys.argv[2], sys.argv[3])
    elif sys.argv[1:2] == ["error"] and len(sys.argv) == 3:
        error(sys.argv[2])
    else:
        sys.exit(__doc__)

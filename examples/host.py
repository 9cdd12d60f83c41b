#!/usr/bin/env python3
"""A reference host for zentrova-dictate, with Python's standard library only.

    python3 examples/host.py [--tool PATH] [ARGUMENT...]

Starts the tool (PATH, or zentrova-dictate from PATH) with the ARGUMENTs
(a locale, or --file AUDIO), shows a live level bar and the partial text on
one terminal line, sends "stop" when Enter is pressed (or on Ctrl-C, or at
the end of its own input), then prints the final text, or the error message
with what its exit status means. Exits with the tool's status.

What every host does the same way:
- It reads the tool's standard output all the time, whatever else it is
  busy with. A host that stops reading fills the pipe: the tool's level
  events then wait, and so does its stop. Here one loop waits on both the
  tool's output and the keyboard, and a read never waits for more than what
  is there.
- It splits the output at line feeds and parses each line as one JSON
  object, finding keys by name ("t" first or not).
- It keeps the text of the latest partial event: each carries the whole
  text so far, not an increment.
- It ends a dictation by writing the line "stop", or by closing the tool's
  standard input; it then waits for the final event, which comes at the
  latest about 4 seconds later.
- The outcome is the exit status, with the last event: 0 after a final
  event, 1 to 5 after an error event whose message is shown unchanged.
- It starts the tool in a session of its own, so that Ctrl-C in the
  terminal reaches only the host, which turns it into a stop: a tool killed
  by a signal writes nothing more.
"""

import json
import os
import selectors
import shutil
import signal
import subprocess
import sys

# What each exit status means, for the user; the message the tool sends
# says the rest.
MEANINGS = {
    0: "finished",
    1: "no speech recognizer is installed for this language (the model "
       "package pocketsphinx-en-us is missing or damaged)",
    2: "speech recognition is not authorized",
    3: "speech recognition failed before any text",
    4: "access to the microphone was refused",
    5: "the microphone could not be opened",
}

BAR_WIDTH = 20


class Dictation:
    """What the events have said so far."""

    def __init__(self):
        self.ready = False
        self.level = 0.0
        self.text = ""        # the latest partial text, whole
        self.final = None     # the final text, once it came
        self.error = None     # the error message, once it came
        self.stopping = False

    def take(self, line):
        """One line of the tool's output (bytes, without its line feed)."""
        try:
            event = json.loads(line)
        except ValueError:
            return  # never happens with this tool; a host stays up all the same
        if not isinstance(event, dict):
            return
        kind = event.get("t")
        if kind == "ready":
            self.ready = True
        elif kind == "level":
            self.level = float(event.get("v", 0.0))
        elif kind == "partial":
            self.text = event.get("text", "")
        elif kind == "final":
            self.final = event.get("text", "")
        elif kind == "error":
            self.error = event.get("message", "")


class Screen:
    """One status line that is redrawn in place, on a terminal only."""

    def __init__(self, out):
        self.out = out
        self.live = out.isatty()
        self.shown = False

    def say(self, text):
        self.clear()
        self.out.write(text + "\n")
        self.out.flush()

    def status(self, dictation):
        if not self.live:
            return
        filled = round(max(0.0, min(1.0, dictation.level)) * BAR_WIDTH)
        bar = "[" + "#" * filled + "-" * (BAR_WIDTH - filled) + "]"
        if dictation.stopping:
            bar += " finishing:"
        room = shutil.get_terminal_size().columns - len(bar) - 2
        text = dictation.text
        if len(text) > room:  # the newest words are at the end
            text = "..." + text[len(text) - max(room - 3, 0):]
        self.out.write("\r\x1b[K" + bar + " " + text)
        self.out.flush()
        self.shown = True

    def clear(self):
        if self.shown:
            self.out.write("\r\x1b[K")
            self.shown = False


def send_stop(tool):
    """Writes the stop line; a tool that has already ended has closed its
    end of the pipe, which is no error here."""
    try:
        tool.stdin.write(b"stop\n")
        tool.stdin.flush()
    except (BrokenPipeError, OSError):
        pass


def watch_keyboard(events):
    """The host's own standard input, for Enter; None when there is none to
    wait on (closed, or a regular file, which the selector cannot watch)."""
    try:
        keyboard = sys.stdin.fileno()
        events.register(keyboard, selectors.EVENT_READ, "keyboard")
        return keyboard
    except (AttributeError, ValueError, OSError):
        return None


def run(command):
    screen = Screen(sys.stdout)
    dictation = Dictation()
    tool = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    events = selectors.DefaultSelector()
    events.register(tool.stdout, selectors.EVENT_READ, "tool")
    keyboard = watch_keyboard(events)
    interrupted = []
    signal.signal(signal.SIGINT, lambda *_: interrupted.append(True))

    pending = b""
    output_open = True
    while output_open:
        # The timeout only lets a Ctrl-C in while the tool is silent.
        ready = events.select(timeout=0.25)
        for key, _ in ready:
            if key.data == "tool":
                # Whatever is there, at most 64 KiB: never more than one read.
                chunk = os.read(tool.stdout.fileno(), 65536)
                if not chunk:
                    output_open = False
                    continue
                pending += chunk
                *lines, pending = pending.split(b"\n")
                for line in lines:
                    was_ready = dictation.ready
                    dictation.take(line)
                    if dictation.ready and not was_ready:
                        screen.say("Listening: speak, then press Enter to stop.")
            elif key.data == "keyboard":
                typed = os.read(keyboard, 4096)
                if b"\n" in typed or not typed:
                    interrupted.append(True)
        if interrupted and not dictation.stopping:
            dictation.stopping = True
            send_stop(tool)
            if keyboard is not None:
                events.unregister(keyboard)
        elif not ready:
            continue
        screen.status(dictation)

    status = tool.wait()
    screen.clear()
    if status == 0 and dictation.final is not None:
        screen.say(dictation.final or "(nothing was recognised)")
    elif status < 0:
        screen.say(f"zentrova-dictate was ended by signal {-status}.")
    else:
        meaning = MEANINGS.get(status, "an exit status that this host does not know")
        screen.say(dictation.error if dictation.error is not None else "(no message)")
        screen.say(f"Exit status {status}: {meaning}.")
    return status


def main(arguments):
    tool = "zentrova-dictate"
    if arguments[:1] == ["--tool"] and len(arguments) > 1:
        tool, arguments = arguments[1], arguments[2:]
    try:
        return run([tool, *arguments])
    except FileNotFoundError:
        print(f"{tool}: not found; install the zentrova-dictate package or give --tool PATH.")
        return 127


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

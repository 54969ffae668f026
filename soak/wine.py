"""The Wine session: a copy of the Windows build's programs in a folder of its own, the live
program through soak_probe.exe (soak/probe_window.cpp), its figures from outside, and the
prefix's virtual display."""

import contextlib
import json
import os
import shutil
import subprocess
import tempfile

from soak.program import LIBRARY_FILE, NEW, OLD, ROOT, text_in

SCRIPTS = os.path.join(ROOT, "scripts")


class Session:
    """A copy of the build's bin folder in a temporary folder, with its own state file, and the
    probe in it that starts the program and answers for it."""

    def __init__(self, windows_bin, probe_exe):
        self.folder = tempfile.mkdtemp(prefix="tornak-soak.")
        self.bin = os.path.join(self.folder, "bin")
        os.makedirs(self.bin)
        for name in ("tornak.exe", LIBRARY_FILE[NEW], LIBRARY_FILE[OLD]):
            shutil.copy(os.path.join(windows_bin, name), self.bin)
        shutil.copy(probe_exe, os.path.join(self.bin, "soak_probe.exe"))
        self.state = os.path.join(self.folder, "state.json")
        self.env = dict(os.environ, **{text_in("sim/state/path.hpp", "kStateVariable"): self.state})
        self.process = self.unix_pid = None

    def start(self):
        """Starts the probe and, through it, tornak.exe."""
        command = [os.path.join(SCRIPTS, "wine-run"), os.path.join(self.bin, "soak_probe.exe")]
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=self.env,
                                        bufsize=1)
        program = "Z:" + os.path.join(self.bin, "tornak.exe")
        started = self.ask("start " + program)
        if not started.startswith("ok"):
            raise RuntimeError("tornak.exe did not start: " + started)
        self.unix_pid = unix_pid_of(program)

    def ask(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        answer = self.process.stdout.readline()
        if not answer:
            raise RuntimeError("soak_probe.exe ended")
        return answer.strip()

    def json(self, line):
        return json.loads(self.ask(line))

    def private_kib(self):
        """The program's private memory (KiB), as Linux counts it for the process Wine runs it in."""
        try:
            with open("/proc/%d/status" % self.unix_pid) as f:
                return sum(int(line.split()[1]) for line in f if line.startswith(("RssAnon:", "VmSwap:")))
        except (OSError, TypeError):  # TypeError: no process found
            return None

    def close(self):
        if self.process is not None and self.process.poll() is None:
            with contextlib.suppress(RuntimeError, BrokenPipeError):
                self.ask("quit")
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
        shutil.rmtree(self.folder, ignore_errors=True)


def unix_pid_of(program_path):
    for entry in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError), open("/proc/%s/cmdline" % entry, "rb") as f:
            if program_path.encode() in f.read():
                return int(entry)
    return None


def wine_prefix(script):
    """Runs a shell snippet with scripts/wine-env's prefix and functions; its exit code."""
    return subprocess.run(["bash", "-c", '. "$0/wine-env"; ' + script, SCRIPTS],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def starts_own_display():
    """Whether scripts/wine-run is about to start the prefix's virtual display for this run: no
    display is given and none is running yet. The Wine programs started on it keep it, and a
    wineserver, alive after the run unless it stops them."""
    if os.environ.get("DISPLAY"):
        return False
    return wine_prefix('read -r number pid <"$WINEPREFIX.display" && kill -0 "$pid"') != 0


def stop_wine():
    wine_prefix("tornak_stop_wine")

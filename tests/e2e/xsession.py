"""A private X display (Xvfb) with the tools a person's hands and eyes stand in for.

Input goes through the XTEST extension (xdotool), as from a real keyboard and mouse, so the
program under test cannot tell it from a user. What the program shows is read back from window
titles and from screenshots; every wait polls for what the program shows instead of sleeping a
fixed time, so a slow, loaded machine only makes the run longer.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

# One deadline for a whole run, inside the test's own time-out (600 s): on a loaded machine a
# window or a picture may take minutes, and a run that gets stuck still ends with its report.
RUN_DEADLINE = 480.0
POLL_INTERVAL = 0.1


class StepFailed(Exception):
    """A step of a scenario did not reach the state it waited for."""


class XSession:
    """Owns one Xvfb server on a free display and the program processes started on it."""

    REQUIRED_TOOLS = ("Xvfb", "xdotool", "import", "convert", "identify")

    def __init__(self, artifacts, screen="1280x1024x24"):
        self.artifacts = artifacts
        self.screen = screen
        self.display = None
        self.server = None
        self.processes = []
        self.shots = []
        self.step_name = "start"
        self.deadline = time.monotonic() + RUN_DEADLINE
        self._home = tempfile.mkdtemp(prefix="pictorum-e2e-home-")
        missing = [tool for tool in self.REQUIRED_TOOLS if shutil.which(tool) is None]
        if missing:
            raise StepFailed("missing tools: " + ", ".join(missing) +
                             " (bash scripts/deps.sh installs them)")
        if os.path.isdir(artifacts):
            shutil.rmtree(artifacts)
        os.makedirs(artifacts)

    # --- the server ---------------------------------------------------------------------

    def start(self):
        # Xvfb picks a free display itself and reports its number once it accepts clients,
        # which avoids both guessing and a race with other test runs on the same machine.
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.screen,
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(self.artifacts, "xvfb.log"), "w"))
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n") and time.monotonic() < self.deadline:
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            raise StepFailed("Xvfb did not start (see %s)" %
                             os.path.join(self.artifacts, "xvfb.log"))
        self.display = ":" + number.strip().decode()
        print("X display %s" % self.display, flush=True)

    def stop(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        if self.server is not None and self.server.poll() is None:
            self.server.terminate()
            try:
                self.server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.server.kill()
                self.server.wait()
        shutil.rmtree(self._home, ignore_errors=True)

    def env(self, extra_path=None, extra_env=None):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        # The program must use the real X server, whatever the calling test environment says.
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("WAYLAND_DISPLAY", None)
        # Qt's file dialog remembers its last folder in the user's settings: keep the runs
        # independent of each other and out of the real home folder.
        env["XDG_CONFIG_HOME"] = os.path.join(self._home, "config")
        env["XDG_RUNTIME_DIR"] = os.path.join(self._home, "runtime")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        # The screen's scale and the desktop's theme are the caller's choice, never the
        # calling environment's.
        for name in ("QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_QPA_PLATFORMTHEME",
                     "QT_STYLE_OVERRIDE"):
            env.pop(name, None)
        # Qt's widget dialogs, which the scripts drive, whatever desktop the machine runs.
        env["PICTORUM_WIDGET_DIALOGS"] = "1"
        if extra_path:
            env["PATH"] = extra_path + os.pathsep + env.get("PATH", "")
        env.update(extra_env or {})
        return env

    def config_home(self):
        return os.path.join(self._home, "config")

    def launch(self, argv, cwd, log_name="program.log", extra_path=None, extra_env=None):
        log = open(os.path.join(self.artifacts, log_name), "w")
        process = subprocess.Popen(argv, cwd=cwd, env=self.env(extra_path, extra_env),
                                   stdout=log, stderr=subprocess.STDOUT)
        self.processes.append(process)
        return process

    # --- tools ----------------------------------------------------------------------------

    def tool(self, *argv, check=True, capture=True):
        try:
            result = subprocess.run(list(argv), env=self.env(), capture_output=capture,
                                    timeout=max(self.deadline - time.monotonic(), 10))
        except subprocess.TimeoutExpired:
            raise StepFailed("%s did not end before the run's deadline" % " ".join(argv))
        if check and result.returncode != 0:
            raise StepFailed("%s failed (%d): %s" % (
                " ".join(argv), result.returncode,
                (result.stderr or b"").decode(errors="replace").strip()))
        return result

    def xdotool(self, *args):
        return self.tool("xdotool", *[str(a) for a in args])

    # --- windows --------------------------------------------------------------------------

    def windows(self, title_regex):
        result = self.tool("xdotool", "search", "--onlyvisible", "--name", title_regex,
                           check=False)
        return [line for line in result.stdout.decode().split() if line.strip()]

    def title(self, window):
        result = self.tool("xdotool", "getwindowname", window, check=False)
        return result.stdout.decode(errors="replace").strip() if result.returncode == 0 else None

    def wait_for(self, what, predicate, watch=None, seen=None):
        """Polls predicate until it returns something true; fails at the run's deadline, naming
        what seen() tells of the last look, or as soon as the watched process has ended."""
        started = time.monotonic()
        while True:
            value = predicate()
            if value:
                return value
            if watch is not None and watch.poll() is not None:
                raise StepFailed("the program ended (exit code %d) while waiting for %s" %
                                 (watch.returncode, what))
            if time.monotonic() > self.deadline:
                raise StepFailed("gave up after %.0f s waiting for %s%s" % (
                    time.monotonic() - started, what,
                    "; last seen: %s" % seen() if seen is not None else ""))
            time.sleep(POLL_INTERVAL)

    def shown(self):
        """The titles of the windows on screen, for a report."""
        return [self.title(window) for window in self.windows(".")]

    def wait_window(self, title_regex, watch=None):
        found = self.wait_for("a window titled /%s/" % title_regex,
                              lambda: self.windows(title_regex), watch,
                              lambda: "windows %s" % self.shown())
        return found[-1]

    def wait_gone(self, window, watch=None):
        def gone():
            result = self.tool("xdotool", "search", "--onlyvisible", "--name", ".*",
                               check=False)
            return window not in result.stdout.decode().split()
        self.wait_for("window %s (%s) to close" % (window, self.title(window)), gone, watch,
                      lambda: "windows %s" % self.shown())

    def wait_focus(self, window, watch=None):
        """Keys go to the window that has the input focus: wait until that is this one."""
        def focused():
            result = self.tool("xdotool", "getwindowfocus", check=False)
            return result.returncode == 0 and result.stdout.decode().strip() == window

        def focus():
            result = self.tool("xdotool", "getwindowfocus", check=False)
            return "the focus in %s, windows %s" % (
                self.title(result.stdout.decode().strip()) if result.returncode == 0 else None,
                self.shown())
        self.wait_for("the keyboard focus in window %s (%s)" % (window, self.title(window)),
                      focused, watch, focus)

    def geometry(self, window):
        out = self.tool("xdotool", "getwindowgeometry", "--shell", window).stdout.decode()
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    # --- hands ----------------------------------------------------------------------------

    def click(self, window, x, y):
        self.xdotool("mousemove", "--window", window, x, y, "click", "1")

    def mouse_away(self):
        width, height = (int(v) for v in self.screen.split("x")[:2])
        self.xdotool("mousemove", width - 1, height - 1)

    def type(self, text):
        self.xdotool("type", "--delay", "15", "--", text)

    def key(self, *keys):
        self.xdotool("key", "--delay", "30", *keys)

    # --- eyes -----------------------------------------------------------------------------

    def screenshot(self, name, window="root"):
        # Looks taken again and again while waiting for a picture keep one file, the last.
        last = self.shots[-1] if self.shots else ""
        again = os.path.basename(last).split("-", 1)[-1] == name + ".png"
        path = last if again else os.path.join(self.artifacts, "%02d-%s.png" %
                                                (len(self.shots) + 1, name))
        # import waits for a click on some window when the one it is given has gone.
        if window != "root" and self.title(window) is None:
            return None
        result = self.tool("import", "-window", window, path, check=False)
        if result.returncode == 0:
            if not again:
                self.shots.append(path)
            return path
        return None

    def grab(self, window, x, y, width, height):
        """The raw RGB bytes of a rectangle of a window, for telling two looks apart."""
        if self.title(window) is None:
            raise StepFailed("window %s has gone" % window)
        return self.tool("import", "-window", window, "-crop",
                         "%dx%d+%d+%d" % (width, height, x, y), "-depth", "8",
                         "rgb:-").stdout

    # --- steps ----------------------------------------------------------------------------

    def step(self, name):
        self.step_name = name
        print("step: %s" % name, flush=True)
        return _Step(self, name)

    def report_failure(self, error):
        print("FAILED in step '%s': %s" % (self.step_name, error), file=sys.stderr, flush=True)
        shot = None
        if self.display is not None:
            shot = self.screenshot("FAILED-" + re.sub(r"[^A-Za-z0-9]+", "-", self.step_name))
        print("Screenshots of this run (kept in %s):" % self.artifacts, file=sys.stderr)
        for path in self.shots:
            print("  " + path, file=sys.stderr)
        if shot:
            print("The screen when the step failed: " + shot, file=sys.stderr)
        for name in sorted(os.listdir(self.artifacts)):
            if name.endswith(".log"):
                path = os.path.join(self.artifacts, name)
                with open(path, errors="replace") as log:
                    text = log.read().strip()
                if text:
                    print("--- %s ---\n%s" % (path, text[-4000:]), file=sys.stderr)
        sys.stderr.flush()


class _Step:
    def __init__(self, session, name):
        self.session = session
        self.name = name

    def __enter__(self):
        return self

    def __exit__(self, kind, value, trace):
        if kind is None:
            self.session.screenshot(re.sub(r"[^A-Za-z0-9]+", "-", self.name))
        return False

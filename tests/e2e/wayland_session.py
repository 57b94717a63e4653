"""A Wayland desktop inside the private X display: weston, shown in one X window, with the
program as its Wayland client.

Keys typed into weston's window reach the program through the compositor, as from a real
keyboard; weston's own bindings (Super+Shift+M maximizes) act as on a real desktop. Which
windows the program has open is read from its protocol log (WAYLAND_DEBUG): each top-level
window announces its title, and its end, there.
"""

import os
import re
import subprocess

# weston names its window only in _NET_WM_NAME, which xdotool does not search; its class is
# found.
WESTON_CLASS = r"^Weston Compositor$"
_TITLE = re.compile(r'-> xdg_toplevel@(\d+)\.set_title\("(.*)"\)$')
_GONE = re.compile(r"-> xdg_toplevel@(\d+)\.destroy\(\)$")
_CONFIGURE = re.compile(r"xdg_toplevel@(\d+)\.configure\((\d+), (\d+), array\[(\d+)\]\)")


class WaylandDesktop:
    def __init__(self, session, size=(1280, 900)):
        self.session = session
        self.size = size
        self.socket = "pictorum-wayland-%d" % os.getpid()
        self.weston = None
        self.window = None
        self.log_path = os.path.join(session.artifacts, "program.log")

    def start(self):
        env = self.session.env()
        log = open(os.path.join(self.session.artifacts, "weston.log"), "w")
        self.weston = subprocess.Popen(
            ["weston", "--backend=x11-backend.so", "--use-pixman", "--idle-time=0",
             "--socket=" + self.socket, "--width=%d" % self.size[0],
             "--height=%d" % self.size[1]],
            env=env, stdout=log, stderr=subprocess.STDOUT)
        self.session.processes.append(self.weston)
        socket = os.path.join(env["XDG_RUNTIME_DIR"], self.socket)
        self.session.wait_for("weston's socket", lambda: os.path.exists(socket),
                              watch=self.weston)
        self.window = self.session.wait_for("weston's window", lambda: self.session.tool(
            "xdotool", "search", "--class", WESTON_CLASS, check=False).stdout.decode().split(),
            watch=self.weston)[0]
        self.session.xdotool("windowfocus", "--sync", self.window)

    def launch(self, argv, cwd):
        return self.session.launch(argv, cwd, extra_env={
            "QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": self.socket,
            "WAYLAND_DEBUG": "client"})

    def _log(self):
        with open(self.log_path, errors="replace") as log:
            return log.read().splitlines()

    def windows(self, active_only=False):
        """Titles of the program's open top-level windows, or of the one with the keyboard:
        a window's latest configure event lists its states, and one that lists none is not
        active (the log shows only the size of the list; the activated state alone fills
        it)."""
        open_windows, active = {}, {}
        for line in self._log():
            line = line.rstrip()
            match = _TITLE.search(line)
            if match:
                open_windows[match.group(1)] = match.group(2)
            match = _GONE.search(line)
            if match:
                open_windows.pop(match.group(1), None)
            match = _CONFIGURE.search(line)
            if match:
                active[match.group(1)] = int(match.group(4)) > 0
        return [title for key, title in open_windows.items()
                if not active_only or active.get(key)]

    def wait_window(self, title_regex, watch):
        """Until a window of that title is open and has the keyboard."""
        self.session.wait_for("an active Wayland window titled /%s/" % title_regex, lambda: any(
            re.search(title_regex, title) for title in self.windows(True)), watch=watch)

    def wait_gone(self, title_regex, watch):
        self.session.wait_for("the Wayland window /%s/ to close" % title_regex, lambda: not any(
            re.search(title_regex, title) for title in self.windows()), watch=watch)

    def configured_sizes(self):
        return [(int(m.group(2)), int(m.group(3))) for m in map(_CONFIGURE.search, self._log())
                if m]

    def protocol_errors(self):
        return [line for line in self._log() if "Protocol error" in line or "error 4:" in line]

    def screenshot(self, name):
        return self.session.screenshot(name, self.window)

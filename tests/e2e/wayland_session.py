"""weston in the X display, the program its Wayland client, whose log tells its windows: a title,
an end, or a configure with states (only their count is logged), which makes a window active."""

import os
import re
import subprocess

_EVENT = re.compile(r'xdg_toplevel@(\d+)\.(?:set_title\("(.*)"\)|(destroy)\(\)|'
                    r'configure\((\d+), \d+, array\[(\d+)\]\))$')
_TOPLEVEL = re.compile(r'-> xdg_surface@(\d+)\.get_toplevel\(new id xdg_toplevel@(\d+)\)$')


class WaylandDesktop:
    def __init__(self, session):
        self.session, self.socket = session, "pictorum-%d" % os.getpid()

    def start(self, argv, cwd):
        session, env = self.session, self.session.env()
        # Wayland clients repeat a held key themselves: on a busy machine a key's release that
        # comes late types its letter again, and a file dialog then finds no such file.
        config = os.path.join(session.artifacts, "weston.ini")
        with open(config, "w") as ini:
            # No fading windows either: a screenshot would show a closed dialog half gone.
            ini.write("[keyboard]\nrepeat-delay=60000\n[shell]\nanimation=none\n"
                      "close-animation=none\nstartup-animation=none\n")
        weston = subprocess.Popen(["weston", "--backend=x11-backend.so", "--use-pixman",
                                   "--config=" + config, "--socket=" + self.socket,
                                   "--width=1280"], env=env)
        session.processes.append(weston)
        # weston names its window only in _NET_WM_NAME, which xdotool does not search.
        self.window = session.wait_for("weston", lambda: os.path.exists(os.path.join(
            env["XDG_RUNTIME_DIR"], self.socket)) and session.tool("xdotool", "search", "--class",
            "^Weston Compositor$", check=False).stdout.split(), watch=weston)[0].decode()
        session.xdotool("windowfocus", "--sync", self.window)
        self.process = session.launch(argv, cwd, extra_env={
            "QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": self.socket, "WAYLAND_DEBUG": "1"})

    def log(self):
        with open(os.path.join(self.session.artifacts, "program.log"), errors="replace") as log:
            return log.read().splitlines()

    def windows(self, active):
        titles, states = {}, {}
        for match in filter(None, (_EVENT.search(line.rstrip()) for line in self.log())):
            key, title, _, width, count = match.groups()
            if width is None:
                titles[key] = title
            else:
                states[key] = int(count) > 0
        return [t for key, t in titles.items() if t is not None and (states.get(key) or not active)]

    def back_from_large(self):
        """True once the first window, configured wider than it was first drawn, is drawn at
        that first size again."""
        lines = [line.rstrip() for line in self.log()]
        main = next(filter(None, map(_TOPLEVEL.search, lines)), None)
        if main is None:
            return False
        geometry = re.compile(r'-> xdg_surface@%s\.set_window_geometry\(\d+, \d+, (\d+), (\d+)\)$'
                              % main.group(1))
        configure = re.compile(r'xdg_toplevel@%s\.configure\((\d+), \d+, array' % main.group(2))
        first, large, back = None, False, False
        for line in lines:
            drawn, asked = geometry.search(line), configure.search(line)
            if drawn:
                size = (int(drawn.group(1)), int(drawn.group(2)))
                first = first or size
                back = large and size == first
            elif asked and first and int(asked.group(1)) > first[0]:
                large, back = True, False
        return back

    def wait(self, title, gone=False):
        self.session.wait_for("/%s/%s" % (title, " gone" if gone else ""), lambda: gone != any(
            re.search(title, t) for t in self.windows(not gone)), watch=self.process)

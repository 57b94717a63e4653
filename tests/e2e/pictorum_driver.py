"""Pictorum's windows as a person sees and works them: which title each has, where its controls
are (the dialog templates' positions, in dialog units) and the steps of a batch run."""

import os
import time

from dialog_window import DialogWindow

MAIN_TITLE = r"^Pictorum - Tollerby$"
# The windows a look at the German translation opens have German titles (xdotool matches the
# bytes of the title as the window stores it, in which an "ä" is more than one character).
IMPORT_TITLE = r"^(Import Background Images|Hintergrundbilder importieren)$"
OVERLAY_TITLE = r"^(Choose Overlay Image|Overlay-Bild w.*hlen)$"
OPTIONS_TITLE = r"^(Options|Optionen)$"
FOLDER_TITLE = r"^Please select folder to output results\.$"
ERROR_TITLE = r"^Error$"
PROGRESS_TITLE = r"^([0-9]+% Complete|Initializing\.\.\.)$"
FINISHED_TITLE = r"^100% Complete$"

# Template sizes and control rectangles (x, y, width, height in dialog units).
MAIN_SIZE = (340, 271)
MAIN_LIST = (12, 78, 162, 120)
MAIN_IMPORT = (12, 204, 50, 14)
MAIN_REMOVE_ALL = (126, 204, 50, 14)
MAIN_BROWSE = (193, 94, 50, 14)
MAIN_OPTIONS = (276, 94, 50, 14)
MAIN_GO = (40, 230, 106, 14)
MAIN_EXIT = (96, 250, 50, 14)
MAIN_ABOUT = (40, 250, 50, 14)
MAIN_PREVIEW = (199, 131, 120, 120)

ABOUT_TITLE = r"^About Pictorum$"
ABOUT_SIZE = (235, 78)
ABOUT_CLOSE = (7, 58, 87, 14)

OPTIONS_SIZE = (219, 116)
OPTIONS_PERCENT = (13, 31, 56, 16)
OPTIONS_SIZE_X = (93, 16, 40, 14)
OPTIONS_SIZE_Y = (93, 33, 40, 14)
OPTIONS_TEMPLATE = (45, 89, 90, 12)
OPTIONS_OK = (152, 77, 50, 14)

PROGRESS_SIZE = (214, 142)
PROGRESS_BUTTON = (157, 19, 50, 14)  # "Cancel", "Close" once the run is over


def anchor_cell(anchor):
    """The anchor buttons form a 3 x 3 grid, numbered row by row from the top left."""
    column, row = (anchor - 1) % 3, (anchor - 1) // 3
    return (151 + 18 * column, 16 + 18 * row, 16, 16)


class PictorumDriver:
    """Without a window manager nobody hands the keyboard focus back to the main window when
    a dialog closes; every step on the main window therefore starts with a click, which
    activates the window as it would for a person."""

    def __init__(self, session, argv, workdir, extra_path=None, scale=1.0, extra_env=None):
        self.session = session
        self.argv = argv
        self.workdir = workdir
        self.extra_path = extra_path
        self.scale = scale
        self.extra_env = dict(extra_env or {})
        if scale != 1.0:
            self.extra_env["QT_SCALE_FACTOR"] = "%g" % scale
        self.process = None
        self.main = None

    # --- windows --------------------------------------------------------------------------

    def wait_window(self, title, focus=True):
        window = self.session.wait_window(title, watch=self.process)
        if focus:
            self.session.wait_focus(window, watch=self.process)
        return window

    def wait_gone(self, window):
        self.session.wait_gone(window, watch=self.process)

    def click_until(self, control, title, every=5.0):
        """Clicks a control of the main window until a window titled title is up. The window
        that a dialog had disabled takes clicks again only once that dialog's loop has ended,
        a moment after the dialog has left the screen, and drops the clicks that come before;
        so the click is repeated while nothing but the main window is on screen."""
        last = [time.monotonic()]
        self.main.click(*control)

        def up():
            found = self.session.windows(title)
            if not found and time.monotonic() - last[0] > every and \
                    self.session.windows(".") == self.session.windows(MAIN_TITLE):
                last[0] = time.monotonic()
                self.main.click(*control)
            return found
        found = self.session.wait_for("a window titled /%s/" % title, up, self.process,
                                      lambda: "windows %s" % self.session.shown())
        self.session.wait_focus(found[-1], watch=self.process)
        return found[-1]


    def crop(self, window, name):
        """A screenshot of one window alone, for the documentation."""
        return self.session.screenshot(name, window)

    # --- the program ----------------------------------------------------------------------

    def start(self):
        self.process = self.session.launch(self.argv, self.workdir, extra_path=self.extra_path,
                                           extra_env=self.extra_env)
        window = self.wait_window(MAIN_TITLE)
        self.main = DialogWindow(self.session, window, *MAIN_SIZE, scale=self.scale)
        return window

    def exit(self):
        self.main.click(*MAIN_EXIT)
        self.session.wait_for("the program to end after Exit",
                              lambda: self.process.poll() is not None)
        return self.process.returncode

    # --- the main window's commands -------------------------------------------------------

    def open_file_dialog(self, button, title):
        self.main.click(*button)
        return self.wait_window(title)

    def import_files(self, folder, names):
        """Import... : go to the folder by typing it, then pick several files at once by
        typing their names, each in double quotes, as the file dialog takes them."""
        dialog = self.open_file_dialog(MAIN_IMPORT, IMPORT_TITLE)
        self.session.type(folder.rstrip("/") + "/")
        self.session.key("Return")
        self.session.type(" ".join('"%s"' % name for name in names))
        self.session.key("Return")
        self.wait_gone(dialog)

    def choose_overlay(self, path):
        dialog = self.open_file_dialog(MAIN_BROWSE, OVERLAY_TITLE)
        self.session.type(path)
        self.session.key("Return")
        self.wait_gone(dialog)

    def open_about(self):
        self.main.click(*MAIN_ABOUT)
        window = self.wait_window(ABOUT_TITLE)
        return DialogWindow(self.session, window, *ABOUT_SIZE, scale=self.scale)

    def close_about(self, about):
        about.click(*ABOUT_CLOSE)
        self.wait_gone(about.window)

    def open_options(self):
        self.main.click(*MAIN_OPTIONS)
        window = self.wait_window(OPTIONS_TITLE)
        return DialogWindow(self.session, window, *OPTIONS_SIZE, scale=self.scale)

    def set_options(self, options, percent=None, anchor=None, format_name=None, template=None):
        if percent is not None:
            options.click(*OPTIONS_PERCENT)
            for field, value in ((OPTIONS_SIZE_X, percent[0]), (OPTIONS_SIZE_Y, percent[1])):
                options.click(*field)
                self.session.key("ctrl+a")
                self.session.type(str(value))
        if anchor is not None:
            options.click(*anchor_cell(anchor))
        if format_name is not None:
            # By keyboard, as the list is the tab stop before the template field: the first
            # letter of an entry picks it. A click would open the list as a pop-up, and on a
            # loaded machine the click that follows it (into the template field) was seen to
            # be swallowed by the closing pop-up.
            # From the first entry: the letter then picks the first entry after it that begins
            # so (JPEG, not JPEG XL).
            options.click(*OPTIONS_TEMPLATE)
            self.session.key("shift+Tab")
            self.session.key("Home")
            self.session.type(format_name[0])
        if template is not None:
            options.click(*OPTIONS_TEMPLATE)
            self.session.key("ctrl+a")
            self.session.type(template)

    def accept_options(self, options):
        options.click(*OPTIONS_OK)
        self.wait_gone(options.window)

    def go(self, output_folder):
        """Go! and the output folder typed into the folder chooser; returns the progress
        dialog, which is up once the chooser has gone."""
        chooser = self.click_until(MAIN_GO, FOLDER_TITLE)
        self.session.type(output_folder)
        self.session.key("Return")
        self.wait_gone(chooser)
        window = self.session.wait_window(PROGRESS_TITLE + "|" + FINISHED_TITLE,
                                          watch=self.process)
        return DialogWindow(self.session, window, *PROGRESS_SIZE, scale=self.scale)

    def wait_finished(self, progress):
        self.session.wait_for(
            "the progress dialog to read 100% Complete",
            lambda: self.session.title(progress.window) == "100% Complete", self.process,
            lambda: "the title %r" % self.session.title(progress.window))

    def close_progress(self, progress):
        progress.click(*PROGRESS_BUTTON)
        self.wait_gone(progress.window)


def listing(folder):
    return sorted(os.listdir(folder))

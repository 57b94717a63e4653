#!/usr/bin/env python3
"""End-to-end runs of the built program on a private X server, driven by keyboard and mouse.

  run_e2e.py tour   --program <pictorum> --artifacts <dir> [--docs <dir>]
  run_e2e.py look   --program <pictorum> --artifacts <dir> [--scale S] [--dark]
                    [--language L] [--docs <dir>]
  run_e2e.py cancel --program <pictorum> --artifacts <dir>
  run_e2e.py keys   --program <pictorum> --artifacts <dir>
  run_e2e.py wayland --program <pictorum> --artifacts <dir> [--docs <dir>]
  run_e2e.py files  --program <pictorum> --artifacts <dir>

tour:   Escape and Enter leave the main window open; three backgrounds imported through the
        file dialog, an overlay chosen with Browse..., the options set (centre, 25 x 25 percent,
        PNG, a numbered template), two runs into a new folder; the files are checked on disk.
look:   the main window on a screen of another scale (--scale, 2 unless given) and on a dark
        palette (--dark), in a desktop language (--language): the sample preview fills its fitted rectangle, first with the
        placeholder and both its diagonals, then with a photograph and its logo; the options
        dialog is looked at too.
cancel: a batch of 24 large pictures is cancelled in the middle; the files written so far are whole and
        numbered in order, the dialog closes, and a second run still does the whole list and
        numbers on.
keys:   Ctrl+A in the Import dialog on a folder of more files than a first result buffer
        holds lists them without a message; Ctrl+A and Delete in the list remove every entry,
        so that Go! then reports the empty list.
files:  files and a folder on the command line are listed; a second start hands its files to
        the running window (once each) and ends; a run stamps every listed picture.

wayland: a Wayland client of weston, by keyboard: maximized by weston, every dialog, a run, Exit.

Screenshots of every step go into --artifacts; they are kept, and their paths printed, when a
step fails. --docs copies the shots the README shows (tour: options, progress; look: the main
window with a photograph, and the options, at the scale and palette of the run).
"""

import argparse
import os
import re
import shutil
import sys
import tempfile
import time

# The helpers beside this script; no bytecode caches in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import pictorum_driver as ui  # noqa: E402
from rgb_picture import (RgbPicture, check_overlay_only_in, draw_gradient,  # noqa: E402
                         draw_logo, draw_overlay, draw_photo, near, placement_rect, probe,
                         OVERLAY_COLOUR)
from wayland_session import WaylandDesktop  # noqa: E402
from xsession import StepFailed, XSession  # noqa: E402

# The template as typed. The template field keeps letters, digits, blanks and '#' only, so
# the underscore is dropped while typing and the files are named IMG00, IMG01, ...
TYPED_TEMPLATE = "IMG_##"
NAME_PREFIX = "IMG"
PERCENT = (25, 25)
CENTRE = 5
BACKGROUNDS = (("harbour.png", 640, 480, "blue-yellow"),
               ("meadow.jpg", 800, 600, "green-white"),
               ("sunset.png", 1022, 767, "black-red"))
# PNG backgrounds come back exactly; JPEG ones are decoded by two different programs.
TOLERANCE = 12


def expect(condition, message):
    if not condition:
        raise StepFailed(message)


def tour(session, program, work, docs):
    pictures = os.path.join(work, "photos")
    os.makedirs(pictures)
    for name, width, height, colours in BACKGROUNDS:
        draw_gradient(os.path.join(pictures, name), width, height, colours)
    overlay = os.path.join(work, "logo.png")
    draw_overlay(overlay, 200, 100)
    output = os.path.join(work, "stamped")

    app = ui.PictorumDriver(session, [program], work)
    with session.step("main window opens"):
        app.start()

    with session.step("Escape and Enter leave the main window open"):
        app.main.click(*ui.MAIN_LIST)
        session.key("Escape", "Return", "Escape")
        # Alt+G is handled after the keys before it: the error box that "Go!" gives without
        # an overlay shows that the window was still there to handle them.
        session.key("alt+g")
        error = app.wait_window(ui.ERROR_TITLE)
        session.screenshot("no-overlay-error")
        session.key("Return")
        app.wait_gone(error)
        expect(app.main.window in session.windows(ui.MAIN_TITLE),
               "the main window is gone after Escape and Enter")

    with session.step("the about box opens and closes"):
        about = app.open_about()
        session.mouse_away()
        app.crop(about.window, "about-box")
        app.close_about(about)

    with session.step("import three backgrounds"):
        app.import_files(pictures, [name for name, _, _, _ in BACKGROUNDS])

    with session.step("choose the overlay"):
        app.choose_overlay(overlay)

    with session.step("set the options"):
        options = app.open_options()
        app.set_options(options, percent=PERCENT, anchor=CENTRE, format_name="PNG",
                        template=TYPED_TEMPLATE)
        session.mouse_away()
        shot_options = app.crop(options.window, "options-window")
        app.accept_options(options)
        session.mouse_away()
        app.crop(app.main.window, "main-window")

    os.makedirs(output)  # a new, empty folder
    with session.step("first run"):
        progress = app.go(output)
        app.wait_finished(progress)
        session.mouse_away()
        shot_progress = app.crop(progress.window, "progress-window")
        app.close_progress(progress)

    with session.step("second run into the same folder"):
        progress = app.go(output)
        app.wait_finished(progress)
        app.close_progress(progress)

    with session.step("Exit"):
        code = app.exit()
        expect(code == 0, "the program ended with exit code %d" % code)

    with session.step("check the stamped files"):
        names = ["%s%02d.PNG" % (NAME_PREFIX, n) for n in range(6)]
        found = ui.listing(output)
        expect(found == names, "the output folder holds %s, wanted %s" % (found, names))
        sources = [RgbPicture(os.path.join(pictures, name)) for name, _, _, _ in BACKGROUNDS]
        faults = []
        for n, name in enumerate(names):
            background = sources[n % len(sources)]
            stamped = RgbPicture(os.path.join(output, name))
            if stamped.format != "PNG":
                faults.append("%s is written as %s, not PNG" % (stamped.path, stamped.format))
            rect = placement_rect(background.width, background.height, *PERCENT)
            faults += check_overlay_only_in(stamped, background, rect, TOLERANCE)
        expect(not faults, "stamped pictures are wrong:\n  " + "\n  ".join(faults))

    if docs:
        os.makedirs(docs, exist_ok=True)
        for shot, name in ((shot_options, "options.png"), (shot_progress, "progress.png")):
            shutil.copyfile(shot, os.path.join(docs, name))
            print("documentation screenshot: " + os.path.join(docs, name))


# The shots of each look that the README shows, by scale and dark palette.
LOOK_DOCS = {(1.0, False, None): ("main-window",), (2.0, False, None): ("main-window",),
             (1.5, False, None): ("options",), (1.0, True, None): ("main-window", "options")}
PHOTO = ("lakeside.png", 1200, 800)
LOGO = ("studio-logo.png", 400, 140)


def fit_preview(box_width, box_height, width, height):
    """Where the preview shows a picture of width x height in a box of that many device
    pixels: left, top, right, bottom (exclusive). Taller pictures fill the height, the others
    the width, centred the other way, as the program fits them."""
    ratio = width / height
    if ratio < 1.0:
        shown = int(box_height * ratio)
        return (box_width - shown) // 2, 0, (shown + box_width) // 2, box_height
    shown = int(box_width / ratio)
    return 0, (box_height - shown) // 2, box_width, (shown + box_height) // 2


def reddish(c):
    return c[0] > c[1] + 80 and c[0] > c[2] + 80


def bluish(c):
    return c[2] > c[0] + 20


def greenish(c):
    return c[1] > c[0] + 15 and c[1] > c[2] + 15


def point_faults(shot, box, points, window_colour):
    """Each point (name, x, y, test) of the box, in device pixels from its top left, that
    fails its test; test None: the dialog's own background shows there."""
    faults = []
    for name, x, y, test in points:
        colour = shot.pixel(box[0] + x, box[1] + y)
        ok = near(colour, window_colour, 6) if test is None else test(colour)
        if not ok:
            faults.append("%s at (%d, %d) of the box is %s" % (name, x, y, colour))
    return faults


def wait_for_preview(app, name, faults):
    """Looks at the main window until faults (a screenshot -> a list of what is wrong in it)
    finds nothing: the preview is composed on a thread of its own and drawn some time after
    the step that asks for it. Returns the screenshot."""
    last = ["no screenshot yet"]

    def right():
        path = app.crop(app.main.window, name)
        last[:] = faults(RgbPicture(path)) if path else ["the screenshot failed"]
        return path if not last else None
    return app.session.wait_for("the preview (%s) to be drawn" % name, right, app.process,
                                lambda: "\n  ".join([""] + last))


def use_dark_palette(session):
    """A dark desktop as many users set it up outside KDE: Qt's qt6ct theme with its darker
    colour scheme and the Fusion style."""
    scheme = "/usr/share/qt6ct/colors/darker.conf"
    if not os.path.exists(scheme):
        raise StepFailed("no dark colour scheme at %s (bash scripts/deps.sh installs qt6ct)"
                         % scheme)
    folder = os.path.join(session.config_home(), "qt6ct")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "qt6ct.conf"), "w") as conf:
        conf.write("[Appearance]\ncolor_scheme_path=%s\ncustom_palette=true\nstyle=Fusion\n"
                   % scheme)
    return {"QT_QPA_PLATFORMTHEME": "qt6ct"}


def look(session, program, work, docs, scale=2.0, dark=False, language=None):
    photo = os.path.join(work, PHOTO[0])
    draw_photo(photo, *PHOTO[1:])
    logo = os.path.join(work, LOGO[0])
    draw_logo(logo, *LOGO[1:])
    env = use_dark_palette(session) if dark else {}
    if language:
        # The desktop's language as a session sets it; Qt reads it whether or not the system
        # has that locale installed.
        env.update({"LANG": language, "LC_ALL": language, "LANGUAGE": language.split("_")[0]})
    app = ui.PictorumDriver(session, [program], work, scale=scale, extra_env=env)
    with session.step("main window opens at scale %g%s" % (scale, " on a dark palette"
                                                            if dark else "")):
        app.start()
        session.mouse_away()
    box = app.main.rect(*ui.MAIN_PREVIEW)
    _, _, width, height = box

    def window_colour(shot):
        # The group box's inside, left of the preview box: the dialog's own background.
        return shot.pixel(box[0] - 3, box[1] + height // 2)

    with session.step("the placeholder fills its fitted rectangle"):
        left, top, right, bottom = fit_preview(width, height, 64, 64)

        def at(u, v):
            """Where pixel (u, v) of the 64 x 64 placeholder shows in the box."""
            return (left + int((u + 0.5) * (right - left) / 64),
                    top + int((v + 0.5) * (bottom - top) / 64))

        def placeholder_faults(shot):
            ground = shot.pixel(box[0] + at(32, 10)[0], box[1] + at(32, 10)[1])
            points = [("crossing", *at(31.5, 31.5), reddish),
                      ("falling diagonal, far end", *at(56, 56), reddish),
                      ("rising diagonal, near end", *at(56, 7), reddish),
                      ("rising diagonal, far end", *at(7, 56), reddish),
                      ("ground right of the crossing", *at(54, 32),
                       lambda c: near(c, ground, 6) and not near(c, window_colour(shot), 6))]
            # The box may be wider than tall: the square then runs past its top and bottom.
            if top >= 3:
                points.append(("above it", width // 2, top - 3, None))
            if height - bottom >= 3:
                points.append(("below it", width // 2, bottom + 2, None))
            return point_faults(shot, box, points, window_colour(shot))
        wait_for_preview(app, "main-empty", placeholder_faults)

    with session.step("a photograph and its logo"):
        app.import_files(work, [PHOTO[0]])
        app.choose_overlay(logo)
        session.mouse_away()

    with session.step("the photograph fills its fitted rectangle"):
        left, top, right, bottom = fit_preview(width, height, *PHOTO[1:])
        # The logo keeps its own size at the bottom right, as a fresh program places it: a
        # blank part of its badge lies at (1100, 680) of the photograph.
        logo_x = left + 1100 * (right - left) // PHOTO[1]
        logo_y = top + 680 * (bottom - top) // PHOTO[2]
        shot_main = wait_for_preview(app, "main-window", lambda shot: point_faults(shot, box, [
            ("top left, sky", left + 2, top + 2, bluish),
            ("top right, sky", right - 3, top + 2, bluish),
            ("bottom left, meadow", left + 2, bottom - 3, greenish),
            ("the logo's badge", logo_x, logo_y, lambda c: min(c) > 170),
            ("above it", width // 2, top - 3, None),
            ("below it", width // 2, bottom + 2, None)], window_colour(shot)))

    with session.step("the options dialog"):
        options = app.open_options()
        session.mouse_away()
        shot_options = app.crop(options.window, "options-window")
        session.key("Escape")
        app.wait_gone(options.window)

    with session.step("Exit"):
        code = app.exit()
        expect(code == 0, "the program ended with exit code %d" % code)

    if docs:
        os.makedirs(docs, exist_ok=True)
        suffix = ("-dark" if dark else "") + ("-scale%g" % scale if scale != 1.0 else "")
        suffix += "-" + language.split("_")[0] if language else ""
        shots = {"main-window": shot_main, "options": shot_options}
        for kind in LOOK_DOCS.get((scale, dark, language), ("main-window", "options")):
            name = "%s%s.png" % (kind, suffix)
            shutil.copyfile(shots[kind], os.path.join(docs, name))
            print("documentation screenshot: " + os.path.join(docs, name))


# Large enough that the run is still going when Cancel lands, on a fast machine too.
CANCEL_COUNT = 24
CANCEL_SIZE = (4000, 3000)
OVERLAY_SIZE = (200, 100)


def cancel(session, program, work, docs):
    pictures = os.path.join(work, "pictures")
    os.makedirs(pictures)
    first = os.path.join(pictures, "c01.jpg")
    draw_gradient(first, CANCEL_SIZE[0], CANCEL_SIZE[1], "navy-orange")
    names = ["c%02d.jpg" % n for n in range(1, CANCEL_COUNT + 1)]
    for name in names[1:]:
        shutil.copyfile(first, os.path.join(pictures, name))
    overlay = os.path.join(work, "overlay.png")
    draw_overlay(overlay, *OVERLAY_SIZE)
    cancelled = os.path.join(work, "cancelled")
    again = os.path.join(work, "again")

    app = ui.PictorumDriver(session, [program], work)
    with session.step("set up %d backgrounds, JPEG output" % CANCEL_COUNT):
        app.start()
        app.import_files(pictures, names)
        app.choose_overlay(overlay)
        options = app.open_options()
        app.set_options(options, format_name="JPEG")
        app.accept_options(options)

    os.makedirs(cancelled)
    with session.step("cancel in the middle of the run"):
        progress = app.go(cancelled)

        def percent():
            match = re.match(r"^([0-9]+)% Complete$", session.title(progress.window) or "")
            if match is not None and int(match.group(1)) == 100:
                raise StepFailed("the run of %d pictures ended before Cancel could be pressed"
                                 % CANCEL_COUNT)
            return match is not None and int(match.group(1)) > 0
        # From the second item on the title shows a percentage above 0.
        session.wait_for("the run to reach its second item", percent, watch=app.process)
        session.mouse_away()
        _, _, width, height = progress.rect(*ui.PROGRESS_BUTTON)
        running = label_width(progress.grab(*ui.PROGRESS_BUTTON), width, height)
        progress.click(*ui.PROGRESS_BUTTON)
        session.mouse_away()
        # The button is relabelled "Close" once the worker has stopped. Its look alone may
        # change before that (pressed, focused or greyed); its label is shorter, and as dark,
        # only as "Close".
        seen = [running]

        def relabelled():
            expect(progress.window in session.windows(ui.PROGRESS_TITLE),
                   "the progress dialog closed on Cancel; it should stay until Close")
            seen[0] = label_width(progress.grab(*ui.PROGRESS_BUTTON), width, height)
            return 0 < seen[0] < 0.9 * running
        session.wait_for("the Cancel button to turn into Close", relabelled, app.process,
                         lambda: "a label %d pixels wide, %d as Cancel" % (seen[0], running))
        session.screenshot("cancelled")
        app.close_progress(progress)

    with session.step("check the files written before the cancel"):
        found = ui.listing(cancelled)
        written = len(found)
        expect(0 < written < CANCEL_COUNT,
               "the cancelled run wrote %d of %d files" % (written, CANCEL_COUNT))
        wanted = ["%03d.JPG" % n for n in range(written)]
        expect(found == wanted, "the cancelled run left %s, wanted %s" % (found, wanted))
        for name in found:
            check_corner_stamp(os.path.join(cancelled, name))

    os.makedirs(again)
    with session.step("a new run does the whole list and numbers on"):
        progress = app.go(again)
        app.wait_finished(progress)
        app.close_progress(progress)
        wanted = ["%03d.JPG" % n for n in range(written, written + CANCEL_COUNT)]
        found = ui.listing(again)
        expect(found == wanted, "the second run left %s, wanted %s" % (found, wanted))
        check_corner_stamp(os.path.join(again, found[0]))
        check_corner_stamp(os.path.join(again, found[-1]))

    with session.step("Exit"):
        code = app.exit()
        expect(code == 0, "the program ended with exit code %d" % code)


def label_width(rgb, width, height):
    """How wide the dark text is across the middle rows of a button grabbed as RGB bytes, its
    frame left out."""
    columns = [x for x in range(4, width - 4) for y in range(height // 4, height * 3 // 4)
               if max(rgb[3 * (y * width + x):3 * (y * width + x) + 3]) < 100]
    return max(columns) - min(columns) if columns else 0


def check_corner_stamp(path):
    """A whole picture of the background's size, with the overlay at its own size in the
    bottom-right corner (the anchor and size a fresh program starts with after Browse...)."""
    width, height = CANCEL_SIZE
    inside = (width - OVERLAY_SIZE[0] // 2, height - OVERLAY_SIZE[1] // 2)
    left_of_it = (width - OVERLAY_SIZE[0] - 20, height - OVERLAY_SIZE[1] // 2)
    above_it = (width - OVERLAY_SIZE[0] // 2, height - OVERLAY_SIZE[1] - 20)
    centre = (width // 2, height // 2)
    kind, found_width, found_height, colours = probe(path,
                                                     [inside, left_of_it, above_it, centre])
    expect(kind == "JPEG", "%s is written as %s, not JPEG" % (path, kind))
    expect((found_width, found_height) == CANCEL_SIZE,
           "%s is %dx%d, wanted %dx%d" % ((path, found_width, found_height) + CANCEL_SIZE))
    # JPEG output: a wide tolerance, still far from the navy-to-orange background.
    expect(near(colours[0], OVERLAY_COLOUR, 40),
           "%s has %s inside the overlay at %s" % (path, colours[0], inside))
    for point, colour in zip((left_of_it, above_it, centre), colours[1:]):
        expect(not near(colour, OVERLAY_COLOUR, 80),
               "%s has the overlay's colour %s at %s" % (path, colour, point))


# More long names than the Import dialog's 8,192-byte result holds (about 60 of these), and
# few enough that Qt's file dialog takes in the folder's listing whole, not in parts (up to 100
# entries, "." and ".." among them).
MANY_FILES = 90
MANY_NAME = ("holiday-photograph-taken-on-the-shore-of-the-lake-in-the-long-summer-evening-light-"
             "with-the-whole-family-and-our-friends-%04d.png")


def keys(session, program, work, docs):
    many = os.path.join(work, "many")
    os.makedirs(many)
    for n in range(MANY_FILES):
        open(os.path.join(many, MANY_NAME % n), "wb").close()
    # The first entry is previewed: a picture, so that any box that comes up is about the list.
    draw_gradient(os.path.join(many, MANY_NAME % 0), 64, 48, "blue-yellow")
    pictures = os.path.join(work, "photos")
    os.makedirs(pictures)
    for name in ("a.png", "b.png"):
        draw_gradient(os.path.join(pictures, name), 64, 48, "blue-yellow")
    overlay = os.path.join(work, "logo.png")
    draw_overlay(overlay, 40, 20)

    # Started in the folder, where the Import dialog opens.
    app = ui.PictorumDriver(session, [program], many)
    with session.step("main window opens"):
        app.start()

    with session.step("many files at once are listed without a message"):
        dialog = app.open_file_dialog(ui.MAIN_IMPORT, ui.IMPORT_TITLE)
        # The name field offers the folder's files once the dialog has read the folder, as it
        # is typed into: typed again until the offer comes up.
        before = program_windows(session)
        session.type("h")

        def offered():
            offer = [w for w in program_windows(session) if w not in before]
            if not offer:
                session.key("BackSpace", "h")
            return offer
        offer = session.wait_for("the name field to offer the folder's files", offered,
                                 app.process, lambda: "windows %s" % session.shown())[0]
        session.key("Escape")
        session.wait_for("the offer to close", lambda: offer not in program_windows(session),
                         app.process)
        # From the name field back to the file list, every file, Open.
        session.key("shift+Tab", "ctrl+a", "Return")
        app.wait_gone(dialog)
        # A message about the list would come before the first entry's preview, and hold it
        # back while it is open.
        box = app.main.rect(*ui.MAIN_PREVIEW)
        left, top, right, bottom = fit_preview(box[2], box[3], 64, 48)
        wait_for_preview(app, "many-files", lambda shot: [] if session.windows(".") != [
            app.main.window] else point_faults(shot, box, [
                ("top, blue", (left + right) // 2, top + 2, bluish),
                ("bottom, yellow", (left + right) // 2, bottom - 3,
                 lambda c: min(c[0], c[1]) > c[2] + 80)], None))
        expect(session.windows(".") == [app.main.window],
               "many files were answered with a window: %s" % session.shown())
        app.main.click(*ui.MAIN_REMOVE_ALL)

    with session.step("Ctrl+A and Delete in the list remove every entry"):
        app.import_files(pictures, ["a.png", "b.png"])
        app.choose_overlay(overlay)
        app.main.click(*ui.MAIN_LIST)
        session.key("ctrl+a", "Delete", "alt+g")
        answer = session.wait_window(ui.ERROR_TITLE + "|" + ui.FOLDER_TITLE, watch=app.process)
        session.screenshot("go-after-delete")
        expect(session.title(answer) == "Error",
               "Go! asked for the output folder: the list was not emptied")
        session.key("Return" if session.title(answer) == "Error" else "Escape")
        app.wait_gone(answer)

    with session.step("Exit"):
        code = app.exit()
        expect(code == 0, "the program ended with exit code %d" % code)


def program_windows(session):
    """Every window of the program on screen, pop-ups without a title too."""
    return session.tool("xdotool", "search", "--onlyvisible", "--class", "^pictorum$",
                        check=False).stdout.decode().split()


def wayland(session, program, work, docs):
    photos, output, overlay = (os.path.join(work, name) for name in ("p", "out", "logo.png"))
    for folder, name in ((photos, "a.png"), (output, "b.png")):
        os.makedirs(folder)
        draw_gradient(os.path.join(photos, name), 320, 240, "blue-yellow")
    draw_overlay(overlay, 40, 20)
    desktop = WaylandDesktop(session)

    def dialog(title, opening, *inside, back=ui.MAIN_TITLE):
        """Keys that open a window, then keys or "type:" texts for it."""
        for key in opening + [None] + list(inside):
            if key is None:
                desktop.wait(title)
            else:
                session.type(key[5:]) if key.startswith("type:") else session.key(key)
        desktop.wait(title, gone=True)
        desktop.wait(back)

    with session.step("every dialog by keyboard, the main window maximized by the compositor"):
        desktop.start([program], work)
        desktop.wait(ui.MAIN_TITLE)
        session.key("super+shift+m")
        # Maximized by weston, the window goes back to its own size at once: larger, its
        # controls would sit in one corner of a grey field.
        session.wait_for("maximized and back", desktop.back_from_large, watch=desktop.process)
        dialog(ui.ERROR_TITLE, ["alt+g"], "Return")  # Go! without an overlay; Browse... next
        # Back up the right column to the path box, then the left one: Exit, About...
        dialog(ui.ABOUT_TITLE, ["shift+Tab"] * 3 + ["space"], "Return")
        dialog(ui.OVERLAY_TITLE, ["Tab"] * 3 + ["space"], "type:" + overlay, "Return")  # Browse...
        # From Browse...: Options..., then round to the list and Import...
        dialog(ui.IMPORT_TITLE, ["Tab"] * 3 + ["space"], "type:" + photos + "/", "Return",
               'type:"a.png" "b.png"', "Return")
        # Options... is the second stop before Import..., the anchor cells the fifth after OK;
        # Up and Left walk the grid from bottom right to the centre.
        dialog(ui.OPTIONS_TITLE, ["shift+Tab"] * 2 + ["space"],
               *(["Tab"] * 5 + ["Up", "Left", "Return"]))
        dialog(ui.FOLDER_TITLE, ["alt+g"], "type:" + output, "Return", back=ui.FINISHED_TITLE)
        shot = session.screenshot("wayland", desktop.window)
        dialog(ui.FINISHED_TITLE, [], "Return")
        expect(len(ui.listing(output)) == 2, "the run wrote %s" % ui.listing(output))
        session.key("ctrl+q")  # leaves as Exit does
        session.wait_for("the end", lambda: desktop.process.poll() is not None)
        expect(desktop.process.returncode == 0 and "Protocol error" not in "".join(desktop.log()),
               "the program did not end cleanly")
    if docs:
        shutil.copyfile(shot, os.path.join(docs, "wayland.png"))




def files(session, program, work, docs):
    folder = os.path.join(work, "photos")
    os.makedirs(folder)
    names = ("a.png", "b.png", "c.png", "d.png")
    for name in names:
        draw_gradient(os.path.join(work if name >= "c" else folder, name), 64, 48,
                      "blue-yellow")
    open(os.path.join(folder, "notes.txt"), "w").close()  # not a picture: not listed
    overlay = os.path.join(work, "logo.png")
    draw_overlay(overlay, 20, 10)
    output = os.path.join(work, "stamped")
    os.makedirs(output)

    app = ui.PictorumDriver(session, [program, "photos", "c.png"], work)
    with session.step("the command line's files and folder are listed"):
        app.start()

    with session.step("the main window is a normal window that its desktop entry names"):
        props = session.tool("xprop", "-id", str(app.main.window), "WM_CLASS",
                             "_NET_WM_WINDOW_TYPE", "WM_TRANSIENT_FOR",
                             "_NET_WM_STATE").stdout.decode()
        expect('"pictorum", "pictorum"' in props, "WM_CLASS: %s" % props)
        expect("_NET_WM_WINDOW_TYPE_NORMAL" in props and "_MODAL" not in props and
               "WM_TRANSIENT_FOR:  not found" in props,
               "the main window is typed as a dialog: %s" % props)

    with session.step("a second start hands its files over and ends"):
        second = session.launch([program, "c.png", "d.png"], work, log_name="second.log")
        session.wait_for("the second start to end", lambda: second.poll() is not None,
                         seen=lambda: "windows %s" % session.shown())
        expect(second.returncode == 0, "the second start ended with %d" % second.returncode)
        expect(len(session.windows(ui.MAIN_TITLE)) == 1, "a second main window opened")
        session.wait_focus(app.main.window, watch=app.process)

    with session.step("a run stamps each listed picture once"):
        app.choose_overlay(overlay)
        progress = app.go(output)
        app.wait_finished(progress)
        app.close_progress(progress)
        found = ui.listing(output)
        expect(len(found) == 4, "the run wrote %s, wanted one file for each of %s" %
               (found, names))

    with session.step("Exit"):
        code = app.exit()
        expect(code == 0, "the program ended with exit code %d" % code)


CASES = {"tour": tour, "look": look, "cancel": cancel, "keys": keys, "wayland": wayland,
         "files": files}


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--program", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--docs", help="copy the README's screenshots here (tour only)")
    parser.add_argument("--scale", type=float, default=2.0,
                        help="the screen's scale for look (QT_SCALE_FACTOR)")
    parser.add_argument("--dark", action="store_true", help="look on a dark palette")
    parser.add_argument("--language", help="look in the desktop language given (e.g. de_DE.UTF-8)")
    parser.add_argument("--keep", action="store_true",
                        help="keep the screenshots and pictures also when the run passes")
    parser.add_argument("--work", help="an empty folder for the pictures (default: a new "
                        "temporary one); its path shows in the screenshots")
    args = parser.parse_args()

    started = time.monotonic()
    if args.work:
        work = os.path.abspath(args.work)
        os.makedirs(work, exist_ok=True)
        if os.listdir(work):
            print("FAILED: %s is not empty" % work, file=sys.stderr)
            return 1
    else:
        work = tempfile.mkdtemp(prefix="pictorum-e2e-")
    session = None
    try:
        session = XSession(os.path.abspath(args.artifacts))
        session.start()
        options = ({"scale": args.scale, "dark": args.dark, "language": args.language}
                   if args.case == "look" else {})
        CASES[args.case](session, os.path.abspath(args.program), work, args.docs, **options)
    except Exception as error:  # every failure ends the same way: reported with its shots
        if session is not None:
            session.report_failure(error)
            session.stop()
        else:
            print("FAILED: %s" % error, file=sys.stderr)
        print("pictures and outputs kept in " + work, file=sys.stderr)
        return 1
    session.stop()
    if args.keep or args.work:
        print("pictures and outputs kept in " + work)
    else:
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(session.artifacts, ignore_errors=True)
    print("passed in %.1f s" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())

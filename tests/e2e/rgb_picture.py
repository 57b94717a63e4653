"""Pictures for the end-to-end runs, drawn and read back with ImageMagick.

The checks look at decoded pixels, never at file bytes: the program's encoders are free to
write any valid file.
"""

import subprocess

OVERLAY_COLOUR = (255, 0, 255)


def draw_gradient(path, width, height, colours):
    subprocess.run(["convert", "-size", "%dx%d" % (width, height), "gradient:" + colours, path],
                   check=True)


def draw_overlay(path, width, height):
    subprocess.run(["convert", "-size", "%dx%d" % (width, height), "xc:#ff00ff", path],
                   check=True)


def draw_photo(path, width, height):
    """A landscape at dusk, for pictures a person would take: sky, sun, two ranges of hills
    in haze, a lake, a meadow and a few firs. Drawn in a 1200 x 800 frame and scaled. Its
    top corners are sky (blue), its bottom corners meadow (green)."""
    def points(pts):
        return " ".join("%d,%d" % p for p in pts)
    far = [(0, 470), (140, 330), (260, 400), (420, 250), (560, 380), (700, 300), (860, 420),
           (1000, 290), (1200, 410), (1200, 560), (0, 560)]
    near_hills = [(0, 540), (180, 430), (330, 500), (520, 410), (760, 520), (930, 440),
                  (1200, 530), (1200, 600), (0, 600)]
    meadow = [(0, 640), (300, 610), (700, 650), (1200, 620), (1200, 800), (0, 800)]
    field = [(0, 720), (500, 700), (1200, 730), (1200, 800), (0, 800)]
    command = ["convert", "-size", "1200x800", "gradient:#3d6fb6-#f6c28b",
               "(", "-size", "1200x800", "xc:none", "-fill", "#fff3c4",
               "-draw", "circle 860,300 860,245", "-blur", "0x12", ")", "-composite",
               "-fill", "#fffbe8", "-draw", "circle 860,300 860,262",
               "-fill", "#7d88a8", "-draw", "polygon " + points(far),
               "-fill", "#4f5d7a", "-draw", "polygon " + points(near_hills),
               "-fill", "#6f9cc4", "-draw", "rectangle 0,560 1200,660",
               "-fill", "#f3d9a8", "-draw", "rectangle 700,585 1020,590",
               "-fill", "#3f7a3a", "-draw", "polygon " + points(meadow),
               "-fill", "#2f5f2c", "-draw", "polygon " + points(field)]
    for x, y, h in ((90, 660, 140), (150, 650, 110), (1080, 640, 150), (1140, 660, 120)):
        command += ["-fill", "#1f3f1f", "-draw", "polygon %d,%d %d,%d %d,%d" % (
            x - h // 4, y, x, y - h, x + h // 4, y)]
    # Haze over the hills and light on the water, softened as a lens softens.
    command += ["(", "-size", "1200x260", "gradient:#ffffff00-#ffffff70", ")",
                "-geometry", "+0+300", "-composite",
                "(", "-size", "1200x100", "gradient:#ffffff50-#ffffff00", ")",
                "-geometry", "+0+560", "-composite",
                "-blur", "0x1.2", "-resize", "%dx%d!" % (width, height), path]
    subprocess.run(command, check=True)


def draw_logo(path, width, height):
    """A studio's mark on transparency: a light rounded badge with a red aperture ring and
    the studio's name. Drawn in a 400 x 140 frame and scaled."""
    subprocess.run(["convert", "-size", "400x140", "xc:none",
                    "-fill", "#ffffffd8", "-draw", "roundrectangle 4,4 396,136 24,24",
                    "-fill", "#c0392b", "-draw", "circle 70,70 70,22",
                    "-fill", "#ffffff", "-draw", "circle 70,70 70,44",
                    "-fill", "#c0392b", "-draw", "circle 70,70 70,58",
                    "-fill", "#1b2a41", "-font", "DejaVu-Sans-Bold", "-pointsize", "40",
                    "-annotate", "+128+70", "Tollerby",
                    "-fill", "#7a634c", "-font", "DejaVu-Sans", "-pointsize", "24",
                    "-annotate", "+130+108", "photography",
                    "-resize", "%dx%d!" % (width, height), path], check=True)


def placement_rect(width, height, percent_x, percent_y):
    """Where a centre-anchored overlay sized in percent of the background lands: left, top,
    right, bottom, right and bottom exclusive. The size is the percentage times 0.01 times
    the dimension in double precision, cut toward zero, as the program computes it."""
    w = int((percent_x * 0.01) * width)
    h = int((percent_y * 0.01) * height)
    return (width - w) // 2, (height - h) // 2, (w + width) // 2, (h + height) // 2


class RgbPicture:
    """A decoded picture: its size and 8-bit RGB pixels."""

    def __init__(self, path):
        self.path = path
        header = subprocess.run(["identify", "-format", "%m %w %h\n", path], check=True,
                                capture_output=True).stdout.decode().split()
        self.format = header[0]
        self.width, self.height = int(header[1]), int(header[2])
        self.data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                                   capture_output=True).stdout
        if len(self.data) != self.width * self.height * 3:
            raise AssertionError("%s did not decode to %dx%d RGB pixels" %
                                 (path, self.width, self.height))

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def row(self, y):
        return self.data[y * self.width * 3:(y + 1) * self.width * 3]


def probe(path, points):
    """Decodes a picture once and returns its format (as ImageMagick names it: PNG, JPEG,
    ...), width, height and the RGB colours at points, without reading all of a large
    picture's pixels into this process."""
    fields = ["%m", "%w", "%h"]
    for x, y in points:
        fields += ["%%[fx:round(255*p{%d,%d}.%s)]" % (x, y, c) for c in "rgb"]
    out = subprocess.run(["convert", path, "-format", " ".join(fields), "info:"], check=True,
                         capture_output=True).stdout.decode().split()
    values = [int(v) for v in out[1:]]
    colours = [tuple(values[2 + 3 * i:5 + 3 * i]) for i in range(len(points))]
    return out[0], values[0], values[1], colours


def near(a, b, tolerance):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def check_overlay_only_in(output, background, rect, tolerance, border=1):
    """Every pixel inside rect (less a border where scaling blends the edge) must be the
    overlay's colour; every pixel outside it (plus the border) must be the background's own.
    Returns a list of faults, each naming a point, empty when the picture is right."""
    faults = []
    if (output.width, output.height) != (background.width, background.height):
        return ["%s is %dx%d, its background %s is %dx%d" % (
            output.path, output.width, output.height, background.path, background.width,
            background.height)]
    left, top, right, bottom = rect

    def fault(x, y, wanted, what):
        if len(faults) < 8:
            faults.append("%s at (%d, %d) is %s, wanted %s %s" % (
                output.path, x, y, output.pixel(x, y), what, wanted))
        else:
            faults.append(None)

    for y in range(output.height):
        in_rows = top + border <= y < bottom - border
        near_rows = top - border <= y < bottom + border
        if not near_rows and output.row(y) == background.row(y):
            continue
        for x in range(output.width):
            if in_rows and left + border <= x < right - border:
                if not near(output.pixel(x, y), OVERLAY_COLOUR, tolerance):
                    fault(x, y, OVERLAY_COLOUR, "the overlay's")
            elif not (near_rows and left - border <= x < right + border):
                if not near(output.pixel(x, y), background.pixel(x, y), tolerance):
                    fault(x, y, background.pixel(x, y), "the background's")
    extra = faults.count(None)
    faults = [f for f in faults if f is not None]
    if extra:
        faults.append("... and %d more wrong pixels" % extra)
    return faults

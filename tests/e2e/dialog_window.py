"""A dialog of the program on screen, addressed by the positions of its template.

The program lays its dialogs out in dialog units: x * base width / 4 and y * base height / 8
pixels, rounded, with base units taken from the dialog font. The font differs between
machines, so the base units are read back from the size of the window itself, which is the
template's size converted the same way. A control is then clicked in the middle of its
template rectangle, where a person would click it.
"""


def mul_div(a, b, c):
    """Rounded a * b / c for non-negative numbers, as the program converts dialog units."""
    return (a * b + c // 2) // c


class DialogWindow:
    """scale is the screen's scale (QT_SCALE_FACTOR): the program lays out in points, and the
    screen shows each point as scale pixels."""

    def __init__(self, session, window, template_width, template_height, scale=1.0):
        self.session = session
        self.window = window
        self.scale = scale
        _, _, width, height = session.geometry(window)
        width, height = round(width / scale), round(height / scale)
        self.base_x = round(width * 4 / template_width)
        self.base_y = round(height * 8 / template_height)
        if mul_div(template_width, self.base_x, 4) != width or \
                mul_div(template_height, self.base_y, 8) != height:
            raise AssertionError(
                "window %s is %dx%d points, which is no %dx%d dialog-unit template" %
                (window, width, height, template_width, template_height))

    def point(self, x, y, width, height):
        """The pixel in the middle of a control at x, y, width, height (dialog units)."""
        return (round(mul_div(2 * x + width, self.base_x, 8) * self.scale),
                round(mul_div(2 * y + height, self.base_y, 16) * self.scale))

    def rect(self, x, y, width, height):
        """A control's rectangle on the screen, in pixels: left, top, width, height."""
        left, top = mul_div(x, self.base_x, 4), mul_div(y, self.base_y, 8)
        return (round(left * self.scale), round(top * self.scale),
                round(mul_div(width, self.base_x, 4) * self.scale),
                round(mul_div(height, self.base_y, 8) * self.scale))

    def click(self, x, y, width, height):
        px, py = self.point(x, y, width, height)
        self.session.click(self.window, px, py)

    def grab(self, x, y, width, height):
        return self.session.grab(self.window, *self.rect(x, y, width, height))

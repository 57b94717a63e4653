#pragma once
// The program's own pictures, drawn in code so that they can be rebuilt at any time. The build
// runs the artwork generator, which saves these as PNG files for the resource compiler.

#include <QColor>
#include <QImage>

class QPainter;
class QPointF;

// The seal that marks the program: a scalloped crimson disc with a ring and a "P".
void PaintSeal(QPainter& painter, const QPointF& centre, double radius);

// A bordered landscape photograph, 184 x 148 units centred on the painter's origin.
void PaintPhotograph(QPainter& painter);

// Icon 128, square, size x size pixels, with transparency.
QImage DrawApplicationIcon(int size);

// Icons 133 to 141: anchor value 1 to 9 (rows from the top left), a figure in the ink given
// (black for light desktops) on a transparent background, size x size pixels.
QImage DrawAnchorIcon(int anchor, int size, const QColor& ink);

// The resource number of the icon that shows anchor value 1 to 9, or 0.
int AnchorIconId(int anchor);

// Bitmap 129, 200 x 100 pixels, 24-bit; scale > 1 draws the same picture with that many times
// the pixels, for screens with more than one pixel per point; dark draws it for dark desktops.
QImage DrawAboutLogo(double scale, bool dark = false);

// Bitmap 132, 400 x 85 pixels, 24-bit; scale as for the about logo.
QImage DrawBanner(double scale);

// Bitmap 156, 64 x 64 pixels, 24-bit: a square ground crossed corner to corner by two
// diagonals about two pixels wide. Light desktops get light grey (192, 192, 192) with red
// (255, 0, 0) lines.
QImage DrawPreviewPlaceholder(const QColor& ground, const QColor& line);

#pragma once
// Dialog units to pixels, the way Windows converts them: a horizontal unit is a quarter of the
// dialog font's average character width, a vertical unit an eighth of its height.

#include "types/WinTypes.h"

#include <QFont>
#include <QRect>

struct DialogBaseUnits {
    int cx; // average width of the 52 letters A-Z a-z, rounded as Windows rounds it
    int cy; // font height
};

// a * b / c, rounded half away from zero, computed in 64 bits; -1 when c is 0.
int MulDiv(int a, int b, int c);

// The dialog font of a template: "MS Shell Dlg" (and "MS Shell Dlg 2") stand for the platform's
// standard dialog font; any other name is asked for by name. points <= 0 means 8.
QFont DialogFont(const char* fontName, int points);

DialogBaseUnits BaseUnitsOfFont(const QFont& font);

int DialogUnitsToPixelsX(int x, const DialogBaseUnits& units);
int DialogUnitsToPixelsY(int y, const DialogBaseUnits& units);

// Maps a rectangle given by position and size in dialog units to pixels. Position and size are
// mapped each on its own, as controls of a template are created.
QRect MapDialogUnits(int x, int y, int cx, int cy, const DialogBaseUnits& units);

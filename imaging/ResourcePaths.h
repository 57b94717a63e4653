#pragma once
// Where the program's embedded pictures live in Qt's resource system: icon n at
// ":/icon/<n>.png" with the sizes it was drawn at in the folder ":/icon/<n>/", bitmap n at
// ":/bitmap/<n>.png" with its variants for screen scales beside it (":/bitmap/<n>@2x.png").
// A picture drawn for dark desktops has the same name under ":/icon/dark" or
// ":/bitmap/dark". The paths are given whether or not the picture exists.

#include <QString>

// NOLINTBEGIN(readability-identifier-naming): the dialog framework looks pictures up
// by number as resource calls do, and names these as it names its own.
QString IconResourcePath(int id, bool dark = false);
QString IconSizesResourceFolder(int id, bool dark = false);
QString BitmapResourcePath(int id, bool dark = false);
QString ScaledBitmapResourcePath(int id, double scale, bool dark = false);
// NOLINTEND(readability-identifier-naming)

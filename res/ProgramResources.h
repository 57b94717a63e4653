#pragma once
// The program's embedded pictures. Icons live at ":/icon/<n>.png" (icon 128 also at
// ":/icon/128/<size>.png" for 16, 24, 32, 48, 64, 128 and 256 pixels), bitmaps at
// ":/bitmap/<n>.png".

#include <QString>

// Makes the embedded pictures reachable. Call once at start, before the first dialog.
void RegisterProgramResources();

// The resource path of icon or bitmap number id; the path is given whether or not it exists.
QString IconResourcePath(int id);
QString BitmapResourcePath(int id);

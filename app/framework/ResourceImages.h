#pragma once
// Icons and bitmaps of the program's resources, loaded by number from Qt's resource system
// (":/icon/<n>.png" and ":/bitmap/<n>.png"). A handle owns its image until DestroyIcon or
// DeleteObject; controls that show it keep their own copy, so a handle may be released while
// the image is still shown.

#include "app/framework/WinUser.h"

#include <QIcon>
#include <QPixmap>

#define MAKEINTRESOURCEA(i)                                                                        \
    (reinterpret_cast<const char*>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#ifndef MAKEINTRESOURCE
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#endif

// Null when no such resource exists. Only numbered resources exist here. An icon holds every
// size it was drawn at and a bitmap is the one drawn for the screen's scale (its device pixel
// ratio set, so it keeps its designed size in points); on a dark palette both come in their
// dark variant where there is one.
HBITMAP LoadBitmap(HINSTANCE instance, const char* name);
HICON LoadIconById(int id);
HBITMAP LoadBitmapById(int id);

BOOL DestroyIcon(HICON icon);
BOOL DeleteObject(HBITMAP bitmap);

// Qt side of the handles, for the framework and for tests.
HICON CreateIconFromPixmap(const QPixmap& pixmap);
HBITMAP CreateBitmapFromPixmap(const QPixmap& pixmap);
QIcon IconOfHandle(HICON icon);
QPixmap PixmapOfHandle(HBITMAP bitmap);

// The size an icon is shown at on a button of buttonSize: its size for 32 pixels, shrunk with
// its proportions kept where the button leaves less than that inside a margin of 3 pixels.
QSize ButtonIconSize(const QIcon& icon, const QSize& buttonSize);

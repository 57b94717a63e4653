#pragma once
// Pictures drawn in code for the engine tests, saved with Qt into a temporary folder.

#include <QColor>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <string>

// A w x h picture of one colour in the given format (indexed formats get a palette).
QImage SolidImage(int width, int height, const QColor& colour,
                  QImage::Format format = QImage::Format_RGB888);

// Saves image as dir/name in Qt's format for the name's suffix; returns the path as 8-bit
// file-system text, or an empty text when Qt could not write it.
std::string SavePicture(const QTemporaryDir& dir, const QString& name, const QImage& image);

// The path of name inside dir as 8-bit file-system text.
std::string PathIn(const QTemporaryDir& dir, const QString& name);

// True when every channel of a is within tolerance of b.
bool NearColour(QRgb a, const QColor& b, int tolerance);

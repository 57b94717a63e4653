#pragma once
// The pictures the benchmark works on, drawn here: photo-like backgrounds (smooth light,
// value-noise texture at several scales, hard-edged shapes, sensor grain) saved as JPEG at
// quality 90, and an overlay with soft alpha saved as PNG. Drawn deterministically, so runs
// on different days work on the same pixels.

#include <QString>
#include <QStringList>

struct Workload {
    QStringList backgrounds; // 12 MP ones first, then 24 MP ones
    QString overlay;
};

// Backgrounds of 4000 x 3000 and 6000 x 4000 pixels, `perSize` of each, and the 800 x 300
// overlay, made in folder (existing files of the right names are reused).
Workload MakeWorkload(const QString& folder, int perSize);

// Phone portraits: 4032 x 3024 and 6000 x 4000 pictures stored sideways with an Exif
// orientation 6, as phones store a portrait (sides the lossless turn takes), made in folder.
QStringList MakePortraits(const QString& folder);
// Landscapes of 12 and 24 MP with a restart marker after every MCU row, as some cameras write.
QStringList MakeRestartPictures(const QString& folder);

#pragma once
// What colour management costs a picture: the batch worker on one photograph untagged, tagged
// sRGB, tagged Display P3 (the overlay is converted into it) and as a CMYK JPEG with a profile
// (every pixel is converted), JPEG output, one picture at a time. Prints the median time of
// each and its ratio to the untagged one.

#include <QString>

void RunAndPrintColour(const QString& background, const QString& overlay, const QString& work,
                       int items);

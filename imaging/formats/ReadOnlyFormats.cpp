#include "imaging/formats/FormatRow.h"

// Formats only read, with Qt's own readers.
const FormatRow kGifFormat = {.qtFormat = "gif", .decode = DecodeRoute::QtAllocates};
const FormatRow kIcoFormat = {.qtFormat = "ico", .decode = DecodeRoute::QtAllocates};
const FormatRow kIcnsFormat = {.qtFormat = "icns", .decode = DecodeRoute::QtAllocates};
// Drawings that a Qt plugin could render at any size: no picture of pixels to stamp.
const FormatRow kVectorFormats[4] = {
    {.qtFormat = "svg", .decode = DecodeRoute::Refused},
    {.qtFormat = "svgz", .decode = DecodeRoute::Refused},
    {.qtFormat = "pdf", .decode = DecodeRoute::Refused},
    {.qtFormat = "eps", .decode = DecodeRoute::Refused},
};
const FormatRow kOtherQtFormat = {};

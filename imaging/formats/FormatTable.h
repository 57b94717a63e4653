#pragma once
// Every format the library knows, as the rows of FormatRow.h, found by the names and
// identifiers the rest of the library holds.

#include "imaging/formats/FormatRow.h"

#include <QByteArray>

#include <span>

class FormatTable {
  public:
    // Every row, writable ones first in the order the library lists its encoders.
    static std::span<const FormatRow* const> rows();
    // The row of a Qt reader's format name; kOtherQtFormat for any the table does not name.
    static const FormatRow& forReader(const QByteArray& qtFormat);
    // The row whose own codec reads a file beginning with head; null when Qt's readers do.
    static const FormatRow* ownCodecOf(const QByteArray& head);
};

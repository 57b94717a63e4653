#pragma once
// pictorum-batch given a long list on its standard input, as `find ... | pictorum-batch -`
// gives it: the time until its first log record, the whole run and its peak memory.

#include <QString>

// Writes a list of entries names into work (pictures that are not there, so that each item
// costs the list's own handling and little else) and prints the row with its goals.
void RunAndPrintBatchList(const QString& work, int entries);

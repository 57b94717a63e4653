#pragma once
// The rows for memory: pictorum-batch --jobs 8 over pictures of 100 MP, with no limit and with
// --memory-limit of three pictures' worth, against what one such picture takes decoded.

#include <QString>

// Draws the picture into work (once), runs both and prints the rows.
void RunAndPrintMemory(const QString& work);

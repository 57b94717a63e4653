#pragma once
// What reducing a mark costs a picture: a mark drawn smaller than its own size is first reduced
// by area averaging (once per drawn size) and then drawn one to one. Prints, for the workload's
// overlay and a thin-line signature at 1/2, 1/4 and 1/8 on the background, the time of today's
// plain scaled drawing, of the first picture at that size (reduction and drawing) and of later
// ones (drawing the kept copy), with their ratios to the scaled drawing.

#include <QString>

void RunAndPrintReducedMarks(const QString& background, const QString& overlay, const QString& work,
                             int rounds);

#pragma once
// The rows for the windowed program's run: its worker alone, and the whole run through the
// progress dialog (offscreen), each with one picture at a time and with the default (every core),
// as a child process per run so that time and peak memory are that run's own.

#include "bench/ParallelRuns.h"
#include "bench/Report.h"

#include <QString>
#include <QStringList>

// The child: "worker" or "dialog", pictures at once (0: the default). Prints
// "run <wall seconds> <cpu seconds> <items done>" and "peak <kilobytes>".
int RunWindowedChild(const QString& how, int atOnce, const QString& mime, const QString& overlay,
                     const QString& outputDir, const QStringList& backgrounds);

// Runs the four kinds on every size class of input and prints their rows, with the speed-up of
// the default over one at a time (goal >= 1.7) and the peak memory of each.
void RunAndPrintWindowed(const ParallelInput& input, const OutputFormat& format,
                         const QString& work);

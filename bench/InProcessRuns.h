#pragma once
// The measured runs that happen inside a child process of the benchmark, so that each one's
// peak memory is its own. Each prints one line per picture to standard output:
//   item <wall seconds> <cpu seconds> <outcome>
// and at the end "peak <kilobytes>".
// Each returns the process exit code.

#include <QStringList>

// The batch worker itself (ProcessingThreadProc), one picture at a time, with a receiver on this
// thread, the overlay at 20 % x 20 % of each background, anchored bottom-right.
int RunBatchWorker(const QString& mime, const QString& overlay, const QString& outputDir,
                   const QStringList& backgrounds);

// The engine's pipeline on this thread, one picture at a time, placed as RunBatchWorker places
// them: jpegQuality 0 stamps a JPEG without decoding more of it than the mark covers, 90 takes
// the whole-picture route the program took before (decode, stamp, encode at 90).
int RunPipeline(int jpegQuality, const QString& mime, const QString& overlay,
                const QString& outputDir, const QStringList& backgrounds);

class CBatchJob;
// Runs the batch worker on its own thread over job, whose window must belong to this thread,
// and this thread's event loop until the worker has ended; false when it could not start.
bool RunWorkerThread(CBatchJob& job);

// The codec floor: decode each background and save it with the same encoder, nothing else.
int RunCodecFloor(const QString& mime, const QString& outputDir, const QStringList& backgrounds);

// The sample preview's sequence on one background: decode, new 32-bit ARGB bitmap, draw the
// background, draw the overlay scaled. Prints "preview <total> <decode+draw background>
// <overlay>" for each of `rounds` rounds.
int RunPreview(const QString& background, const QString& overlay, int rounds);

// Nothing but start-up: the memory every child pays before its first picture.
int RunBaseline();

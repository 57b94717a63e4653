#pragma once
// The per-item log on standard output: one line for each picture, as text or as a JSON object.

#include "cli/CliOptions.h"
#include "engine/StampPipeline.h"

#include <cstdio>
#include <string>

// The item's line, or nothing when --quiet leaves it out. False when the line could not be
// written (errno tells why).
bool WriteLog(const CliOptions& options, const PipelineReport& report, std::FILE* out);

// The line of an item left alone because path, its output name, already holds a file. The
// caller flushes out.
void WriteSkipped(const CliOptions& options, const PipelineItem& item, const std::string& path,
                  std::FILE* out);

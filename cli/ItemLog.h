#pragma once
// The per-item log on standard output: one line for each picture, as text or as a JSON object.

#include "cli/CliOptions.h"
#include "engine/StampPipeline.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The item's line, or nothing when --quiet leaves it out. False when the line could not be
// written (errno tells why).
bool WriteLog(const CliOptions& options, const PipelineReport& report, std::FILE* out);

// The line of an item left alone because path, its output name, already holds a file. The
// caller flushes out.
void WriteSkipped(const CliOptions& options, const PipelineItem& item, const std::string& path,
                  std::FILE* out);

// What a run came to, for the jsonl log's last record. total: the items of this run (its
// shard); written, skipped and failed add up to it unless the run was stopped; unwritten: of
// failed, the copies the system refused; status: the exit status.
struct RunSummary {
    std::size_t total = 0;
    std::size_t written = 0;
    std::size_t skipped = 0;
    std::size_t failed = 0;
    std::size_t unwritten = 0;
    std::int64_t milliseconds = 0;
    int status = 0;
};
bool WriteSummary(const CliOptions& options, const RunSummary& summary, std::FILE* out);

#pragma once
// The benchmark's own run: every row its options ask for, each measured in a child process,
// printed with the ratios against the peers measured in the same run.

#include "bench/BenchOptions.h"

// Returns the process exit code.
int RunParent(const BenchOptions& options);

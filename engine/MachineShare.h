#pragma once
// What of the machine this process may use: processors and memory, as the kernel grants them
// (CPU affinity, cgroup quotas and limits), not as the machine has them. A Slurm task with one
// CPU on a big node, or a container with a quota, must not start a worker per core of the node.

#include <cstdint>
#include <string>

// The processors of this process's CPU affinity, fewer when a cgroup v2 CPU quota (cpu.max of
// its group or of one above) grants less time than that; at least 1.
int UsableCpuCount();

// The memory this process can still take: the system's MemAvailable, less when a cgroup memory
// limit (v2 memory.max, v1 memory.limit_in_bytes, of its group or one above) leaves less;
// 0 when nothing can be read.
std::uint64_t AvailableMemoryBytes();

// The whole processors that the text of a cpu.max file grants ("max 100000": no limit, 0;
// "150000 100000": 2, a part of one counting as one).
int CpusOfQuota(const std::string& cpuMax);

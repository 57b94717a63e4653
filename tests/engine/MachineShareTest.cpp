#include "engine/MachineShare.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(MachineShare, QuotaGrantsWholeProcessors) {
    const struct {
        const char* cpuMax;
        int cpus;
    } cases[] = {
        {"max 100000", 0},   {"100000 100000", 1}, {"150000 100000", 2},
        {"50000 100000", 1}, {"800000 100000", 8}, {"", 0},
        {"garbage", 0},      {"100000 0", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CpusOfQuota(c.cpuMax), c.cpus) << c.cpuMax;
}

// As under `taskset -c 0`, or a Slurm task given one CPU of a big node.
TEST(MachineShare, AffinityOfOneProcessorGivesOne) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(0, &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0)
            ::_exit(99);
        ::_exit(UsableCpuCount());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_GE(UsableCpuCount(), 1);
}

#include "bench/ChildProcess.h"

#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

void Drain(int fd, std::string* into, std::size_t limit, bool* open) {
    char chunk[65536];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) {
        *open = false;
        return;
    }
    if (into->size() < limit)
        into->append(chunk, std::size_t(n));
}

} // namespace

std::string LocalBytes(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

ChildResult RunChild(const std::vector<std::string>& argv) {
    ChildResult result;
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return result;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        result.errorOutput = std::string("cannot start ") + argv[0] + ": " + std::strerror(spawned);
        return result;
    }
    bool outOpen = true;
    bool errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            break;
        if (outOpen && (fds[0].revents & (POLLIN | POLLHUP)))
            Drain(out[0], &result.output, 1 << 20, &outOpen);
        if (errOpen && (fds[1].revents & (POLLIN | POLLHUP)))
            Drain(err[0], &result.errorOutput, 4096, &errOpen);
    }
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakKilobytes = usage.ru_maxrss;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

std::string SelfPath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    path[n] = '\0';
    return path;
}

std::vector<std::string> ChildCommand(const char* mode, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {SelfPath(), "--child", mode};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

ChildResult RunMeasured(const std::vector<std::string>& argv) {
    ChildResult result = RunChild(ChildCommand(kChildExec, argv));
    double seconds = 0;
    long peak = 0;
    int status = -1;
    double cpu = 0;
    if (std::sscanf(result.output.c_str(), "exec %lf %ld %d %lf", &seconds, &peak, &status, &cpu) !=
        4) {
        result.ok = false;
        return result;
    }
    result.seconds = seconds;
    result.peakKilobytes = peak;
    result.cpuSeconds = cpu;
    result.ok = result.ok && status == 0;
    return result;
}

int ExecAndMeasure(char** argv) {
    if (argv[0] == nullptr)
        return 2;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0)
        return 1;
    if (pid == 0) {
        ::dup2(2, 1);
        ::execvp(argv[0], argv);
        std::perror(argv[0]);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    std::printf("exec %.6f %ld %d %.6f\n", seconds, usage.ru_maxrss,
                WIFEXITED(status) ? WEXITSTATUS(status) : 128, cpu);
    return 0;
}

double OwnCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

long OwnPeakKilobytes() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    long peak = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &peak) == 1)
            break;
    std::fclose(status);
    return peak;
}

#include "ChildBatch.h"

#include "BatchRecorder.h"
#include "TestMain.h"
#include "batch/BatchMessages.h"
#include "engine/BatchJob.h"
#include "engine/TextHelpers.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kChildFlag = "--batch-child";
constexpr int kReportFd = 3;

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A field of /proc/self/status in kB ("VmSize", "VmPeak"); -1 when it cannot be read.
long long StatusKb(const char* field) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long long kb = -1;
    while (std::fgets(line, sizeof line, status)) {
        const std::size_t length = std::strlen(field);
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            kb = std::atoll(line + length + 1);
    }
    std::fclose(status);
    return kb;
}

} // namespace

bool IsChildBatchCall(int argc, char** argv) {
    return argc > 1 && std::strcmp(argv[1], kChildFlag) == 0;
}

int ChildBatchMain(int argc, char** argv) {
    FILE* report = fdopen(kReportFd, "w");
    if (!report)
        return 90;
    CBatchJob job;
    CopyText(job.szNameTemplate, "###");
    job.SetSizeMode(SizeModePercent);
    job.SetOverlayAnchor(9);
    job.nSizeX = 25;
    job.nSizeY = 25;
    long long fileSizeLimit = -1;
    long long addressSpaceExtraMb = -1;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--input")
            job.AddFile(value);
        else if (key == "--overlay")
            CopyText(job.szOverlayPath, value);
        else if (key == "--out")
            CopyText(job.szOutputDir, value);
        else if (key == "--format")
            CopyText(job.szOutputFormat, value);
        else if (key == "--fsize")
            fileSizeLimit = std::atoll(value);
        else if (key == "--as-extra-mb")
            addressSpaceExtraMb = std::atoll(value);
        else
            return 91;
    }
    if (fileSizeLimit >= 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 92;
    }
    if (addressSpaceExtraMb >= 0) {
        const long long now = StatusKb("VmSize");
        if (now < 0)
            return 93;
        const rlim_t bytes = rlim_t(now + addressSpaceExtraMb * 1024) * 1024;
        const rlimit limit{bytes, bytes};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            return 94;
    }

    BatchRecorder recorder(job);
    long itemStartKb = 0;
    long long itemStartVirtualKb = 0;
    std::vector<long> growth;
    std::vector<long long> virtualGrowth;
    recorder.onMessage = [&](const BatchMessage& m, CBatchJob&) {
        if (m.message != WM_BATCH_ITEMSTATUS)
            return;
        if (m.text == " ... ") {
            itemStartKb = PeakRssKb();
            itemStartVirtualKb = StatusKb("VmPeak");
        } else {
            growth.push_back(PeakRssKb() - itemStartKb);
            virtualGrowth.push_back(StatusKb("VmPeak") - itemStartVirtualKb);
        }
    };
    RunBatchHere(job, recorder);

    for (const std::string& line : recorder.Lines())
        std::fprintf(report, "line %s\n", line.c_str());
    for (std::size_t i = 0; i < growth.size(); ++i)
        std::fprintf(report, "item %ld %lld\n", growth[i], virtualGrowth[i]);
    for (const std::string& path : job.fileList)
        std::fprintf(report, "remaining %s\n", path.c_str());
    std::fprintf(report, "completed %d\n", recorder.Completed() ? 1 : 0);
    std::fprintf(report, "serial %d\n", job.nSerial);
    std::fclose(report);
    return 0;
}

ChildBatchResult RunChildBatch(const ChildBatchSpec& spec) {
    ChildBatchResult result;
    std::vector<std::string> args{"/proc/self/exe", kChildFlag};
    const auto add = [&](const char* key, const std::string& value) {
        args.push_back(key);
        args.push_back(value);
    };
    for (const QByteArray& input : spec.inputs)
        add("--input", input.toStdString());
    add("--overlay", spec.overlay.toStdString());
    add("--out", spec.outputDir.toStdString());
    add("--format", spec.format.toStdString());
    if (spec.fileSizeLimit >= 0)
        add("--fsize", std::to_string(spec.fileSizeLimit));
    if (spec.addressSpaceExtraMb >= 0)
        add("--as-extra-mb", std::to_string(spec.addressSpaceExtraMb));
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return result;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        if (dup2(fds[1], kReportFd) < 0)
            _exit(95);
        execv(argv[0], argv.data());
        _exit(96);
    }
    close(fds[1]);

    std::string output;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(spec.guardSeconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, int(std::min<long long>(left, 1000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(chunk, std::size_t(n));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;

    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "line")
            result.lines.push_back(value);
        else if (key == "item") {
            long rss = 0;
            long long address = 0;
            std::istringstream(value) >> rss >> address;
            result.itemPeakGrowthKb.push_back(rss);
            result.itemPeakAddressGrowthKb.push_back(address);
        } else if (key == "remaining")
            result.remaining.push_back(value);
        else if (key == "completed")
            result.completed = value == "1";
        else if (key == "serial")
            result.serial = std::atoi(value.c_str());
    }
    return result;
}

// The reliability suite runs real batches through the imaging library; the same program serves
// as the child process of the cases that run under resource limits. A UTF-8 locale the machine
// already has is kept as it is.
test_main::Program test_main::ThisProgram() {
    return {.locale = test_main::Locale::Utf8UnlessAlready,
            .isOtherCall = &IsChildBatchCall,
            .runInstead = &ChildBatchMain};
}

#include "bench/Report.h"

#include <algorithm>
#include <cstdio>
#include <string>

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

qint64 Median(std::vector<qint64> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

namespace {

double MedianOf(const Measured& m, const std::string& sizeClass) {
    const auto it = m.seconds.find(sizeClass);
    return it == m.seconds.end() ? 0 : Median(it->second);
}

double CpuOf(const Measured& m, const std::string& sizeClass) {
    const auto it = m.cpu.find(sizeClass);
    return it == m.cpu.end() ? 0 : Median(it->second);
}

qint64 SizeOf(const Measured& m, const std::string& sizeClass) {
    const auto it = m.bytes.find(sizeClass);
    return it == m.bytes.end() ? 0 : Median(it->second);
}

void PrintRow(const Measured& m, const Measured& ours, const std::vector<std::string>& classes) {
    std::printf("  %-28s", m.tool.c_str());
    for (const std::string& c : classes)
        std::printf(" %8.3f", MedianOf(m, c));
    for (const std::string& c : classes) {
        const double theirs = MedianOf(m, c);
        if (&m == &ours || theirs <= 0)
            std::printf(" %9s", "-");
        else
            std::printf(" %9.2f", MedianOf(ours, c) / theirs);
    }
    for (const std::string& c : classes)
        std::printf(" %8.3f", CpuOf(m, c));
    for (const std::string& c : classes)
        std::printf(" %9.2f", double(SizeOf(m, c)) / 1e6);
    std::printf(" %8.0f", double(m.peakKilobytes) / 1024.0);
    if (m.failures)
        std::printf("  (%d failed)", m.failures);
    std::printf("\n");
}

} // namespace

const Measured* FastestPeer(const std::vector<Measured>& peers, const std::string& sizeClass) {
    const Measured* fastest = nullptr;
    for (const Measured& peer : peers) {
        const double t = MedianOf(peer, sizeClass);
        if (t > 0 && peer.failures == 0 && (!fastest || t < MedianOf(*fastest, sizeClass)))
            fastest = &peer;
    }
    return fastest;
}

void PrintFormatTable(const char* format, const std::vector<std::string>& classes,
                      const Measured& ours, const Measured& floor,
                      const std::vector<Measured>& peers) {
    std::printf("\n%s output: median wall seconds per picture, ratio us/tool (wall), median CPU "
                "seconds (user+sys), median output MB, peak RSS MB of one process\n",
                format);
    std::printf("  %-28s", "tool");
    for (const std::string& c : classes)
        std::printf(" %8s", (c + " s").c_str());
    for (const std::string& c : classes)
        std::printf(" %9s", ("us/" + c).c_str());
    for (const std::string& c : classes)
        std::printf(" %8s", ("cpu " + c.substr(0, c.find(' '))).c_str());
    for (const std::string& c : classes)
        std::printf(" %9s", (c + " MB").c_str());
    std::printf(" %8s\n", "peak MB");
    PrintRow(ours, ours, classes);
    PrintRow(floor, ours, classes);
    for (const Measured& peer : peers)
        PrintRow(peer, ours, classes);
}

#pragma once
// What one tool did on one output format, and the printed comparison.

#include <QtGlobal>

#include <map>
#include <string>
#include <vector>

struct Measured {
    std::string tool;
    std::map<std::string, std::vector<double>> seconds; // wall, by size class ("12 MP")
    std::map<std::string, std::vector<double>> cpu;     // user + system, by size class
    std::map<std::string, std::vector<qint64>> bytes;   // output file sizes, by size class
    long peakKilobytes = 0;                             // largest single process
    int failures = 0;
};

double Median(std::vector<double> values);
qint64 Median(std::vector<qint64> values);

// The table of one output format: our run first, then the floor, then the peers.
void PrintFormatTable(const char* format, const std::vector<std::string>& classes,
                      const Measured& ours, const Measured& floor,
                      const std::vector<Measured>& peers);

// The fastest peer in a size class, or null when no peer ran.
const Measured* FastestPeer(const std::vector<Measured>& peers, const std::string& sizeClass);

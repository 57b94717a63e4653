#pragma once
// The command-line tools a user would otherwise script, one process per picture, each told to
// produce the same geometry: the overlay stretched to the placement's width and height and
// put in the bottom-right corner.

#include <QString>

#include <string>
#include <vector>

struct Placement {
    int overlayWidth;
    int overlayHeight;
    int left;
    int top;
    int width;
    int height;
};

struct OutputFormat {
    const char* name;      // "JPEG"
    const char* mime;      // "image/jpeg"
    const char* extension; // "jpg"
};

struct Peer {
    const char* name;
    const char* program; // what must be installed
    // The processes that stamp one picture, run one after the other.
    std::vector<std::vector<std::string>> (*commands)(
        const QString& background, const QString& overlay, const Placement& place,
        const OutputFormat& format, const QString& output, const QString& scratch);
    // The formats it is measured for, as "AVIF,JXL"; null for every format.
    const char* formats = nullptr;
};

const std::vector<Peer>& Peers();
bool PeerInstalled(const Peer& peer);
// Installed, and measured for that format.
bool PeerRuns(const Peer& peer, const OutputFormat& format);

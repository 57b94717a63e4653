#include "bench/Peers.h"

#include "bench/ChildProcess.h"

#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {

std::string N(int value) {
    return std::to_string(value);
}

bool Is(const OutputFormat& format, const char* name) {
    return std::strcmp(format.name, name) == 0;
}

// Settings a script would pass so that the peers write what we write: JPEG at quality 90
// (their defaults differ), TIFF uncompressed (ImageMagick would otherwise carry the JPEG
// compression of its input into the TIFF). PNG is left at each tool's default.
std::vector<std::string> MagickOptions(const OutputFormat& format) {
    if (Is(format, "JPEG"))
        return {"-quality", "90"};
    if (Is(format, "TIFF"))
        return {"-compress", "None"};
    return {};
}

std::vector<std::vector<std::string>> ImageMagick(const QString& background, const QString& overlay,
                                                  const Placement& place,
                                                  const OutputFormat& format, const QString& output,
                                                  const QString&) {
    // The real program, not a wrapper that may stand in front of it on the PATH.
    std::vector<std::string> command = {"/usr/bin/convert",
                                        LocalBytes(background),
                                        "(",
                                        LocalBytes(overlay),
                                        "-resize",
                                        N(place.width) + "x" + N(place.height) + "!",
                                        ")",
                                        "-gravity",
                                        "southeast",
                                        "-composite"};
    for (const std::string& option : MagickOptions(format))
        command.push_back(option);
    command.push_back(LocalBytes(output));
    return {command};
}

std::vector<std::vector<std::string>> GraphicsMagick(const QString& background,
                                                     const QString& overlay, const Placement& place,
                                                     const OutputFormat& format,
                                                     const QString& output, const QString&) {
    std::vector<std::string> command = {
        "gm",        "composite", "-gravity",
        "southeast", "-geometry", N(place.width) + "x" + N(place.height) + "!+0+0"};
    for (const std::string& option : MagickOptions(format))
        command.push_back(option);
    command.push_back(LocalBytes(overlay));
    command.push_back(LocalBytes(background));
    command.push_back(LocalBytes(output));
    return {command};
}

std::vector<std::vector<std::string>> VipsAt(const QString& background, const QString& overlay,
                                             const Placement& place, const QString& output,
                                             const QString& scratch, const char* options) {
    const QString scaled = scratch + QStringLiteral("/vips-overlay.v");
    char hscale[32];
    char vscale[32];
    std::snprintf(hscale, sizeof hscale, "%.9f", double(place.width) / place.overlayWidth);
    std::snprintf(vscale, sizeof vscale, "%.9f", double(place.height) / place.overlayHeight);
    const std::string target = LocalBytes(output) + options;
    return {{"vips", "resize", LocalBytes(overlay), LocalBytes(scaled), hscale, "--vscale", vscale},
            {"vips", "composite2", LocalBytes(background), LocalBytes(scaled), target, "over",
             "--x", N(place.left), "--y", N(place.top)}};
}

std::vector<std::vector<std::string>> Vips(const QString& background, const QString& overlay,
                                           const Placement& place, const OutputFormat& format,
                                           const QString& output, const QString& scratch) {
    return VipsAt(background, overlay, place, output, scratch, Is(format, "JPEG") ? "[Q=90]" : "");
}

// libvips writing AVIF and JPEG XL at the quality we write them (AVIF quality 95, JPEG XL
// distance 0.73, both at its default effort), where its defaults write smaller, coarser copies.
std::vector<std::vector<std::string>>
VipsAtOurQuality(const QString& background, const QString& overlay, const Placement& place,
                 const OutputFormat& format, const QString& output, const QString& scratch) {
    return VipsAt(background, overlay, place, output, scratch,
                  Is(format, "AVIF") ? "[Q=95]" : "[distance=0.73]");
}

} // namespace

const std::vector<Peer>& Peers() {
    static const std::vector<Peer> peers = {
        {"ImageMagick convert", "/usr/bin/convert", &ImageMagick},
        {"GraphicsMagick gm", "/usr/bin/gm", &GraphicsMagick},
        {"libvips vips", "/usr/bin/vips", &Vips},
        {"libvips at our quality", "/usr/bin/vips", &VipsAtOurQuality, "AVIF,JXL"},
    };
    return peers;
}

bool PeerInstalled(const Peer& peer) {
    return QFileInfo(QString::fromLatin1(peer.program)).isExecutable();
}

bool PeerRuns(const Peer& peer, const OutputFormat& format) {
    return PeerInstalled(peer) &&
           (peer.formats == nullptr || QString::fromLatin1(peer.formats)
                                           .split(QLatin1Char(','))
                                           .contains(QLatin1String(format.name)));
}

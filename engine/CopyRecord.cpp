#include "engine/CopyRecord.h"

#include "engine/FileState.h"
#include "engine/ImageFile.h"
#include "engine/RunSettings.h"
#include "imaging/files/OutputFolder.h"

#include <QCryptographicHash>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include <sys/stat.h>
#include <sys/xattr.h>

namespace {

std::string FullPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> full(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    return full ? std::string(full.get()) : path;
}

std::string StateText(const std::string& path) {
    const FileState state = FileState::Of(path);
    char text[96];
    std::snprintf(text, sizeof text, "%lld %lld.%09ld", static_cast<long long>(state.size),
                  static_cast<long long>(state.modified.tv_sec), state.modified.tv_nsec);
    return text;
}

// The attribute's value; nothing when it is missing, and errno tells whether the file system
// keeps attributes at all (ENOTSUP when not).
std::optional<std::string> Attribute(const std::string& path, const char* name) {
    std::string value(PATH_MAX + 128, '\0');
    const ssize_t size = ::lgetxattr(path.c_str(), name, value.data(), value.size());
    if (size < 0)
        return std::nullopt;
    value.resize(static_cast<std::size_t>(size));
    return value;
}

// Loaded as a whole picture (the library checks end markers and declared sizes); 0 x 0 if not.
std::pair<UINT, UINT> WholeSize(const std::string& path) {
    CImageFile picture;
    if (!picture.LoadFromFile(path.c_str()))
        return {0, 0};
    return {picture.Width(), picture.Height()};
}

} // namespace

CopyRecord CopyRecord::For(const std::string& path, UINT width, UINT height,
                           const std::string& settingsDigest) {
    return {FullPath(path), std::to_string(width) + "x" + std::to_string(height) + " " +
                                StateText(path) + " " + settingsDigest};
}

std::string CopyRecord::SettingsDigest(const RunSettings& run) {
    const RunChoices& c = run.Choices();
    const RunOptions& o = run.Options();
    const std::string text = FullPath(c.overlayPath) + "\n" + StateText(c.overlayPath) + "\n" +
                             std::to_string(int(c.sizeMode)) + " " + std::to_string(c.sizeX) + " " +
                             std::to_string(c.sizeY) + " " + std::to_string(int(c.anchor)) + " " +
                             c.mimeType + " " + std::to_string(int(o.metadata)) + " " +
                             std::to_string(o.jpegQuality) + (o.uncompressedTiff ? "u" : "") + " " +
                             std::to_string(c.opacity) + " " + std::to_string(c.marginX) + " " +
                             std::to_string(c.marginY) + (c.marginPercent ? "%" : "");
    return QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha256)
        .toHex()
        .left(32)
        .toStdString();
}

ExistingCopy FindExistingCopy(const std::string& outputPath, const std::string& picturePath,
                              const std::string& settingsDigest) {
    struct stat info {};
    if (::lstat(outputPath.c_str(), &info) != 0)
        return errno == ENOENT ? ExistingCopy::None : ExistingCopy::Redo;
    if (!S_ISREG(info.st_mode))
        return ExistingCopy::Redo;
    const auto source = Attribute(outputPath, OutputFolder::kSourceRecord);
    if (!source && errno == ENOTSUP) {
        const auto size = WholeSize(outputPath);
        return size.first > 0 && size == WholeSize(picturePath) ? ExistingCopy::Complete
                                                                : ExistingCopy::Redo;
    }
    if (!source)
        return ExistingCopy::Redo;
    if (*source != FullPath(picturePath))
        return ExistingCopy::OtherPicture;
    const auto made = Attribute(outputPath, OutputFolder::kMadeRecord);
    unsigned width = 0;
    unsigned height = 0;
    if (!made || std::sscanf(made->c_str(), "%ux%u", &width, &height) != 2 ||
        *made != CopyRecord::For(picturePath, width, height, settingsDigest).made)
        return ExistingCopy::Redo;
    // The record stays with the file when it is cut short or written over in place.
    return WholeSize(outputPath) == std::pair<UINT, UINT>{width, height} && width > 0
               ? ExistingCopy::Complete
               : ExistingCopy::Redo;
}

#include "engine/ItemFailure.h"

#include "imaging/ImageFileAccess.h"
#include "imaging/files/OutputFolder.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace {

constexpr const char* kCodes[] = {
    // The picture (exit status 1)
    "not_found", "cannot_open_name", "folder", "no_read_permission", "not_regular_file",
    "read_error", "empty_file", "not_a_picture", "camera_raw", "hdr_picture", "too_large",
    "damaged", "unreadable", "overlay_unreadable",
    // The copy, refused for a reason a rerun meets again (1)
    "no_encoder", "encode_failed", "would_replace_input", "existing_read_only",
    "holds_another_copy", "folder_at_name", "name_too_long", "not_a_folder_on_the_way",
    "path_too_long", "no_number_left",
    // The copy, refused by the system (3)
    "no_space", "quota_exceeded", "file_too_large", "permission_denied", "read_only_file_system",
    "io_error", "write_failed", "output_folder_unusable"};

} // namespace

FailureReason OpenFailure(const char* path, GpStatus status) {
    struct stat info {};
    const bool exists = path != nullptr && ::stat(path, &info) == 0;
    switch (status) {
    case FileNotFound:
        return exists ? FailureReason{"cannot_open_name", "the name cannot be opened"}
                      : FailureReason{"not_found", "no such file"};
    case AccessDenied:
        return exists && S_ISDIR(info.st_mode)
                   ? FailureReason{"folder", "a folder, not a picture"}
                   : FailureReason{"no_read_permission", "no permission to read it"};
    case Win32Error:
        return exists && !S_ISREG(info.st_mode)
                   ? FailureReason{"not_regular_file",
                                   "not a regular file (a FIFO, device or socket)"}
                   : FailureReason{"read_error", "a read error"};
    case UnknownImageFormat:
        if (exists && info.st_size == 0)
            return {"empty_file", "an empty file"};
        if (exists && ImageFileAccess::isCameraRaw(path))
            return {"camera_raw", "a camera raw file: develop it first"};
        if (exists && ImageFileAccess::isHdrPicture(path))
            return {"hdr_picture", "a picture for HDR displays (PQ or HLG), not supported"};
        return {"not_a_picture", "not a picture that can be read"};
    case OutOfMemory:
        return {"too_large", "too large: more than 300 megapixels, or not enough memory"};
    case GenericError:
        return {"damaged", "damaged or cut short"};
    default:
        break;
    }
    return {"unreadable", "could not be opened"};
}

FailureReason SaveFailure(int error) {
    switch (error) {
    case 0:
        return {"encode_failed", "the picture could not be encoded in this format"};
    case OutputFolder::kWouldReplaceInput:
        return {"would_replace_input", "would replace one of this run's pictures"};
    case OutputFolder::kExistingFileReadOnly:
        return {"existing_read_only", "the file there is read-only or another user's"};
    case OutputFolder::kHoldsAnotherCopy:
        return {"holds_another_copy", "holds the copy of another picture"};
    case EISDIR:
        return {"folder_at_name", "a folder has that name"};
    case ENAMETOOLONG:
        return {"name_too_long", std::strerror(error)};
    case ENOTDIR:
    case ELOOP:
        return {"not_a_folder_on_the_way",
                "a file or link stands where a folder of the name should"};
    case ENOSPC:
        return {"no_space", std::strerror(error)};
    case EDQUOT:
        return {"quota_exceeded", std::strerror(error)};
    case EFBIG:
        return {"file_too_large", std::strerror(error)};
    case EACCES:
    case EPERM:
        return {"permission_denied", std::strerror(error)};
    case EROFS:
        return {"read_only_file_system", std::strerror(error)};
    case EIO:
        return {"io_error", std::strerror(error)};
    default:
        break;
    }
    return {"write_failed", std::strerror(error)};
}

std::span<const char* const> FailureCodes() {
    return kCodes;
}

#include "engine/FileState.h"

#include <sys/stat.h>

FileState FileState::Of(const std::string& path) {
    struct stat info {};
    FileState state;
    if (::stat(path.c_str(), &info) != 0)
        return state;
    state = {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
    return state;
}

bool FileState::operator==(const FileState& other) const {
    const auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && same(modified, other.modified) && same(changed, other.changed);
}

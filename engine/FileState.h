#pragma once
// What a file was at one moment: a file replaced, rewritten or deleted since then differs in
// one of these. Its absence counts as a state of its own.

#include <string>

#include <sys/types.h>
#include <time.h>

struct FileState {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileState Of(const std::string& path);
    bool operator==(const FileState& other) const;
};

#include "engine/OutputNaming.h"

#include <climits>
#include <cstdlib>

#include <unistd.h>
#include <unordered_set>

#include "engine/TextHelpers.h"

#include <algorithm>
#include <cstdint>

std::string FormatOutputName(const std::string& nameTemplate, int number) {
    const std::string digits = std::to_string(number);
    const auto marks =
        static_cast<std::ptrdiff_t>(std::count(nameTemplate.begin(), nameTemplate.end(), '#'));
    std::ptrdiff_t pad = marks - static_cast<std::ptrdiff_t>(digits.size());

    std::string name = nameTemplate;
    if (pad >= 0) {
        std::size_t next = 0;
        for (char& c : name) {
            if (c != '#')
                continue;
            if (pad > 0) {
                c = '0';
                --pad;
            } else {
                c = digits[next++];
            }
        }
        return name;
    }
    const std::size_t first = name.find('#');
    if (first == std::string::npos)
        return name;
    name.replace(first, 1, digits);
    const std::size_t rest = first + digits.size();
    name.erase(std::remove(name.begin() + static_cast<std::ptrdiff_t>(rest), name.end(), '#'),
               name.end());
    return name;
}

std::string OutputPathFor(const std::string& folder, const std::string& nameTemplate,
                          std::int32_t number, const std::string& extension, std::size_t room) {
    return JoinOutputPath(folder, FormatOutputName(nameTemplate, number), extension, room);
}

std::string JoinOutputPath(const std::string& folder, const std::string& name,
                           const std::string& extension, std::size_t room) {
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    path += '.';
    path += extension;
    if (path.size() + 1 > room)
        return {};
    return path;
}

std::vector<std::string> NamesFromInputs(const std::vector<std::string>& paths,
                                         const std::vector<std::string>& folders) {
    std::vector<std::string> names;
    names.reserve(paths.size());
    InputNamer namer;
    for (std::size_t position = 0; position < paths.size(); ++position)
        names.push_back(namer.Name(paths[position],
                                   position < folders.size() ? folders[position] : std::string(),
                                   static_cast<std::int64_t>(position)));
    return names;
}

std::string InputNamer::Name(const std::string& path, const std::string& folder,
                             std::int64_t position) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    // A leading dot starts a hidden name, not an extension.
    if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    if (!folder.empty())
        name.insert(0, folder + '/');
    while (!m_taken.insert(std::hash<std::string>()(name)).second)
        name += "-" + std::to_string(position);
    return name;
}

namespace {

// A folder that is not there (a missing picture's) is taken as written: that picture fails on
// its own, in its turn.
std::string FullPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    std::string text = resolved != nullptr ? resolved : "";
    std::free(resolved);
    if (text.empty() && !path.empty() && path[0] == '/')
        text = path;
    if (char cwd[PATH_MAX]; text.empty() && ::getcwd(cwd, sizeof cwd) != nullptr)
        text = std::string(cwd) + "/" + path;
    return text;
}

} // namespace

FolderMirror::FolderMirror(const std::string& base) : m_root(FullPath(base)) {
    if (m_root.empty())
        m_root = base;
    if (m_root != "/")
        m_root += '/';
}

std::optional<std::string> FolderMirror::FolderOf(const std::string& path) const {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = FullPath(slash == std::string::npos ? "."
                                        : slash == 0               ? "/"
                                                                   : path.substr(0, slash)) +
                               "/";
    if (folder.compare(0, m_root.size(), m_root) != 0)
        return std::nullopt;
    return folder.substr(m_root.size(), folder.size() - m_root.size() - 1);
}

std::optional<std::vector<std::string>>
FoldersUnder(const std::string& base, const std::vector<std::string>& paths, std::string& outside) {
    const FolderMirror mirror(base);
    std::vector<std::string> folders;
    folders.reserve(paths.size());
    for (const std::string& path : paths) {
        auto folder = mirror.FolderOf(path);
        if (!folder) {
            outside = path;
            return std::nullopt;
        }
        folders.push_back(std::move(*folder));
    }
    return folders;
}

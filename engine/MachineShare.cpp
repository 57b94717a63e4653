#include "engine/MachineShare.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include <sched.h>

namespace {

std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The folders of this process's cgroup and of every group above it, innermost first, in the
// hierarchy mounted with fsType (cgroup2) or holding controller (cgroup v1).
std::vector<std::string> GroupFolders(const std::string& fsType, const std::string& controller) {
    std::string mount, root;
    std::ifstream mounts("/proc/self/mountinfo");
    for (std::string line; std::getline(mounts, line);) {
        // "id parent major:minor root mountpoint options ... - fstype source superoptions"
        const std::size_t dash = line.find(" - ");
        if (dash == std::string::npos)
            continue;
        std::istringstream tail(line.substr(dash + 3));
        std::string type, source, options;
        tail >> type >> source >> options;
        if (type != fsType ||
            (!controller.empty() &&
             ("," + options + ",").find("," + controller + ",") == std::string::npos))
            continue;
        std::istringstream head(line.substr(0, dash));
        std::string id, parent, device;
        head >> id >> parent >> device >> root >> mount;
        break;
    }
    if (mount.empty())
        return {};
    std::string path;
    std::ifstream groups("/proc/self/cgroup");
    for (std::string line; std::getline(groups, line);) {
        // "0::/path" for cgroup2, "4:memory:/path" for a v1 controller.
        const std::size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const bool match =
            controller.empty()
                ? controllers.empty()
                : ("," + controllers + ",").find("," + controller + ",") != std::string::npos;
        if (match) {
            path = line.substr(second + 1);
            break;
        }
    }
    // A namespaced view shows the group relative to the mount's own root.
    if (root != "/" && path.rfind(root, 0) == 0)
        path = path.substr(root.size());
    std::vector<std::string> folders;
    for (;;) {
        folders.push_back(mount + (path == "/" ? "" : path));
        if (path.empty() || path == "/")
            break;
        const std::size_t slash = path.rfind('/');
        path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
    }
    return folders;
}

std::uint64_t Number(const std::string& text) {
    try {
        return text.empty() || text == "max" ? 0 : std::stoull(text);
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace

int CpusOfQuota(const std::string& cpuMax) {
    std::istringstream text(cpuMax);
    std::string quota, period;
    text >> quota >> period;
    const std::uint64_t q = Number(quota), p = Number(period);
    if (q == 0 || p == 0)
        return 0;
    return static_cast<int>(std::min<std::uint64_t>((q + p - 1) / p, 1u << 20));
}

int UsableCpuCount() {
    int cpus = 0;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        cpus = CPU_COUNT(&set);
    if (cpus <= 0)
        cpus = 1;
    for (const std::string& folder : GroupFolders("cgroup2", ""))
        if (const int quota = CpusOfQuota(FirstLine(folder + "/cpu.max")); quota > 0)
            cpus = std::min(cpus, quota);
    return std::max(cpus, 1);
}

std::uint64_t AvailableMemoryBytes() {
    std::uint64_t available = 0;
    std::ifstream meminfo("/proc/meminfo");
    for (std::string line; std::getline(meminfo, line);)
        if (line.rfind("MemAvailable:", 0) == 0) {
            std::uint64_t kib = 0;
            std::istringstream(line.substr(13)) >> kib;
            available = kib * 1024;
            break;
        }
    const auto limitBy = [&](const std::string& limitFile, const std::string& usageFile) {
        const std::uint64_t limit = Number(FirstLine(limitFile));
        // v1 says "no limit" with a number near 2^63.
        if (limit == 0 || limit >= (std::uint64_t{1} << 62))
            return;
        const std::uint64_t used = Number(FirstLine(usageFile));
        const std::uint64_t left = limit > used ? limit - used : 0;
        available = available == 0 ? left : std::min(available, left);
    };
    for (const std::string& folder : GroupFolders("cgroup2", ""))
        limitBy(folder + "/memory.max", folder + "/memory.current");
    for (const std::string& folder : GroupFolders("cgroup", "memory"))
        limitBy(folder + "/memory.limit_in_bytes", folder + "/memory.usage_in_bytes");
    return available;
}

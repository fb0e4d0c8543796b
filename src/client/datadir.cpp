#include "datadir.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

char data_dir[PATH_MAX];  // "" or an absolute folder ending in '/'; set by init_data_dir

bool is_directory(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool find_data_dir(const char* exe_path, const char* data_from_bin, char* dir, size_t size)
{
    dir[0] = '\0';
    if (is_directory("resources"))
        return false;
    const char* slash = std::strrchr(exe_path, '/');
    if (!slash)
        return false;
    char candidate[PATH_MAX];
    int n = std::snprintf(candidate, sizeof(candidate), "%.*s/%s",
                          static_cast<int>(slash - exe_path), exe_path, data_from_bin);
    if (n < 0 || static_cast<size_t>(n) >= sizeof(candidate))
        return false;
    // Resolved, so that messages name the folder plainly and no "bin/.." hangs on a folder
    // that is later moved.
    char resolved[PATH_MAX];
    if (!realpath(candidate, resolved))
        return false;
    char resources[PATH_MAX];
    n = std::snprintf(resources, sizeof(resources), "%s/resources", resolved);
    if (n < 0 || static_cast<size_t>(n) >= sizeof(resources) || !is_directory(resources))
        return false;
    n = std::snprintf(dir, size, "%s/", resolved);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        dir[0] = '\0';
        return false;
    }
    return true;
}

void init_data_dir()
{
    char exe_path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe_path, sizeof(exe_path) - 1);
    data_dir[0] = '\0';
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof(exe_path)) - 1)
        return;
    exe_path[n] = '\0';
    find_data_dir(exe_path, QUORVALE_DATA_FROM_BIN, data_dir, sizeof(data_dir));
}

const char* data_path(const char* relative, char* buf, size_t size)
{
    int n = std::snprintf(buf, size, "%s%s", data_dir, relative);
    if (n < 0 || static_cast<size_t>(n) >= size)
        buf[0] = '\0';
    return buf;
}

// Data files are looked up in the working directory, then beside the
// executable, then in the installed data folder (found from the executable's
// folder, so the menu or any other folder can start an installed game), and
// are only ever opened for reading.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/common/data_files.h"
#include "platform/platform.h"

// VARNHOLD_DATA_FROM_BINDIR comes from the build: the installed data folder
// as seen from the installed executable's folder.

namespace {

bool search_beside_executable = true;

std::string executable_folder() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return std::string();
    buffer[length] = '\0';
    char* slash = std::strrchr(buffer, '/');
    if (!slash) return std::string();
    *slash = '\0';
    return buffer;
}

}  // namespace

void data_files_search_beside_executable(bool enabled) { search_beside_executable = enabled; }

std::FILE* platform_open_data_file(const char* relative_path) {
    if (!relative_path || !*relative_path) return nullptr;
    if (std::FILE* file = std::fopen(relative_path, "rb")) return file;
    if (relative_path[0] == '/' || !search_beside_executable) return nullptr;
    const std::string beside = executable_folder();
    if (beside.empty()) return nullptr;
    if (std::FILE* file = std::fopen((beside + "/" + relative_path).c_str(), "rb")) return file;
    return std::fopen((beside + "/" VARNHOLD_DATA_FROM_BINDIR "/" + relative_path).c_str(), "rb");
}

#include "platform/win32/win32_files.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

bool is_absolute(const char* path) {
    return path[0] == '\\' || path[0] == '/' || (path[0] != '\0' && path[1] == ':');
}

// Copies the path with '/' turned into '\'. False when it does not fit.
bool copy_native(const char* from, char* to, size_t size) {
    size_t length = std::strlen(from);
    if (length + 1 > size) return false;
    for (size_t i = 0; i <= length; ++i) to[i] = from[i] == '/' ? '\\' : from[i];
    return true;
}

// The folder of the running executable, ending in '\'; empty when unknown.
bool executable_folder(char* folder, size_t size) {
    DWORD length = GetModuleFileNameA(nullptr, folder, static_cast<DWORD>(size));
    if (length == 0 || length >= size) return false;
    char* slash = std::strrchr(folder, '\\');
    if (!slash) return false;
    slash[1] = '\0';
    return true;
}

bool is_file(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Read access, others may read too, and never create: a missing picture
// must not leave an empty file behind, and a read-only install must work.
HANDLE open_for_reading(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool win32_find_data_file(const char* relative_path, char* path, size_t path_size) {
    if (!relative_path || !*relative_path) return false;
    if (!copy_native(relative_path, path, path_size)) return false;
    if (is_file(path)) return true;
    if (is_absolute(path)) return false;
    char beside[MAX_PATH];
    if (!executable_folder(beside, sizeof beside)) return false;
    if (std::strlen(beside) + std::strlen(path) + 1 > sizeof beside) return false;
    std::strcat(beside, path);
    return is_file(beside) && copy_native(beside, path, path_size);
}

std::FILE* platform_open_data_file(const char* relative_path) {
    char path[MAX_PATH];
    if (!win32_find_data_file(relative_path, path, sizeof path)) return nullptr;
    HANDLE handle = open_for_reading(path);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    // The C file takes the handle over: fclose closes both.
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "rb");
    if (!file) _close(descriptor);
    return file;
}

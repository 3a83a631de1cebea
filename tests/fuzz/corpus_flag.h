// The fuzz targets' one flag of their own: --make-corpus=FOLDER writes the
// target's seed files into FOLDER and ends the program with make's status.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

inline void make_corpus_when_asked(int argc, char** argv, int (*make)(const char* folder)) {
    const char* flag = "--make-corpus=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) std::exit(make(argv[i] + std::strlen(flag)));
}

// Seeds given as byte strings, written into FOLDER (made when missing) as
// answer-0, answer-1...; 0, or 1 when one could not be written.
inline int write_answer_seeds(const char* folder, const std::string* seeds, int count) {
    mkdir(folder, 0755);
    for (int index = 0; index < count; ++index) {
        const std::string path = std::string(folder) + "/answer-" + std::to_string(index);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        const bool written = file && std::fwrite(seeds[index].data(), 1, seeds[index].size(), file) == seeds[index].size();
        if (file) std::fclose(file);
        if (!written) return 1;
    }
    return 0;
}

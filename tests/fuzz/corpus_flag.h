// The fuzz targets' one flag of their own: --make-corpus=FOLDER writes the
// target's seed files into FOLDER and ends the program with make's status.
#pragma once

#include <cstdlib>
#include <cstring>

inline void make_corpus_when_asked(int argc, char** argv, int (*make)(const char* folder)) {
    const char* flag = "--make-corpus=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) std::exit(make(argv[i] + std::strlen(flag)));
}

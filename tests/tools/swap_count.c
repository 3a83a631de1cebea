/* Put before the game with LD_PRELOAD: counts its buffer swaps, and the swaps
 * that did not wait for their frame to finish first, into the file named by
 * SWAP_COUNT_FILE as "swaps unwaited". Frames are then counted, not seconds. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

static long swaps, unwaited;
static int finished_since_swap;

void glFinish(void) {
    static void (*real_finish)(void);
    if (!real_finish) real_finish = (void (*)(void))dlsym(RTLD_NEXT, "glFinish");
    real_finish();
    finished_since_swap = 1;
}

void SDL_GL_SwapWindow(void* window) {
    static void (*real_swap)(void*);
    if (!real_swap) real_swap = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    real_swap(window);
    ++swaps;
    if (!finished_since_swap) ++unwaited;
    finished_since_swap = 0;
    /* Written aside and renamed over the file, so a reader never sees it half written. */
    const char* path = getenv("SWAP_COUNT_FILE");
    char aside[4096];
    if (!path || snprintf(aside, sizeof aside, "%s.new", path) >= (int)sizeof aside) return;
    FILE* file = fopen(aside, "w");
    if (!file) return;
    fprintf(file, "%ld %ld\n", swaps, unwaited);
    fclose(file);
    rename(aside, path);
}

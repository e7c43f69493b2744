/* Preloaded into Veltrane.dll by wayland_bench: after each buffer swap (EGL or
 * GLX) it writes the time of the first swap (CLOCK_MONOTONIC, ns) and the number
 * of swaps so far to the file $VELTRANE_SWAP_PROBE, in place, so the bench reads
 * when the first frame went out and how many followed without any help from
 * the program itself. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static int g_fd = -2;
static unsigned long long g_first;
static unsigned long long g_count;

static void Record(void) {
    if (g_fd == -2) {
        const char* path = getenv("VELTRANE_SWAP_PROBE");
        g_fd = path != NULL ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666) : -1;
    }
    if (g_fd < 0) return;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (g_count == 0) g_first = (unsigned long long)now.tv_sec * 1000000000ull + (unsigned long long)now.tv_nsec;
    ++g_count;
    char line[48];
    const int n = snprintf(line, sizeof line, "%20llu %20llu\n", g_first, g_count);
    if (n > 0 && pwrite(g_fd, line, (size_t)n, 0) < 0) g_fd = -1;
}

unsigned int eglSwapBuffers(void* display, void* surface) {
    static unsigned int (*real)(void*, void*);
    if (real == NULL) *(void**)&real = dlsym(RTLD_NEXT, "eglSwapBuffers");
    const unsigned int result = real != NULL ? real(display, surface) : 0;
    Record();
    return result;
}

void glXSwapBuffers(void* display, unsigned long drawable) {
    static void (*real)(void*, unsigned long);
    if (real == NULL) *(void**)&real = dlsym(RTLD_NEXT, "glXSwapBuffers");
    if (real != NULL) real(display, drawable);
    Record();
}

/* Preloaded (LD_PRELOAD) into a run to give it a disk that fills up: once
 * QB_FULL_DISK_BYTES bytes have been written to files whose path holds
 * QB_FULL_DISK_MATCH, further writes to such files fail with ENOSPC, the
 * one that reaches the limit cut short, as a real disk cuts it. Everything
 * else is written as usual. Only write(2) called by the program itself is
 * caught, which is how its writers write. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static atomic_llong g_left = -1;

__attribute__((constructor)) static void ReadLimit(void) {
    const char* bytes = getenv("QB_FULL_DISK_BYTES");
    if (bytes) atomic_store(&g_left, atoll(bytes));
}

static int Matches(int fd) {
    const char* match = getenv("QB_FULL_DISK_MATCH");
    if (!match || !*match) return 0;
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length <= 0) return 0;
    path[length] = '\0';
    return strstr(path, match) != NULL;
}

ssize_t write(int fd, const void* buffer, size_t count) {
    static ssize_t (*real)(int, const void*, size_t);
    if (!real) real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    if (count == 0 || atomic_load(&g_left) < 0 || !Matches(fd)) return real(fd, buffer, count);
    const long long before = atomic_fetch_sub(&g_left, (long long)count);
    if (before <= 0) {
        atomic_fetch_add(&g_left, (long long)count);
        errno = ENOSPC;
        return -1;
    }
    if ((unsigned long long)before < count) {
        atomic_fetch_add(&g_left, (long long)count - before);
        return real(fd, buffer, (size_t)before);
    }
    return real(fd, buffer, count);
}

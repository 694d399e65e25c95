// Counts the file calls of the whole process, so the bench can say how many opens and
// system calls each file costs without strace: the bench executable exports these libc entry
// points (ENABLE_EXPORTS), so its own code, Qt and the dlopen'ed service libraries with their
// decoders all call through here. Calls that libc makes internally (fopen's open, readdir's
// getdents) do not pass a symbol and are not seen; read-family calls are taken from the
// kernel's own count (/proc/self/io syscr) instead.
#undef _FORTIFY_SOURCE
#undef _FILE_OFFSET_BITS
#define _GNU_SOURCE
#include "FileCalls.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

static atomic_llong Opens;
static atomic_llong Others;

static void* Next(const char* name) {
    return dlsym(RTLD_NEXT, name);
}

#define REAL(type, name)                                                                           \
    static __typeof__(type) Real = NULL;                                                           \
    if (Real == NULL)                                                                              \
    Real = (type)Next(#name)

static mode_t ModeOf(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? (mode_t)va_arg(args, int) : 0;
}

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    REAL(int (*)(const char*, int, ...), open);
    atomic_fetch_add_explicit(&Opens, 1, memory_order_relaxed);
    return Real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    REAL(int (*)(const char*, int, ...), open64);
    atomic_fetch_add_explicit(&Opens, 1, memory_order_relaxed);
    return Real(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    REAL(int (*)(int, const char*, int, ...), openat);
    atomic_fetch_add_explicit(&Opens, 1, memory_order_relaxed);
    return Real(dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeOf(flags, args);
    va_end(args);
    REAL(int (*)(int, const char*, int, ...), openat64);
    atomic_fetch_add_explicit(&Opens, 1, memory_order_relaxed);
    return Real(dir, path, flags, mode);
}

FILE* fopen(const char* path, const char* mode) {
    REAL(FILE * (*)(const char*, const char*), fopen);
    atomic_fetch_add_explicit(&Opens, 1, memory_order_relaxed);
    return Real(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
    REAL(FILE * (*)(const char*, const char*), fopen64);
    atomic_fetch_add_explicit(&Opens, 1, memory_order_relaxed);
    return Real(path, mode);
}

// The other file calls: counted, then passed on unchanged.
#define PASS(ret, name, params, args)                                                              \
    ret name params {                                                                              \
        REAL(ret(*) params, name);                                                                 \
        atomic_fetch_add_explicit(&Others, 1, memory_order_relaxed);                               \
        return Real args;                                                                          \
    }

PASS(int, close, (int fd), (fd))
PASS(int, stat, (const char* path, struct stat* buffer), (path, buffer))
PASS(int, stat64, (const char* path, struct stat64* buffer), (path, buffer))
PASS(int, lstat, (const char* path, struct stat* buffer), (path, buffer))
PASS(int, lstat64, (const char* path, struct stat64* buffer), (path, buffer))
PASS(int, fstat, (int fd, struct stat* buffer), (fd, buffer))
PASS(int, fstat64, (int fd, struct stat64* buffer), (fd, buffer))
PASS(int, fstatat, (int dir, const char* path, struct stat* buffer, int flags),
     (dir, path, buffer, flags))
PASS(int, fstatat64, (int dir, const char* path, struct stat64* buffer, int flags),
     (dir, path, buffer, flags))
PASS(int, statx, (int dir, const char* path, int flags, unsigned int mask, struct statx* buffer),
     (dir, path, flags, mask, buffer))
PASS(int, access, (const char* path, int mode), (path, mode))
PASS(int, faccessat, (int dir, const char* path, int mode, int flags), (dir, path, mode, flags))
PASS(off_t, lseek, (int fd, off_t offset, int whence), (fd, offset, whence))
PASS(off64_t, lseek64, (int fd, off64_t offset, int whence), (fd, offset, whence))
PASS(ssize_t, readlink, (const char* path, char* buffer, size_t size), (path, buffer, size))

// Read-family system calls of the process so far, as the kernel counts them.
static long long ReadCalls(void) {
    int fd;
    {
        REAL(int (*)(const char*, int, ...), open);
        fd = Real("/proc/self/io", O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0)
        return 0;
    char text[1024];
    const ssize_t got = read(fd, text, sizeof text - 1);
    {
        REAL(int (*)(int), close);
        Real(fd);
    }
    if (got <= 0)
        return 0;
    text[got] = '\0';
    const char* field = strstr(text, "syscr:");
    long long count = 0;
    if (field == NULL || sscanf(field, "syscr: %lld", &count) != 1)
        return 0;
    return count;
}

TFileCalls FileCallsNow(void) {
    TFileCalls now;
    now.Opens = atomic_load(&Opens);
    now.Others = atomic_load(&Others);
    now.Reads = ReadCalls();
    return now;
}

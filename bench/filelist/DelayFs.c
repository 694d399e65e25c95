// delayfs: a read-only passthrough file system that waits a fixed time in every
// operation, as a network share's round trip does. bench_filelist mounts it over its share
// folder to measure the list there instead of projecting it.
//   delayfs SOURCE MOUNTPOINT DELAY_US [fuse options]
// The kernel's entry and attribute caches are off, so every look-up reaches the file system
// and pays the delay (the page cache still serves small reads within one open).
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <fuse.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

static const char* Source;
static struct timespec Delay;

static void Wait(void) {
    struct timespec left = Delay;
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// The source path of a path in the mount; false when it does not fit.
static int Real(const char* path, char* real) {
    return snprintf(real, PATH_MAX, "%s%s", Source, path) < PATH_MAX;
}

static void* Init(struct fuse_conn_info* conn, struct fuse_config* config) {
    (void)conn;
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    config->negative_timeout = 0;
    config->use_ino = 1;
    return NULL;
}

static int GetAttr(const char* path, struct stat* st, struct fuse_file_info* fi) {
    Wait();
    if (fi != NULL)
        return fstat((int)fi->fh, st) == 0 ? 0 : -errno;
    char real[PATH_MAX];
    if (!Real(path, real))
        return -ENAMETOOLONG;
    return lstat(real, st) == 0 ? 0 : -errno;
}

static int Access(const char* path, int mode) {
    Wait();
    char real[PATH_MAX];
    if (!Real(path, real))
        return -ENAMETOOLONG;
    return access(real, mode) == 0 ? 0 : -errno;
}

static int ReadLink(const char* path, char* buffer, size_t size) {
    Wait();
    char real[PATH_MAX];
    if (!Real(path, real) || size == 0)
        return -ENAMETOOLONG;
    const ssize_t n = readlink(real, buffer, size - 1);
    if (n < 0)
        return -errno;
    buffer[n] = '\0';
    return 0;
}

static int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                   struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
    (void)offset;
    (void)fi;
    (void)flags;
    Wait();
    char real[PATH_MAX];
    if (!Real(path, real))
        return -ENAMETOOLONG;
    DIR* dir = opendir(real);
    if (dir == NULL)
        return -errno;
    for (struct dirent* e = readdir(dir); e != NULL; e = readdir(dir)) {
        struct stat st;
        memset(&st, 0, sizeof st);
        st.st_ino = e->d_ino;
        st.st_mode = (mode_t)DTTOIF(e->d_type);
        if (fill(buffer, e->d_name, &st, 0, 0) != 0)
            break;
    }
    closedir(dir);
    return 0;
}

static int Open(const char* path, struct fuse_file_info* fi) {
    Wait();
    if ((fi->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    char real[PATH_MAX];
    if (!Real(path, real))
        return -ENAMETOOLONG;
    const int fd = open(real, fi->flags | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int Read(const char* path, char* buffer, size_t size, off_t offset,
                struct fuse_file_info* fi) {
    (void)path;
    Wait();
    const ssize_t n = pread((int)fi->fh, buffer, size, offset);
    return n >= 0 ? (int)n : -errno;
}

static int Release(const char* path, struct fuse_file_info* fi) {
    (void)path;
    Wait();
    close((int)fi->fh);
    return 0;
}

static int StatFs(const char* path, struct statvfs* st) {
    Wait();
    char real[PATH_MAX];
    if (!Real(path, real))
        return -ENAMETOOLONG;
    return statvfs(real, st) == 0 ? 0 : -errno;
}

static const struct fuse_operations Operations = {
    .getattr = GetAttr,
    .readlink = ReadLink,
    .open = Open,
    .read = Read,
    .statfs = StatFs,
    .release = Release,
    .readdir = ReadDir,
    .init = Init,
    .access = Access,
};

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: %s SOURCE MOUNTPOINT DELAY_US [fuse options]\n", argv[0]);
        return 2;
    }
    Source = argv[1];
    const long us = atol(argv[3]);
    Delay.tv_sec = us / 1000000;
    Delay.tv_nsec = (us % 1000000) * 1000;
    // fuse_main sees: program, mount point, the caller's options, foreground, one thread.
    char* args[64];
    int n = 0;
    args[n++] = argv[0];
    args[n++] = argv[2];
    for (int i = 4; i < argc && n < 60; ++i)
        args[n++] = argv[i];
    args[n++] = "-f";
    args[n++] = "-s";
    return fuse_main(n, args, &Operations, NULL);
}

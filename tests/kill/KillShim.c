// Preloaded into pelmora-cli by the crash tests: counts every call that changes a file, across all
// threads, and can kill the process with SIGKILL right before or right after the Nth one.
//
//   PELMORA_CALL_LOG=FILE      one line per counted call ("37 rename a -> b"), "total N" at exit, and
//                              "kill before 37 ..." / "kill after 37 ..." when it kills
//   PELMORA_KILL_AT=before:N   kill right before call N (or after:N: the call done, then killed)
//
// Nothing here allocates: a description is built on the stack and written with one write(2), so a
// line from one thread never tears a line from another.

#define _GNU_SOURCE
#undef _FORTIFY_SOURCE

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

enum { kLine = 2048 };

static long g_count;       // calls counted so far, shared by all threads
static long g_killAt = -1; // the call to die at, -1 for none
static int g_killAfter;    // die once that call is done rather than before it
static int g_log = -1;     // the log file, -1 without one

// The real functions, each found on its first use.
#define REAL(name) real_##name
#define FIND(name) ((__typeof__(REAL(name)))Find((void**)&REAL(name), #name))

static void* Find(void** slot, const char* name) {
    if (!*slot)
        *slot = dlsym(RTLD_NEXT, name);
    return *slot;
}

static int (*REAL(open))(const char*, int, ...);
static int (*REAL(open64))(const char*, int, ...);
static int (*REAL(openat))(int, const char*, int, ...);
static int (*REAL(openat64))(int, const char*, int, ...);
static int (*REAL(creat))(const char*, mode_t);
static int (*REAL(creat64))(const char*, mode_t);
static ssize_t (*REAL(write))(int, const void*, size_t);
static ssize_t (*REAL(pwrite))(int, const void*, size_t, off_t);
static ssize_t (*REAL(pwrite64))(int, const void*, size_t, off64_t);
static ssize_t (*REAL(writev))(int, const struct iovec*, int);
static int (*REAL(fsync))(int);
static int (*REAL(fdatasync))(int);
static int (*REAL(sync_file_range))(int, off64_t, off64_t, unsigned int);
static int (*REAL(rename))(const char*, const char*);
static int (*REAL(renameat))(int, const char*, int, const char*);
static int (*REAL(renameat2))(int, const char*, int, const char*, unsigned int);
static long (*REAL(syscall))(long, ...);
static int (*REAL(unlink))(const char*);
static int (*REAL(unlinkat))(int, const char*, int);
static int (*REAL(mkdir))(const char*, mode_t);
static int (*REAL(mkdirat))(int, const char*, mode_t);
static int (*REAL(rmdir))(const char*);
static int (*REAL(ftruncate))(int, off_t);
static int (*REAL(ftruncate64))(int, off64_t);
static int (*REAL(truncate))(const char*, off_t);
static int (*REAL(truncate64))(const char*, off64_t);
static int (*REAL(chmod))(const char*, mode_t);
static int (*REAL(fchmod))(int, mode_t);
static int (*REAL(ioctl))(int, unsigned long, ...);

// --- Lines built on the stack ---

typedef struct {
    char text[kLine];
    size_t len;
} Line;

static void Put(Line* line, const char* text) {
    while (text && *text && line->len < kLine - 2)
        line->text[line->len++] = *text++;
}

static void PutNumber(Line* line, long long value) {
    char digits[24];
    int n = 0;
    unsigned long long v = value < 0 ? 0ULL - (unsigned long long)value : (unsigned long long)value;
    do {
        digits[n++] = (char)('0' + v % 10);
        v /= 10;
    } while (v);
    if (value < 0)
        Put(line, "-");
    while (n > 0 && line->len < kLine - 2)
        line->text[line->len++] = digits[--n];
}

static void PutOctal(Line* line, unsigned value) {
    char digits[8];
    int n = 0;
    do {
        digits[n++] = (char)('0' + (value & 7));
        value >>= 3;
    } while (value && n < 8);
    Put(line, "0");
    while (n > 0 && line->len < kLine - 2)
        line->text[line->len++] = digits[--n];
}

// The path an open descriptor stands for, as /proc tells it.
static void PutFd(Line* line, int fd) {
    char link[32] = "/proc/self/fd/";
    Line number = {.len = 0};
    PutNumber(&number, fd);
    memcpy(link + 14, number.text, number.len);
    char target[kLine / 2];
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) {
        Put(line, "fd ");
        PutNumber(line, fd);
        return;
    }
    target[n] = '\0';
    Put(line, target);
}

// A path given relative to a folder descriptor, as one path.
static void PutAt(Line* line, int dirfd, const char* path) {
    if (dirfd != AT_FDCWD && path && path[0] != '/') {
        PutFd(line, dirfd);
        Put(line, "/");
    }
    Put(line, path);
}

static void PutOpenFlags(Line* line, int flags) {
    Put(line, (flags & O_ACCMODE) == O_RDWR     ? " rdwr"
              : (flags & O_ACCMODE) == O_WRONLY ? " wronly"
                                                : " rdonly");
    if (flags & O_CREAT)
        Put(line, "|creat");
    if (flags & O_EXCL)
        Put(line, "|excl");
    if (flags & O_TRUNC)
        Put(line, "|trunc");
    if (flags & O_APPEND)
        Put(line, "|append");
}

static void WriteLine(Line* line) {
    if (g_log < 0)
        return;
    line->text[line->len++] = '\n';
    ssize_t ignored = FIND(write)(g_log, line->text, line->len);
    (void)ignored;
}

// --- Counting and killing ---

static void Die(const char* when, const Line* call) {
    Line line = {.len = 0};
    Put(&line, "kill ");
    Put(&line, when);
    Put(&line, " ");
    for (size_t i = 0; i < call->len && line.len < kLine - 2; ++i)
        line.text[line.len++] = call->text[i];
    WriteLine(&line);
    kill(getpid(), SIGKILL);
    for (;;)
        pause();
}

// One counted call: Start numbers it, Described logs it (and kills before it when asked), End kills
// after it when asked.
typedef struct {
    long n;
    Line line;
} Call;

static void Described(Call* call) {
    if (g_log >= 0) {
        Line copy = call->line;
        WriteLine(&copy);
    }
    if (call->n == g_killAt && !g_killAfter)
        Die("before", &call->line);
}

static void End(const Call* call) {
    if (call->n == g_killAt && g_killAfter)
        Die("after", &call->line);
}

static void Start(Call* call, const char* what) {
    call->n = __atomic_add_fetch(&g_count, 1, __ATOMIC_SEQ_CST);
    call->line.len = 0;
    PutNumber(&call->line, call->n);
    Put(&call->line, " ");
    Put(&call->line, what);
    Put(&call->line, " ");
}

static int Regular(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

static int Changing(int flags) {
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0;
}

__attribute__((constructor)) static void Setup(void) {
    const char* at = getenv("PELMORA_KILL_AT");
    if (at) {
        const char* colon = strchr(at, ':');
        g_killAfter = strncmp(at, "after:", 6) == 0;
        g_killAt = colon ? atol(colon + 1) : -1;
    }
    const char* log = getenv("PELMORA_CALL_LOG");
    if (log)
        g_log = FIND(open)(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

__attribute__((destructor)) static void Report(void) {
    Line line = {.len = 0};
    Put(&line, "total ");
    PutNumber(&line, __atomic_load_n(&g_count, __ATOMIC_SEQ_CST));
    WriteLine(&line);
}

// --- The calls ---

#define COUNTED(what, describe, result, call)                                                                \
    do {                                                                                                     \
        Call c_;                                                                                             \
        Start(&c_, what);                                                                                    \
        describe;                                                                                            \
        Described(&c_);                                                                                      \
        result = call;                                                                                       \
        End(&c_);                                                                                            \
    } while (0)

// Only these flags hand open a mode.
static int NeedsMode(int flags) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

enum { kOpen, kOpen64, kOpenat, kOpenat64 };

static int RealOpen(int form, int dirfd, const char* path, int flags, mode_t mode) {
    switch (form) {
    case kOpen:
        return FIND(open)(path, flags, mode);
    case kOpen64:
        return FIND(open64)(path, flags, mode);
    case kOpenat:
        return FIND(openat)(dirfd, path, flags, mode);
    default:
        return FIND(openat64)(dirfd, path, flags, mode);
    }
}

// Every form of open counts once, and only when it may change the file.
static int AnyOpen(int form, int dirfd, const char* path, int flags, mode_t mode) {
    if (!Changing(flags))
        return RealOpen(form, dirfd, path, flags, mode);
    int r;
    COUNTED("open", (PutAt(&c_.line, dirfd, path), PutOpenFlags(&c_.line, flags)), r,
            RealOpen(form, dirfd, path, flags, mode));
    return r;
}

int open(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = NeedsMode(flags) ? (mode_t)va_arg(ap, int) : 0;
    va_end(ap);
    return AnyOpen(kOpen, AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = NeedsMode(flags) ? (mode_t)va_arg(ap, int) : 0;
    va_end(ap);
    return AnyOpen(kOpen64, AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = NeedsMode(flags) ? (mode_t)va_arg(ap, int) : 0;
    va_end(ap);
    return AnyOpen(kOpenat, dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = NeedsMode(flags) ? (mode_t)va_arg(ap, int) : 0;
    va_end(ap);
    return AnyOpen(kOpenat64, dirfd, path, flags, mode);
}

// The checked forms take no mode: they are only used without O_CREAT.
int __open_2(const char* path, int flags) {
    return AnyOpen(kOpen, AT_FDCWD, path, flags, 0);
}

int __open64_2(const char* path, int flags) {
    return AnyOpen(kOpen64, AT_FDCWD, path, flags, 0);
}

int __openat_2(int dirfd, const char* path, int flags) {
    return AnyOpen(kOpenat, dirfd, path, flags, 0);
}

int __openat64_2(int dirfd, const char* path, int flags) {
    return AnyOpen(kOpenat64, dirfd, path, flags, 0);
}

int creat(const char* path, mode_t mode) {
    int r;
    COUNTED("creat", Put(&c_.line, path), r, FIND(creat)(path, mode));
    return r;
}

int creat64(const char* path, mode_t mode) {
    int r;
    COUNTED("creat", Put(&c_.line, path), r, FIND(creat64)(path, mode));
    return r;
}

static void PutWrite(Line* line, int fd, size_t size, long long offset) {
    PutFd(line, fd);
    Put(line, " ");
    PutNumber(line, (long long)size);
    if (offset >= 0) {
        Put(line, "@");
        PutNumber(line, offset);
    }
}

ssize_t write(int fd, const void* data, size_t size) {
    if (!Regular(fd))
        return FIND(write)(fd, data, size);
    ssize_t r;
    COUNTED("write", PutWrite(&c_.line, fd, size, -1), r, FIND(write)(fd, data, size));
    return r;
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    if (!Regular(fd))
        return FIND(pwrite)(fd, data, size, offset);
    ssize_t r;
    COUNTED("pwrite", PutWrite(&c_.line, fd, size, offset), r, FIND(pwrite)(fd, data, size, offset));
    return r;
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
    if (!Regular(fd))
        return FIND(pwrite64)(fd, data, size, offset);
    ssize_t r;
    COUNTED("pwrite", PutWrite(&c_.line, fd, size, offset), r, FIND(pwrite64)(fd, data, size, offset));
    return r;
}

ssize_t writev(int fd, const struct iovec* iov, int count) {
    if (!Regular(fd))
        return FIND(writev)(fd, iov, count);
    size_t size = 0;
    for (int i = 0; i < count; ++i)
        size += iov[i].iov_len;
    ssize_t r;
    COUNTED("writev", PutWrite(&c_.line, fd, size, -1), r, FIND(writev)(fd, iov, count));
    return r;
}

int fsync(int fd) {
    int r;
    COUNTED("fsync", PutFd(&c_.line, fd), r, FIND(fsync)(fd));
    return r;
}

int fdatasync(int fd) {
    int r;
    COUNTED("fdatasync", PutFd(&c_.line, fd), r, FIND(fdatasync)(fd));
    return r;
}

int sync_file_range(int fd, off64_t offset, off64_t size, unsigned int flags) {
    int r;
    COUNTED("sync_file_range", PutFd(&c_.line, fd), r, FIND(sync_file_range)(fd, offset, size, flags));
    return r;
}

static void PutRename(Line* line, int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    PutAt(line, fromDir, from);
    Put(line, " -> ");
    PutAt(line, toDir, to);
    if (flags & RENAME_NOREPLACE)
        Put(line, " noreplace");
    if (flags & RENAME_EXCHANGE)
        Put(line, " exchange");
}

int rename(const char* from, const char* to) {
    int r;
    COUNTED("rename", PutRename(&c_.line, AT_FDCWD, from, AT_FDCWD, to, 0), r, FIND(rename)(from, to));
    return r;
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    int r;
    COUNTED("rename", PutRename(&c_.line, fromDir, from, toDir, to, 0), r,
            FIND(renameat)(fromDir, from, toDir, to));
    return r;
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
    int r;
    COUNTED("rename", PutRename(&c_.line, fromDir, from, toDir, to, flags), r,
            FIND(renameat2)(fromDir, from, toDir, to, flags));
    return r;
}

// Every system call number passes through; only renameat2 is counted.
long syscall(long number, ...) {
    va_list ap;
    va_start(ap, number);
    long a[6];
    for (int i = 0; i < 6; ++i)
        a[i] = va_arg(ap, long);
    va_end(ap);
    if (number != SYS_renameat2)
        return FIND(syscall)(number, a[0], a[1], a[2], a[3], a[4], a[5]);
    long r;
    COUNTED("rename",
            PutRename(&c_.line, (int)a[0], (const char*)a[1], (int)a[2], (const char*)a[3], (unsigned)a[4]),
            r, FIND(syscall)(number, a[0], a[1], a[2], a[3], a[4], a[5]));
    return r;
}

int unlink(const char* path) {
    int r;
    COUNTED("unlink", Put(&c_.line, path), r, FIND(unlink)(path));
    return r;
}

int unlinkat(int dirfd, const char* path, int flags) {
    int r;
    COUNTED(flags & AT_REMOVEDIR ? "rmdir" : "unlink", PutAt(&c_.line, dirfd, path), r,
            FIND(unlinkat)(dirfd, path, flags));
    return r;
}

int mkdir(const char* path, mode_t mode) {
    int r;
    COUNTED("mkdir", Put(&c_.line, path), r, FIND(mkdir)(path, mode));
    return r;
}

int mkdirat(int dirfd, const char* path, mode_t mode) {
    int r;
    COUNTED("mkdir", PutAt(&c_.line, dirfd, path), r, FIND(mkdirat)(dirfd, path, mode));
    return r;
}

int rmdir(const char* path) {
    int r;
    COUNTED("rmdir", Put(&c_.line, path), r, FIND(rmdir)(path));
    return r;
}

int ftruncate(int fd, off_t size) {
    int r;
    COUNTED("truncate", (PutFd(&c_.line, fd), Put(&c_.line, " "), PutNumber(&c_.line, size)), r,
            FIND(ftruncate)(fd, size));
    return r;
}

int ftruncate64(int fd, off64_t size) {
    int r;
    COUNTED("truncate", (PutFd(&c_.line, fd), Put(&c_.line, " "), PutNumber(&c_.line, size)), r,
            FIND(ftruncate64)(fd, size));
    return r;
}

int truncate(const char* path, off_t size) {
    int r;
    COUNTED("truncate", (Put(&c_.line, path), Put(&c_.line, " "), PutNumber(&c_.line, size)), r,
            FIND(truncate)(path, size));
    return r;
}

int truncate64(const char* path, off64_t size) {
    int r;
    COUNTED("truncate", (Put(&c_.line, path), Put(&c_.line, " "), PutNumber(&c_.line, size)), r,
            FIND(truncate64)(path, size));
    return r;
}

int chmod(const char* path, mode_t mode) {
    int r;
    COUNTED("chmod", (Put(&c_.line, path), Put(&c_.line, " "), PutOctal(&c_.line, mode)), r,
            FIND(chmod)(path, mode));
    return r;
}

int fchmod(int fd, mode_t mode) {
    int r;
    COUNTED("chmod", (PutFd(&c_.line, fd), Put(&c_.line, " "), PutOctal(&c_.line, mode)), r,
            FIND(fchmod)(fd, mode));
    return r;
}

// Only the FAT attribute change is counted; every other request passes through.
int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (request != FAT_IOCTL_SET_ATTRIBUTES)
        return FIND(ioctl)(fd, request, arg);
    int r;
    COUNTED("fat-attributes", PutFd(&c_.line, fd), r, FIND(ioctl)(fd, request, arg));
    return r;
}

// Makes every kind of call the crash shim must count, in a fixed order, inside the folder it is given,
// and a few it must not count (reads, writes to /dev/null and to a pipe, other ioctls). The test that
// runs it under the shim lists the counted calls it expects.

#define _GNU_SOURCE

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

int __open_2(const char* path, int flags);

int main(int argc, char** argv) {
    if (argc != 2 || chdir(argv[1]) != 0)
        return 2;
    long sink = 0;
    char data[4] = "abc";
    struct iovec iov = {data, 3};
    uint32_t attributes = 0;

    sink += mkdir("d", 0755);
    sink += mkdirat(AT_FDCWD, "d2", 0755);
    int fd = open("d/f", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    sink += write(fd, data, 3);
    sink += pwrite(fd, data, 3, 8);
    sink += writev(fd, &iov, 1);
    sink += fsync(fd);
    sink += fdatasync(fd);
    sink += sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    sink += ftruncate(fd, 1);
    sink += fchmod(fd, 0600);
    sink += ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &attributes);
    sink += ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes);
    sink += close(fd);

    // None of these changes a file.
    fd = open("d/f", O_RDONLY);
    sink += close(fd);
    fd = open("/dev/null", O_WRONLY);
    sink += write(fd, data, 3);
    sink += close(fd);
    int ends[2];
    sink += pipe(ends);
    sink += write(ends[1], data, 3);

    sink += creat("d/g", 0644);
    sink += openat(AT_FDCWD, "d/h", O_RDWR | O_CREAT, 0644);
    sink += truncate("d/g", 0);
    sink += chmod("d/g", 0644);
    sink += rename("d/g", "d/g2");
    sink += renameat(AT_FDCWD, "d/g2", AT_FDCWD, "d/g3");
    sink += renameat2(AT_FDCWD, "d/g3", AT_FDCWD, "d/g4", RENAME_NOREPLACE);
    sink += syscall(SYS_renameat2, AT_FDCWD, "d/g4", AT_FDCWD, "d/g5", RENAME_NOREPLACE);
    sink += unlink("d/g5");
    sink += unlinkat(AT_FDCWD, "d/h", 0);
    sink += rmdir("d2");
    fd = open64("p64", O_WRONLY | O_CREAT, 0644);
    sink += pwrite64(fd, data, 3, 0);
    sink += creat64("c64", 0644);
    sink += __open_2("p64", O_WRONLY);
    printf("%ld\n", sink);
    return 0;
}

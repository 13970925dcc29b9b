/* SPDX-License-Identifier: MIT
 *
 * The benchmark's baseline: the bytes the tool moves, moved by the smallest
 * process that can move them. Reads the two databases in DIRECTORY to their
 * end in blocks of 256 KiB into one reused buffer (the bytes unused), then
 * creates DIRECTORY/baseline.out and copies the two CSV files the tool wrote
 * into it, in writes of 256 KiB, the tool's block size (on a virtual machine
 * a write's call costs more than its bytes: 64 KiB blocks took it some 10 %
 * longer, so anything smaller would flatter the tool). bench/run.py starts
 * it exactly as it starts the tool.
 *
 *   copy_baseline DIRECTORY
 *
 * Plain C linked to nothing but the C library, so that its start-up is the
 * least any program pays: no libstdc++ to load, relocate and initialise. It
 * calls open, read and write directly rather than stdio: unbuffered stdio
 * makes the same reads and writes of whole blocks (the tool's CSV files are
 * such streams), but adds a FILE allocated per file and a lock taken per
 * call, which only a program that needs streams should pay. The buffer is
 * static, so nothing is allocated; its pages are faulted in on the first
 * read, as a heap block's would be. POSIX calls: built where the benchmark
 * runs, not in the Windows build.
 */
#define _POSIX_C_SOURCE 200809L  /* open, read, write, ssize_t under -std=c11 */

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

enum { kBlockSize = 1 << 18 };

static char block[kBlockSize];

static void fail(const char *path) {
    perror(path);
    exit(1);
}

/* Writes all `length` bytes; a regular file takes a block in one call, but a
 * short write (a full disk) must not pass for success. */
static void write_all(int to, const char *from, size_t length, const char *path) {
    while (length > 0) {
        const ssize_t written = write(to, from, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail(path);
        }
        from += written;
        length -= (size_t)written;
    }
}

/* Reads the file at `path` to its end; writes each block to `to` when it is
 * not negative. */
static void pass(const char *path, int to, const char *to_path) {
    const int from = open(path, O_RDONLY);
    if (from < 0) fail(path);
    for (;;) {
        const ssize_t got = read(from, block, sizeof block);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            fail(path);
        }
        if (to >= 0) write_all(to, block, (size_t)got, to_path);
    }
    close(from);
}

/* DIRECTORY/name into `path`, which holds `size` bytes. */
static const char *in_directory(char *path, size_t size, const char *directory, const char *name) {
    const int length = snprintf(path, size, "%s/%s", directory, name);
    if (length < 0 || (size_t)length >= size) {
        errno = ENAMETOOLONG;
        fail(directory);
    }
    return path;
}

int main(int argc, char **argv) {
    static const char *const databases[] = {"CinecaseTapes.PDB", "CinecaseProgs.PDB"};
    static const char *const csv_files[] = {"CinecaseTapes.CSV", "CinecaseProgs.CSV"};
    char path[4096];
    char out_path[4096];

    if (argc != 2) {
        fputs("usage: copy_baseline DIRECTORY\n", stderr);
        return 1;
    }
    for (size_t i = 0; i < 2; ++i) pass(in_directory(path, sizeof path, argv[1], databases[i]), -1, NULL);

    in_directory(out_path, sizeof out_path, argv[1], "baseline.out");
    const int out = open(out_path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0) fail(out_path);
    for (size_t i = 0; i < 2; ++i) pass(in_directory(path, sizeof path, argv[1], csv_files[i]), out, out_path);
    if (close(out) != 0) fail(out_path);
    return 0;
}

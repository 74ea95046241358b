// move_floor: the least a move of one folder's files into ten folders beside
// it can cost on a file system, whatever the program around it does.
//
//   move_floor rename|link THREADS SRC DST
//
// It lists SRC, makes DST/s0 .. DST/s9 and moves the files there over
// THREADS threads, file i into folder i % 10, with nothing else: no record,
// no checks, no plan. `rename` renames each file without replacing
// (RENAME_NOREPLACE); `link` gives it its new name with link() and then
// drops the old one with unlink(), which on Linux takes no lock common to
// the whole file system, where a rename between two folders does. A move
// that keeps each file under exactly one name at every instant cannot be
// faster than `rename`.
#define _GNU_SOURCE

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kFolders = 10, kMaxThreads = 256 };

static char **names;
static size_t count;
static int by_link, source, folders[kFolders];
static atomic_size_t next_file;
static atomic_int failures;

static void *mover(void *unused) {
    (void)unused;
    for (size_t i; (i = atomic_fetch_add(&next_file, 1)) < count;) {
        const int to = folders[i % kFolders];
        const int ok = by_link ? linkat(source, names[i], to, names[i], 0) == 0 && unlinkat(source, names[i], 0) == 0
                               : renameat2(source, names[i], to, names[i], RENAME_NOREPLACE) == 0;
        if (!ok) {
            perror(names[i]);
            atomic_fetch_add(&failures, 1);
        }
    }
    return NULL;
}

int main(int argc, char **argv) {
    if (argc != 5 || (strcmp(argv[1], "rename") != 0 && strcmp(argv[1], "link") != 0)) {
        fprintf(stderr, "usage: move_floor rename|link THREADS SRC DST\n");
        return 2;
    }
    by_link = strcmp(argv[1], "link") == 0;
    const int threads = atoi(argv[2]);
    if (threads < 1 || threads > kMaxThreads) {
        fprintf(stderr, "move_floor: THREADS is 1 to %d\n", kMaxThreads);
        return 2;
    }
    source = open(argv[3], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int target = open(argv[4], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (source < 0 || target < 0) {
        perror("move_floor: open");
        return 1;
    }
    for (int k = 0; k < kFolders; ++k) {
        char name[16];
        snprintf(name, sizeof name, "s%d", k);
        mkdirat(target, name, 0755);
        folders[k] = openat(target, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folders[k] < 0) {
            perror(name);
            return 1;
        }
    }
    DIR *listing = fdopendir(dup(source));
    size_t room = 1024;
    names = malloc(room * sizeof *names);
    for (struct dirent *entry; listing && names && (entry = readdir(listing));) {
        if (entry->d_type != DT_REG) continue;
        if (count == room) names = realloc(names, (room *= 2) * sizeof *names);
        if (names) names[count++] = strdup(entry->d_name);
    }
    if (!listing || !names) {
        perror("move_floor: listing");
        return 1;
    }
    pthread_t pool[kMaxThreads];
    for (int t = 0; t < threads; ++t) pthread_create(&pool[t], NULL, mover, NULL);
    for (int t = 0; t < threads; ++t) pthread_join(pool[t], NULL);
    return atomic_load(&failures) ? 1 : 0;
}

// slowfs: a FUSE pass-through of one folder that answers like a network share.
//
//   slowfs [--delay-us N] [--no-utimens] [--no-chmod[=ENOSYS]] [--stats FILE]
//          [fuse options] BACKING MOUNTPOINT
//
// Every operation waits a fixed delay before it is answered, as every call to
// a file server costs a round trip; a benchmark on it shows how many calls a
// program makes rather than how fast the local disk is. The default fuse loop
// is multi-threaded, so calls that arrive together wait together. A call that
// creates, removes or renames a name in a folder holds that folder's lock
// while it waits, as a server serialises the entries of one folder: many
// files made in one folder queue behind each other, in several folders they
// do not. (Linux already holds the folder's inode lock around such calls, so
// from one client this mostly confirms what the kernel does; the lock here
// makes it true whatever the client.)
//
// --no-utimens refuses to set times (futimens and utimensat fail with
// ENOSYS, as where the operation is missing) and --no-chmod refuses permission
// bits (EPERM, or ENOSYS with --no-chmod=ENOSYS): some network and FUSE file
// systems do either. FUSE has no unnamed files (O_TMPFILE), so a program that
// wants one falls back to a hidden name and a rename; this file system does
// RENAME_NOREPLACE for that rename. --stats FILE writes how many calls of
// each kind were answered when the file system is unmounted, and so far on
// SIGUSR1 (to the pid it writes first).
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <fuse3/fuse.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdatomic.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

static struct options {
    unsigned delay_us;
    int no_utimens;
    int no_chmod;
    char *chmod_error;  // the errno name after --no-chmod=
    char *stats;
    int show_help;
    char *backing;
} opt = {.delay_us = 300};

static int base = -1;       // the backing folder: opened before mounting,
                            // because the daemon changes its folder to /
static int chmod_errno;     // 0: chmod works
static int stats_fd = -1;   // opened before mounting, for the same reason

// --- counting and waiting ---------------------------------------------------

enum op {
    GETATTR, ACCESS, READLINK, OPENDIR, READDIR, RELEASEDIR, MKDIR, RMDIR,
    UNLINK, SYMLINK, LINK, RENAME, RENAME_NOREPLACE_, CHMOD, CHOWN, TRUNCATE,
    UTIMENS, OPEN, CREATE, READ, WRITE, FLUSH, RELEASE, FSYNC, STATFS, OPS
};
static const char *const op_names[OPS] = {
    "getattr", "access", "readlink", "opendir", "readdir", "releasedir",
    "mkdir", "rmdir", "unlink", "symlink", "link", "rename",
    "rename_noreplace", "chmod", "chown", "truncate", "utimens", "open",
    "create", "read", "write", "flush", "release", "fsync", "statfs",
};
static atomic_ulong counts[OPS];
static atomic_ulong waited_us;  // slept in all: a sleep lasts longer than asked

// The counts so far, as a block that ends with `last`. The reader waits for
// that line: the block is written after the calls it counts have returned.
static void write_counts(const char *last) {
    char block[64 * OPS + 64];
    int n = snprintf(block, sizeof block, "delay_us\t%u\nwaited_us\t%lu\n", opt.delay_us, atomic_load(&waited_us));
    for (int i = 0; i < OPS; i++)
        n += snprintf(block + n, sizeof block - (size_t)n, "%s\t%lu\n", op_names[i], atomic_load(&counts[i]));
    n += snprintf(block + n, sizeof block - (size_t)n, "%s\n", last);
    if (write(stats_fd, block, (size_t)n) != n) {
        // Nowhere to tell: the daemon's output goes nowhere.
    }
}

// SIGUSR1 asks for the counts so far (between two runs on one mount, which
// cannot be remounted between them: a new mount is a new device, and the
// run's record names files by device and inode). The handler only raises a
// flag; the next call writes the block before it counts itself, so a
// `stat -f` on the mount right after the signal gets it written.
static atomic_int counts_wanted;
static void want_counts(int sig) {
    (void)sig;
    atomic_store(&counts_wanted, 1);
}

// The round trip: counted, then the delay, whatever the answer will be (a
// server that refuses still had to be asked).
static void round_trip(enum op op) {
    if (atomic_load_explicit(&counts_wanted, memory_order_relaxed) && atomic_exchange(&counts_wanted, 0))
        write_counts("# snapshot");
    atomic_fetch_add_explicit(&counts[op], 1, memory_order_relaxed);
    if (opt.delay_us == 0) return;
    struct timespec t = {opt.delay_us / 1000000, (long)(opt.delay_us % 1000000) * 1000}, from, to;
    clock_gettime(CLOCK_MONOTONIC, &from);
    while (nanosleep(&t, &t) == -1 && errno == EINTR) {
    }
    clock_gettime(CLOCK_MONOTONIC, &to);
    const long us = (to.tv_sec - from.tv_sec) * 1000000L + (to.tv_nsec - from.tv_nsec) / 1000;
    atomic_fetch_add_explicit(&waited_us, (unsigned long)us, memory_order_relaxed);
}

// --- folder locks -----------------------------------------------------------

// Only folders whose names are being changed right now have a lock, so the
// list stays as short as the number of such calls in flight.
struct folder_lock {
    struct folder_lock *next;
    pthread_mutex_t mutex;
    unsigned users;
    char path[];
};
static struct folder_lock *folder_locks;
static pthread_mutex_t folder_locks_guard = PTHREAD_MUTEX_INITIALIZER;

// The length of the folder part of a FUSE path ("/a/b" -> "/a", "/b" -> "/").
static size_t folder_len(const char *path) {
    const char *slash = strrchr(path, '/');
    return slash == path ? 1 : (size_t)(slash - path);
}

// The lock of the folder that holds `path`, taken from the list (not yet
// locked), or NULL when out of memory.
static struct folder_lock *folder_of(const char *path) {
    const size_t len = folder_len(path);
    pthread_mutex_lock(&folder_locks_guard);
    struct folder_lock *l = folder_locks;
    while (l && (strncmp(l->path, path, len) != 0 || l->path[len] != '\0')) l = l->next;
    if (!l && (l = malloc(sizeof *l + len + 1))) {
        pthread_mutex_init(&l->mutex, NULL);
        memcpy(l->path, path, len);
        l->path[len] = '\0';
        l->users = 0;
        l->next = folder_locks;
        folder_locks = l;
    }
    if (l) l->users++;
    pthread_mutex_unlock(&folder_locks_guard);
    return l;
}

static void folder_done(struct folder_lock *l) {
    pthread_mutex_lock(&folder_locks_guard);
    if (--l->users == 0) {
        struct folder_lock **p = &folder_locks;
        while (*p != l) p = &(*p)->next;
        *p = l->next;
        pthread_mutex_destroy(&l->mutex);
        free(l);
    }
    pthread_mutex_unlock(&folder_locks_guard);
}

static struct folder_lock *lock_folder(const char *path) {
    struct folder_lock *l = folder_of(path);
    if (l) pthread_mutex_lock(&l->mutex);
    return l;
}

static void unlock_folder(struct folder_lock *l) {
    pthread_mutex_unlock(&l->mutex);
    folder_done(l);
}

// --- helpers ----------------------------------------------------------------

// FUSE paths start at "/"; the backing calls take them relative to `base`.
static const char *rel(const char *path) { return path[1] ? path + 1 : "."; }

// -errno for a failed call, else its result; errno is read at once, before
// an unlock can touch it.
static int answer(int r) { return r < 0 ? -errno : r; }

// The name-changing calls: the folder's lock around the wait and the call.
#define IN_FOLDER(path, op, call)                          \
    do {                                                   \
        struct folder_lock *l_ = lock_folder(path);        \
        if (!l_) return -ENOMEM;                           \
        round_trip(op);                                    \
        const int r_ = answer(call);                       \
        unlock_folder(l_);                                 \
        return r_;                                         \
    } while (0)

// --- the operations ---------------------------------------------------------

static void *sf_init(struct fuse_conn_info *conn, struct fuse_config *cfg) {
    (void)conn;
    // The backing's inode numbers, so that a program that identifies files
    // by device and inode sees the same file under the same number.
    cfg->use_ino = 1;
    // A removed file that is still open goes at once instead of being
    // renamed to .fuse_hidden*: the open descriptor still reads the backing
    // file, and no stray names are left in a folder that must end up empty.
    cfg->hard_remove = 1;
    if (stats_fd >= 0) {
        // Here, in the daemon, getpid() is the process to signal.
        dprintf(stats_fd, "pid\t%ld\n", (long)getpid());
        signal(SIGUSR1, want_counts);
    }
    return NULL;
}

static void sf_destroy(void *data) {
    (void)data;
    if (stats_fd < 0) return;
    write_counts("# end");  // unmount returns before this is written
    close(stats_fd);
}

static int sf_getattr(const char *path, struct stat *st, struct fuse_file_info *fi) {
    round_trip(GETATTR);
    return answer(fi ? fstat((int)fi->fh, st) : fstatat(base, rel(path), st, AT_SYMLINK_NOFOLLOW));
}

static int sf_access(const char *path, int mask) {
    round_trip(ACCESS);
    return answer(faccessat(base, rel(path), mask, 0));
}

static int sf_readlink(const char *path, char *buf, size_t size) {
    round_trip(READLINK);
    const ssize_t n = readlinkat(base, rel(path), buf, size - 1);
    if (n < 0) return -errno;
    buf[n] = '\0';
    return 0;
}

static int sf_opendir(const char *path, struct fuse_file_info *fi) {
    round_trip(OPENDIR);
    const int fd = openat(base, rel(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -errno;
    DIR *dir = fdopendir(fd);
    if (!dir) {
        const int e = errno;
        close(fd);
        return -e;
    }
    fi->fh = (uint64_t)(uintptr_t)dir;
    return 0;
}

// The whole folder in one answer (offsets of 0: the library keeps the
// listing and serves the kernel's later reads from it). The library asks
// again from offset 0 after a rewind, hence rewinddir.
static int sf_readdir(const char *path, void *buf, fuse_fill_dir_t fill, off_t offset,
                      struct fuse_file_info *fi, enum fuse_readdir_flags flags) {
    (void)path, (void)offset, (void)flags;
    round_trip(READDIR);
    DIR *dir = (DIR *)(uintptr_t)fi->fh;
    rewinddir(dir);
    errno = 0;
    for (struct dirent *e; (e = readdir(dir));) {
        struct stat st = {.st_ino = e->d_ino, .st_mode = (mode_t)DTTOIF(e->d_type)};
        if (fill(buf, e->d_name, &st, 0, 0)) return -ENOMEM;
    }
    return -errno;
}

static int sf_releasedir(const char *path, struct fuse_file_info *fi) {
    (void)path;
    round_trip(RELEASEDIR);
    closedir((DIR *)(uintptr_t)fi->fh);
    return 0;
}

static int sf_mkdir(const char *path, mode_t mode) { IN_FOLDER(path, MKDIR, mkdirat(base, rel(path), mode)); }
static int sf_rmdir(const char *path) { IN_FOLDER(path, RMDIR, unlinkat(base, rel(path), AT_REMOVEDIR)); }
static int sf_unlink(const char *path) { IN_FOLDER(path, UNLINK, unlinkat(base, rel(path), 0)); }

static int sf_symlink(const char *target, const char *path) {
    IN_FOLDER(path, SYMLINK, symlinkat(target, base, rel(path)));
}

static int sf_link(const char *from, const char *to) {
    IN_FOLDER(to, LINK, linkat(base, rel(from), base, rel(to), 0));
}

// RENAME_NOREPLACE is what a careful program publishes a finished file with;
// the other flags (exchange, whiteout) are not something a share offers.
// A rename between two folders holds both locks, taken in name order so that
// two crossing renames cannot wait for each other.
static int sf_rename(const char *from, const char *to, unsigned int flags) {
    const int noreplace = (flags & RENAME_NOREPLACE) != 0;
    if (flags & ~RENAME_NOREPLACE) {
        round_trip(RENAME);
        return -EINVAL;
    }
    struct folder_lock *a = folder_of(from), *b = folder_of(to);
    if (!a || !b) {
        if (a) folder_done(a);
        if (b) folder_done(b);
        return -ENOMEM;
    }
    if (a != b && strcmp(a->path, b->path) > 0) {
        struct folder_lock *t = a;
        a = b;
        b = t;
    }
    pthread_mutex_lock(&a->mutex);
    if (b != a) pthread_mutex_lock(&b->mutex);
    round_trip(noreplace ? RENAME_NOREPLACE_ : RENAME);
    int r = answer(renameat2(base, rel(from), base, rel(to), flags));
    if (r == -EINVAL && noreplace) {
        // A backing without the flag: with both folders locked no other
        // call of ours can make the name between the look and the rename.
        struct stat st;
        r = fstatat(base, rel(to), &st, AT_SYMLINK_NOFOLLOW) == 0 ? -EEXIST
                                                                : answer(renameat(base, rel(from), base, rel(to)));
    }
    if (b != a) pthread_mutex_unlock(&b->mutex);
    pthread_mutex_unlock(&a->mutex);
    folder_done(a);
    folder_done(b);
    return r;
}

static int sf_chmod(const char *path, mode_t mode, struct fuse_file_info *fi) {
    round_trip(CHMOD);
    if (chmod_errno) return -chmod_errno;
    return answer(fi ? fchmod((int)fi->fh, mode) : fchmodat(base, rel(path), mode, 0));
}

static int sf_chown(const char *path, uid_t uid, gid_t gid, struct fuse_file_info *fi) {
    round_trip(CHOWN);
    return answer(fi ? fchown((int)fi->fh, uid, gid) : fchownat(base, rel(path), uid, gid, AT_SYMLINK_NOFOLLOW));
}

static int sf_truncate(const char *path, off_t size, struct fuse_file_info *fi) {
    round_trip(TRUNCATE);
    if (fi) return answer(ftruncate((int)fi->fh, size));
    const int fd = openat(base, rel(path), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return -errno;
    const int r = answer(ftruncate(fd, size));
    close(fd);
    return r;
}

// --no-utimens answers ENOSYS to every time, given or "now", which is what
// the library answers for a file system without the operation; answered
// here, the refusal is counted and costs its round trip as on a server.
// (ftruncate still works: the kernel sends no time along with it.)
static int sf_utimens(const char *path, const struct timespec tv[2], struct fuse_file_info *fi) {
    round_trip(UTIMENS);
    if (opt.no_utimens) return -ENOSYS;
    return answer(fi ? futimens((int)fi->fh, tv) : utimensat(base, rel(path), tv, AT_SYMLINK_NOFOLLOW));
}

static int sf_open(const char *path, struct fuse_file_info *fi) {
    round_trip(OPEN);
    const int fd = openat(base, rel(path), fi->flags | O_CLOEXEC);
    if (fd < 0) return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int sf_create(const char *path, mode_t mode, struct fuse_file_info *fi) {
    struct folder_lock *l = lock_folder(path);
    if (!l) return -ENOMEM;
    round_trip(CREATE);
    const int fd = answer(openat(base, rel(path), fi->flags | O_CREAT | O_CLOEXEC, mode));
    unlock_folder(l);
    if (fd < 0) return fd;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int sf_read(const char *path, char *buf, size_t size, off_t offset, struct fuse_file_info *fi) {
    (void)path;
    round_trip(READ);
    return answer((int)pread((int)fi->fh, buf, size, offset));
}

static int sf_write(const char *path, const char *buf, size_t size, off_t offset, struct fuse_file_info *fi) {
    (void)path;
    round_trip(WRITE);
    return answer((int)pwrite((int)fi->fh, buf, size, offset));
}

// Every close() sends a flush and waits for it, as closing a file on a share
// does. Closing a duplicate reports the backing's delayed write errors.
static int sf_flush(const char *path, struct fuse_file_info *fi) {
    (void)path;
    round_trip(FLUSH);
    const int fd = dup((int)fi->fh);
    if (fd < 0) return -errno;
    return answer(close(fd));
}

static int sf_release(const char *path, struct fuse_file_info *fi) {
    (void)path;
    round_trip(RELEASE);
    close((int)fi->fh);
    return 0;
}

static int sf_fsync(const char *path, int datasync, struct fuse_file_info *fi) {
    (void)path;
    round_trip(FSYNC);
    return answer(datasync ? fdatasync((int)fi->fh) : fsync((int)fi->fh));
}

static int sf_statfs(const char *path, struct statvfs *st) {
    (void)path;
    round_trip(STATFS);
    return answer(fstatvfs(base, st));
}

static const struct fuse_operations ops = {
    .init = sf_init,         .destroy = sf_destroy,       .getattr = sf_getattr, .access = sf_access,
    .readlink = sf_readlink, .opendir = sf_opendir,       .readdir = sf_readdir, .releasedir = sf_releasedir,
    .mkdir = sf_mkdir,       .rmdir = sf_rmdir,           .unlink = sf_unlink,   .symlink = sf_symlink,
    .link = sf_link,         .rename = sf_rename,         .chmod = sf_chmod,     .chown = sf_chown,
    .truncate = sf_truncate, .utimens = sf_utimens,       .open = sf_open,       .create = sf_create,
    .read = sf_read,         .write = sf_write,           .flush = sf_flush,     .release = sf_release,
    .fsync = sf_fsync,       .statfs = sf_statfs,
};

// --- options ----------------------------------------------------------------

#define OPT(t, field, value) {t, offsetof(struct options, field), value}
static const struct fuse_opt option_spec[] = {
    OPT("--delay-us %u", delay_us, 0),     OPT("--delay-us=%u", delay_us, 0),
    OPT("--no-utimens", no_utimens, 1),    OPT("--no-chmod", no_chmod, 1),
    OPT("--no-chmod=%s", chmod_error, 0),  OPT("--stats %s", stats, 0),
    OPT("--stats=%s", stats, 0),           OPT("-h", show_help, 1),
    OPT("--help", show_help, 1),           FUSE_OPT_END,
};

// The first argument that is not an option is the backing folder; the
// second (the mount point) goes on to the library.
static int take_backing(void *data, const char *arg, int key, struct fuse_args *args) {
    (void)data, (void)args;
    if (key == FUSE_OPT_KEY_NONOPT && !opt.backing) {
        opt.backing = strdup(arg);
        return 0;
    }
    return 1;
}

static void usage(const char *self) {
    printf("usage: %s [options] BACKING MOUNTPOINT\n"
           "  --delay-us N         wait N microseconds before answering each call (default 300)\n"
           "  --no-utimens         no setting of times (futimens, utimensat: ENOSYS)\n"
           "  --no-chmod[=ENOSYS]  refuse permission bits (EPERM, or ENOSYS)\n"
           "  --stats FILE         write the number of calls of each kind at unmount,\n"
           "                       and so far on SIGUSR1 (to the pid the file names)\n\n",
           self);
}

int main(int argc, char *argv[]) {
    struct fuse_args args = FUSE_ARGS_INIT(argc, argv);
    if (fuse_opt_parse(&args, &opt, option_spec, take_backing) != 0) return 2;
    if (opt.show_help) {
        usage(argv[0]);
        fuse_opt_add_arg(&args, "--help");  // the library's own options follow
        return fuse_main(args.argc, args.argv, &ops, NULL) == 0 ? 0 : 2;
    }
    if (opt.chmod_error) {
        if (strcmp(opt.chmod_error, "ENOSYS") == 0) chmod_errno = ENOSYS;
        else if (strcmp(opt.chmod_error, "EPERM") == 0) chmod_errno = EPERM;
        else {
            fprintf(stderr, "slowfs: --no-chmod= takes EPERM or ENOSYS, not '%s'\n", opt.chmod_error);
            return 2;
        }
    } else if (opt.no_chmod) {
        chmod_errno = EPERM;
    }
    if (!opt.backing) {
        usage(argv[0]);
        return 2;
    }
    base = open(opt.backing, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (base < 0) {
        fprintf(stderr, "slowfs: cannot open the folder '%s': %s\n", opt.backing, strerror(errno));
        return 2;
    }
    if (opt.stats && (stats_fd = open(opt.stats, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) < 0) {
        fprintf(stderr, "slowfs: cannot write '%s': %s\n", opt.stats, strerror(errno));
        return 2;
    }
    // A sleep ends up to the timer slack (50 µs by default) late, and the
    // threads the loop starts inherit this one's: as little as can be.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // The kernel has applied the caller's umask to every mode it passes on;
    // ours must not cut the bits a second time.
    umask(0);
    return fuse_main(args.argc, args.argv, &ops, NULL);
}

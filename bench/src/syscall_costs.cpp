// Where the kernel time of a copy and of an undo goes: the same files made,
// published or taken back by each sequence of system calls the batch could
// use, timed in CPU time (user + system) per file. The batch keeps the
// cheapest sequence that still never shows a half-written file under a real
// name, and never deletes a file it did not check.
//
//   quillmarsh-bench-syscalls FOLDER [FILES]
//
// FOLDER is made and emptied again; FILES (default 10,000) files of 1-4 KiB
// with 44-byte names.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// Every sequence must do what it claims, or its time means nothing.
void need(bool done) {
    if (done) return;
    std::perror("quillmarsh-bench-syscalls");
    std::exit(1);
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int openFolder(const std::string& path) {
    std::filesystem::create_directories(path);
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    return fd;
}

std::vector<std::string> makeFiles(int dir, int count) {
    std::mt19937 random(1);
    std::vector<std::string> names;
    std::vector<char> bytes(4096, 'q');
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "IMG_2024%02d%02d_%06d_%06d_expo_%08x.jpg", i % 12 + 1, i % 28 + 1, i, i,
                      static_cast<unsigned>(random()));
        const int fd = openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        const auto size = static_cast<std::size_t>(1024 + random() % 3072);
        if (fd < 0 || write(fd, bytes.data(), size) != static_cast<ssize_t>(size)) std::exit(1);
        close(fd);
        names.emplace_back(name);
    }
    return names;
}

// The copy's common part: open and read the source, create the new file,
// write, set the times, read its identity. `create` and `publish` differ.
void copyEach(int from, int to, const std::vector<std::string>& names, const std::function<int(int, int)>& create,
              const std::function<void(int, int, const char*, int)>& publish) {
    static char buffer[65536];
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int in = openat(from, names[i].c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st;
        fstat(in, &st);
        const int out = create(to, static_cast<int>(i));
        const ssize_t n = read(in, buffer, static_cast<std::size_t>(st.st_size) + 1);
        if (n < 0 || write(out, buffer, static_cast<std::size_t>(n)) != n) std::exit(1);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out, times);
        fstat(out, &st);
        publish(out, to, names[i].c_str(), static_cast<int>(i));
        close(out);
        close(in);
    }
}

std::string hidden(int i, const char* purpose) { return ".bench-" + std::to_string(i) + "." + purpose; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillmarsh-bench-syscalls FOLDER [FILES]\n");
        return 2;
    }
    const std::string root = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 10000;
    std::filesystem::remove_all(root);
    const int source = openFolder(root + "/source");
    const std::vector<std::string> names = makeFiles(source, count);

    auto measure = [&](const char* label, const std::function<void(int)>& run) {
        std::filesystem::remove_all(root + "/out");
        const int out = openFolder(root + "/out");
        const double before = cpuSeconds();
        run(out);
        std::printf("%-58s %6.2f µs CPU/file\n", label, (cpuSeconds() - before) * 1e6 / count);
        close(out);
    };

    std::printf("publishing a copy (%d files of 1-4 KiB)\n", count);
    auto unnamed = [](int to, int) { return openat(to, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644); };
    auto named = [](int to, int i) {
        return openat(to, hidden(i, "part").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    };
    for (int round = 0; round < 2; ++round) {
        measure("O_TMPFILE, linkat(AT_EMPTY_PATH)", [&](int out) {
            copyEach(source, out, names, unnamed,
                     [](int fd, int to, const char* name, int) { need(linkat(fd, "", to, name, AT_EMPTY_PATH) == 0); });
        });
        measure("O_TMPFILE, linkat(/proc/self/fd/N)", [&](int out) {
            copyEach(source, out, names, unnamed, [](int fd, int to, const char* name, int) {
                char self[32];
                std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
                need(linkat(AT_FDCWD, self, to, name, AT_SYMLINK_FOLLOW) == 0);
            });
        });
        measure("O_EXCL on a hidden name, renameat2(RENAME_NOREPLACE)", [&](int out) {
            copyEach(source, out, names, named, [](int, int to, const char* name, int i) {
                need(renameat2(to, hidden(i, "part").c_str(), to, name, RENAME_NOREPLACE) == 0);
            });
        });
    }

    std::printf("taking a copy back (the copies just made; the originals in the source)\n");
    auto copies = [&](int out) {
        copyEach(source, out, names, unnamed,
                 [](int fd, int to, const char* name, int) { need(linkat(fd, "", to, name, AT_EMPTY_PATH) == 0); });
    };
    auto takeBack = [&](const char* label, const std::function<void(int, const char*, int)>& each) {
        std::filesystem::remove_all(root + "/out");
        const int out = openFolder(root + "/out");
        copies(out);
        const double before = cpuSeconds();
        for (std::size_t i = 0; i < names.size(); ++i) each(out, names[i].c_str(), static_cast<int>(i));
        std::printf("%-58s %6.2f µs CPU/file\n", label, (cpuSeconds() - before) * 1e6 / count);
        close(out);
    };
    for (int round = 0; round < 2; ++round) {
        takeBack("unlinkat alone (what rm does)", [](int out, const char* name, int) { need(unlinkat(out, name, 0) == 0); });
        takeBack("fstatat both, unlinkat", [&](int out, const char* name, int) {
            struct stat st;
            fstatat(out, name, &st, AT_SYMLINK_NOFOLLOW);
            fstatat(source, name, &st, 0);
            need(unlinkat(out, name, 0) == 0);
        });
        takeBack("fstatat both, rename aside, fstatat it, unlinkat", [&](int out, const char* name, int i) {
            struct stat st;
            fstatat(out, name, &st, AT_SYMLINK_NOFOLLOW);
            fstatat(source, name, &st, 0);
            const std::string aside = hidden(i, "undo");
            need(renameat2(out, name, out, aside.c_str(), RENAME_NOREPLACE) == 0);
            need(fstatat(out, aside.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0);
            need(unlinkat(out, aside.c_str(), 0) == 0);
        });
        takeBack("open both, compare bytes, rename aside, fstatat, unlinkat", [&](int out, const char* name, int i) {
            static char a[65536], b[65536];
            struct stat st;
            const int copy = openat(out, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            const int original = openat(source, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            fstat(copy, &st);
            fstat(original, &st);
            const ssize_t na = read(copy, a, sizeof a), nb = read(original, b, sizeof b);
            if (na != nb || read(copy, a, sizeof a) != 0 || read(original, b, sizeof b) != 0) std::exit(1);
            const std::string aside = hidden(i, "undo");
            need(renameat2(out, name, out, aside.c_str(), RENAME_NOREPLACE) == 0);
            need(fstatat(out, aside.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0);
            need(unlinkat(out, aside.c_str(), 0) == 0);
            close(copy);
            close(original);
        });
    }
    std::filesystem::remove_all(root);
    return 0;
}

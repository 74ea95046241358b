// quillmarsh-bench-recount FOLDER [ROUNDS] [--changing]: how long the window
// takes to re-count its source folder after one keystroke in the filter box.
//
// The window is the real model over the real platform; the folder is chosen
// once, then the filter box is typed into as a user would ("*.t", "*.tx",
// "*.txt", and back), and each keystroke's Change (new pattern, count, count
// fields, dispatch button) is timed. Prints the median and the slowest, in ms.
// A folder left alone is proved unchanged by its version and not read again;
// with --changing a file is added to it and removed again before each
// keystroke, so that every keystroke reads it again (the worst case).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/posix_system.h"
#include "text/utf.h"
#include "window/form1.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillmarsh-bench-recount FOLDER [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    const bool changing = argc > 3 && std::string(argv[3]) == "--changing";
    const std::string probe = std::string(argv[1]) + "/.quillmarsh-bench-probe";
    qm::PosixSystem system;
    qm::QuietUser user;
    qm::Form1 form({system, user});
    using Clock = std::chrono::steady_clock;
    const auto listed0 = Clock::now();
    form.LDir.setCaption(qm::text::fromUtf8(argv[1]));
    const double firstListing = std::chrono::duration<double, std::milli>(Clock::now() - listed0).count();
    const std::string files = qm::text::toUtf8(form.LFiles.caption());

    form.setFocus(form.Combo1);
    form.Combo1.setText(u"*.");
    std::vector<double> times;
    auto key = [&](char16_t c) {
        if (changing) {
            std::fclose(std::fopen(probe.c_str(), "w"));
            std::remove(probe.c_str());
        }
        const auto t0 = Clock::now();
        form.Combo1.typeKey(c);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    };
    std::size_t counted = 0;
    for (int r = 0; r < rounds; ++r) {
        for (char16_t c : std::u16string(u"txt")) key(c);
        counted = form.File1.count();
        for (int i = 0; i < 3; ++i) key(8);  // Backspace
    }
    std::sort(times.begin(), times.end());
    std::printf("files %s  first listing %.2f ms  re-count median %.3f ms  slowest %.3f ms  (%zu keystrokes, *.txt matched %zu)\n",
                files.c_str(), firstListing, times[times.size() / 2], times.back(),
                times.size(), counted);
    return 0;
}

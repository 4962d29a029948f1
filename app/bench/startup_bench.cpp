// Start-up benchmark of `modemcfg --demo`: time from process start to the
// dialog first drawn, and peak memory. Each run is a fresh process (this
// program with --child) running the program's own start-up with --demo, so
// library loading, the simulator's start and the first paint all count. Prints
// only; the figures to compare with are 300 ms and 80 MB.
//
// usage: modemcfg_startup_bench [RUNS]    (QT_QPA_PLATFORM defaults to offscreen)

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "app/modemcfg.h"

extern char** environ;

namespace {

// steady_clock reads the monotonic clock, which parent and child share.
long long monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// The child: modemcfg's start-up with --demo; prints the moment of the first
// paint and the peak memory until then, and closes the dialog.
int runChild(int argc, char** argv) {
    QApplication app(argc, argv);
    modem::applyDialogStyle();
    modem::StartOptions options;
    options.source = modem::PortSource::Demo;
    return modem::runModemcfg(options, [](modem::MainDialog& dialog) {
        std::printf("%lld %ld\n", monotonicNs(), peakKiB());
        std::fflush(stdout);
        dialog.close();
    });
}

struct Run {
    double msToShown = 0;
    long peakAtShownKiB = 0;
    long peakWholeKiB = 0;
};

bool runOnce(const char* self, Run& run) {
    int out[2];
    if (pipe(out) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    char childFlag[] = "--child";
    char* childArgv[] = {const_cast<char*>(self), childFlag, nullptr};
    pid_t pid = 0;
    const long long started = monotonicNs();
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, childArgv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return false;
    }
    std::string text;
    char buffer[256];
    ssize_t n = 0;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    long long shownAt = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.c_str(), "%lld %ld", &shownAt, &run.peakAtShownKiB) != 2) {
        return false;
    }
    run.msToShown = static_cast<double>(shownAt - started) / 1e6;
    run.peakWholeKiB = usage.ru_maxrss;
    return true;
}

template <typename T>
T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--child") == 0) {
        return runChild(argc, argv);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 7;
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return 1;
    }
    self[length] = '\0';

    std::printf("modemcfg --demo start-up, %d runs, QT_QPA_PLATFORM=%s\n", runs,
                std::getenv("QT_QPA_PLATFORM"));
    std::vector<double> times;
    std::vector<long> peaks;
    for (int i = 0; i < runs; ++i) {
        Run run;
        if (!runOnce(self, run)) {
            std::printf("run %d failed (is modem-sim built beside this program?)\n", i + 1);
            return 1;
        }
        std::printf(
            "run %d: %.1f ms to the dialog shown, peak %.1f MB when shown, %.1f MB over the run\n",
            i + 1, run.msToShown, static_cast<double>(run.peakAtShownKiB) / 1024.0,
            static_cast<double>(run.peakWholeKiB) / 1024.0);
        times.push_back(run.msToShown);
        peaks.push_back(run.peakWholeKiB);
    }
    std::printf("median: %.1f ms to shown (goal < 300 ms), peak %.1f MB (goal < 80 MB)\n",
                median(times), static_cast<double>(median(peaks)) / 1024.0);
    return 0;
}

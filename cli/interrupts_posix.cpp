// SIGINT and SIGTERM through a pipe: the handler only sets the flag and writes
// a byte, and a thread of our own reads it and tells the listeners.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "cli/interrupt_catching.h"

namespace modem::cli::detail {

namespace {

constexpr char interruptByte = 'i';
constexpr char quitByte = 'q';
constexpr int caughtSignals[] = {SIGINT, SIGTERM};

// Made once and kept for the process's life: a handler still running when
// catching stops must find it open.
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[std::size(caughtSignals)];
std::thread g_watcher;

void writeByte(char byte) {
    const int saved = errno;
    // The write end does not block: with the pipe full an interrupt is on its way already.
    while (::write(g_pipe[1], &byte, 1) < 0 && errno == EINTR) {
    }
    errno = saved;
}

extern "C" void onSignal(int /*signal*/) {
    markInterrupted();
    writeByte(interruptByte);
}

void watch() {
    for (;;) {
        char byte = 0;
        const ssize_t n = ::read(g_pipe[0], &byte, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || byte == quitByte) {
            return;
        }
        deliverInterrupt();
    }
}

}  // namespace

void startCatching() {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC) == 0) {
        ::fcntl(g_pipe[1], F_SETFL, ::fcntl(g_pipe[1], F_GETFL) | O_NONBLOCK);
    }
    if (g_pipe[0] < 0) {
        return;  // no pipe, no catching: the signals keep their usual effect
    }
    g_watcher = std::thread(watch);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(caughtSignals); ++i) {
        ::sigaction(caughtSignals[i], nullptr, &g_previous[i]);
        // An ignored signal stays ignored: a shell starts background jobs so,
        // that Ctrl+C at the terminal leaves them alone.
        if (g_previous[i].sa_handler != SIG_IGN) {
            ::sigaction(caughtSignals[i], &action, nullptr);
        }
    }
}

void stopCatching() {
    if (!g_watcher.joinable()) {
        return;
    }
    for (std::size_t i = 0; i < std::size(caughtSignals); ++i) {
        ::sigaction(caughtSignals[i], &g_previous[i], nullptr);
    }
    // Interrupts still in the pipe are read, and told, before the quit.
    writeByte(quitByte);
    g_watcher.join();
}

}  // namespace modem::cli::detail

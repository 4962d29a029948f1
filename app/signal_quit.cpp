#include "app/signal_quit.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <iterator>

namespace modem {

namespace {

constexpr int quitSignals[] = {SIGTERM, SIGHUP, SIGINT};

int g_pipe[2] = {-1, -1};
struct sigaction g_previous[std::size(quitSignals)];

extern "C" void onQuitSignal(int signal) {
    const int saved = errno;
    const char number = static_cast<char>(signal);
    // The write end does not block: a full pipe already holds a quit.
    (void)!::write(g_pipe[1], &number, 1);
    errno = saved;
}

}  // namespace

SignalQuit::SignalQuit() {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;  // the signals keep their usual effect
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [] {
        char number = 0;
        if (::read(g_pipe[0], &number, 1) == 1) {
            QCoreApplication::exit(128 + number);
        }
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(quitSignals); ++i) {
        ::sigaction(quitSignals[i], nullptr, &g_previous[i]);
        // An ignored signal stays ignored (SIGINT of a background job, SIGHUP under nohup).
        if (g_previous[i].sa_handler != SIG_IGN) {
            ::sigaction(quitSignals[i], &action, nullptr);
        }
    }
}

SignalQuit::~SignalQuit() {
    if (!m_notifier) {
        return;
    }
    for (std::size_t i = 0; i < std::size(quitSignals); ++i) {
        ::sigaction(quitSignals[i], &g_previous[i], nullptr);
    }
    m_notifier.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace modem

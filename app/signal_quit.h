#pragma once

// SIGTERM, SIGHUP and SIGINT end the program as closing the dialog does: the
// main loop returns, the link is shut down and what the program started (the
// simulated modem of --demo) is stopped, instead of the process vanishing and
// leaving it behind. The signal is noted in its handler and acted on in the
// main loop.

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace modem {

class SignalQuit : public QObject {
public:
    // Catches the signals from now on; one at a time. Each ends the main loop
    // with the exit code 128 + the signal's number, as a shell reports it.
    SignalQuit();
    // Gives the signals their previous handling back.
    ~SignalQuit() override;
    SignalQuit(const SignalQuit&) = delete;
    SignalQuit& operator=(const SignalQuit&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace modem

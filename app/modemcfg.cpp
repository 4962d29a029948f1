#include "app/modemcfg.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <cstdio>
#include <memory>

#include "app/configurator.h"
#include "app/demo_modem.h"
#include "app/qt_platform.h"
#include "app/signal_quit.h"
#include "link/discovery.h"
#include "traffic/traffic_log.h"
#include "ui/system_language.h"

namespace modem {

namespace {

// Calls `action` once, at the dialog's first paint.
class FirstPaintWatcher : public QObject {
public:
    FirstPaintWatcher(MainDialog& dialog, std::function<void(MainDialog&)> action)
        : m_dialog(dialog), m_action(std::move(action)) {
        m_dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_dialog && event->type() == QEvent::Paint && m_action) {
            auto action = std::move(m_action);
            m_action = nullptr;
            m_dialog.removeEventFilter(this);
            // After this paint is over, so that the action sees a drawn dialog.
            MainDialog* dialog = &m_dialog;
            QMetaObject::invokeMethod(
                dialog, [dialog, action] { action(*dialog); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    MainDialog& m_dialog;
    std::function<void(MainDialog&)> m_action;
};

}  // namespace

const char* usageText() {
    return "usage: modemcfg [--port PATH | --demo] [--lang ru|en] [--log FILE] "
           "[--quit-when-shown]\n"
           "       modemcfg --help | --version\n"
           "  (no option)        find the modem by its USB identifiers on every connect\n"
           "  --port PATH        use the serial port PATH instead\n"
           "  --demo             start the simulated modem (modem-sim) and use its port\n"
           "  --lang ru|en       the dialog in Russian or English; without it English only\n"
           "                     where the system's language is English (LC_ALL, LC_MESSAGES,\n"
           "                     LANG), Russian otherwise\n"
           "  --log FILE         append every byte sent and received, and the status lines, to "
           "FILE\n"
           "  --quit-when-shown  close once the dialog has been drawn (start-up check)\n"
           "  --help             print this text and exit\n"
           "  --version          print the version and exit\n";
}

std::variant<StartOptions, UsageError> parseArguments(const QStringList& allArguments) {
    StartOptions options;
    // --log, --lang and the start-up check combine with any of the others, so
    // they are taken out first.
    QStringList arguments;
    int quitFlags = 0;
    for (qsizetype i = 0; i < allArguments.size(); ++i) {
        const QString& a = allArguments.at(i);
        if (a == QLatin1String("--lang") || a.startsWith(QLatin1String("--lang="))) {
            if (options.language) {
                return UsageError{"--lang given more than once"};
            }
            QString name;
            if (a == QLatin1String("--lang")) {
                if (i + 1 >= allArguments.size()) {
                    return UsageError{"--lang needs ru or en"};
                }
                name = allArguments.at(++i);
            } else {
                name = a.mid(7);
            }
            options.language = languageNamed(name.toStdString());
            if (!options.language) {
                return UsageError{"--lang takes ru or en, not '" + name.toStdString() + "'"};
            }
        } else if (a == QLatin1String("--log")) {
            if (i + 1 >= allArguments.size() || allArguments.at(i + 1).isEmpty()) {
                return UsageError{"--log needs a file"};
            }
            options.log = allArguments.at(++i).toStdString();
        } else if (a.startsWith(QLatin1String("--log=")) && a.size() > 6) {
            options.log = a.mid(6).toStdString();
        } else if (a == QLatin1String("--quit-when-shown")) {
            ++quitFlags;
        } else {
            arguments.append(a);
        }
    }
    if (quitFlags > 1) {
        return UsageError{"--quit-when-shown given more than once"};
    }
    options.quitWhenShown = quitFlags == 1;
    if (arguments.isEmpty()) {
        return options;
    }
    const QString& first = arguments.constFirst();
    if (first == QLatin1String("--demo") && arguments.size() == 1) {
        options.source = PortSource::Demo;
        return options;
    }
    if (first == QLatin1String("--port") && arguments.size() == 2 && !arguments.at(1).isEmpty()) {
        options.source = PortSource::Fixed;
        options.port = arguments.at(1).toStdString();
        return options;
    }
    if (first.startsWith(QLatin1String("--port=")) && arguments.size() == 1 && first.size() > 7) {
        options.source = PortSource::Fixed;
        options.port = first.mid(7).toStdString();
        return options;
    }
    if (first == QLatin1String("--port") && arguments.size() == 1) {
        return UsageError{"--port needs a path"};
    }
    return UsageError{"unexpected argument: " + arguments.join(QLatin1Char(' ')).toStdString()};
}

int runModemcfg(const StartOptions& options, const std::function<void(MainDialog&)>& onShown) {
    // From the start, so that a signal during the demo's start is acted on too,
    // once the loop runs; the destructors below then stop the simulator.
    const SignalQuit quitOnSignals;
    DemoModem demo;  // outlives the configurator: the port goes before the modem does
    std::unique_ptr<PortFinder> finder;
    switch (options.source) {
        case PortSource::Discovery:
            finder = std::make_unique<SysfsPortFinder>();
            break;
        case PortSource::Fixed:
            finder = std::make_unique<FixedPortFinder>(options.port);
            break;
        case PortSource::Demo: {
            const QString sim = findModemSim();
            if (sim.isEmpty()) {
                std::fputs("modemcfg: modem-sim not found beside modemcfg or on PATH\n", stderr);
                return 1;
            }
            if (const auto error = demo.start(sim)) {
                std::fprintf(stderr, "modemcfg: %s\n", error->toLocal8Bit().constData());
                return 1;
            }
            finder = std::make_unique<DemoPortFinder>(demo);
            break;
        }
    }

    std::unique_ptr<TrafficLog> log;  // outlives the configurator's link
    if (!options.log.empty()) {
        // A stopped log is worth one message, shown on the dialog's thread; the
        // link goes on.
        OpenedTrafficLog opened =
            TrafficLog::open(options.log, {.onFailure = [](std::string_view message) {
                                 QMetaObject::invokeMethod(
                                     qApp,
                                     [text = std::string(message)] {
                                         QtMessageBox().show(text, "Error", MessageIcon::Warning);
                                     },
                                     Qt::QueuedConnection);
                             }});
        if (!opened.log) {
            std::fprintf(stderr, "modemcfg: %s\n", opened.error.c_str());
            return 1;
        }
        log = std::move(opened.log);
    }

    ConfiguratorSeams seams{std::move(finder)};
    seams.traffic = log.get();
    seams.language = options.language.value_or(systemLanguage());
    Configurator configurator(std::move(seams));
    std::function<void(MainDialog&)> shown = onShown;
    if (!shown && options.quitWhenShown) {
        shown = [](MainDialog& dialog) {
            std::printf("modemcfg: dialog shown: %s\n", dialog.windowTitle().toUtf8().constData());
            std::fflush(stdout);
            dialog.close();
        };
    }
    std::unique_ptr<FirstPaintWatcher> watcher;
    if (shown) {
        watcher = std::make_unique<FirstPaintWatcher>(configurator.dialog(), shown);
    }
    // Closing the dialog ends the program even while a message box, which has
    // no owner, is still open; nested loops end with the main one.
    QObject::connect(&configurator.dialog(), &QDialog::finished, qApp,
                     [] { QApplication::exit(0); });
    configurator.show();
    const int code = QApplication::exec();
    // The receive thread stops before the dialog and the pane go; nothing is sent.
    configurator.shutdown();
    return code;
}

}  // namespace modem

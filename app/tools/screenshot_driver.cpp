// Drives the dialog for the screenshot: connects to modem-sim, presses
// "Считать", waits for the report, presses "Скопир." and saves the window as a
// PNG. Xvfb runs no window manager, so the title bar is drawn by the same
// style as the dialog, from the dialog's own caption, icon and buttons.
//
// usage: modemcfg_screenshot OUTPUT.png [ru|en]

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QStyleOptionTitleBar>
#include <QThread>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/configurator.h"
#include "app/demo_modem.h"
#include "link/discovery.h"
#include "ui/control_table.h"
#include "ui/system_language.h"

namespace {

using modem::Configurator;

// Runs the event loop until `done` holds or `timeoutMs` passes.
template <typename Predicate>
bool waitFor(Predicate done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Waits until the pane has text and has not changed for `quietMs`.
bool waitForQuietPane(modem::TerminalPane& pane, int quietMs, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer quiet;
    quiet.start();
    std::uint64_t seen = pane.changeCount();
    while (clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
        if (pane.changeCount() != seen) {
            seen = pane.changeCount();
            quiet.restart();
        } else if (quiet.elapsed() >= quietMs && !pane.snapshot().empty()) {
            return true;
        }
    }
    return false;
}

void press(Configurator& configurator, int id) {
    qobject_cast<QAbstractButton*>(configurator.dialog().control(id))->click();
}

QImage withTitleBar(QWidget& window) {
    const QPixmap client = window.grab();
    QStyleOptionTitleBar bar;
    bar.initFrom(&window);
    bar.text = window.windowTitle();
    bar.icon = window.windowIcon();
    bar.titleBarFlags = window.windowFlags();
    bar.titleBarState = Qt::WindowActive;
    bar.state |= QStyle::State_Active;
    bar.subControls = QStyle::SC_All;
    const int barHeight = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, &window);
    const int border = 3;
    QImage image(client.width() + 2 * border, client.height() + barHeight + 2 * border,
                 QImage::Format_RGB32);
    QPainter painter(&image);
    QStyleOptionFrame frame;
    frame.initFrom(&window);
    frame.rect = image.rect();
    frame.lineWidth = border;
    painter.fillRect(image.rect(), window.palette().window());
    window.style()->drawPrimitive(QStyle::PE_FrameWindow, &frame, &painter, &window);
    bar.rect = QRect(border, border, client.width(), barHeight);
    painter.translate(bar.rect.topLeft());
    bar.rect.moveTopLeft(QPoint(0, 0));
    window.style()->drawComplexControl(QStyle::CC_TitleBar, &bar, &painter, &window);
    painter.resetTransform();
    painter.drawPixmap(border, border + barHeight, client);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::optional<modem::Language> language =
        argc == 3 ? modem::languageNamed(argv[2]) : modem::Language::Russian;
    if ((argc != 2 && argc != 3) || !language) {
        std::fputs("usage: modemcfg_screenshot OUTPUT.png [ru|en]\n", stderr);
        return 2;
    }
    modem::applyDialogStyle();

    modem::DemoModem demo;
    const QString sim = modem::findModemSim();
    if (sim.isEmpty()) {
        std::fputs("modemcfg_screenshot: modem-sim not found\n", stderr);
        return 1;
    }
    if (const auto error = demo.start(sim)) {
        std::fprintf(stderr, "modemcfg_screenshot: %s\n", error->toLocal8Bit().constData());
        return 1;
    }
    modem::ConfiguratorSeams seams{
        std::make_unique<modem::FixedPortFinder>(demo.portPath().toStdString())};
    seams.language = *language;
    Configurator configurator(std::move(seams));
    configurator.show();
    if (!waitFor([&] { return configurator.dialog().isVisible(); }, 5000)) {
        std::fputs("modemcfg_screenshot: the dialog did not appear\n", stderr);
        return 1;
    }

    press(configurator, modem::ids::connectButton);
    if (!waitFor([&] { return configurator.link().connected(); }, 5000)) {
        std::fputs("modemcfg_screenshot: could not connect to modem-sim\n", stderr);
        return 1;
    }
    waitForQuietPane(configurator.pane(), 300, 5000);
    press(configurator, modem::ids::readSettingsButton);
    if (!waitForQuietPane(configurator.pane(), 500, 15000)) {
        std::fputs("modemcfg_screenshot: no report arrived\n", stderr);
        return 1;
    }
    press(configurator, modem::ids::copyReportButton);
    configurator.paneView().refresh();
    // Focus where the dialog starts it, not on the last button pressed.
    configurator.dialog().control(modem::ids::vhfToneField)->setFocus();
    waitFor([] { return false; }, 200);

    const QImage image = withTitleBar(configurator.dialog());
    configurator.shutdown();
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "modemcfg_screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

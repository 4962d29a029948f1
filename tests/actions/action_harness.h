#pragma once

// Everything a button action touches, wired as the dialog wires it, with the
// in-memory form, recording platform fakes and a link whose port records the
// bytes written.

#include <memory>
#include <string>

#include "actions/recording_port.h"
#include "link/discovery.h"
#include "link/link.h"
#include "link/terminal_pane.h"
#include "settings/mset.h"
#include "support/manual_timer.h"
#include "support/queue_dispatcher.h"
#include "support/recording_message_box.h"
#include "support/scripted_file_chooser.h"
#include "ui/button_actions.h"
#include "ui/form_init.h"
#include "ui/form_model.h"
#include "ui/link_caption.h"

namespace modem::test {

struct ActionHarness {
    std::shared_ptr<PortRecord> port = std::make_shared<PortRecord>();
    FormModel form;
    Mset mset{};
    TerminalPane pane;
    ManualTimer timer;
    QueueDispatcher dispatcher;
    RecordingMessageBox messages;
    ScriptedFileChooser files;
    FixedPortFinder finder{"/dev/fake-modem"};
    Link link{LinkContext{
        .pane = pane,
        .messages = messages,
        .timer = timer,
        .dispatcher = dispatcher,
        .finder = finder,
        .makePort = [record = port] { return std::make_unique<RecordingPort>(record); },
        .stateChanged = showLinkState(form),
    }};
    ActionContext ctx{mset, form, pane, link, files, messages};

    ActionHarness() { initialiseForm(form, mset); }

    // Connects and forgets the connect's own "+cfge\r" and status lines.
    void connect() {
        link.toggleConnection();
        port->writes.clear();
        pane.clearTerminal();
    }

    void press(int id) { dispatchCommand(ctx, id); }

    void fillPane(std::string_view bytes) {
        for (const char c : bytes) {
            pane.appendChar(static_cast<unsigned char>(c));
        }
    }
};

}  // namespace modem::test

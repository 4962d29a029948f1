#pragma once

// Everything a button action touches, wired as the dialog wires it, with the
// in-memory form, recording platform fakes and a link whose port records the
// bytes written.

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
#include "ui/control_table.h"
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

// Every control's text and selection: "the form as the operator left it".
inline std::vector<std::pair<std::string, int>> formState(const FormModel& form) {
    std::vector<std::pair<std::string, int>> state;
    for (const ControlTemplate& ctl : dialogControls()) {
        state.emplace_back(form.text(ctl.id), form.selection(ctl.id));
    }
    return state;
}

// The channel table with the first `from` at or after line `line` made `to`.
inline void editTable(FormModel& form, std::size_t line, std::string_view from,
                      std::string_view to) {
    std::string text = form.text(ids::channelTable);
    const std::size_t at = text.find(from, 30 * line);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    form.replaceText(ids::channelTable, std::numeric_limits<std::size_t>::max(), text);
}

}  // namespace modem::test

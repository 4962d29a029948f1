#include "app/configurator.h"

#include <QPlainTextEdit>
#include <stdexcept>

#include "ui/control_table.h"
#include "ui/form_init.h"
#include "ui/link_caption.h"

namespace modem {

Configurator::Configurator(ConfiguratorSeams seams)
    : m_finder(std::move(seams.finder)),
      m_dialog(std::make_unique<MainDialog>(seams.language)),
      m_form(*m_dialog, &m_pane) {
    if (!m_finder) {
        throw std::invalid_argument("Configurator needs a port finder");
    }
    MessageBox& messages = seams.messages != nullptr ? *seams.messages : m_qtMessages;
    FileChooser& files = seams.files != nullptr ? *seams.files : m_qtFiles;

    auto* paneWidget = qobject_cast<QPlainTextEdit*>(m_dialog->control(ids::terminalPane));
    m_paneView = std::make_unique<PaneView>(*paneWidget, m_pane);

    m_link = std::make_unique<Link>(LinkContext{m_pane, messages, m_timer, m_dispatcher, *m_finder,
                                                std::move(seams.makePort), showLinkState(m_form),
                                                seams.traffic});
    m_actions = std::make_unique<ActionContext>(
        ActionContext{m_mset, m_form, m_pane, *m_link, files, messages, seams.language});
    m_dialog->setCommandHandler([this](int id) { dispatchCommand(*m_actions, id); });

    initialiseForm(m_form, m_mset);
    m_dialog->control(dialogTemplate().firstFocus)->setFocus(Qt::OtherFocusReason);
}

Configurator::~Configurator() {
    shutdown();
}

void Configurator::show() {
    m_dialog->show();
    m_dialog->centreOnScreen();
}

void Configurator::shutdown() {
    if (m_link) {
        m_link->shutdown();
    }
}

}  // namespace modem

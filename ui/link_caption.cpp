#include "ui/link_caption.h"

#include "ui/control_table.h"

namespace modem {

std::string_view connectionCaption(LinkState state) {
    return state == LinkState::Down ? "Connect" : "Disconnect";
}

std::function<void(LinkState)> showLinkState(Form& form) {
    return
        [&form](LinkState state) { form.setCaption(ids::connectButton, connectionCaption(state)); };
}

}  // namespace modem

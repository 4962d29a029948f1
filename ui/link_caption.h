#pragma once

// The connection button shows the link's state: "Connect" while it is down,
// "Disconnect" while it is up or closing. Front ends hand showLinkState() to
// the link as its state listener.

#include <functional>
#include <string_view>

#include "link/link.h"
#include "ui/form.h"

namespace modem {

[[nodiscard]] std::string_view connectionCaption(LinkState state);

// A listener for LinkContext::stateChanged that sets the caption of the
// connection button on `form`, which must outlive the link.
[[nodiscard]] std::function<void(LinkState)> showLinkState(Form& form);

}  // namespace modem

#include "ui/form.h"

#include <algorithm>

namespace modem {

std::string replacedLeadingText(std::string_view current, std::size_t clearCount,
                                std::string_view text, std::size_t limit) {
    const std::string_view kept = current.substr(std::min(clearCount, current.size()));
    std::size_t room = text.size();
    if (limit != 0) {
        // Characters kept beyond the cleared ones count against the limit too.
        room = limit > kept.size() ? limit - kept.size() : 0;
    }
    std::string result(text.substr(0, std::min(room, text.size())));
    result += kept;
    return result;
}

}  // namespace modem

#pragma once

// A form that keeps only captions, for the link's tests.

#include <map>
#include <string>
#include <string_view>

#include "ui/form.h"

namespace modem::test {

class CaptionForm : public Form {
public:
    void replaceText(int, std::size_t, std::string_view) override {}
    std::string readText(int, std::size_t) const override { return {}; }
    void setSelection(int, int) override {}
    int selection(int) const override { return 0; }
    void setCaption(int id, std::string_view text) override { m_captions[id] = text; }
    std::string caption(int id) const override {
        auto it = m_captions.find(id);
        return it == m_captions.end() ? "Connect" : it->second;
    }

private:
    std::map<int, std::string> m_captions;
};

}  // namespace modem::test

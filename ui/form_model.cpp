#include "ui/form_model.h"

#include <algorithm>

#include "ui/control_table.h"
#include "ui/cp1251.h"

namespace modem {

namespace {

bool isEditKind(ControlKind kind) {
    return kind == ControlKind::NumberField || kind == ControlKind::TextField ||
           kind == ControlKind::MultiLineField;
}

}  // namespace

FormModel::FormModel() {
    for (const ControlTemplate& ctl : dialogControls()) {
        Control c;
        // The limit is set after the template text is in place, so a template
        // text longer than its limit (4107's "1000") is not cut.
        c.text = utf8ToCp1251(ctl.text);
        c.limit = ctl.textLimit;
        c.editable = isEditKind(ctl.kind);
        c.digitsOnly = ctl.digitsOnly;
        c.isList = ctl.kind == ControlKind::List;
        m_controls.emplace(ctl.id, std::move(c));
    }
    for (const ListTemplate& list : dialogLists()) {
        Control* c = find(list.id);
        if (c == nullptr) {
            continue;
        }
        for (const std::string& item : list.items) {
            c->items.push_back(utf8ToCp1251(item));
        }
    }
}

const FormModel::Control* FormModel::find(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : &it->second;
}

FormModel::Control* FormModel::find(int id) {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : &it->second;
}

void FormModel::replaceText(int id, std::size_t clearCount, std::string_view text) {
    Control* c = find(id);
    if (c == nullptr) {
        return;
    }
    c->text = replacedLeadingText(c->text, clearCount, text, c->limit);
}

std::string FormModel::readText(int id, std::size_t maxCount) const {
    const Control* c = find(id);
    if (c == nullptr) {
        return {};
    }
    return c->text.substr(0, std::min(maxCount, c->text.size()));
}

void FormModel::setSelection(int id, int index) {
    Control* c = find(id);
    if (c == nullptr || !c->isList) {
        return;
    }
    const bool inside = index >= 0 && static_cast<std::size_t>(index) < c->items.size();
    c->selected = inside ? index : -1;
}

int FormModel::selection(int id) const {
    const Control* c = find(id);
    // Asking a control that is no list (or does not exist) for its selection
    // gets no answer, which reads as 0.
    if (c == nullptr || !c->isList) {
        return 0;
    }
    return c->selected;
}

void FormModel::setCaption(int id, std::string_view text) {
    if (Control* c = find(id); c != nullptr && !c->isList) {
        c->text = std::string(text);
    }
}

std::string FormModel::caption(int id) const {
    const Control* c = find(id);
    return c == nullptr || c->isList ? std::string{} : c->text;
}

std::string FormModel::text(int id) const {
    const Control* c = find(id);
    return c == nullptr ? std::string{} : c->text;
}

bool FormModel::setText(int id, std::string_view text) {
    Control* c = find(id);
    if (c == nullptr || !c->editable) {
        return false;
    }
    if (c->digitsOnly &&
        !std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
        return false;
    }
    c->text = std::string(text.substr(0, c->limit == 0 ? text.size() : c->limit));
    return true;
}

std::span<const std::string> FormModel::items(int id) const {
    const Control* c = find(id);
    if (c == nullptr) {
        return {};
    }
    return c->items;
}

bool FormModel::hasControl(int id) const {
    return find(id) != nullptr;
}

}  // namespace modem

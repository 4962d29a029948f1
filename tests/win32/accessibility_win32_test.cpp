// modemcfg.exe as a screen reader sees it: each control's accessible object,
// fetched from the running program through the accessibility API, has a name,
// no other control's name, a list is not named by one of its items, the
// description is the table's, and the focus starts on the connection button.
//
// Run by the Windows test script, which names the program in MODEMCFG_EXE.

#include <gtest/gtest.h>

#include "win32/windows_api.h"

#include <oleacc.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/utf8_win32.h"
#include "tests/win32/child_process.h"
#include "tests/win32/dialog_harness.h"
#include "ui/control_names.h"
#include "ui/control_table.h"
#include "win32/com_apartment.h"
#include "win32/wide_text.h"

namespace modem::test {
namespace {

using namespace std::chrono_literals;

std::string utf8(const std::wstring& text) {
    return narrowUtf8(text.data(), text.size());
}

struct AccessibleRelease {
    void operator()(IAccessible* object) const { object->Release(); }
};
using Accessible = std::unique_ptr<IAccessible, AccessibleRelease>;

Accessible clientObject(HWND window) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&object)))) {
        return nullptr;
    }
    return Accessible(object);
}

VARIANT self() {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = CHILDID_SELF;
    return child;
}

// A string property of the object itself; empty when it has none.
template <typename Getter>
std::wstring textOf(IAccessible& object, Getter getter) {
    BSTR text = nullptr;
    if (FAILED((object.*getter)(self(), &text)) || text == nullptr) {
        return {};
    }
    std::wstring out(text, SysStringLen(text));
    SysFreeString(text);
    return out;
}

LONG stateOf(IAccessible& object) {
    VARIANT state;
    VariantInit(&state);
    if (FAILED(object.get_accState(self(), &state)) || state.vt != VT_I4) {
        return 0;
    }
    return state.lVal;
}

TEST(AccessibleNames, EveryControlOfTheRunningProgramIsNamedOnce) {
    const std::wstring exe = environmentWide(L"MODEMCFG_EXE");
    if (exe.empty()) {
        GTEST_SKIP() << "MODEMCFG_EXE names the program";
    }
    const ComApartment com;
    ASSERT_TRUE(com.ready());
    // A port that is never opened: nothing here connects.
    const ChildProcess program(exe, {L"--port", L"COM99"});
    ASSERT_TRUE(program.started());
    const std::u16string caption = utf8ToWide(dialogTemplate().caption);
    HWND dialog = nullptr;
    ASSERT_TRUE(waitFor(
        [&] { return (dialog = windowOfThread(program.threadId(), caption)) != nullptr; }, 20s))
        << "no dialog";
    // As the shell does with a new window.
    SetForegroundWindow(dialog);
    ASSERT_TRUE(waitFor([&] { return GetForegroundWindow() == dialog; }));

    std::map<std::wstring, int> owners;
    std::vector<int> focused;
    for (const ControlTemplate& ctl : dialogControls()) {
        SCOPED_TRACE(ctl.id);
        const Accessible object = clientObject(GetDlgItem(dialog, ctl.id));
        ASSERT_NE(object, nullptr);
        const std::wstring name = textOf(*object, &IAccessible::get_accName);
        EXPECT_EQ(utf8(name), accessibleName(ctl.id));
        EXPECT_FALSE(name.empty());
        const auto [owner, fresh] = owners.emplace(name, ctl.id);
        EXPECT_TRUE(fresh) << "\"" << utf8(name) << "\" also names " << owner->second;
        if (const ListTemplate* list = findList(ctl.id)) {
            for (const std::string& item : list->items) {
                EXPECT_NE(utf8(name), item) << "named by its item";
            }
        }
        const ControlName* row = findControlName(ctl.id);
        ASSERT_NE(row, nullptr);
        if (!row->description.empty()) {
            EXPECT_EQ(utf8(textOf(*object, &IAccessible::get_accDescription)), row->description);
        }
        if ((stateOf(*object) & STATE_SYSTEM_FOCUSED) != 0) {
            focused.push_back(ctl.id);
        }
    }
    EXPECT_EQ(focused, std::vector<int>{ids::connectButton});
}

}  // namespace
}  // namespace modem::test

#pragma once

// The names and descriptions of the names table, given to every control of the
// dialog for assistive technology. The system's annotation service adds them to
// each control's standard accessible object, so the controls keep their
// creation order, tab order and hit-testing. Where that service refuses (Wine
// has none), each control answers the query for its accessible object itself,
// with its standard object under the table's name and description.
//
// Needs COM on the dialog's thread.

#include "win32/windows_api.h"

#include "ui/translations.h"

#include <memory>
#include <string>
#include <vector>

struct IAccPropServices;

namespace modem {

class AccessibleNames {
public:
    enum class Route {
        None,        // nothing named yet, or named and taken back
        Annotation,  // the system's annotation service carries the names
        Answer       // the controls answer for themselves
    };

    AccessibleNames() = default;
    ~AccessibleNames();
    AccessibleNames(const AccessibleNames&) = delete;
    AccessibleNames& operator=(const AccessibleNames&) = delete;

    // Names every control of `dialog` that the table names, in `language`.
    void attach(HWND dialog, Language language);
    // Takes the names back while the controls still exist.
    void detach();

    [[nodiscard]] Route route() const { return m_route; }

    // Wide copies of one control's texts; empty where the table leaves the
    // name to the caption or gives no description.
    struct Texts {
        HWND control = nullptr;
        std::wstring name;
        std::wstring description;
    };

private:
    [[nodiscard]] bool annotate();
    void answer();

    struct ServicesRelease {
        void operator()(IAccPropServices* services) const;
    };

    Route m_route = Route::None;
    std::vector<Texts> m_texts;  // fixed once attached: controls point into it
    std::unique_ptr<IAccPropServices, ServicesRelease> m_services;
};

}  // namespace modem

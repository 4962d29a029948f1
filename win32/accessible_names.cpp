#include "win32/accessible_names.h"

#include <commctrl.h>
#include <initguid.h>  // the annotation property ids are defined here, once
#include <oleacc.h>

#include <array>

#include "ui/control_names.h"
#include "ui/control_table.h"
#include "win32/wide_text.h"

namespace modem {

namespace {

constexpr UINT_PTR answerSubclassId = 2;

std::wstring wide(std::string_view utf8) {
    const std::u16string text = utf8ToWide(utf8);
    return {text.begin(), text.end()};
}

bool isSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

HRESULT giveString(const std::wstring& text, BSTR* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// A control's standard accessible object under the table's name and
// description; everything else is the standard object's own. A COM object: it
// is created with one reference and deletes itself at the last Release.
class NamedAccessible final : public IAccessible {
public:
    NamedAccessible(IAccessible* standard, const AccessibleNames::Texts& texts)
        : m_standard(standard), m_texts(texts) {}

    NamedAccessible(const NamedAccessible&) = delete;
    NamedAccessible& operator=(const NamedAccessible&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IID_IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_references); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return m_standard->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return m_standard->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return m_standard->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override {
        return m_standard->Invoke(id, iid, locale, flags, parameters, result, exception,
                                  badArgument);
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (isSelf(child) && !m_texts.name.empty()) {
            return giveString(m_texts.name, name);
        }
        return m_standard->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (isSelf(child) && !m_texts.description.empty()) {
            return giveString(m_texts.description, description);
        }
        return m_standard->get_accDescription(child, description);
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return m_standard->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        return m_standard->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return m_standard->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return m_standard->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return m_standard->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return m_standard->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return m_standard->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return m_standard->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return m_standard->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return m_standard->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return m_standard->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        return m_standard->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return m_standard->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return m_standard->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return m_standard->put_accValue(child, value);
    }

private:
    ~NamedAccessible() { m_standard->Release(); }

    IAccessible* m_standard;  // one reference, ours
    const AccessibleNames::Texts m_texts;
    LONG m_references = 1;
};

// Answers a query for the control's client object with its named standard
// object; every other message, and any failure, is the control's as before.
LRESULT CALLBACK answerWithName(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                UINT_PTR /*id*/, DWORD_PTR data) {
    // The object id arrives as a 32-bit value, sign- or zero-extended.
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        const auto* texts = reinterpret_cast<const AccessibleNames::Texts*>(data);
        IAccessible* standard = nullptr;
        if (SUCCEEDED(CreateStdAccessibleObject(window, OBJID_CLIENT, IID_IAccessible,
                                                reinterpret_cast<void**>(&standard)))) {
            auto* named = new NamedAccessible(standard, *texts);
            const LRESULT result = LresultFromObject(IID_IAccessible, wParam, named);
            named->Release();
            if (result > 0) {
                return result;
            }
        }
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

void AccessibleNames::ServicesRelease::operator()(IAccPropServices* services) const {
    services->Release();
}

AccessibleNames::~AccessibleNames() {
    detach();
}

void AccessibleNames::attach(HWND dialog, Language language) {
    detach();
    for (const ControlName& row : controlNames(language)) {
        const HWND control = GetDlgItem(dialog, row.id);
        if (control != nullptr && (!row.name.empty() || !row.description.empty())) {
            m_texts.push_back({control, wide(row.name), wide(row.description)});
        }
    }
    if (annotate()) {
        m_route = Route::Annotation;
    } else {
        answer();
        m_route = Route::Answer;
    }
}

bool AccessibleNames::annotate() {
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
        return false;
    }
    m_services.reset(services);
    const auto give = [this](HWND control, const MSAAPROPID& property, const std::wstring& text) {
        return text.empty() || SUCCEEDED(m_services->SetHwndPropStr(
                                   control, OBJID_CLIENT, CHILDID_SELF, property, text.c_str()));
    };
    // The controls that took their texts before one refused; the rest never did.
    std::size_t given = 0;
    while (given < m_texts.size() &&
           give(m_texts[given].control, PROPID_ACC_NAME, m_texts[given].name) &&
           give(m_texts[given].control, PROPID_ACC_DESCRIPTION, m_texts[given].description)) {
        ++given;
    }
    const bool annotated = given == m_texts.size();
    if (!annotated) {
        // The controls answer for themselves from here on; what the service
        // took is taken back (a refused description may follow a given name).
        const std::array properties{PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION};
        for (std::size_t i = 0; i <= given; ++i) {
            (void)m_services->ClearHwndProps(m_texts[i].control, OBJID_CLIENT, CHILDID_SELF,
                                             properties.data(),
                                             static_cast<int>(properties.size()));
        }
        m_services.reset();
    }
    return annotated;
}

void AccessibleNames::answer() {
    for (const Texts& texts : m_texts) {
        SetWindowSubclass(texts.control, answerWithName, answerSubclassId,
                          reinterpret_cast<DWORD_PTR>(&texts));
    }
}

void AccessibleNames::detach() {
    const std::array properties{PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION};
    for (const Texts& texts : m_texts) {
        if (m_route == Route::Annotation && m_services) {
            (void)m_services->ClearHwndProps(texts.control, OBJID_CLIENT, CHILDID_SELF,
                                             properties.data(),
                                             static_cast<int>(properties.size()));
        } else if (m_route == Route::Answer && IsWindow(texts.control)) {
            RemoveWindowSubclass(texts.control, answerWithName, answerSubclassId);
        }
    }
    m_services.reset();
    m_texts.clear();
    m_route = Route::None;
}

}  // namespace modem

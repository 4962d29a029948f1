#include "win32/com_apartment.h"

#include "win32/windows_api.h"

#include <objbase.h>

namespace modem {

ComApartment::ComApartment() {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: already initialised the same way, still counted and undone.
    m_owned = SUCCEEDED(result);
    // RPC_E_CHANGED_MODE: the thread already lives in another apartment.
    m_ready = m_owned || result == RPC_E_CHANGED_MODE;
}

ComApartment::~ComApartment() {
    if (m_owned) {
        CoUninitialize();
    }
}

}  // namespace modem

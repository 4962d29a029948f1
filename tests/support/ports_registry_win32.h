#pragma once

// Serial ports made for a test where the program looks for them: names in the
// system's serial map (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) and devices of the
// Ports class registered with the device installer, each taken away again
// when the test ends. Both need rights a test has under Wine and an
// administrator has on Windows; available() tells.

#include <windows.h>
// After <windows.h>, which it needs.
#include <setupapi.h>

#include <string>
#include <vector>

#include "platform/utf8_win32.h"

namespace modem::test {

inline constexpr wchar_t serialMapKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Every port name of the serial map, in the registry's order, read here
// independently of the program.
inline std::vector<std::string> serialMapNames() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, serialMapKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    DWORD count = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    for (DWORD i = 0; i < count; ++i) {
        wchar_t value[256];
        DWORD valueLength = 256;
        wchar_t data[256] = {};
        DWORD size = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        if (RegEnumValueW(key, i, value, &valueLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
            const std::wstring name(data);
            names.push_back(narrowUtf8(name.data(), name.size()));
        }
    }
    RegCloseKey(key);
    return names;
}

// Names added to the serial map as a driver adds its ports'; removed again.
class SerialMapEntries {
public:
    SerialMapEntries() {
        m_ok = RegCreateKeyExW(HKEY_LOCAL_MACHINE, serialMapKey, 0, nullptr, REG_OPTION_VOLATILE,
                               KEY_READ | KEY_SET_VALUE, nullptr, &m_key, nullptr) == ERROR_SUCCESS;
    }
    ~SerialMapEntries() {
        for (const std::wstring& value : m_values) {
            RegDeleteValueW(m_key, value.c_str());
        }
        if (m_ok) {
            RegCloseKey(m_key);
        }
    }
    SerialMapEntries(const SerialMapEntries&) = delete;
    SerialMapEntries& operator=(const SerialMapEntries&) = delete;

    [[nodiscard]] bool available() const { return m_ok; }

    bool add(const std::string& portName) {
        if (!m_ok) {
            return false;
        }
        const std::wstring value = L"\\Device\\ModemTest" + std::to_wstring(m_values.size());
        const std::wstring data = widenUtf8(portName);
        if (RegSetValueExW(
                m_key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
            return false;
        }
        m_values.push_back(value);
        return true;
    }

private:
    HKEY m_key = nullptr;
    bool m_ok = false;
    std::vector<std::wstring> m_values;
};

// Devices of the Ports class, as a driver's installation leaves them: a first
// hardware identifier and a "PortName" in the device key. Removed again.
class PortsClassDevices {
public:
    PortsClassDevices() : m_set(SetupDiCreateDeviceInfoList(&portsClass, nullptr)) {}
    ~PortsClassDevices() {
        for (SP_DEVINFO_DATA& device : m_devices) {
            SetupDiRemoveDevice(m_set, &device);
        }
        if (m_set != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(m_set);
        }
    }
    PortsClassDevices(const PortsClassDevices&) = delete;
    PortsClassDevices& operator=(const PortsClassDevices&) = delete;

    // Registers a present device; false when the installer refused.
    bool add(const std::string& hardwareId, const std::string& portName) {
        if (m_set == INVALID_HANDLE_VALUE) {
            return false;
        }
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!SetupDiCreateDeviceInfoW(m_set, L"MODEMTEST", &portsClass, nullptr, nullptr,
                                      DICD_GENERATE_ID, &device)) {
            return false;
        }
        // A list of strings: the identifier, its end, the list's end.
        std::wstring ids = widenUtf8(hardwareId);
        ids.append(2, L'\0');
        bool ok = SetupDiSetDeviceRegistryPropertyW(
                      m_set, &device, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
                      static_cast<DWORD>(ids.size() * sizeof(wchar_t))) &&
                  SetupDiRegisterDeviceInfo(m_set, &device, 0, nullptr, nullptr, nullptr);
        if (ok) {
            m_devices.push_back(device);
            HKEY key = SetupDiCreateDevRegKeyW(m_set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                               nullptr, nullptr);
            ok = key != INVALID_HANDLE_VALUE && key != nullptr;
            if (ok) {
                const std::wstring name = widenUtf8(portName);
                ok = RegSetValueExW(
                         key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                         static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
                RegCloseKey(key);
            }
        }
        return ok;
    }

private:
    static constexpr GUID portsClass = {
        0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

    HDEVINFO m_set;
    std::vector<SP_DEVINFO_DATA> m_devices;
};

}  // namespace modem::test

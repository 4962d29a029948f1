// The modem's port through SetupAPI: the present devices of the Ports class,
// each one's first hardware identifier and the "PortName" of its device key; a
// match is restarted with DIF_PROPERTYCHANGE.

#include <windows.h>
// After <windows.h>, which they need.
#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/installer_port_finder.h"
#include "platform/system_error_win32.h"
#include "platform/utf8_win32.h"

namespace modem {

namespace {

// The setup class of serial and parallel ports, spelled out so that no GUID
// library is needed.
constexpr GUID portsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// A string read from the registry or the installer: up to its first NUL, and
// never past the bytes that were filled in, terminated or not.
std::string fromBuffer(const std::vector<wchar_t>& buffer, DWORD bytes) {
    const std::size_t chars = std::min<std::size_t>(bytes / sizeof(wchar_t), buffer.size());
    std::size_t length = 0;
    while (length < chars && buffer[length] != L'\0') {
        ++length;
    }
    return narrowUtf8(buffer.data(), length);
}

class SetupApiInstaller final : public DeviceInstaller {
public:
    explicit SetupApiInstaller(std::chrono::milliseconds portWait) : m_portWait(portWait) {}
    ~SetupApiInstaller() override { release(); }
    SetupApiInstaller(const SetupApiInstaller&) = delete;
    SetupApiInstaller& operator=(const SetupApiInstaller&) = delete;

    std::vector<InstalledPort> presentPorts() override {
        release();
        m_list = SetupDiGetClassDevsW(&portsClass, nullptr, nullptr, DIGCF_PRESENT);
        std::vector<InstalledPort> ports;
        if (m_list == INVALID_HANDLE_VALUE) {
            return ports;
        }
        for (DWORD index = 0;; ++index) {
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof device;
            if (!SetupDiEnumDeviceInfo(m_list, index, &device)) {
                break;
            }
            m_devices.push_back(device);
            ports.push_back({.hardwareId = firstHardwareId(device),
                             .portName = portName(device),
                             .instanceId = instanceId(device.DevInst),
                             .parentInstanceId = parentInstanceId(device.DevInst),
                             .location = location(device)});
        }
        return ports;
    }

    RestartResult restart(std::size_t index, std::string_view name) override {
        if (index >= m_devices.size()) {
            return {"no such device in the list"};
        }
        SP_PROPCHANGE_PARAMS params{};
        params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
        params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
        params.StateChange = DICS_PROPCHANGE;
        params.Scope = DICS_FLAG_CONFIGSPECIFIC;
        params.HwProfile = 0;
        SP_DEVINFO_DATA& device = m_devices[index];
        if (!SetupDiSetClassInstallParamsW(m_list, &device, &params.ClassInstallHeader,
                                           sizeof params)) {
            const DWORD error = GetLastError();
            return {restartSkipReason(error, errorText("SetupDiSetClassInstallParams", error))};
        }
        // Refused without administrator rights, and always to a 32-bit program
        // on 64-bit Windows; the port is then opened as it is.
        if (!SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, m_list, &device)) {
            const DWORD error = GetLastError();
            return {restartSkipReason(error, errorText("SetupDiCallClassInstaller", error))};
        }
        waitForPort(name);
        return {};
    }

private:
    void release() {
        m_devices.clear();
        if (m_list != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(m_list);
            m_list = INVALID_HANDLE_VALUE;
        }
    }

    // The first string of a device property (a single string or a list).
    std::string firstString(SP_DEVINFO_DATA& device, DWORD property) {
        std::vector<wchar_t> buffer(1024, L'\0');
        DWORD type = 0;
        DWORD needed = 0;
        if (!SetupDiGetDeviceRegistryPropertyW(
                m_list, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()),
                static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &needed)) {
            return {};
        }
        return fromBuffer(buffer, static_cast<DWORD>(buffer.size() * sizeof(wchar_t)));
    }

    // The first of the device's hardware identifiers (a list of strings).
    std::string firstHardwareId(SP_DEVINFO_DATA& device) {
        return firstString(device, SPDRP_HARDWAREID);
    }

    // Where the device sits: the location path names every hub port from the
    // root; older systems only have the short location information.
    std::string location(SP_DEVINFO_DATA& device) {
        std::string path = firstString(device, SPDRP_LOCATION_PATHS);
        return path.empty() ? firstString(device, SPDRP_LOCATION_INFORMATION) : path;
    }

    static std::string instanceId(DEVINST devInst) {
        std::vector<wchar_t> buffer(MAX_DEVICE_ID_LEN + 1, L'\0');
        if (CM_Get_Device_IDW(devInst, buffer.data(), static_cast<ULONG>(buffer.size()), 0) !=
            CR_SUCCESS) {
            return {};
        }
        return fromBuffer(buffer, static_cast<DWORD>(buffer.size() * sizeof(wchar_t)));
    }

    static std::string parentInstanceId(DEVINST devInst) {
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, devInst, 0) != CR_SUCCESS) {
            return {};
        }
        return instanceId(parent);
    }

    std::optional<std::string> portName(SP_DEVINFO_DATA& device) {
        HKEY key = SetupDiOpenDevRegKey(m_list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE || key == nullptr) {
            return std::nullopt;
        }
        std::vector<wchar_t> buffer(260, L'\0');
        DWORD type = REG_SZ;
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LSTATUS status = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                                reinterpret_cast<BYTE*>(buffer.data()), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return std::nullopt;
        }
        return fromBuffer(buffer, size);
    }

    // A restarted port's name returns once its driver has started again; the
    // open that follows would fail before that.
    void waitForPort(std::string_view name) const {
        const std::wstring device = widenUtf8(name);
        const auto until = std::chrono::steady_clock::now() + m_portWait;
        wchar_t target[512];
        while (QueryDosDeviceW(device.c_str(), target, 512) == 0 &&
               std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::chrono::milliseconds m_portWait;
    HDEVINFO m_list = INVALID_HANDLE_VALUE;
    std::vector<SP_DEVINFO_DATA> m_devices;  // by index of the last listing
};

// The names of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: every serial port the system
// has started, also those no installer lists (Wine's, some virtual ports).
std::vector<std::string> serialMapNames() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD nameLength = 256;
        std::vector<wchar_t> data(256, L'\0');
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LSTATUS status = RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_MORE_DATA) {
            continue;  // not a port name of any sensible length
        }
        if (status != ERROR_SUCCESS) {
            break;
        }
        if (type == REG_SZ) {
            names.push_back(fromBuffer(data, size));
        }
    }
    RegCloseKey(key);
    return names;
}

}  // namespace

std::unique_ptr<PortFinder> makeSystemPortFinder(const std::filesystem::path& /*sysfsRoot*/) {
    return std::make_unique<InstallerPortFinder>(
        std::make_unique<SetupApiInstaller>(std::chrono::seconds(3)));
}

std::vector<ModemPort> findModems(const std::filesystem::path& /*sysfsRoot*/,
                                  const std::filesystem::path& /*devRoot*/) {
    SetupApiInstaller installer(std::chrono::milliseconds(0));
    return installedModems(installer.presentPorts());
}

std::vector<PortInfo> listSerialPorts(const std::filesystem::path& /*sysfsRoot*/) {
    SetupApiInstaller installer(std::chrono::milliseconds(0));
    return installedPortList(installer.presentPorts(), serialMapNames());
}

}  // namespace modem

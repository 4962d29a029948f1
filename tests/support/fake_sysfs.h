#pragma once

// A sysfs tree laid out as the kernel does, in a temporary folder:
// class/tty/<name> links to the tty under its device, whose `device` link
// leads to the USB interface and, one level up, the USB device with its
// identifiers, numbers, serial number and place. A `dev` folder beside it
// stands for /dev.

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace modem::test {

// One tty of a USB device; what is not given is the modem's.
struct UsbTty {
    std::string name;  // under class/tty
    std::string vendor = "1fc9";
    std::string product = "2909";
    unsigned bus = 1;
    unsigned device = 2;
    std::string devpath = "1";              // hub ports from the root: "1.3"
    std::optional<std::string> serial{};    // none: no `serial` attribute
    std::optional<std::string> nodeName{};  // DEVNAME; none: the tty's name, "": no DEVNAME
};

class FakeSysfs {
public:
    [[nodiscard]] std::filesystem::path root() const { return m_dir.path() / "sys"; }
    [[nodiscard]] std::filesystem::path devRoot() const { return m_dir.path() / "dev"; }

    void addUsbTty(const UsbTty& tty) {
        const std::string deviceName = std::to_string(tty.bus) + "-" + tty.devpath;
        const auto usb =
            root() / "devices/pci0000:00" / ("usb" + std::to_string(tty.bus)) / deviceName;
        writeText(usb / "idVendor", tty.vendor + "\n");
        writeText(usb / "idProduct", tty.product + "\n");
        writeText(usb / "busnum", std::to_string(tty.bus) + "\n");
        writeText(usb / "devnum", std::to_string(tty.device) + "\n");
        writeText(usb / "devpath", tty.devpath + "\n");
        if (tty.serial) {
            writeText(usb / "serial", *tty.serial + "\n");
        }
        addTty(tty.name, usb / (deviceName + ":1.0"), tty.nodeName.value_or(tty.name));
    }

    void addUsbTty(const std::string& name, const std::string& vendor, const std::string& product,
                   unsigned bus, unsigned device,
                   std::optional<std::string> nodeName = std::nullopt) {
        addUsbTty({.name = name,
                   .vendor = vendor,
                   .product = product,
                   .bus = bus,
                   .device = device,
                   .devpath = std::to_string(device),
                   .nodeName = std::move(nodeName)});
    }

    void addPlatformTty(const std::string& name) {
        addTty(name, root() / "devices/platform/serial8250", name);
    }

    // A virtual console: no device behind it.
    void addVirtualTty(const std::string& name) {
        const auto tty = root() / "devices/virtual/tty" / name;
        writeText(tty / "uevent", "DEVNAME=" + name + "\n");
        linkClass(name, tty);
    }

    static void writeText(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

private:
    void addTty(const std::string& name, const std::filesystem::path& parent,
                const std::string& nodeName) {
        const auto tty = parent / "tty" / name;
        writeText(tty / "uevent", nodeName.empty() ? "MAJOR=166\n" : "DEVNAME=" + nodeName + "\n");
        std::filesystem::create_directory_symlink(parent, tty / "device");
        linkClass(name, tty);
    }

    void linkClass(const std::string& name, const std::filesystem::path& tty) {
        std::filesystem::create_directories(root() / "class/tty");
        std::filesystem::create_directory_symlink(tty, root() / "class/tty" / name);
    }

    TempDir m_dir;
};

}  // namespace modem::test

#pragma once

// The simulated modem: takes the bytes the tool sends and returns the bytes the
// modem answers. No I/O of its own, so tests drive it directly and modem-sim
// puts it behind a pseudo-terminal.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "settings/mset.h"

namespace modem {

class ModemSimulator {
public:
    ModemSimulator();  // current image and both profiles at the defaults

    // Bytes from the tool, in any chunking; returns the answer to every command
    // completed by them (lines end in CR, as a modem's do).
    [[nodiscard]] std::string receive(std::span<const std::uint8_t> bytes);

    [[nodiscard]] const Mset& current() const { return m_current; }
    void setCurrent(const Mset& mset) { m_current = mset; }
    [[nodiscard]] const Mset& profile(int index) const { return m_profiles.at(index); }
    void setProfile(int index, const Mset& mset) { m_profiles.at(index) = mset; }
    [[nodiscard]] bool configurationMode() const { return m_configurationMode; }

private:
    Mset m_current;
    std::array<Mset, 2> m_profiles;
    bool m_configurationMode = false;
    std::string m_line;            // command bytes up to the CR
    std::size_t m_imagePending = 0;  // bytes of an image still to come after "+cfwr\r"
    MsetImage m_image{};
};

// The settings report the modem prints for "+view\r": the bytes it sends.
[[nodiscard]] std::string settingsReport(const Mset& mset);

}  // namespace modem

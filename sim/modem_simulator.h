#pragma once

// The simulated modem: takes the bytes the tool sends and returns the bytes the
// modem answers. No I/O of its own, so tests drive it directly and modem-sim
// puts it behind a pseudo-terminal.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "settings/mset.h"

namespace modem {

class ModemSimulator {
public:
    ModemSimulator();  // current image and both profiles at the defaults

    // Bytes from the tool, in any chunking; returns the answer to every command
    // completed by them (lines end in CR, as a modem's do).
    [[nodiscard]] std::string receive(std::span<const std::uint8_t> bytes);
    [[nodiscard]] std::string receive(std::string_view bytes);

    // The line was lost (the device unplugged): a half-received command or image
    // is dropped; the settings and profiles stay.
    void resetInput();

    [[nodiscard]] const Mset& current() const { return m_current; }
    void setCurrent(const Mset& mset) { m_current = mset; }
    [[nodiscard]] const Mset& profile(int index) const { return m_profiles.at(index); }
    void setProfile(int index, const Mset& mset) { m_profiles.at(index) = mset; }
    [[nodiscard]] bool configurationMode() const { return m_configurationMode; }
    // Commands answered so far, and image uploads completed: for tests and logs.
    [[nodiscard]] std::uint64_t commandCount() const { return m_commandCount; }
    [[nodiscard]] std::uint64_t uploadCount() const { return m_uploadCount; }

    // The longest command line kept; longer garbage is answered with an error
    // once its CR arrives instead of growing without bound.
    static constexpr std::size_t maxLine = 32;

private:
    std::string execute(std::string_view line);

    Mset m_current;
    std::array<Mset, 2> m_profiles;
    bool m_configurationMode = false;
    std::string m_line;              // command bytes up to the CR
    bool m_lineOverflow = false;     // the line outgrew maxLine
    std::size_t m_imagePending = 0;  // bytes of an image still to come after "+cfwr\r"
    MsetImage m_image{};
    std::uint64_t m_commandCount = 0;
    std::uint64_t m_uploadCount = 0;
};

// Which settings a report shows; only its first line differs.
enum class ReportSource { Current, Profile0, Profile1 };

// The settings report the modem prints for "+view\r" (or "+vie0\r", "+vie1\r"):
// the bytes it sends, lines ended by CR.
[[nodiscard]] std::string settingsReport(const Mset& mset,
                                         ReportSource source = ReportSource::Current);

}  // namespace modem

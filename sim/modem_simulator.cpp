#include "sim/modem_simulator.h"

#include <cstdio>

namespace modem {

namespace {

std::string line(std::string_view text) {
    return std::string(text) + '\r';
}

// "+name" followed by exactly `digits` decimal digits; the number, or -1.
long numberAfter(std::string_view command, std::string_view name, std::size_t digits) {
    if (!command.starts_with(name) || command.size() != name.size() + digits) {
        return -1;
    }
    long value = 0;
    for (char c : command.substr(name.size())) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

struct Canned {
    std::string_view command;
    std::string_view answer;
};

// The radio tests answer with readings of the simulator's own.
constexpr Canned cannedAnswers[] = {
    {"+test", "Self-test OK"},      {"+vers", "Version 2.07 (modem-sim)"},
    {"+pwrt", "Supply 12.4 V"},     {"+txmd", "VHF TX on"},
    {"+txmk", "MF TX on"},          {"+rxmd", "VHF RX on"},
    {"+rxmk", "MF RX on"},          {"+rssi", "VHF RSSI -93 dBm"},
    {"+rssk", "MF RSSI -71 dBm"},   {"+vswr", "VHF VSWR 1.3"},
    {"+vswk", "MF VSWR 1.8"},       {"+t1ph", "VHF power normal"},
    {"+t1pl", "VHF power reduced"}, {"+t2ph", "MF power normal"},
    {"+t2pl", "MF power reduced"},
};

}  // namespace

ModemSimulator::ModemSimulator()
    : m_current(defaultSettings()), m_profiles{defaultSettings(), defaultSettings()} {}

std::string ModemSimulator::receive(std::string_view bytes) {
    return receive(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string ModemSimulator::receive(std::span<const std::uint8_t> bytes) {
    std::string answer;
    for (std::uint8_t b : bytes) {
        if (m_imagePending > 0) {
            // The image is raw bytes: CR and "+" inside it are data, not commands.
            m_image[msetsize - m_imagePending] = b;
            if (--m_imagePending == 0) {
                m_current = fromImage(m_image);
                ++m_uploadCount;
                answer += line("Settings written");
            }
            continue;
        }
        if (b == '\r') {
            const bool overflow = m_lineOverflow;
            const std::string command = std::move(m_line);
            m_line.clear();
            m_lineOverflow = false;
            ++m_commandCount;
            answer += overflow ? line("ERR line too long") : execute(command);
            continue;
        }
        // A terminal program's LF after the CR of the previous command is no part
        // of the next one.
        if (b == '\n' && m_line.empty()) {
            continue;
        }
        if (m_line.size() < maxLine) {
            m_line.push_back(static_cast<char>(b));
        } else {
            m_lineOverflow = true;
        }
    }
    return answer;
}

void ModemSimulator::resetInput() {
    m_line.clear();
    m_lineOverflow = false;
    m_imagePending = 0;
}

std::string ModemSimulator::execute(std::string_view command) {
    if (command == "+cfge") {
        m_configurationMode = true;
        return line("Config mode on");
    }
    if (command == "+cfgd") {
        m_configurationMode = false;
        return line("Config mode off");
    }
    if (command == "+view") {
        return settingsReport(m_current, ReportSource::Current);
    }
    if (command == "+vie0") {
        return settingsReport(m_profiles[0], ReportSource::Profile0);
    }
    if (command == "+vie1") {
        return settingsReport(m_profiles[1], ReportSource::Profile1);
    }
    if (command == "+save" || command == "+sav1") {
        const int index = command == "+save" ? 0 : 1;
        m_profiles[static_cast<std::size_t>(index)] = m_current;
        return line(index == 0 ? "Saved to profile 0" : "Saved to profile 1");
    }
    if (command == "+cfwr") {
        m_imagePending = msetsize;
        return {};  // answered once the image is in
    }
    for (const Canned& c : cannedAnswers) {
        if (command == c.command) {
            return line(c.answer);
        }
    }
    char buf[48];
    if (const long ch = numberAfter(command, "+ch", 2); ch >= 1 && ch <= 16) {
        std::snprintf(buf, sizeof buf, "VHF channel %02ld", ch);
        return line(buf);
    }
    if (const long ch = numberAfter(command, "+chk", 1); ch >= 0 && ch <= 2) {
        static constexpr const char* mf[] = {"2.140", "2.130", "2.150"};
        std::snprintf(buf, sizeof buf, "MF channel %ld (%s MHz)", ch, mf[ch]);
        return line(buf);
    }
    if (const long hz = numberAfter(command, "+sing", 4); hz >= 0) {
        std::snprintf(buf, sizeof buf, "VHF tone %ld Hz", hz);
        return line(buf);
    }
    if (const long hz = numberAfter(command, "+sink", 4); hz >= 0) {
        std::snprintf(buf, sizeof buf, "MF tone %ld Hz", hz);
        return line(buf);
    }
    return line("ERR unknown command");
}

}  // namespace modem

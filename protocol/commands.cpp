#include "protocol/commands.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace modem {

namespace {

std::string frame(std::string_view mnemonic) {
    std::string s;
    s.reserve(mnemonic.size() + 2);
    s.push_back('+');
    s.append(mnemonic);
    s.push_back('\r');
    return s;
}

// `digits` decimal digits of `value`, zero-padded; callers keep value in range.
std::string withNumber(std::string_view mnemonic, unsigned value, int digits) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*u", digits, value);
    return frame(std::string(mnemonic) + buf);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string cmdCfge() {
    return frame("cfge");
}
std::string cmdCfgd() {
    return frame("cfgd");
}
std::string cmdView() {
    return frame("view");
}
std::string cmdVie0() {
    return frame("vie0");
}
std::string cmdVie1() {
    return frame("vie1");
}
std::string cmdSav0() {
    return frame("save");
}
std::string cmdSav1() {
    return frame("sav1");
}
std::string cmdCfwr() {
    return frame("cfwr");
}
std::string cmdViewProfile(unsigned profile) {
    return profile == 1 ? cmdVie1() : cmdVie0();
}
std::string cmdSave(unsigned profile) {
    return profile == 1 ? cmdSav1() : cmdSav0();
}

std::string cmdTest() {
    return frame("test");
}
std::string cmdVers() {
    return frame("vers");
}
std::string cmdPwrt() {
    return frame("pwrt");
}

std::string cmdTxmd() {
    return frame("txmd");
}
std::string cmdTxmk() {
    return frame("txmk");
}
std::string cmdVswr() {
    return frame("vswr");
}
std::string cmdVswk() {
    return frame("vswk");
}
std::string cmdRxmd() {
    return frame("rxmd");
}
std::string cmdRxmk() {
    return frame("rxmk");
}
std::string cmdRssi() {
    return frame("rssi");
}
std::string cmdRssk() {
    return frame("rssk");
}
std::string cmdT1ph() {
    return frame("t1ph");
}
std::string cmdT1pl() {
    return frame("t1pl");
}
std::string cmdT2ph() {
    return frame("t2ph");
}
std::string cmdT2pl() {
    return frame("t2pl");
}

std::string cmdChannel(unsigned channel) {
    return withNumber("ch", std::clamp(channel, vhfChannelFirst, vhfChannelLast), 2);
}

std::string cmdMfChannel(unsigned index) {
    return withNumber("chk", std::min(index, mfChannelLast), 1);
}

unsigned toneFieldValue(std::string_view fieldText) {
    // The field holds four characters; anything beyond is not part of the value,
    // which therefore never exceeds four digits.
    const std::string_view text = fieldText.substr(0, toneFieldLength);
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return value;
}

std::string cmdSing(std::string_view fieldText) {
    return withNumber("sing", toneFieldValue(fieldText), 4);
}

std::string cmdSink(std::string_view fieldText) {
    return withNumber("sink", toneFieldValue(fieldText), 4);
}

namespace {

struct Fixed {
    std::string_view mnemonic;
    std::string (*bytes)();
};

constexpr std::array<Fixed, 22> fixedCommands{{
    {"cfge", cmdCfge}, {"cfgd", cmdCfgd}, {"view", cmdView}, {"vie0", cmdVie0}, {"vie1", cmdVie1},
    {"save", cmdSav0}, {"sav1", cmdSav1}, {"test", cmdTest}, {"vers", cmdVers}, {"pwrt", cmdPwrt},
    {"txmd", cmdTxmd}, {"txmk", cmdTxmk}, {"vswr", cmdVswr}, {"vswk", cmdVswk}, {"rxmd", cmdRxmd},
    {"rxmk", cmdRxmk}, {"rssi", cmdRssi}, {"rssk", cmdRssk}, {"t1ph", cmdT1ph}, {"t1pl", cmdT1pl},
    {"t2ph", cmdT2ph}, {"t2pl", cmdT2pl},
}};

// A plain decimal number of at most `maxDigits` digits, nothing else.
std::optional<unsigned> plainNumber(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

CommandLookup refuse(std::string message) {
    return {{}, std::move(message)};
}

}  // namespace

CommandLookup lookupCommand(std::string_view mnemonic, const std::optional<std::string>& argument) {
    for (const Fixed& f : fixedCommands) {
        if (f.mnemonic == mnemonic) {
            if (argument) {
                return refuse(std::string(mnemonic) + " takes no argument");
            }
            return {f.bytes(), {}};
        }
    }
    if (mnemonic == "cfwr") {
        // Alone it would make the modem take the next 264 bytes sent as its settings.
        return refuse("cfwr must be followed by a settings image; use modemctl write");
    }
    struct WithArgument {
        std::string_view mnemonic;
        unsigned low, high;
        std::size_t maxDigits;
        std::string (*bytes)(unsigned);
    };
    static constexpr std::array<WithArgument, 4> argCommands{{
        {"ch", vhfChannelFirst, vhfChannelLast, 2, cmdChannel},
        {"chk", 0, mfChannelLast, 1, cmdMfChannel},
        {"sing", 0, 9999, 4, [](unsigned v) { return withNumber("sing", v, 4); }},
        {"sink", 0, 9999, 4, [](unsigned v) { return withNumber("sink", v, 4); }},
    }};
    for (const WithArgument& c : argCommands) {
        if (c.mnemonic != mnemonic) {
            continue;
        }
        const std::string range = std::to_string(c.low) + ".." + std::to_string(c.high);
        if (!argument) {
            return refuse(std::string(mnemonic) + " needs a number " + range);
        }
        const auto value = plainNumber(*argument, c.maxDigits);
        if (!value || *value < c.low || *value > c.high) {
            return refuse(std::string(mnemonic) + " takes a number " + range + ", not \"" +
                          *argument + "\"");
        }
        return {c.bytes(*value), {}};
    }
    return refuse("unknown command \"" + std::string(mnemonic) + "\"");
}

std::optional<std::string> commandFromMnemonic(std::string_view mnemonic,
                                               const std::optional<std::string>& argument) {
    CommandLookup found = lookupCommand(mnemonic, argument);
    if (found.bytes.empty()) {
        return std::nullopt;
    }
    return std::move(found.bytes);
}

}  // namespace modem

#pragma once

// The exact bytes of every command the tool sends: "+", four characters, CR
// (the tone commands carry four digits more). No LF, no terminator.

#include <optional>
#include <string>
#include <string_view>

namespace modem {

// Connection and settings.
[[nodiscard]] std::string cmdCfge();  // configuration mode on, sent after connecting
[[nodiscard]] std::string cmdCfgd();  // configuration mode off, sent before closing
[[nodiscard]] std::string cmdView();  // report the current settings
[[nodiscard]] std::string cmdVie0();  // report stored profile 0
[[nodiscard]] std::string cmdVie1();  // report stored profile 1
[[nodiscard]] std::string cmdSav0();  // "+save\r": store in profile 0 (its mnemonic is "save")
[[nodiscard]] std::string cmdSav1();  // store in profile 1
[[nodiscard]] std::string cmdCfwr();  // the 264-byte image follows at once
// Profile 1 gives the profile-1 command; any other number profile 0.
[[nodiscard]] std::string cmdViewProfile(unsigned profile);
[[nodiscard]] std::string cmdSave(unsigned profile);

// Modem tests.
[[nodiscard]] std::string cmdTest();
[[nodiscard]] std::string cmdVers();
[[nodiscard]] std::string cmdPwrt();

// Radio tests: the VHF command, then its MF twin.
[[nodiscard]] std::string cmdTxmd();
[[nodiscard]] std::string cmdTxmk();
[[nodiscard]] std::string cmdVswr();
[[nodiscard]] std::string cmdVswk();
[[nodiscard]] std::string cmdRxmd();
[[nodiscard]] std::string cmdRxmk();
[[nodiscard]] std::string cmdRssi();
[[nodiscard]] std::string cmdRssk();
[[nodiscard]] std::string cmdT1ph();  // normal power, VHF
[[nodiscard]] std::string cmdT1pl();  // reduced power, VHF
[[nodiscard]] std::string cmdT2ph();  // normal power, MF
[[nodiscard]] std::string cmdT2pl();  // reduced power, MF

inline constexpr unsigned vhfChannelFirst = 1;
inline constexpr unsigned vhfChannelLast = 16;
inline constexpr unsigned mfChannelLast = 2;
inline constexpr unsigned toneFieldLength = 4;  // characters the tone fields hold

// "+chNN\r" for VHF channel 1..16. A number outside that range (a list that lost
// its selection) is clamped into it, so the frame stays six bytes.
[[nodiscard]] std::string cmdChannel(unsigned channel);
// "+chkN\r" for MF channel index 0..2; larger indexes are clamped to 2.
[[nodiscard]] std::string cmdMfChannel(unsigned index);

// The tone field's text as the modem gets it: of its first four characters,
// blanks are skipped, then digits up to the first non-digit; none gives 0.
[[nodiscard]] unsigned toneFieldValue(std::string_view fieldText);
// "+singNNNN\r" / "+sinkNNNN\r" from the tone field's text (ten bytes).
[[nodiscard]] std::string cmdSing(std::string_view fieldText);
[[nodiscard]] std::string cmdSink(std::string_view fieldText);

// A command chosen by its mnemonic, as an operator types it: "test", "vers",
// "ch 5", "chk 1", "sing 1000"... `bytes` is empty and `error` says why when the
// mnemonic is unknown or the argument missing, superfluous or out of range.
struct CommandLookup {
    std::string bytes;
    std::string error;
};
[[nodiscard]] CommandLookup lookupCommand(std::string_view mnemonic,
                                          const std::optional<std::string>& argument);
// The same, without the reason.
[[nodiscard]] std::optional<std::string> commandFromMnemonic(
    std::string_view mnemonic, const std::optional<std::string>& argument);

}  // namespace modem

#include "protocol/commands.h"

#include <gtest/gtest.h>

#include "protocol/upload.h"

namespace modem {
namespace {

TEST(Commands, EveryFixedCommandIsPlusFourCharactersAndCr) {
    const std::string all = cmdCfge() + cmdCfgd() + cmdView() + cmdVie0() + cmdVie1() + cmdSave(0) +
                            cmdSave(1) + cmdCfwr() + cmdTest() + cmdVers() + cmdPwrt() + cmdTxmd() +
                            cmdTxmk() + cmdVswr() + cmdVswk() + cmdRxmd() + cmdRxmk() + cmdRssi() +
                            cmdRssk() + cmdT1ph() + cmdT1pl() + cmdT2ph() + cmdT2pl();
    EXPECT_EQ(
        all,
        "+cfge\r+cfgd\r+view\r+vie0\r+vie1\r+save\r+sav1\r+cfwr\r+test\r+vers\r+pwrt\r"
        "+txmd\r+txmk\r+vswr\r+vswk\r+rxmd\r+rxmk\r+rssi\r+rssk\r+t1ph\r+t1pl\r+t2ph\r+t2pl\r");
}

TEST(Commands, ArgumentsKeepTheFrameWellFormed) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {cmdChannel(1), "+ch01\r"},
        {cmdChannel(10), "+ch10\r"},
        {cmdChannel(16), "+ch16\r"},
        // A list that lost its selection, or a stray index, still gives six bytes.
        {cmdChannel(0), "+ch01\r"},
        {cmdChannel(99), "+ch16\r"},
        {cmdMfChannel(0), "+chk0\r"},
        {cmdMfChannel(10), "+chk2\r"},
        {cmdMfChannel(4294967295u), "+chk2\r"},
        // Tone fields: blanks skipped, digits up to the first non-digit, none is 0;
        // only the four characters the field holds count.
        {cmdSing("1000"), "+sing1000\r"},
        {cmdSing("50"), "+sing0050\r"},
        {cmdSing(""), "+sing0000\r"},
        {cmdSing("  42"), "+sing0042\r"},
        {cmdSing("12ab"), "+sing0012\r"},
        {cmdSing("-5"), "+sing0000\r"},
        {cmdSing("123456"), "+sing1234\r"},
        {cmdSing("   12"), "+sing0001\r"},
        {cmdSink("7"), "+sink0007\r"},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(bytes, expected);
    }
}

TEST(Commands, MnemonicLookupFindsCommandsAndRefusesBadInput) {
    using Arg = std::optional<std::string>;
    EXPECT_EQ(commandFromMnemonic("vers", {}), "+vers\r");
    EXPECT_EQ(commandFromMnemonic("t2pl", {}), "+t2pl\r");
    EXPECT_EQ(commandFromMnemonic("ch", Arg("5")), "+ch05\r");
    EXPECT_EQ(commandFromMnemonic("chk", Arg("1")), "+chk1\r");
    EXPECT_EQ(commandFromMnemonic("sink", Arg("7")), "+sink0007\r");
    const std::
        vector<std::pair<std::string, Arg>>
            bad{
                {"tset", {}},      {"TEST", {}}, {"test", "1"}, {"ch", {}},
                {"ch", "0"},       {"ch", "17"}, {"ch", "5x"},  {"chk", "3"},
                {"sing", "10000"}, {"sing", ""}, {"cfwr", {}},  // alone it would make the modem
                                                                // swallow the next 264 bytes
            };
    for (const auto& [mnemonic, arg] : bad) {
        const CommandLookup found = lookupCommand(mnemonic, arg);
        EXPECT_TRUE(found.bytes.empty()) << mnemonic;
        EXPECT_FALSE(found.error.empty()) << mnemonic;
    }
}

TEST(Upload, FrameIsTheCommandThenTheImageAsItStands) {
    Mset m = defaultSettings();
    m.reserved = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE};  // from a loaded file: sent as they are
    m.MARK = 0xCAFE;
    const UploadFrame frame = uploadFrame(m);
    EXPECT_EQ(frame.command, "+cfwr\r");
    EXPECT_EQ(frame.image, toImage(m));
    EXPECT_EQ(frame.image[0], 0x59);
    EXPECT_EQ(frame.image[210], 0xAA);
    EXPECT_EQ(frame.image[260], 0xFE);
}

}  // namespace
}  // namespace modem

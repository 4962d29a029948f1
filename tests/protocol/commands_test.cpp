#include "protocol/commands.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/upload.h"

namespace modem {
namespace {

std::vector<int> bytesOf(const std::string& s) {
    std::vector<int> v;
    for (char c : s) {
        v.push_back(static_cast<unsigned char>(c));
    }
    return v;
}

TEST(Commands, FixedCommandsAreSixBytesWithoutLineFeed) {
    struct Case {
        std::string bytes;
        std::vector<int> expected;
    };
    const std::vector<Case> cases{
        {cmdCfge(), {0x2B, 0x63, 0x66, 0x67, 0x65, 0x0D}},
        {cmdCfgd(), {0x2B, 0x63, 0x66, 0x67, 0x64, 0x0D}},
        {cmdView(), {0x2B, 0x76, 0x69, 0x65, 0x77, 0x0D}},
        {cmdVie0(), {0x2B, 0x76, 0x69, 0x65, 0x30, 0x0D}},
        {cmdVie1(), {0x2B, 0x76, 0x69, 0x65, 0x31, 0x0D}},
        {cmdSav0(), {0x2B, 0x73, 0x61, 0x76, 0x65, 0x0D}},
        {cmdSav1(), {0x2B, 0x73, 0x61, 0x76, 0x31, 0x0D}},
        {cmdCfwr(), {0x2B, 0x63, 0x66, 0x77, 0x72, 0x0D}},
        {cmdTest(), {0x2B, 0x74, 0x65, 0x73, 0x74, 0x0D}},
        {cmdVers(), {0x2B, 0x76, 0x65, 0x72, 0x73, 0x0D}},
        {cmdPwrt(), {0x2B, 0x70, 0x77, 0x72, 0x74, 0x0D}},
        {cmdTxmd(), {0x2B, 0x74, 0x78, 0x6D, 0x64, 0x0D}},
        {cmdTxmk(), {0x2B, 0x74, 0x78, 0x6D, 0x6B, 0x0D}},
        {cmdVswr(), {0x2B, 0x76, 0x73, 0x77, 0x72, 0x0D}},
        {cmdVswk(), {0x2B, 0x76, 0x73, 0x77, 0x6B, 0x0D}},
        {cmdRxmd(), {0x2B, 0x72, 0x78, 0x6D, 0x64, 0x0D}},
        {cmdRxmk(), {0x2B, 0x72, 0x78, 0x6D, 0x6B, 0x0D}},
        {cmdRssi(), {0x2B, 0x72, 0x73, 0x73, 0x69, 0x0D}},
        {cmdRssk(), {0x2B, 0x72, 0x73, 0x73, 0x6B, 0x0D}},
        {cmdT1ph(), {0x2B, 0x74, 0x31, 0x70, 0x68, 0x0D}},
        {cmdT1pl(), {0x2B, 0x74, 0x31, 0x70, 0x6C, 0x0D}},
        {cmdT2ph(), {0x2B, 0x74, 0x32, 0x70, 0x68, 0x0D}},
        {cmdT2pl(), {0x2B, 0x74, 0x32, 0x70, 0x6C, 0x0D}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bytesOf(c.bytes), c.expected);
    }
    // Storing into profile 0 is "save", reading it "vie0".
    EXPECT_EQ(cmdSave(0), "+save\r");
    EXPECT_EQ(cmdViewProfile(0), "+vie0\r");
    EXPECT_EQ(cmdSave(1), "+sav1\r");
    EXPECT_EQ(cmdViewProfile(1), "+vie1\r");
}

TEST(Commands, ChannelCommandsStayWellFormedForAnyIndex) {
    const std::vector<std::pair<unsigned, std::string>> vhf{
        {1, "+ch01\r"},
        {10, "+ch10\r"},
        {16, "+ch16\r"},
        // A list that lost its selection (0) or a stray index stays a six-byte frame.
        {0, "+ch01\r"},
        {99, "+ch16\r"},
        {4294967295u, "+ch16\r"}};
    for (const auto& [channel, bytes] : vhf) {
        EXPECT_EQ(cmdChannel(channel), bytes) << channel;
    }
    const std::vector<std::pair<unsigned, std::string>> mf{
        {0, "+chk0\r"}, {1, "+chk1\r"}, {2, "+chk2\r"}, {10, "+chk2\r"}, {4294967295u, "+chk2\r"}};
    for (const auto& [index, bytes] : mf) {
        EXPECT_EQ(cmdMfChannel(index), bytes) << index;
    }
}

TEST(Commands, ToneFieldTextBecomesFourDigits) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"1000", "+sing1000\r"},
        {"50", "+sing0050\r"},
        {"", "+sing0000\r"},
        {"7", "+sing0007\r"},
        {"  42", "+sing0042\r"},
        {"12ab", "+sing0012\r"},
        {"abc", "+sing0000\r"},
        {"-5", "+sing0000\r"},
        {"9999", "+sing9999\r"},
        // The field holds four characters; more can only come from a caller's
        // mistake and must not lengthen the frame.
        {"123456", "+sing1234\r"},
        {"   12", "+sing0001\r"}};
    for (const auto& [text, bytes] : cases) {
        EXPECT_EQ(cmdSing(text), bytes) << '"' << text << '"';
    }
    EXPECT_EQ(cmdSink("1000"), "+sink1000\r");
    EXPECT_EQ(cmdSink(""), "+sink0000\r");
}

TEST(Commands, MnemonicsFindEveryCommandAndRefuseBadInput) {
    const std::vector<std::tuple<std::string, std::optional<std::string>, std::string>> good{
        {"test", {}, "+test\r"}, {"vers", {}, "+vers\r"},         {"pwrt", {}, "+pwrt\r"},
        {"txmd", {}, "+txmd\r"}, {"t2pl", {}, "+t2pl\r"},         {"view", {}, "+view\r"},
        {"save", {}, "+save\r"}, {"ch", "5", "+ch05\r"},          {"ch", "16", "+ch16\r"},
        {"chk", "1", "+chk1\r"}, {"sing", "1000", "+sing1000\r"}, {"sink", "7", "+sink0007\r"},
    };
    for (const auto& [mnemonic, arg, bytes] : good) {
        const CommandLookup found = lookupCommand(mnemonic, arg);
        EXPECT_EQ(found.bytes, bytes) << mnemonic;
        EXPECT_TRUE(found.error.empty()) << found.error;
        EXPECT_EQ(commandFromMnemonic(mnemonic, arg), bytes);
    }
    const std::vector<std::pair<std::string, std::optional<std::string>>> bad{
        {"tset", {}},      {"TEST", {}}, {"", {}},     {"test", "1"}, {"ch", {}},
        {"ch", "0"},       {"ch", "17"}, {"ch", "5x"}, {"ch", "-1"},  {"chk", "3"},
        {"sing", "10000"}, {"sing", ""}, {"cfwr", {}},  // would swallow the next 264 bytes as
                                                        // settings
    };
    for (const auto& [mnemonic, arg] : bad) {
        const CommandLookup found = lookupCommand(mnemonic, arg);
        EXPECT_TRUE(found.bytes.empty()) << mnemonic;
        EXPECT_FALSE(found.error.empty()) << mnemonic;
        EXPECT_FALSE(commandFromMnemonic(mnemonic, arg).has_value());
    }
}

TEST(Upload, FrameIsTheCommandThenTheImageAsItStands) {
    Mset m = defaultSettings();
    m.reserved = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE};  // from a loaded file: sent as they are
    m.MARK = 0xCAFE;
    const UploadFrame frame = uploadFrame(m);
    EXPECT_EQ(frame.command, "+cfwr\r");
    ASSERT_EQ(frame.image.size(), 264u);
    const std::vector<int> channel1{0x59, 0x5E, 0x02, 0x00, 0x59, 0x5E,
                                    0x02, 0x00, 0x4A, 0x01, 0x0A, 0x00};
    EXPECT_EQ(std::vector<int>(frame.image.begin(), frame.image.begin() + 12), channel1);
    EXPECT_EQ(frame.image[210], 0xAA);
    EXPECT_EQ(frame.image[253], 0xEE);
    EXPECT_EQ(frame.image[260], 0xFE);
    EXPECT_EQ(frame.image[261], 0xCA);
}

}  // namespace
}  // namespace modem

#include "settings/mset.h"

#include <gtest/gtest.h>

#include <random>

namespace modem {
namespace {

TEST(MsetImage, DefaultsSerialiseToTheKnownBytes) {
    const MsetImage img = toImage(defaultSettings());
    const std::array<std::uint8_t, 12> channel1{0x59, 0x5E, 0x02, 0x00, 0x59, 0x5E,
                                                0x02, 0x00, 0x4A, 0x01, 0x0A, 0x00};
    EXPECT_TRUE(std::equal(channel1.begin(), channel1.end(), img.begin()));
    EXPECT_EQ(img[260], 0x34);
    EXPECT_EQ(img[261], 0x12);
    EXPECT_EQ(img[262], 0x00);
    EXPECT_EQ(img[263], 0x00);
    for (std::size_t off : offsets::reserved) {
        EXPECT_EQ(img[off], 0) << "reserved byte at " << off;
    }
    // CHL1 = 0x02400000 little-endian at 232.
    EXPECT_EQ(img[232], 0x00);
    EXPECT_EQ(img[235], 0x02);
    EXPECT_EQ(img[234], 0x40);
}

TEST(MsetImage, SetDefaultsLeavesReservedBytesAlone) {
    Mset m;
    m.reserved = {1, 2, 3, 4, 5};
    m.MARK = 0xDEADBEEF;
    setDefaults(m);
    EXPECT_EQ(m.reserved, (std::array<std::uint8_t, 5>{1, 2, 3, 4, 5}));
    EXPECT_EQ(m.MARK, 0x1234u);
}

TEST(MsetImage, EveryImageSurvivesARoundTripByteForByte) {
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 2000; ++n) {
        MsetImage img;
        for (auto& b : img)
            b = static_cast<std::uint8_t>(byte(rng));
        EXPECT_EQ(toImage(fromImage(img)), img);
    }
}

TEST(MsetImage, FieldsLandAtTheirOffsets) {
    Mset m;
    m.reserved = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    m.RSDLY = 0x77;
    m.GRSSI = 0xBEEF;
    m.CH[15].PWR = 0x0105;
    const MsetImage img = toImage(m);
    EXPECT_EQ(img[210], 0xA1);
    EXPECT_EQ(img[211], 0xA2);
    EXPECT_EQ(img[238], 0xA3);
    EXPECT_EQ(img[239], 0xA4);
    EXPECT_EQ(img[253], 0xA5);
    EXPECT_EQ(img[259], 0x77);
    EXPECT_EQ(img[254], 0xEF);
    EXPECT_EQ(img[255], 0xBE);
    EXPECT_EQ(img[190], 0x05);
    EXPECT_EQ(img[191], 0x01);
}

}  // namespace
}  // namespace modem

#include "settings/mset_fields.h"

#include <gtest/gtest.h>

#include <functional>

namespace modem {
namespace {

TEST(MsetFields, TablesCoverEveryByteOfTheImageExactlyOnce) {
    std::array<int, msetsize> uses{};
    auto mark = [&](std::size_t offset, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i)
            ++uses.at(offset + i);
    };
    for (std::size_t row = 0; row < channelCount; ++row) {
        for (const auto& f : channelFields)
            mark(row * offsets::channelSize + f.offset, f.width);
    }
    for (const auto& f : scalarFields)
        mark(f.offset, f.width);
    for (std::size_t off : offsets::reserved)
        mark(off, 1);
    for (std::size_t i = 0; i < msetsize; ++i)
        EXPECT_EQ(uses[i], 1) << "byte " << i;
}

struct OneChange {
    const char* name;
    std::function<void(Mset&)> change;
    std::uint32_t before;
    std::uint32_t after;
};

TEST(MsetFields, ASingleChangedFieldIsReportedByNameWithBothValues) {
    const std::vector<OneChange> cases{
        {"CH[0].RXF", [](Mset& m) { m.CH[0].RXF = 1; }, 155225, 1},
        {"CH[3].THR", [](Mset& m) { m.CH[3].THR = 999; }, 330, 999},
        {"CH[15].PWR", [](Mset& m) { m.CH[15].PWR = 5; }, 10, 5},
        {"VP1", [](Mset& m) { m.VP1 = 115200; }, 9600, 115200},
        {"IDB", [](Mset& m) { m.IDB = 29; }, 11, 29},
        {"CHL2", [](Mset& m) { m.CHL2 = 0xFFFFFFFF; }, 0x13500000, 0xFFFFFFFF},
        {"RSDLY", [](Mset& m) { m.RSDLY = 255; }, 20, 255},
        {"MARK", [](Mset& m) { m.MARK = 0; }, 0x1234, 0},
        {"reserved[0]", [](Mset& m) { m.reserved[0] = 7; }, 0, 7},
        {"reserved[4]", [](Mset& m) { m.reserved[4] = 200; }, 0, 200},
    };
    for (const auto& c : cases) {
        const Mset before = defaultSettings();
        Mset after = before;
        c.change(after);
        EXPECT_EQ(diffFields(before, after), (std::vector<FieldDiff>{{c.name, c.before, c.after}}))
            << c.name;
    }
}

TEST(MsetFields, DiffListsEveryChangeInExportOrderAndNothingForEqualImages) {
    const Mset a = defaultSettings();
    EXPECT_TRUE(diffFields(a, a).empty());
    Mset b = a;
    b.reserved[1] = 1;
    b.MARK = 1;
    b.VP4 = 1;
    b.CH[2].TXF = 1;
    std::vector<std::string> names;
    for (const auto& d : diffFields(a, b))
        names.push_back(d.name);
    EXPECT_EQ(names, (std::vector<std::string>{"CH[2].TXF", "VP4", "MARK", "reserved[1]"}));
}

}  // namespace
}  // namespace modem

#include "cli/mset_json.h"

#include <gtest/gtest.h>

#include <functional>

namespace modem {
namespace {

using cli::msetFromJson;
using cli::msetToJson;
using nlohmann::json;

TEST(MsetJson, ValuesAtTheTopOfEachWidthAreAccepted) {
    json j = msetToJson(defaultSettings());
    j["MP"] = 255;
    j["HT"] = 65535;
    j["VP1"] = 4294967295u;
    j["CH"][15]["THR"] = 65535;
    j["reserved"][4] = 255;
    Mset m;
    ASSERT_EQ(msetFromJson(j, m), "");
    EXPECT_EQ(m.MP, 255);
    EXPECT_EQ(m.HT, 65535);
    EXPECT_EQ(m.VP1, 4294967295u);
    EXPECT_EQ(m.CH[15].THR, 65535);
    EXPECT_EQ(m.reserved[4], 255);
}

struct Refusal {
    const char* what;
    std::function<void(json&)> spoil;
    const char* message;  // the whole line, or its start when ending in "..."
};

TEST(MsetJson, RefusalsNameTheKeyAndLeaveTheSettingsAlone) {
    const std::vector<Refusal> cases{
        {"missing scalar", [](json& j) { j.erase("VP1"); }, "VP1: missing"},
        {"missing MARK", [](json& j) { j.erase("MARK"); }, "MARK: missing"},
        {"unknown key", [](json& j) { j["VP5"] = 1; }, "VP5: unknown key"},
        {"key with a newline", [](json& j) { j["a\nb"] = 1; }, "a\\nb: unknown key"},
        {"missing CH", [](json& j) { j.erase("CH"); }, "CH: missing"},
        {"short CH", [](json& j) { j["CH"].erase(15); }, "CH: not an array of 16 objects"},
        {"CH not an array", [](json& j) { j["CH"] = 3; }, "CH: not an array of 16 objects"},
        {"CH row not an object", [](json& j) { j["CH"][2] = 1; }, "CH[2]: not an object"},
        {"missing row field", [](json& j) { j["CH"][3].erase("THR"); }, "CH[3].THR: missing"},
        {"unknown row field", [](json& j) { j["CH"][3]["FOO"] = 1; }, "CH[3].FOO: unknown key"},
        {"too wide", [](json& j) { j["CH"][3]["THR"] = 70000; },
         "CH[3].THR: 70000 does not fit 16 bits"},
        {"byte too wide", [](json& j) { j["MP"] = 256; }, "MP: 256 does not fit 8 bits"},
        {"u32 too wide", [](json& j) { j["VP1"] = 4294967296ull; },
         "VP1: 4294967296 does not fit 32 bits"},
        {"negative", [](json& j) { j["HT"] = -1; }, "HT: -1 does not fit 16 bits"},
        {"float", [](json& j) { j["VP1"] = 9600.0; }, "VP1: 9600.0 is not an integer"},
        {"string", [](json& j) { j["VP1"] = "9600"; }, "VP1: \"9600\" is not an integer"},
        {"bool", [](json& j) { j["GCH"] = true; }, "GCH: true is not an integer"},
        {"null", [](json& j) { j["CH"][0]["RXF"] = nullptr; }, "CH[0].RXF: null is not an integer"},
        {"missing reserved", [](json& j) { j.erase("reserved"); }, "reserved: missing"},
        {"short reserved", [](json& j) { j["reserved"].erase(4); },
         "reserved: not an array of 5 integers"},
        {"reserved too wide", [](json& j) { j["reserved"][2] = 256; },
         "reserved[2]: 256 does not fit 8 bits"},
        {"not an object", [](json& j) { j = json::array(); }, "settings: not a JSON object"},
    };
    for (const auto& c : cases) {
        json j = msetToJson(defaultSettings());
        c.spoil(j);
        Mset m;
        m.MARK = 77;
        EXPECT_EQ(msetFromJson(j, m), c.message) << c.what;
        EXPECT_EQ(m.MARK, 77u) << c.what << ": settings changed by a refused import";
    }
}

}  // namespace
}  // namespace modem

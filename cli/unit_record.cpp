#include "cli/unit_record.h"

#include <nlohmann/json.hpp>

#include <cstdio>

#include "settings/safe_write.h"
#include "version/version.h"

namespace modem::cli {

namespace {

using nlohmann::ordered_json;

struct UtcTime {
    int year;
    unsigned month, day, hour, minute, second, millisecond;
};

// Civil time from the clock's epoch, without the C library's non-reentrant
// calls: units finish on threads of their own.
UtcTime utc(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    return {int(date.year()),
            unsigned(date.month()),
            unsigned(date.day()),
            static_cast<unsigned>(clock.hours().count()),
            static_cast<unsigned>(clock.minutes().count()),
            static_cast<unsigned>(clock.seconds().count()),
            static_cast<unsigned>(clock.subseconds().count())};
}

ordered_json orNull(const std::optional<std::string>& text) {
    return text ? ordered_json(*text) : ordered_json(nullptr);
}

}  // namespace

std::string utcTimestamp(std::chrono::system_clock::time_point time) {
    const UtcTime t = utc(time);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02u.%03uZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return text;
}

std::string recordBaseName(const UnitTarget& unit, std::chrono::system_clock::time_point started) {
    const UtcTime t = utc(started);
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02u%02uT%02u%02u%02u.%03uZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return unitFileName(unit) + "-" + text;
}

std::string recordJson(const UnitRecord& record) {
    ordered_json j;
    j["port"] = record.unit.port;
    j["serial"] = orNull(record.unit.serial);
    j["command"] = record.command;
    j["version"] = std::string("modemctl ") + versionText();
    j["started"] = utcTimestamp(record.started);
    j["ended"] = utcTimestamp(record.ended);
    j["modemVersion"] = orNull(record.version);
    j["imageSha256"] = orNull(record.imageSha256);
    ordered_json verification;
    verification["verified"] = record.verified ? ordered_json(*record.verified) : nullptr;
    ordered_json differences = ordered_json::array();
    for (const ShownDifference& d : record.differences) {
        differences.push_back({{"field", d.name}, {"sent", d.a}, {"modem", d.b}});
    }
    verification["differences"] = std::move(differences);
    j["verification"] = std::move(verification);
    j["profileStored"] =
        record.profileStored ? ordered_json(*record.profileStored) : ordered_json(nullptr);
    j["result"] = record.ok ? "ok" : "failed";
    j["error"] = orNull(record.error);
    // Texts from the modem may hold bytes that are not UTF-8; they are replaced, never fatal.
    return j.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

std::string writeRecord(const std::filesystem::path& dir, const std::string& base,
                        const UnitRecord& record) {
    const std::string text = recordJson(record);
    const WriteStatus status = writeFileAtomically(
        dir / (base + ".json"), {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    return status.ok() ? std::string() : status.reason;
}

}  // namespace modem::cli

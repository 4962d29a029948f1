#include "settings/settings_file.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

#include "settings/safe_write.h"

namespace modem {

namespace {

FileStatus failed(std::string_view message, std::string detail) {
    return FileStatus{false, message, fileMessages::caption, std::move(detail)};
}

}  // namespace

FileStatus saveSettingsFile(const std::filesystem::path& path, const Mset& mset) {
    std::array<std::uint8_t, settingsFileSize> file{};
    const MsetImage image = toImage(mset);
    std::copy(image.begin(), image.end(), file.begin());

    WriteStatus written = writeFileAtomically(path, file);
    switch (written.outcome) {
        case WriteOutcome::Ok:
            return {};
        case WriteOutcome::CannotCreate:
            return failed(fileMessages::couldNotSave, std::move(written.reason));
        case WriteOutcome::CannotWrite:
            break;
    }
    return failed(fileMessages::couldNotWrite, std::move(written.reason));
}

FileStatus loadSettingsFile(const std::filesystem::path& path, Mset& mset) {
    std::error_code ec;
    // A folder opens as a stream on some systems and only fails on reading;
    // it is a file that cannot be loaded, not one that cannot be read.
    if (path.empty() || std::filesystem::is_directory(path, ec)) {
        return failed(fileMessages::couldNotLoad, path.empty() ? "no file name" : "is a folder");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        return failed(fileMessages::couldNotLoad, "cannot open");
    }
    // Only a whole image is taken: a short file would otherwise leave part of
    // the settings as whatever was there before, with no sign of it.
    MsetImage image{};
    in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
    const auto got = in.gcount();
    if (got != static_cast<std::streamsize>(image.size())) {
        return failed(
            fileMessages::couldNotRead,
            in.bad() ? "read error" : "file shorter than " + std::to_string(msetsize) + " bytes");
    }
    mset = fromImage(image);
    return {};
}

}  // namespace modem

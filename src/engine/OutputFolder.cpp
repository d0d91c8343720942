#include "engine/OutputFolder.h"

#include "base/Errors.h"
#include "os/File.h"
#include "os/Text.h"
#include "os/WindowsNames.h"

#include <ctime>
#include <system_error>

namespace jw {

namespace fs = std::filesystem;

ClockTime LocalTimeOfDay() {
    const std::time_t now = std::time(nullptr);
    // The only caller of the C library's shared local-time buffer; both
    // programs ask for the time of day on one thread.
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) Fail(ErrorKind::InvalidArgument, "the local time of day cannot be read");
    return {local->tm_hour, local->tm_min, local->tm_sec};
}

std::string FolderSeparatorFor(std::string_view shortDateFormat) {
    constexpr std::string_view kNotInFolderNames = "/\\:*?\"<>|";
    for (const char c : shortDateFormat) {
        const auto u = static_cast<unsigned char>(c);
        const bool letterOrDigit = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
        if (letterOrDigit || u >= 0x80) continue;
        if (u <= ' ' || u == 0x7F || kNotInFolderNames.find(c) != std::string_view::npos) break;
        return std::string(1, c);
    }
    return "-";
}

std::string FolderTimeStamp(ClockTime time, std::string_view separator) {
    const auto two = [](int n, const char* what) {
        if (n < 0 || n > 99) Fail(ErrorKind::InvalidArgument, std::string("the ") + what + " " + std::to_string(n) +
                                                                  " of a time of day does not have two digits");
        return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
    };
    std::string text = two(time.Hour, "hour");
    text += separator;
    text += two(time.Minute, "minute");
    text += separator;
    text += two(time.Second, "second");
    return text;
}

std::string OutputFolderName(std::string_view timeStamp) {
    return std::string(kOutputFolderPrefix) + std::string(timeStamp);
}

namespace {

[[noreturn]] void RefuseExisting(const fs::path& folder) {
    Fail(ErrorKind::Refused,
         "The output folder " + os::PathText(folder) + " already exists; a merge always makes a new folder.");
}

}  // namespace

void CheckOutputFolderCanBeMade(const fs::path& folder) {
    os::CheckNewFolderName(folder, ErrorKind::Refused);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder, ec))) RefuseExisting(folder);
    const fs::path parent = folder.parent_path();
    const auto st = fs::status(parent, ec);
    if (!fs::exists(st))
        Fail(ErrorKind::Refused,
             "The folder " + os::PathText(parent) + " that is to hold the output folder does not exist.");
    if (!fs::is_directory(st))
        Fail(ErrorKind::Refused, os::PathText(parent) + " is not a folder; the output folder cannot be made in it.");
}

}  // namespace jw

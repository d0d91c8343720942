// Progress on standard error, only when it is a terminal and only once the
// work has run for a while: short runs and redirected output see nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace jw::cli {

class Progress {
public:
    // enabled: usually whether standard error is a terminal.
    Progress(std::string label, bool enabled);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // done of total (files, bytes), shown as a percentage, then detail.
    void Update(std::uint64_t done, std::uint64_t total, const std::string& detail = {});
    // Clears the line if anything was shown.
    void Finish();

private:
    using Clock = std::chrono::steady_clock;
    std::string label_;
    bool enabled_;
    bool shown_ = false;
    int width_ = 0;  // of the line shown
    Clock::time_point start_;
    Clock::time_point last_;
};

// Delay before progress appears, and the least time between two updates.
inline constexpr std::chrono::milliseconds kProgressDelay{1000};
inline constexpr std::chrono::milliseconds kProgressInterval{200};

}  // namespace jw::cli

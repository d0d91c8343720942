#include "cli/Progress.h"

#include <cstdio>

#include "os/Process.h"

namespace jw::cli {


Progress::Progress(std::string label, bool enabled)
    : label_(std::move(label)), enabled_(enabled), start_(Clock::now()), last_(start_) {}

Progress::~Progress() { Finish(); }

void Progress::Update(std::uint64_t done, std::uint64_t total) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - start_ < kProgressDelay) return;
    if (shown_ && now - last_ < kProgressInterval && done < total) return;
    last_ = now;
    const unsigned percent = total == 0 ? 100U : static_cast<unsigned>(done * 100 / total);
    std::fprintf(stderr, "\r%s: %3u%%", label_.c_str(), percent > 100 ? 100U : percent);
    std::fflush(stderr);
    shown_ = true;
}

void Progress::Finish() {
    if (!shown_) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(label_.size()) + 6, "");
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace jw::cli

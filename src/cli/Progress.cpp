#include "cli/Progress.h"

#include <algorithm>
#include <cstdio>

#include "os/Process.h"

namespace jw::cli {


Progress::Progress(std::string label, bool enabled)
    : label_(std::move(label)), enabled_(enabled), start_(Clock::now()), last_(start_) {}

Progress::~Progress() { Finish(); }

void Progress::Update(std::uint64_t done, std::uint64_t total, const std::string& detail) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - start_ < kProgressDelay) return;
    if (shown_ && now - last_ < kProgressInterval && done < total) return;
    last_ = now;
    const unsigned percent = total == 0 ? 100U : static_cast<unsigned>(done * 100 / total);
    // Blanks after a shorter line cover what the longer one before left.
    const int width = std::fprintf(stderr, "\r%s: %3u%%%s%s", label_.c_str(), percent > 100 ? 100U : percent,
                                   detail.empty() ? "" : "  ", detail.c_str()) - 1;
    if (width < width_) std::fprintf(stderr, "%*s", width_ - width, "");
    width_ = std::max(width, width_);
    std::fflush(stderr);
    shown_ = true;
}

void Progress::Finish() {
    if (!shown_) return;
    std::fprintf(stderr, "\r%*s\r", width_, "");
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace jw::cli

#include "app/cli/CliProgress.h"

#include <cstdio>
#include <unistd.h>

CliProgress::CliProgress(const char* command, bool quiet)
    : command_(command), active_(!quiet && isatty(STDERR_FILENO) == 1) {}

CliProgress::~CliProgress() {
    Finish();
}

void CliProgress::Show(const std::string& text) {
    if (!active_)
        return;
    std::string line = command_ + ": " + text;
    const std::size_t width = line.size();
    // Blanks over the rest of a longer line shown before.
    if (width < shownWidth_)
        line.append(shownWidth_ - width, ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    shownWidth_ = width;
}

void CliProgress::Finish() {
    if (!active_ || shownWidth_ == 0)
        return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    shownWidth_ = 0;
}

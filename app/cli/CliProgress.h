#pragma once

#include <string>

// Progress of a long step on stderr, one line rewritten in place with '\r'.
// Shown only when stderr is a terminal and the operator did not ask for
// --quiet, so scripts and logs never see it.
class CliProgress {
public:
    CliProgress(const char* command, bool quiet);
    ~CliProgress();
    CliProgress(const CliProgress&) = delete;
    CliProgress& operator=(const CliProgress&) = delete;

    bool Active() const { return active_; }
    // Replaces the line with "<command>: <text>".
    void Show(const std::string& text);
    // Ends the line, when one is shown, so the next message starts afresh.
    void Finish();

private:
    std::string command_;
    bool active_;
    std::size_t shownWidth_ = 0;
};

#include "base/MessageSeam.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace {
StderrMessageSink g_stderrSink;
std::atomic<MessageSink*> g_sink{nullptr};
} // namespace

MessageAnswer StderrMessageSink::Show(const std::string& text, MessageIcon icon,
                                      const std::string& caption) {
    if (caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    if (icon == MessageIcon::Question && !isatty(STDIN_FILENO))
        return MessageAnswer::Cancel;
    return MessageAnswer::Ok;
}

MessageSink* SetMessageSink(MessageSink* sink) {
    MessageSink* old = g_sink.exchange(sink);
    return old ? old : &g_stderrSink;
}

MessageAnswer ShowMessage(const std::string& text, MessageIcon icon, const std::string& caption) {
    MessageSink* sink = g_sink.load();
    return (sink ? sink : &g_stderrSink)->Show(text, icon, caption);
}

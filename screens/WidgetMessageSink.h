#pragma once

#include "base/MessageSeam.h"

// Shows operator messages as message boxes on the user-interface thread
// (messages from other threads are handed over and waited for).
class WidgetMessageSink : public MessageSink {
public:
    MessageAnswer Show(const std::string& text, MessageIcon icon,
                       const std::string& caption) override;
};

#pragma once

#include <string>

// Operator messages raised below the windows ("pcap_findalldevs error",
// "Failed to open database, unable to get data.", ...) go through this one seam.
// The desktop program installs a sink that shows a message box, quorvantix-cli
// one that writes to stderr, and tests one that records and answers.

enum class MessageIcon { None, Exclamation, Question, Information, Error };
enum class MessageAnswer { Ok, Cancel };

// The caption of messages that carry the application's name.
inline constexpr const char* kAppCaption = "Quorvantix";

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // text and caption are UTF-8. Question messages are answered Ok or Cancel;
    // every other icon is answered Ok.
    virtual MessageAnswer Show(const std::string& text, MessageIcon icon,
                               const std::string& caption) = 0;
};

// Writes "caption: text" to stderr and answers Ok (Cancel for questions when
// standard input is not a terminal, so scripts never wait for a person).
class StderrMessageSink : public MessageSink {
public:
    MessageAnswer Show(const std::string& text, MessageIcon icon,
                       const std::string& caption) override;
};

// Installs the process-wide sink (nullptr restores the stderr sink) and
// returns the previous one. Any thread may show a message; the sink decides
// how to reach the user-interface thread.
MessageSink* SetMessageSink(MessageSink* sink);

MessageAnswer ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::Exclamation,
                          const std::string& caption = kAppCaption);

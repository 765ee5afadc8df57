#pragma once

#include "base/MessageSeam.h"
#include "payload/ParameterSheet.h"

#include <string>
#include <vector>

// The payload pieces of the commands that send files (push, watch): the
// files an operator chose, their checks, and the message and sheet steps of
// the submission core as the command line takes them.

// The files of one command line; command names it in every message.
struct PayloadChoice {
    const char* command = "push";
    std::string config; // the configuration template, or empty
    std::string logo;   // the logo, or empty
    std::string sheet;  // the parameter sheet, or empty
};

// Messages to stderr as the other commands show them; the command line
// itself is the operator's confirmation, so questions are answered OK.
class PushMessageSink : public MessageSink {
public:
    MessageAnswer Show(const std::string& text, MessageIcon icon,
                       const std::string& caption) override;
};

// Puts a sink in place for the scope and restores the previous one.
class ScopedSink {
public:
    explicit ScopedSink(MessageSink* sink) : previous_(SetMessageSink(sink)) {}
    ~ScopedSink() { SetMessageSink(previous_); }
    ScopedSink(const ScopedSink&) = delete;
    ScopedSink& operator=(const ScopedSink&) = delete;

private:
    MessageSink* previous_;
};

// The sheet step of the command line: the sheet is never opened in another
// program; a failed rule leaves the sheet's path for the operator instead.
class CliSheet : public CParameterSheet {
public:
    using CParameterSheet::CParameterSheet;
    bool ReadSheet(const std::string& sheetPath, const DeviceParams& templateParams,
                   int deviceCount, std::vector<DeviceParams>& records) override;
    bool OpenSheet(const std::string&) override;
    bool readFailed = false;
    bool ruleFailed = false;
};

// The checks the dialog makes when a file is chosen, each refusal naming
// the option and the file next to the program's own message. kExitOk when
// every chosen file passes, else kExitRefused.
int CheckChosenFiles(const PayloadChoice& choice);

// After the submission's Prepare refused: names the choice at fault on
// stderr, in the order Prepare checks.
void NameRefusedChoice(const PayloadChoice& choice, const CliSheet& sheet);

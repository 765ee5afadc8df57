#pragma once

#include "base/MessageSeam.h"

#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace qvtest {

// A fresh, empty program folder for one test; set as the program directory
// while it lives and removed with everything in it afterwards.
class TempProgramDir {
public:
    TempProgramDir();
    ~TempProgramDir();
    TempProgramDir(const TempProgramDir&) = delete;
    TempProgramDir& operator=(const TempProgramDir&) = delete;

    // The folder, ending with '/'.
    const std::string& path() const { return path_; }
    std::string file(const std::string& relative) const { return path_ + relative; }
    // Writes bytes to a file below the folder, making parent folders.
    void write(const std::string& relative, const std::string& bytes) const;
    std::string read(const std::string& relative) const;

private:
    std::string path_;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

struct ShownMessage {
    std::string text;
    MessageIcon icon;
    std::string caption;
};

// Installed as the message sink while it lives: records every message and
// answers from a queue (Ok when the queue is empty).
class RecordingMessageSink : public MessageSink {
public:
    RecordingMessageSink();
    ~RecordingMessageSink() override;

    MessageAnswer Show(const std::string& text, MessageIcon icon,
                       const std::string& caption) override;
    void setNextAnswer(MessageAnswer answer);
    std::vector<ShownMessage> messages() const;
    std::vector<std::string> texts() const;
    void clear();

private:
    mutable std::mutex lock_;
    std::vector<ShownMessage> messages_;
    std::deque<MessageAnswer> answers_;
    MessageSink* previous_;
};

// The folder of the built program (build/bin/), from QV_BIN_DIR set by ctest.
std::string BinDir();
// The source tree root, from QV_SOURCE_DIR set by ctest.
std::string SourceDir();

} // namespace qvtest

#include "tests/support/TestSupport.h"

#include "base/ProgramDirectory.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace qvtest {

TempProgramDir::TempProgramDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvtest-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = std::string(buffer.data()) + "/";
    SetProgramDirectory(path_);
}

TempProgramDir::~TempProgramDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempProgramDir::write(const std::string& relative, const std::string& bytes) const {
    std::filesystem::path p(path_ + relative);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempProgramDir::read(const std::string& relative) const {
    return ReadFileBytes(path_ + relative);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

RecordingMessageSink::RecordingMessageSink() : previous_(SetMessageSink(this)) {}

RecordingMessageSink::~RecordingMessageSink() {
    SetMessageSink(previous_);
}

MessageAnswer RecordingMessageSink::Show(const std::string& text, MessageIcon icon,
                                         const std::string& caption) {
    std::lock_guard<std::mutex> guard(lock_);
    messages_.push_back({text, icon, caption});
    if (answers_.empty())
        return MessageAnswer::Ok;
    MessageAnswer a = answers_.front();
    answers_.pop_front();
    return a;
}

void RecordingMessageSink::setNextAnswer(MessageAnswer answer) {
    std::lock_guard<std::mutex> guard(lock_);
    answers_.push_back(answer);
}

std::vector<ShownMessage> RecordingMessageSink::messages() const {
    std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

std::vector<std::string> RecordingMessageSink::texts() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::string> out;
    for (const auto& m : messages_)
        out.push_back(m.text);
    return out;
}

void RecordingMessageSink::clear() {
    std::lock_guard<std::mutex> guard(lock_);
    messages_.clear();
    answers_.clear();
}

std::string BinDir() {
    const char* d = std::getenv("QV_BIN_DIR");
    return d ? std::string(d) + "/" : std::string("build/bin/");
}

std::string SourceDir() {
    const char* d = std::getenv("QV_SOURCE_DIR");
    return d ? std::string(d) + "/" : std::string("./");
}

} // namespace qvtest

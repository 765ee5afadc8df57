#pragma once

#include <string>
#include <vector>

// One subcommand of quorvantix-cli. Each command lives in its own source file
// and registers itself with QV_CLI_COMMAND, so main() needs no edit for it.
// A command parses its own options (CliOptions) and answers --help itself.
struct CliCommand {
    const char* name;
    const char* summary;                              // one line for the command list
    int (*run)(const std::vector<std::string>& args); // args after the command name
};

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // ran, but something did not succeed
inline constexpr int kExitRefused = 2; // refused input or usage: message on stderr, nothing done

bool RegisterCliCommand(const CliCommand& command);
const std::vector<CliCommand>& CliCommands();

#define QV_CLI_CAT2(a, b) a##b
#define QV_CLI_CAT(a, b) QV_CLI_CAT2(a, b)
#define QV_CLI_COMMAND(...)                                                                        \
    namespace {                                                                                    \
    [[maybe_unused]] const bool                                                                    \
        QV_CLI_CAT(qvCliRegistered, __LINE__) = RegisterCliCommand(CliCommand{__VA_ARGS__});       \
    }

// quorvantix-cli: the program's core without windows, for scripted batches.

#include "app/cli/CliCommand.h"
#include "base/FolderTrust.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/ProgramDirectory.h"
#include "base/Settings.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {
std::vector<CliCommand>& Registry() {
    static std::vector<CliCommand> commands;
    return commands;
}

void PrintHelp() {
    std::printf("Usage: quorvantix-cli [--home DIR] COMMAND [OPTIONS]\n"
                "       quorvantix-cli --help | --version\n\n"
                "Options:\n"
                "  --home DIR   use DIR as the program folder (default: the executable's folder)\n"
                "  --help       show this text\n"
                "  --version    print the version text\n");
    if (!Registry().empty()) {
        std::printf("\nCommands:\n");
        for (const CliCommand& c : Registry())
            std::printf("  %s\n", c.usage);
    }
    std::printf("\nExit codes: 0 success, 1 failure, 2 refused input.\n");
}
} // namespace

bool RegisterCliCommand(const CliCommand& command) {
    Registry().push_back(command);
    return true;
}

const std::vector<CliCommand>& CliCommands() {
    return Registry();
}

int main(int argc, char** argv) {
    // Every file and folder the program makes is its operator's alone.
    ::umask(077);
    std::vector<std::string> args(argv + 1, argv + argc);
    size_t i = 0;
    while (i < args.size()) {
        if (args[i] == "--help" || args[i] == "-h") {
            PrintHelp();
            return kExitOk;
        }
        if (args[i] == "--version") {
            std::printf("%s\n", BuildVersionText().c_str());
            return kExitOk;
        }
        if (args[i] == "--home" || args[i].rfind("--home=", 0) == 0) {
            std::string home;
            if (args[i] == "--home") {
                home = i + 1 < args.size() ? args[i + 1] : std::string();
                i += 2;
            } else {
                home = args[i].substr(7);
                i += 1;
            }
            if (home.empty()) {
                std::fprintf(stderr, "--home needs a folder\n");
                return kExitRefused;
            }
            SetProgramDirectory(home);
            continue;
        }
        if (args[i].size() > 1 && args[i][0] == '-') {
            std::fprintf(stderr, "unknown option: %s (see --help)\n", args[i].c_str());
            return kExitRefused;
        }
        break;
    }
    if (i >= args.size()) {
        PrintHelp();
        return kExitRefused;
    }

    const std::string dir = GetProgramDirectory();
    if (const std::string refusal = UntrustedProgramFolderMessage(dir); !refusal.empty()) {
        std::fprintf(stderr, "%s\n", refusal.c_str());
        return kExitRefused;
    }
    InitLanguage(dir);
    LoadSettings(Settings(), dir);

    for (const CliCommand& c : Registry()) {
        if (args[i] == c.name)
            return c.run(
                std::vector<std::string>(args.begin() + static_cast<long>(i) + 1, args.end()));
    }
    std::fprintf(stderr, "unknown command: %s (see --help)\n", args[i].c_str());
    return kExitRefused;
}

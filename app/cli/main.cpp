// quorvantix-cli: the program's core without windows, for scripted batches.

#include "app/cli/CliCommand.h"
#include "base/FolderTrust.h"
#include "base/Language.h"
#include "base/MessageSeam.h"
#include "base/ProgramDirectory.h"
#include "base/Settings.h"

#include <QCommandLineParser>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {
std::vector<CliCommand>& Registry() {
    static std::vector<CliCommand> commands;
    return commands;
}

const CliCommand* FindCommand(const std::string& name) {
    for (const CliCommand& c : Registry()) {
        if (name == c.name)
            return &c;
    }
    return nullptr;
}

void PrintHelp(FILE* out) {
    std::fprintf(out, "Usage: quorvantix-cli [--home DIR] COMMAND [OPTIONS]\n"
                      "       quorvantix-cli help COMMAND | COMMAND --help\n"
                      "       quorvantix-cli --help | --version\n\n"
                      "Options:\n"
                      "  --home DIR     use DIR as the program folder (default: QUORVANTIX_HOME,\n"
                      "                 else the executable's folder)\n"
                      "  -h, --help     show this text and exit\n"
                      "  -V, --version  print the version text and exit\n");
    std::vector<CliCommand> commands = Registry();
    std::sort(commands.begin(), commands.end(), [](const CliCommand& a, const CliCommand& b) {
        return std::string(a.name) < b.name;
    });
    std::fprintf(out, "\nCommands:\n");
    for (const CliCommand& c : commands)
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "\nExit codes: 0 success, 1 failure, 2 refused input or usage error.\n");
}

int UsageError(const std::string& message) {
    std::fprintf(stderr,
                 "quorvantix-cli: %s\nUsage: quorvantix-cli [--home DIR] COMMAND [OPTIONS]\n"
                 "Try 'quorvantix-cli --help' for more information.\n",
                 message.c_str());
    return kExitRefused;
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
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    // Options after the command name are the command's own.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption home(QStringLiteral("home"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    parser.addOptions({home, help, version});
    if (!parser.parse(list))
        return UsageError(parser.errorText().toStdString());
    if (parser.isSet(help)) {
        PrintHelp(stdout);
        return kExitOk;
    }
    if (parser.isSet(version)) {
        std::printf("%s\n", BuildVersionText().c_str());
        return kExitOk;
    }
    std::vector<std::string> args;
    for (const QString& a : parser.positionalArguments())
        args.push_back(a.toStdString());
    if (args.empty())
        return UsageError("a command is required");

    if (args[0] == "help") {
        if (args.size() == 1) {
            PrintHelp(stdout);
            return kExitOk;
        }
        const CliCommand* command = FindCommand(args[1]);
        if (!command || args.size() > 2)
            return UsageError(command ? "help takes one command" : "unknown command: " + args[1]);
        return command->run({"--help"});
    }

    if (parser.isSet(home)) {
        const std::string dir = parser.value(home).toStdString();
        if (dir.empty())
            return UsageError("--home needs a folder");
        SetProgramDirectory(dir);
    }
    const CliCommand* command = FindCommand(args[0]);
    if (!command)
        return UsageError("unknown command: " + args[0]);

    const std::string dir = GetProgramDirectory();
    if (const std::string refusal = UntrustedProgramFolderMessage(dir); !refusal.empty()) {
        std::fprintf(stderr, "%s\n", refusal.c_str());
        return kExitRefused;
    }
    InitLanguage(dir);
    LoadSettings(Settings(), dir);
    return command->run(std::vector<std::string>(args.begin() + 1, args.end()));
}

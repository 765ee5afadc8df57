#pragma once

#include <QCommandLineParser>
#include <string>
#include <vector>

// The options of one quorvantix-cli command, parsed with QCommandLineParser:
// "--opt value" and "--opt=value", "-o value" for short names, "--" ends the
// options. Every command gets -h/--help. The help text lists the options,
// the output's columns and the exit codes.

struct CliOption {
    const char* names;       // "adapter", or "o,output" for a short and a long name
    const char* valueName;   // "IFACE"; nullptr for a flag
    const char* description; // one line
    // "--mac A B C": the words that follow the value are values too, up to
    // the next word that begins with '-'.
    bool takesList = false;
};

struct CliHelp {
    const char* command;     // "push", or "sheet export"
    const char* synopsis;    // what follows the command in the usage line
    const char* description; // a paragraph, lines broken by '\n'
    const char* output;      // the output's columns, lines broken by '\n'
    const char* exitCodes;   // lines broken by '\n'
};

class CliOptions {
public:
    CliOptions(const CliHelp& help, std::vector<CliOption> options);

    // Parses the arguments after the command name. Returns -1 to go on;
    // kExitOk after --help (the help on stdout); kExitRefused after a usage
    // error (the reason, the usage line and a hint on stderr).
    int Parse(const std::vector<std::string>& args);

    bool Has(const char* name) const;
    // The last value given, or empty.
    std::string Value(const char* name) const;
    std::vector<std::string> Values(const char* name) const;
    std::vector<std::string> Positional() const;

    // Prints "<command>: <message>", the usage line and the hint on stderr;
    // gives kExitRefused.
    int UsageError(const std::string& message) const;
    // A count option within [low, high]; false after a usage error naming
    // the option (the caller gives kExitRefused). Leaves value as it was when
    // the option is absent.
    bool Count(const char* name, int low, int high, int& value) const;

    std::string HelpText() const;
    std::string UsageLine() const;

private:
    CliHelp help_;
    std::vector<CliOption> options_;
    QCommandLineParser parser_;
};

#include "app/cli/CliOptions.h"

#include "app/cli/CliCommand.h"
#include "app/cli/CliSupport.h"

#include <QStringList>
#include <algorithm>
#include <cstdio>

namespace {

QStringList NamesOf(const CliOption& o) {
    return QString::fromUtf8(o.names).split(QLatin1Char(','));
}

// "-o, --output FILE" or "    --adapter IFACE".
std::string OptionLabel(const CliOption& o) {
    std::string shortName, longName;
    for (const QString& n : NamesOf(o))
        (n.size() == 1 ? shortName : longName) = n.toStdString();
    std::string label = shortName.empty() ? "    " : "-" + shortName + ", ";
    label += "--" + longName;
    if (o.valueName) {
        label += std::string(" ") + o.valueName;
        if (o.takesList)
            label += "...";
    }
    return label;
}

// Each line of a '\n'-broken text, indented.
std::string Indented(const char* text, const char* indent) {
    std::string out;
    std::string line;
    for (const char* p = text;; ++p) {
        if (*p == '\n' || *p == '\0') {
            out += indent + line + "\n";
            line.clear();
            if (*p == '\0')
                break;
        } else {
            line += *p;
        }
    }
    return out;
}

} // namespace

CliOptions::CliOptions(const CliHelp& help, std::vector<CliOption> options)
    : help_(help), options_(std::move(options)) {
    options_.push_back({"h,help", nullptr, "show this text and exit"});
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser_.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const CliOption& o : options_) {
        QCommandLineOption option(NamesOf(o));
        if (o.valueName)
            option.setValueName(QString::fromUtf8(o.valueName));
        parser_.addOption(option);
    }
}

int CliOptions::Parse(const std::vector<std::string>& args) {
    // The program name comes first for QCommandLineParser. "--mac A B C" is
    // handed on as "--mac A --mac B --mac C".
    QStringList list{QStringLiteral("quorvantix-cli")};
    const CliOption* listOption = nullptr;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded) {
            list << QString::fromStdString(a);
            continue;
        }
        if (listOption && !a.empty() && a[0] != '-') {
            list << QStringLiteral("--") + NamesOf(*listOption).constLast()
                 << QString::fromStdString(a);
            continue;
        }
        listOption = nullptr;
        list << QString::fromStdString(a);
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a.rfind("--", 0) != 0)
            continue;
        const std::size_t equals = a.find('=');
        const QString name = QString::fromStdString(a.substr(2, equals - 2));
        for (const CliOption& o : options_) {
            if (o.takesList && NamesOf(o).contains(name))
                listOption = &o;
        }
        if (listOption && equals == std::string::npos && i + 1 < args.size())
            list << QString::fromStdString(args[++i]);
    }
    if (!parser_.parse(list))
        return UsageError(parser_.errorText().toStdString());
    if (parser_.isSet(QStringLiteral("help"))) {
        std::fputs(HelpText().c_str(), stdout);
        return kExitOk;
    }
    return -1;
}

bool CliOptions::Has(const char* name) const {
    return parser_.isSet(QString::fromUtf8(name));
}

std::string CliOptions::Value(const char* name) const {
    return parser_.value(QString::fromUtf8(name)).toStdString();
}

std::vector<std::string> CliOptions::Values(const char* name) const {
    std::vector<std::string> out;
    for (const QString& v : parser_.values(QString::fromUtf8(name)))
        out.push_back(v.toStdString());
    return out;
}

std::vector<std::string> CliOptions::Positional() const {
    std::vector<std::string> out;
    for (const QString& v : parser_.positionalArguments())
        out.push_back(v.toStdString());
    return out;
}

int CliOptions::UsageError(const std::string& message) const {
    std::fprintf(stderr, "%s: %s\n%s\nTry 'quorvantix-cli %s --help' for more information.\n",
                 help_.command, message.c_str(), UsageLine().c_str(), help_.command);
    return kExitRefused;
}

bool CliOptions::Count(const char* name, int low, int high, int& value) const {
    if (!Has(name))
        return true;
    const std::string text = Value(name);
    if (ParseCount(text, low, high, value))
        return true;
    UsageError("--" + std::string(name) + " needs a whole number from " + std::to_string(low) +
               " to " + std::to_string(high) + ", not '" + text + "'");
    return false;
}

std::string CliOptions::UsageLine() const {
    return std::string("Usage: quorvantix-cli ") + help_.command + " " + help_.synopsis;
}

std::string CliOptions::HelpText() const {
    std::string text = UsageLine() + "\n\n" + Indented(help_.description, "") + "\nOptions:\n";
    std::size_t width = 0;
    for (const CliOption& o : options_)
        width = std::max(width, OptionLabel(o).size());
    for (const CliOption& o : options_) {
        std::string label = OptionLabel(o);
        label.resize(width, ' ');
        text += "  " + label + "  " + o.description + "\n";
    }
    text += "\nOutput:\n" + Indented(help_.output, "  ");
    text += "\nExit codes:\n" + Indented(help_.exitCodes, "  ");
    return text;
}

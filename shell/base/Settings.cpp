#include "shell/base/Settings.h"

// Placeholder implementations; the settings reader replaces them.

void LoadSettings(AppSettings& settings, const std::string& programDirectory) {
    settings.programDirectory = programDirectory;
    settings.rowHeight = 48;
    settings.versionText = BuildVersionText();
}

std::string GetSettingString(const std::string&, const std::string&, const std::string&,
                             const std::string& defaultText) {
    return defaultText;
}

bool ParseColorText(const std::string&, ColorRef&) { return false; }

std::string BuildVersionText() {
    return "V" + std::to_string(QV_VERSION_MAJOR) + "." + std::to_string(QV_VERSION_MINOR) + "." +
           std::to_string(QV_VERSION_PATCH) + "." + std::to_string(QV_VERSION_TWEAK);
}

AppSettings& Settings() {
    static AppSettings settings;
    return settings;
}

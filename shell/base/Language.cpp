#include "shell/base/Language.h"

// Placeholder implementations; the language tables replace them.

void InitLanguage(const std::string&) {}

std::string TranslateText(const std::string& source) { return source; }

QString TranslateText(const QString& source) { return source; }

int CurrentLocaleId() { return 1033; }

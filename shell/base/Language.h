#pragma once

#include <QString>
#include <string>

// Chooses the language from the locale environment and Languages/Language.ini
// below programDirectory. Cannot fail; falls back to English (1033).
void InitLanguage(const std::string& programDirectory);

// The text of the current language for an English source text, or the source
// itself (with the escape replacements applied). No cache; any thread may call.
std::string TranslateText(const std::string& source);
QString TranslateText(const QString& source);

// The Windows language identifier in use (1033 when the choice file named none).
int CurrentLocaleId();

#pragma once

#include <QString>
#include <string>

// Chooses the language from the locale environment and Languages/Language.ini
// below programDirectory (for the program's working folder: the operator's own
// Languages/ files there, else the shipped ones; see FindResourceFile). Cannot
// fail; falls back to English (1033).
void InitLanguage(const std::string& programDirectory);

// The text of the current language for an English source text, or the source
// itself (with the escape replacements applied). No cache; any thread may call.
std::string TranslateText(const std::string& source);
QString TranslateText(const QString& source);

// The Windows language identifier in use (1033 when the choice file named none).
int CurrentLocaleId();

// The language name chosen by InitLanguage ("English" by default) and the full
// path of its .lng file.
std::string CurrentLanguageName();
std::string CurrentLanguageFile();

// The Windows language identifier of a POSIX locale name such as "zh_CN.UTF-8",
// "de_DE@euro" or "fr"; 1033 for "C", "POSIX", empty and unknown names.
int LocaleNameToLcid(const std::string& localeName);

// The system's locale number: the first non-empty of LC_ALL, LC_MESSAGES and LANG
// through LocaleNameToLcid.
int SystemLocaleId();

// The escape replacements of a language-file value, in order and over the whole
// text: "\r\n" -> CR LF, "\n" -> LF, "[~NullInfoChrys~]" -> nothing, "[~Null~]" -> " ".
QString ApplyLanguageReplacements(QString text);

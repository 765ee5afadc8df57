#include "base/Language.h"

#include "base/IniFile.h"
#include "base/ProgramDirectory.h"

#include <cstdlib>
#include <mutex>
#include <string_view>

namespace {

struct LanguageState {
    std::string programDirectory;
    std::string name = "English";
    std::string file;
    int localeId = 1033;
};

std::mutex g_lock;
LanguageState g_state;

LanguageState CurrentState() {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state;
}

// A language-file value holds at most 1022 characters.
constexpr qsizetype kMaxValueChars = 1022;

struct LocaleEntry {
    std::string_view name; // "ll_CC" or "ll" (the language's main country)
    int lcid;
};

// Windows language identifiers of the usual locales. A bare language code maps to
// the identifier of its main country, so "de" and "de_AT"-less systems still match.
constexpr LocaleEntry kLocales[] = {
    {"en_US", 1033}, {"en_GB", 2057}, {"en_AU", 3081},  {"en_CA", 4105},  {"en_NZ", 5129},
    {"en_IE", 6153}, {"en_ZA", 7177}, {"en_IN", 16393}, {"en_SG", 18441}, {"en", 1033},
    {"zh_CN", 2052}, {"zh_TW", 1028}, {"zh_HK", 3076},  {"zh_SG", 4100},  {"zh_MO", 5124},
    {"zh", 2052},    {"de_DE", 1031}, {"de_CH", 2055},  {"de_AT", 3079},  {"de_LU", 4103},
    {"de", 1031},    {"fr_FR", 1036}, {"fr_BE", 2060},  {"fr_CA", 3084},  {"fr_CH", 4108},
    {"fr", 1036},    {"es_ES", 3082}, {"es_MX", 2058},  {"es", 3082},     {"it_IT", 1040},
    {"it_CH", 2064}, {"it", 1040},    {"ja_JP", 1041},  {"ja", 1041},     {"ko_KR", 1042},
    {"ko", 1042},    {"nl_NL", 1043}, {"nl_BE", 2067},  {"nl", 1043},     {"pt_BR", 1046},
    {"pt_PT", 2070}, {"pt", 2070},    {"ru_RU", 1049},  {"ru", 1049},     {"pl_PL", 1045},
    {"pl", 1045},    {"sv_SE", 1053}, {"sv", 1053},     {"da_DK", 1030},  {"da", 1030},
    {"fi_FI", 1035}, {"fi", 1035},    {"nb_NO", 1044},  {"nb", 1044},     {"no", 1044},
    {"cs_CZ", 1029}, {"cs", 1029},    {"hu_HU", 1038},  {"hu", 1038},     {"tr_TR", 1055},
    {"tr", 1055},    {"el_GR", 1032}, {"el", 1032},     {"he_IL", 1037},  {"he", 1037},
    {"ar_SA", 1025}, {"ar", 1025},    {"th_TH", 1054},  {"th", 1054},     {"vi_VN", 1066},
    {"vi", 1066},    {"uk_UA", 1058}, {"uk", 1058},     {"ro_RO", 1048},  {"ro", 1048},
    {"id_ID", 1057}, {"id", 1057},
};

int LookUpLocale(std::string_view name) {
    for (const LocaleEntry& e : kLocales)
        if (e.name == name)
            return e.lcid;
    return 0;
}

} // namespace

int LocaleNameToLcid(const std::string& localeName) {
    std::string_view name = localeName;
    // Drop ".codeset" and "@modifier".
    const std::size_t cut = name.find_first_of(".@");
    if (cut != std::string_view::npos)
        name = name.substr(0, cut);
    std::string normal(name);
    for (char& c : normal)
        if (c == '-')
            c = '_';
    const std::size_t underscore = normal.find('_');
    for (std::size_t i = 0; i < normal.size(); ++i) {
        char& c = normal[i];
        if (i < underscore && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (underscore != std::string::npos && i > underscore && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    if (int lcid = LookUpLocale(normal))
        return lcid;
    if (underscore != std::string::npos)
        if (int lcid = LookUpLocale(std::string_view(normal).substr(0, underscore)))
            return lcid;
    return 1033;
}

int SystemLocaleId() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value)
            return LocaleNameToLcid(value);
    }
    return 1033;
}

void InitLanguage(const std::string& programDirectory) {
    LanguageState state;
    state.programDirectory = programDirectory;
    state.localeId = SystemLocaleId();

    const IniFile choice =
        IniFile::FromFile(FindResourceFile(programDirectory, "Languages/Language.ini"));
    state.name = choice.Get("LCID", std::to_string(state.localeId), "");
    if (state.name.empty()) {
        state.name = "English";
        state.localeId = 1033;
    }
    // A missing or empty language file needs no special case: every lookup then
    // falls back to its source text.
    state.file = FindResourceFile(programDirectory, "Languages/" + state.name + ".lng");

    std::lock_guard<std::mutex> guard(g_lock);
    g_state = std::move(state);
}

QString ApplyLanguageReplacements(QString text) {
    text.replace(QStringLiteral("\\r\\n"), QStringLiteral("\r\n"));
    text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    text.replace(QStringLiteral("[~NullInfoChrys~]"), QString());
    text.replace(QStringLiteral("[~Null~]"), QStringLiteral(" "));
    return text;
}

QString TranslateText(const QString& source) {
    if (source.isEmpty())
        return QStringLiteral("");
    const std::string key = source.toLower().toStdString();
    const std::string file = CurrentState().file;
    QString value;
    if (!file.empty()) {
        // Read afresh on every call: there is no cache.
        value = QString::fromStdString(
            IniFile::FindInFile(file, "ProgramOutStr", key).value_or(std::string()));
        if (value.size() > kMaxValueChars) {
            value.truncate(kMaxValueChars);
            if (value.back().isHighSurrogate())
                value.chop(1);
        }
    }
    if (value.isEmpty())
        value = source;
    return ApplyLanguageReplacements(std::move(value));
}

std::string TranslateText(const std::string& source) {
    return TranslateText(QString::fromStdString(source)).toStdString();
}

int CurrentLocaleId() {
    return CurrentState().localeId;
}

std::string CurrentLanguageName() {
    return CurrentState().name;
}

std::string CurrentLanguageFile() {
    return CurrentState().file;
}

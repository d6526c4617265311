#include "session/ui_language.h"

#include <cstdlib>
#include <string>

namespace kelvora::session {
namespace {

// The language part of a locale or LANGUAGE entry: "en" of "en_US.UTF-8@euro", lower case.
std::string LanguageOf(const std::string& name) {
    std::string language;
    for (const char c : name) {
        if (c == '_' || c == '.' || c == '@') break;
        language += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return language;
}

}  // namespace

bool EnglishFromEnvironment(const char* lcAll, const char* lcMessages, const char* lang, const char* language) {
    std::string locale;
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value && *value) {
            locale = value;
            break;
        }
    }
    if (locale.empty() || locale == "C" || locale == "POSIX") return false;
    if (language && *language) {
        const std::string entries = language;
        std::size_t start = 0;
        for (;;) {
            const std::size_t colon = entries.find(':', start);
            const std::string entry = LanguageOf(entries.substr(start, colon - start));
            if (entry == "en") return true;
            if (entry == "ja") return false;
            if (colon == std::string::npos) return false;
            start = colon + 1;
        }
    }
    return LanguageOf(locale) == "en";
}

bool EnglishFromEnvironment() {
    return EnglishFromEnvironment(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"),
                                  std::getenv("LANGUAGE"));
}

}  // namespace kelvora::session

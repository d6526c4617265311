#include "app/uilanguage.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QList>
#include <QTranslator>

namespace kelvora::ui {

namespace {

// The language part of a locale or LANGUAGE entry: "en" of "en_US.UTF-8@euro", lower case.
QByteArray LanguageOf(const QByteArray& name) {
    qsizetype end = 0;
    while (end < name.size() && name[end] != '_' && name[end] != '.' && name[end] != '@') ++end;
    return name.left(end).toLower();
}

}  // namespace

UiLanguage UiLanguageFromEnvironment() {
    QByteArray locale;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qgetenv(variable);
        if (!locale.isEmpty()) break;
    }
    if (locale.isEmpty() || locale == "C" || locale == "POSIX") return UiLanguage::Japanese;
    const QByteArray languages = qgetenv("LANGUAGE");
    if (!languages.isEmpty()) {
        for (const QByteArray& entry : languages.split(':')) {
            const QByteArray language = LanguageOf(entry);
            if (language == "en") return UiLanguage::English;
            if (language == "ja") return UiLanguage::Japanese;
        }
        return UiLanguage::Japanese;
    }
    return LanguageOf(locale) == "en" ? UiLanguage::English : UiLanguage::Japanese;
}

UiLanguage InstallUiTranslation() {
    // Owned here: the application keeps only a pointer.
    static QTranslator* installed = nullptr;
    static QTranslator* qtInstalled = nullptr;
    for (QTranslator** translator : {&installed, &qtInstalled}) {
        if (*translator) {
            QCoreApplication::removeTranslator(*translator);
            delete *translator;
            *translator = nullptr;
        }
    }
    const UiLanguage language = UiLanguageFromEnvironment();
    // Qt's own texts (the file dialogs, the standard buttons) in the window's language: Japanese
    // from Qt's translations (Debian's qt6-translations-l10n), English as Qt writes them.
    if (language == UiLanguage::Japanese) {
        auto* qt = new QTranslator;
        if (qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
            QCoreApplication::installTranslator(qt))
            qtInstalled = qt;
        else
            delete qt;
    }
    if (language == UiLanguage::English) {
        auto* translator = new QTranslator;
        // Compiled in by qt_add_translations (ui/CMakeLists.txt) under the prefix /i18n.
        if (translator->load(QStringLiteral(":/i18n/kelvora_en.qm")) && QCoreApplication::installTranslator(translator)) {
            installed = translator;
            return UiLanguage::English;
        }
        delete translator;
    }
    return UiLanguage::Japanese;
}

}  // namespace kelvora::ui

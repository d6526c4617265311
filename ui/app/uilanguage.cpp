#include "app/uilanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "session/ui_language.h"

namespace kelvora::ui {

UiLanguage UiLanguageFromEnvironment() {
    return session::EnglishFromEnvironment() ? UiLanguage::English : UiLanguage::Japanese;
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

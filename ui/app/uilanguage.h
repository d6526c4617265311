#pragma once
// The language of the window's texts. Japanese is the source text and the default; English comes
// from the translation compiled into the program (res/translations/kelvora_en.ts).

namespace kelvora::ui {

/// The languages the window speaks.
enum class UiLanguage { Japanese, English };

/// The person's UI language, read from the environment as gettext reads it: the locale is the first
/// non-empty of LC_ALL, LC_MESSAGES and LANG (none: the C locale). In the C locale ("C" or "POSIX")
/// the window is Japanese. Otherwise LANGUAGE, a colon-separated list such as "en_GB:ja", wins when
/// set: its first entry in Japanese or English decides, and a list with neither keeps the source,
/// Japanese. Without LANGUAGE the locale's language decides: English for en, en_US.UTF-8, ...,
/// Japanese for any other.
UiLanguage UiLanguageFromEnvironment();

/// Installs the translation for UiLanguageFromEnvironment() on the running application, replacing
/// one installed before (none for Japanese), with Qt's own translation of its dialogs and buttons
/// for Japanese (qtbase_ja.qm in Qt's translations directory, when installed), and returns the language the window now speaks
/// (Japanese when the translation could not be loaded). Call it before the first
/// window is built.
UiLanguage InstallUiTranslation();

}  // namespace kelvora::ui

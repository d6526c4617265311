#pragma once
// Which language a person's environment asks for, by one rule for the window and kelvora-cli's
// reports: English where the locale (or the first of LANGUAGE's entries that is English or
// Japanese) is English, Japanese otherwise, the C locale included.

namespace kelvora::session {

/// True for English. Each argument is the variable's value or nullptr when it is unset: LC_ALL,
/// LC_MESSAGES and LANG in that order of precedence, then LANGUAGE (a colon-separated list).
bool EnglishFromEnvironment(const char* lcAll, const char* lcMessages, const char* lang, const char* language);

/// The same from this process's environment.
bool EnglishFromEnvironment();

}  // namespace kelvora::session

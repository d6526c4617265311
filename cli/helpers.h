#pragma once
// Helpers every kelvora-cli subcommand shares: numbers, lists and ranges from the command line, the
// echo of arguments and file names in messages, exact numbers, and the progress bar.

#include <chrono>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "flags/flags.h"
#include "model/text.h"

namespace kelvora::cli {

// The argument tables are the application layer's; the subcommands name them as their own.
using flags::Flag;
using flags::FlagParse;
using flags::FlagTable;
using flags::HelpText;
using flags::ParseFlags;
using flags::Printable;
using flags::Quoted;
using flags::UnknownArgument;
using flags::Utf8Sequence;

// Numbers, lists and ranges as text: the core's, shared with the window.
using kelvora::ExactText;
using kelvora::ParseFiniteDouble;
using kelvora::ParseInteger;
using kelvora::ParseIntegerPair;
using kelvora::ParseRange;


/// A comma list's items in order. An empty list ("FLAG: the list is empty") or an empty item
/// ("FLAG: empty item in 'LIST'") is refused with the message in error.
bool SplitList(const std::string& flag, const std::string& value, std::vector<std::string>& items, std::string& error);

/// Writes "kelvora-cli COMMAND: message" to stderr and returns 2, the status of a refusal.
int Refuse(const char* command, const std::string& message);

/// text as the contents of a JSON string (without the quotes): '"' and '\' escaped, control bytes
/// as \u00xx, well-formed UTF-8 kept, and each byte of malformed UTF-8 as U+FFFD, so that any file
/// name gives valid JSON.
std::string JsonText(const std::string& text);

/// value as one line of JSON as kelvora-cli prints it (without the line end): members in the
/// order they were added, no spaces, strings through JsonText, doubles as ExactText writes them (the
/// shortest text that reads back exactly: 0.5, 1, 1e-05).
std::string JsonLine(const nlohmann::ordered_json& value);

/// A pose's three genes as a JSON array [a1,a2,a3].
template <typename Pose>
nlohmann::ordered_json PoseArray(const Pose& p) {
    return nlohmann::ordered_json::array({p.a1, p.a2, p.a3});
}

/// A one-line progress bar on stderr when it is a terminal ("\r[####    ] TAIL"), redrawn at most
/// ten times a second; nothing at all when disabled or stderr is not a terminal.
class ProgressBar {
public:
    /// wanted false (--quiet): never draws.
    explicit ProgressBar(bool wanted);

    /// Whether to draw now: at most every 100 ms, always when last (the final step).
    bool Due(bool last);

    /// Draws done of total (0 total: a full bar) and the tail text after it.
    void Draw(long long done, long long total, const std::string& tail);

    /// Seconds since the bar was made.
    double Seconds() const;

    /// Ends the bar's line, if one was drawn, so that a message starts on a line of its own.
    void Finish();

private:
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace kelvora::cli

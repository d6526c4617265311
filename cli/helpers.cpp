#include "helpers.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kelvora::cli {

bool SplitList(const std::string& flag, const std::string& value, std::vector<std::string>& items, std::string& error) {
    items.clear();
    if (value.empty()) {
        error = flag + ": the list is empty";
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = value.find(',', start);
        items.push_back(value.substr(start, comma - start));
        if (items.back().empty()) {
            error = flag + ": empty item in " + Quoted(value);
            return false;
        }
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

int Refuse(const char* command, const std::string& message) {
    std::fprintf(stderr, "kelvora-cli %s: %s\n", command, message.c_str());
    return 2;
}

std::string JsonText(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        char32_t code = 0;
        std::size_t length = 1;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((length = Utf8Sequence(text, at, code)) != 0) {
            out.append(text, at, length);
        } else {
            length = 1;
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
        }
        at += length;
    }
    return out;
}

std::string JsonLine(const nlohmann::ordered_json& value) {
    using Type = nlohmann::ordered_json::value_t;
    switch (value.type()) {
    case Type::object: {
        std::string out = "{";
        for (const auto& [key, member] : value.items()) {
            if (out.size() > 1) out += ',';
            out += '"' + JsonText(key) + "\":" + JsonLine(member);
        }
        return out + '}';
    }
    case Type::array: {
        std::string out = "[";
        for (const auto& item : value) {
            if (out.size() > 1) out += ',';
            out += JsonLine(item);
        }
        return out + ']';
    }
    case Type::string: return '"' + JsonText(value.get_ref<const std::string&>()) + '"';
    case Type::number_float: return ExactText(value.get<double>());
    default: return value.dump();  // integers, true, false, null
    }
}

ProgressBar::ProgressBar(bool wanted) : enabled_(wanted && ::isatty(STDERR_FILENO)) {}

bool ProgressBar::Due(bool last) {
    if (!enabled_) return false;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - lastDraw_ < std::chrono::milliseconds(100)) return false;
    lastDraw_ = now;
    return true;
}

double ProgressBar::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressBar::Draw(long long done, long long total, const std::string& tail) {
    constexpr int kWidth = 30;
    const int filled = total > 0 ? static_cast<int>(kWidth * done / total) : kWidth;
    std::fprintf(stderr, "\r[%.*s%*s] %s", filled, "##############################", kWidth - filled, "", tail.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
}

}  // namespace kelvora::cli

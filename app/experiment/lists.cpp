#include "experiment/lists.h"

#include <algorithm>
#include <limits>

#include "flags/flags.h"
#include "model/text.h"
#include "session/numbers.h"
#include "session/sweep_targets.h"

namespace kelvora::experiment {

namespace {

using flags::Quoted;

constexpr long long kLastSeed = std::numeric_limits<std::uint32_t>::max();

// The first seed in two ranges, checked once all are read; the count against kMaxSeeds.
ListFault CheckRanges(const SeedList& list) {
    auto sorted = list.ranges;
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i].first <= sorted[i - 1].second)
            return {ListFault::seedTwice, std::to_string(sorted[i].first)};
    if (list.count() > kMaxSeeds) return {ListFault::tooManySeeds, std::to_string(list.count())};
    return {};
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
    static constexpr std::string_view kBlanks[] = {" ", "\t", "\n", "\v", "\f", "\r", "\u00a0", "\u3000"};
    for (bool more = true; more;) {
        more = false;
        for (const std::string_view blank : kBlanks) {
            while (text.starts_with(blank)) text.remove_prefix(blank.size()), more = true;
            while (text.ends_with(blank)) text.remove_suffix(blank.size()), more = true;
        }
    }
    return std::string(text);
}

long long SeedList::count() const {
    long long n = 0;
    for (const auto& [first, last] : ranges) n += static_cast<long long>(last) - first + 1;
    return n;
}

std::vector<std::uint32_t> SeedList::seeds() const {
    std::vector<std::uint32_t> out;
    out.reserve(static_cast<std::size_t>(count()));
    for (const auto& [first, last] : ranges)
        for (long long s = first; s <= last; ++s) out.push_back(static_cast<std::uint32_t>(s));
    return out;
}

ListFault ParseSeedList(std::string_view whole, SeedList& list) {
    const std::string trimmed = TrimBlanks(whole);
    const std::string_view text = trimmed;
    if (text.empty()) return {ListFault::empty, {}};
    SeedList read;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        const std::string item = TrimBlanks(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        if (item.empty()) return {ListFault::emptyItem, std::string(text)};
        const auto range = ParseRange(item, 0, kLastSeed);
        if (!range) return {ListFault::notSeed, item};
        if (range->second < range->first) return {ListFault::reversed, item};
        read.ranges.emplace_back(static_cast<std::uint32_t>(range->first), static_cast<std::uint32_t>(range->second));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (ListFault fault = CheckRanges(read)) return fault;
    list = std::move(read);
    return {};
}

ListFault SeedListOf(const std::vector<long long>& seeds, SeedList& list) {
    if (seeds.empty()) return {ListFault::empty, {}};
    SeedList read;
    for (const long long s : seeds) {
        if (s < 0 || s > kLastSeed) return {ListFault::notSeed, std::to_string(s)};
        const auto seed = static_cast<std::uint32_t>(s);
        if (!read.ranges.empty() && read.ranges.back().second != kLastSeed && read.ranges.back().second + 1 == seed)
            read.ranges.back().second = seed;
        else
            read.ranges.emplace_back(seed, seed);
    }
    if (ListFault fault = CheckRanges(read)) return fault;
    list = std::move(read);
    return {};
}

std::string SeedListText(const SeedList& list) {
    std::string text;
    for (const auto& [first, last] : list.ranges) {
        if (!text.empty()) text += ',';
        text += std::to_string(first);
        if (last != first) text += ".." + std::to_string(last);
    }
    return text;
}

ListFault AddTargetItem(std::string_view item, TargetList& list) {
    const std::string text(item);
    if (text.rfind("random", 0) == 0) {
        const auto k = session::ParseRandomTargets(text);
        if (!k) return {ListFault::notRandom, text};
        if (list.randomCount > 0) return {ListFault::randomTwice, text};
        list.randomCount = *k;
        return {};
    }
    const auto xy = session::ParseTarget(text);
    if (!xy) return {ListFault::notTarget, text};
    const SweepTarget t{xy->x, xy->y};
    if (std::find(list.given.begin(), list.given.end(), t) != list.given.end()) return {ListFault::targetTwice, text};
    list.given.push_back(t);
    return {};
}

ListFault ParseTargetList(std::string_view text, TargetList& list) {
    TargetList read = list;
    std::size_t at = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (at < text.size()) {
        while (at < text.size() && blank(text[at])) ++at;
        std::size_t end = at;
        while (end < text.size() && !blank(text[end])) ++end;
        if (end > at)
            if (ListFault fault = AddTargetItem(text.substr(at, end - at), read)) return fault;
        at = end;
    }
    list = std::move(read);
    return {};
}

ListFault ResolveTargets(const TargetList& list, std::vector<SweepTarget>& targets) {
    std::vector<SweepTarget> out = list.given;
    SweepTarget clash;
    if (list.randomCount > 0 && !session::AddRandomTargets(out, list.randomCount, list.randomSeed, &clash).empty())
        return {ListFault::drawnGiven, TargetText(clash)};
    targets = std::move(out);
    return {};
}

std::string TargetText(const SweepTarget& t) { return std::to_string(t.x) + "," + std::to_string(t.y); }

std::string ListFaultText(const ListFault& fault, const std::string& name) {
    const std::string& v = fault.value;
    switch (fault.kind) {
    case ListFault::none: return {};
    case ListFault::empty: return name + ": the list is empty";
    case ListFault::emptyItem: return name + ": empty item in " + Quoted(v);
    case ListFault::notSeed: return name + ": " + Quoted(v) + " is not a seed or a range A..B of seeds in 0..4294967295";
    case ListFault::reversed: return name + ": the range " + Quoted(v) + " is reversed (it would hold no seed)";
    case ListFault::seedTwice: return name + ": seed " + v + " is listed twice";
    case ListFault::tooManySeeds: return name + ": " + v + " seeds are more than " + std::to_string(kMaxSeeds);
    case ListFault::notTarget: return name + ": " + Quoted(v) + " is not " + session::ExpectedTargetText();
    case ListFault::targetTwice: return name + ": " + Quoted(v) + " is given twice";
    case ListFault::notRandom:
        return name + ": " + Quoted(v) + " is not random:K with K in 1.." + std::to_string(session::kMaxRandomTargets);
    case ListFault::randomTwice: return name + ": " + Quoted(v) + ": random:K is given once at most";
    case ListFault::drawnGiven: return name + ": the drawn target " + v + " is also given";
    }
    return {};
}

}  // namespace kelvora::experiment

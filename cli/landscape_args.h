#pragma once
// The flags of kelvora-cli landscape and landscape-map, read by one small parser.

#include <initializer_list>
#include <string>
#include <vector>

#include "analysis/landscape.h"
#include "model/types.h"

namespace kelvora::cli {

/// What landscape and landscape-map are told; each command reads only its own flags.
struct LandscapeArgs {
    int targetX = kOpeningTargetX;  ///< relative to the base, x right, -199..199
    int targetY = kOpeningTargetY;  ///< relative to the base, y up, -199..199
    std::vector<Neighbourhood> neighbourhoods;  ///< in the order given; empty: the command's default
    double epsilon = 0.5;           ///< pixels, 0..1000
    bool json = false;
    std::string optima;             ///< --optima FILE, "" when not given
    std::string output;             ///< --output FILE, "" when not given
    int step = 8;                   ///< --step PX, 1..199
    int shard = 1, shards = 1;      ///< --shard K/N, 1 <= K <= N <= 10000
    bool quiet = false;
    bool resume = false;            ///< --resume: continue the rows kept in OUTPUT.partial
    bool plain = false;             ///< --plain: the map alone, without axes
    bool help = false;
};

/// Reads args into out, accepting only the flags in known ("--target", "--json", ...; a flag with a
/// value as "--flag VALUE" or "--flag=VALUE", each flag once). Returns "" or the refusal's message,
/// naming the flag and the value and what is accepted. --help ends the reading.
std::string ParseLandscapeArgs(const std::vector<std::string>& args, std::initializer_list<const char*> known,
                               LandscapeArgs& out);

}  // namespace kelvora::cli

#pragma once
// The flags of kelvora-cli landscape, landscape-map and reach-map: their tables, with their help.

#include <initializer_list>
#include <string>
#include <vector>

#include "analysis/landscape.h"
#include "flags/flags.h"
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

/// What reach-map is told.
struct ReachMapArgs {
    std::string output;
    bool haveOutput = false;  ///< --output was given (an empty name is refused as missing)
    bool plain = false;
};

/// landscape's flags, each storing into out as it is read, with its help; --help stops the reading.
flags::FlagTable LandscapeTable(LandscapeArgs& out);

/// landscape-map's flags, as LandscapeTable.
flags::FlagTable LandscapeMapTable(LandscapeArgs& out);

/// reach-map's flags, as LandscapeTable.
flags::FlagTable ReachMapTable(ReachMapArgs& out);

}  // namespace kelvora::cli

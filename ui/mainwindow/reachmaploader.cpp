#include "mainwindow/reachmaploader.h"

#include <utility>

#include "analysis/reachmap.h"
#include "common/background.h"

namespace kelvora::ui {

namespace {

using SharedMap = std::shared_ptr<const kelvora::ReachMap>;

// Touched on the GUI thread only; the first map to come is kept.
SharedMap& Kept() {
    static SharedMap* kept = new SharedMap;  // never destroyed: the process keeps it to its end
    return *kept;
}

}  // namespace

SharedMap ReachMapLoader::Request(QObject* owner, std::function<void(SharedMap)> ready) {
    if (Kept()) return Kept();
    RunInBackground<SharedMap>(
        owner, [] { return SharedMap(kelvora::ComputeReachMap(kelvora::kBaseX, kelvora::kBaseY)); },
        [ready = std::move(ready)](SharedMap map) {
            if (!Kept()) Kept() = std::move(map);
            if (ready) ready(Kept());
        });
    return nullptr;
}

}  // namespace kelvora::ui

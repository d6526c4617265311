#pragma once
// The reach map of the window's arm, computed off the GUI thread once per process.

#include <functional>
#include <memory>

#include <QObject>

namespace kelvora {
struct ReachMap;
}

namespace kelvora::ui {

/// The process's one reach map for the base (kBaseX, kBaseY). Call from the GUI thread.
class ReachMapLoader {
public:
    /// The map if this process has it, else nullptr, and then the map is computed for owner in the
    /// background (about a tenth of a second of one core): ready(map) follows on owner's thread,
    /// unless owner has been destroyed by then (its work is cancelled with it). Each call without
    /// the map starts its own work, so an owner asks once until ready has come.
    static std::shared_ptr<const kelvora::ReachMap> Request(
        QObject* owner, std::function<void(std::shared_ptr<const kelvora::ReachMap>)> ready);
};

}  // namespace kelvora::ui

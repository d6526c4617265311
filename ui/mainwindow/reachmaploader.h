#pragma once
// The reach map of the window's arm, computed once per process on a worker thread.

#include <functional>

#include <QObject>

namespace kelvora {
struct ReachMap;
}

namespace kelvora::ui {

/// The process's one reach map for the base (kBaseX, kBaseY). Call from the GUI thread.
class ReachMapLoader {
public:
    /// The map if it is ready, else nullptr. The first call starts computing it (a few hundred
    /// milliseconds of one core, off the calling thread); while it is not ready, ready is called
    /// once it is, on receiver's thread, unless receiver has been destroyed by then. The thread is
    /// waited for when the application object is destroyed.
    static const kelvora::ReachMap* Request(QObject* receiver, std::function<void()> ready);
};

}  // namespace kelvora::ui

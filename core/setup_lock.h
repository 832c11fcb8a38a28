// One install or uninstall at a time in the user's session.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace lumiran {

struct MutexCloser {
    void operator()(platform::MutexHandle mutex) const { platform::CloseMutex(mutex); }
};
struct TakenMutexReleaser {
    void operator()(platform::MutexHandle mutex) const {
        platform::ReleaseTakenMutex(mutex);
        platform::CloseMutex(mutex);
    }
};
using UniqueMutex = std::unique_ptr<platform::MutexObject, MutexCloser>;
using TakenMutex = std::unique_ptr<platform::MutexObject, TakenMutexReleaser>;

// The named mutex kSetupMutexName, taken without waiting. Released when the
// record goes. heldElsewhere is true only when another run owns it; a mutex
// that cannot be created or waited for leaves the run unguarded rather than
// stopped.
struct SetupLock {
    TakenMutex mutex;
    bool heldElsewhere = false;
};
[[nodiscard]] SetupLock TakeSetupLock();

}  // namespace lumiran

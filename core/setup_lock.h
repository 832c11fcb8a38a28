// One install or uninstall at a time in the user's session.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace lumiran {

struct TakenMutexReleaser {
    void operator()(platform::MutexHandle mutex) const {
        platform::ReleaseTakenMutex(mutex);
        platform::CloseMutex(mutex);
    }
};
using TakenMutex = std::unique_ptr<platform::MutexObject, TakenMutexReleaser>;

// The named mutex kSetupMutexName, taken without waiting and let go when the
// record goes. heldElsewhere is true only when another run owns it, or has
// made it out of this run's reach (access denied); a mutex that cannot be
// created or waited for otherwise leaves the run unguarded rather than
// stopped.
struct SetupLock {
    TakenMutex mutex;
    bool heldElsewhere = false;
};
[[nodiscard]] SetupLock TakeSetupLock();

}  // namespace lumiran

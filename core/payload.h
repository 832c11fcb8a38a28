// Writes the embedded suite executable to disk.
#pragma once

#include <string>

#include "platform/platform.h"

namespace lumiran {

// True only when the whole payload reached exePath and the file was closed
// cleanly. Creates the missing folders on the way.
bool ExtractPayload(platform::ModuleHandle instance, const std::wstring& exePath);

}  // namespace lumiran

// Where Lumiran lives for the current user, derived afresh on every run.
#pragma once

#include <string>

#include "platform/platform.h"

namespace lumiran {

using platform::FolderId;

struct InstallLayout {
    std::wstring installDir;
    std::wstring exePath;
    std::wstring uninstallerPath;
};

inline constexpr std::uint32_t kKnownFolderCreate = 0x8000;  // KF_FLAG_CREATE

// The current user's known folder, or an empty string when the lookup fails.
std::wstring GetKnownFolder(FolderId folder);
InstallLayout BuildInstallLayout();
std::wstring ShortcutPath(FolderId folder);

}  // namespace lumiran

namespace lumiran {

// False when the path is its suffix alone: the folder lookup failed, and
// Windows would read the path against the root of the current drive.
inline bool FolderResolved(const std::wstring& composedPath, const std::wstring& suffix) {
    return composedPath != suffix;
}

}  // namespace lumiran

// Shell shortcuts to the installed suite.
#pragma once

#include <string>

namespace lumiran {

// Saves a .lnk at shortcutPath that starts targetPath in its own folder.
// True exactly when the save succeeded.
bool CreateShortcut(const std::wstring& shortcutPath, const std::wstring& targetPath,
                    const std::wstring& description);

// The working directory a shortcut to targetPath gets: its parent path.
std::wstring WorkingDirectoryFor(const std::wstring& targetPath);

}  // namespace lumiran

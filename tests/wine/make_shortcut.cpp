// make_shortcut LINK TARGET: saves a shortcut to TARGET at LINK the way the
// installer does, with the product description, for readers outside Wine.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "core/product.h"
#include "core/shortcut.h"

int main() {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (args == nullptr || count != 3) return 2;
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    const bool saved = lumiran::CreateShortcut(args[1], args[2], lumiran::kShortcutDescription);
    ::CoUninitialize();
    ::LocalFree(args);
    return saved ? 0 : 1;
}

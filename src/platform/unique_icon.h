// Owning icon handle: destroyed exactly once, when the owner goes away. Only for icons the program
// made itself (LoadImageW without LR_SHARED); a shared icon (LoadIconW) is the system's.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

struct IconDestroyer {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

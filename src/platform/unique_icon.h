// Owning icon handle: destroyed exactly once, when the owner goes away. Only for icons the program
// made itself (LoadImageW without LR_SHARED, CreateIconIndirect); a shared icon (LoadIconW) is the
// system's and is never destroyed.
#pragma once

#include <windows.h>

#include <utility>

class UniqueIcon {
public:
    UniqueIcon() = default;
    explicit UniqueIcon(HICON icon) : m_icon(icon) {}
    UniqueIcon(const UniqueIcon&) = delete;
    UniqueIcon& operator=(const UniqueIcon&) = delete;
    UniqueIcon(UniqueIcon&& other) noexcept : m_icon(std::exchange(other.m_icon, nullptr)) {}
    UniqueIcon& operator=(UniqueIcon&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.m_icon, nullptr));
        }
        return *this;
    }
    ~UniqueIcon() { Reset(); }

    HICON Get() const { return m_icon; }
    explicit operator bool() const { return m_icon != nullptr; }
    void Reset(HICON icon = nullptr)
    {
        if (m_icon != nullptr) {
            DestroyIcon(m_icon);
        }
        m_icon = icon;
    }

private:
    HICON m_icon = nullptr;
};

// Owning COM interface pointer: holds one reference and releases it exactly once.
#pragma once

#include <utility>

template <class Interface>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_object = std::exchange(other.m_object, nullptr);
        }
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Takes a reference of its own to `object` (which may be null).
    static ComPtr Share(Interface* object)
    {
        ComPtr owner;
        if (object != nullptr) {
            object->AddRef();
            owner.m_object = object;
        }
        return owner;
    }

    Interface* Get() const { return m_object; }
    Interface* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    // The out parameter of a call that hands over a reference; what was held is released first.
    Interface** Put()
    {
        Reset();
        return &m_object;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    void Reset()
    {
        // Cleared before the release, so that nothing reached from Release sees a dangling pointer.
        if (Interface* object = std::exchange(m_object, nullptr)) {
            object->Release();
        }
    }

private:
    Interface* m_object = nullptr;
};

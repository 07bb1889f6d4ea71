// An owning reference to a COM interface: Release on destruction, AddRef on copy.
#pragma once

#include <utility>

namespace velmora::windows {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    // Adopts one reference.
    explicit ComPtr(T* pointer) : m_pointer(pointer) {}
    ComPtr(const ComPtr& other) : m_pointer(other.m_pointer)
    {
        if (m_pointer) m_pointer->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_pointer, other.m_pointer);
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

    // Releases the current reference and gives the slot for an out-parameter.
    T** Put()
    {
        Reset();
        return &m_pointer;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    void Reset()
    {
        if (T* pointer = std::exchange(m_pointer, nullptr)) pointer->Release();
    }

private:
    T* m_pointer = nullptr;
};

}  // namespace velmora::windows

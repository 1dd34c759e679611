#pragma once
#include <utility>

namespace mailwright {

// Intrusive pointer to a CRefCountedT-derived object.
template <class T>
class CRefCountPtr {
public:
    CRefCountPtr() = default;
    CRefCountPtr(T* object) : m_p(object) {  // NOLINT: implicit like a raw pointer
        if (m_p) m_p->AddRef();
    }
    CRefCountPtr(const CRefCountPtr& other) : CRefCountPtr(other.m_p) {}
    CRefCountPtr(CRefCountPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    virtual ~CRefCountPtr() { Reset(); }

    CRefCountPtr& operator=(const CRefCountPtr& other) {
        CRefCountPtr copy(other);
        std::swap(m_p, copy.m_p);
        return *this;
    }
    CRefCountPtr& operator=(CRefCountPtr&& other) noexcept {
        CRefCountPtr moved(std::move(other));
        std::swap(m_p, moved.m_p);
        return *this;
    }

    void Reset() {
        if (T* old = std::exchange(m_p, nullptr)) old->Release();
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator==(const CRefCountPtr& other) const { return m_p == other.m_p; }

private:
    T* m_p = nullptr;
};

}  // namespace mailwright

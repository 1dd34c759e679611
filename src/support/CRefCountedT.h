#pragma once
#include <atomic>
#include <cstdint>

namespace mailwright {

// Plain counting for objects that live on one thread.
struct SingleThreadedModel {
    using Counter = std::int32_t;
};

// Atomic counting.
struct FreeThreadedModel {
    using Counter = std::atomic<std::int32_t>;
};

// Base of every object shared through CRefCountPtr. The count starts at 0; the
// first pointer that takes the object makes it 1.
template <class Model>
class CRefCountedT {
public:
    CRefCountedT() = default;
    CRefCountedT(const CRefCountedT&) = delete;
    CRefCountedT& operator=(const CRefCountedT&) = delete;
    virtual ~CRefCountedT() = default;

    std::int32_t AddRef() { return ++m_refCount; }
    // Deletes the object when the last reference goes.
    std::int32_t Release() {
        const std::int32_t left = --m_refCount;
        if (left == 0) delete this;
        return left;
    }
    std::int32_t GetRefCount() const { return m_refCount; }

private:
    typename Model::Counter m_refCount{0};
};

}  // namespace mailwright

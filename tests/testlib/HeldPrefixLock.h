#pragma once
#include <string>

namespace mailwright::testing {

// The prefix's lock held as another writer holds it, on a descriptor of its own, for the
// life of the object.
class HeldPrefixLock {
public:
    explicit HeldPrefixLock(const std::string& prefixFolder);
    ~HeldPrefixLock();
    HeldPrefixLock(const HeldPrefixLock&) = delete;
    HeldPrefixLock& operator=(const HeldPrefixLock&) = delete;

    void Release();

    // Whether a writer could take the prefix's lock at once.
    static bool IsFree(const std::string& prefixFolder);

private:
    int m_fd = -1;
};

}  // namespace mailwright::testing

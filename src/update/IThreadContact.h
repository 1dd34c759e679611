#pragma once

namespace mailwright {

// The owner of the update worker; the worker keeps the pointer but never calls it.
class IThreadContact {
public:
    virtual ~IThreadContact() = default;
    virtual void SetIdle(bool idle) = 0;
};

}  // namespace mailwright

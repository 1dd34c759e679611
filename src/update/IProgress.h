#pragma once
#include <cstdint>

namespace mailwright {

// Receives the download's percentage; called on the worker thread.
class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void SetProgress(std::int32_t percent) = 0;
};

}  // namespace mailwright

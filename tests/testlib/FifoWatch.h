#pragma once
#include <functional>
#include <string>

namespace mailwright::testing {

// Runs `action`, which may open the named pipe, on a thread of its own, and tells whether
// it ended within a few seconds. An action stuck in an open of the pipe is released (the
// test opens the other end) so that the test can go on and fail instead of hanging.
bool EndsWithoutBlocking(const std::string& fifo, const std::function<void()>& action);

}  // namespace mailwright::testing

#include "testlib/FifoWatch.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <future>

namespace mailwright::testing {
namespace {

constexpr auto kPatience = std::chrono::seconds(5);

// Opens both ends without blocking, as many times as it takes: whichever end the action
// waits for, it gets it and goes on. A write end opens only while a reader waits.
void ReleaseOpeners(const std::string& fifo, std::future<void>& done) {
    while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        for (int flags : {O_RDONLY | O_NONBLOCK, O_WRONLY | O_NONBLOCK}) {
            const int fd = ::open(fifo.c_str(), flags | O_CLOEXEC);
            if (fd >= 0) ::close(fd);
        }
    }
}

}  // namespace

bool EndsWithoutBlocking(const std::string& fifo, const std::function<void()>& action) {
    std::future<void> done = std::async(std::launch::async, action);
    if (done.wait_for(kPatience) == std::future_status::ready) return true;
    ReleaseOpeners(fifo, done);
    done.get();
    return false;
}

}  // namespace mailwright::testing

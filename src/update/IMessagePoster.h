#pragma once
#include "support/WinTypes.h"

namespace mailwright {

// How the core posts window messages: the dialog program delivers them as posted
// events to its windows, the command-line program and the tests queue them.
// PostMessage is called from worker threads and must not wait for the receiver.
class IMessagePoster {
public:
    virtual ~IMessagePoster() = default;

    // The window's parent; null when it has none. Called on the owner's thread.
    virtual HWND GetParent(HWND window) = 0;

    // Queues the message for the window's thread; false when it cannot be queued.
    virtual bool PostMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) = 0;
};

}  // namespace mailwright

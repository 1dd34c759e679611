#include "ui/VeskWindowMessageEvent.h"

namespace mailwright {

QEvent::Type VeskWindowMessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace mailwright

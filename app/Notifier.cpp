// The application-wide notifier (see Notifier.h).
#include "app/Notifier.h"

namespace perspix {

Notifier& Notifier::instance()
{
    static Notifier notifier;
    return notifier;
}

} // namespace perspix

#pragma once

#include <functional>

class QObject;

// Events of the components are handlers that the owner assigns, raised only
// when assigned: an empty function means "not assigned".
using TNotifyEvent = std::function<void(QObject* Sender)>;

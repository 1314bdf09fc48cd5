#pragma once

#include <QString>

// The system's error numbers (errno) in words for the user: the common ones
// in Chinese, any other as the system words it, after a Chinese lead, so
// that no message shows "Permission denied" alone.
namespace platform {

QString SystemErrorText(int error);

} // namespace platform

#pragma once

#include <QIcon>

// The application icon, in the four sizes it is drawn at (128, 48, 32 and 16 pixels).
namespace AppIcon {

QIcon Icon();

} // namespace AppIcon

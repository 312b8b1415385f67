#include "app/AppIcon.h"

static void initResources() {
    Q_INIT_RESOURCE(vostralo);
}

namespace AppIcon {

QIcon Icon() {
    initResources();
    QIcon icon;
    for (int size : {128, 48, 32, 16})
        icon.addFile(QStringLiteral(":/icons/vostralo-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace AppIcon

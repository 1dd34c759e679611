#include "ui/UiImages.h"

#include <QPixmap>

#include "support/EmbeddedResource.h"

namespace mailwright {

QImage LoadImageResource(int id) {
    const auto bytes = FindEmbeddedResource("PNG", id);
    if (!bytes) return QImage();
    return QImage::fromData(bytes->data(), static_cast<int>(bytes->size()), "PNG");
}

QIcon ApplicationIcon() { return QIcon(QPixmap::fromImage(LoadImageResource(IDI_MAILWRIGHT))); }

}  // namespace mailwright

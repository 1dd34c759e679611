#pragma once
#include <QIcon>
#include <QImage>

namespace mailwright {

// An image embedded in the program (resource type "PNG"); a null image when it has none.
QImage LoadImageResource(int id);

// The program's icon (138).
QIcon ApplicationIcon();

}  // namespace mailwright

#pragma once

#include <QIcon>
#include <QImage>

namespace keldrin {

// The program's icon: a chip on a blue tile above a serial line's square wave. The same drawing
// as data/icons/keldrin.svg.
QImage AppIconImage(int size);
QIcon AppIcon();

}  // namespace keldrin

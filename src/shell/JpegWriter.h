#pragma once

#include <QImage>
#include <QString>

namespace keldrin {

// Encodes the image as a baseline JPEG file with libjpeg. False when the file cannot be written.
bool writeJpeg(const QImage& image, const QString& path, int quality);

}  // namespace keldrin

#include "shell/JpegWriter.h"

#include <QFile>
#include <cstdio>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace keldrin {

bool writeJpeg(const QImage& image, const QString& path, int quality) {
    if (image.isNull()) return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out) return false;

    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = JDIMENSION(rgb.width());
    cinfo.image_height = JDIMENSION(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        // libjpeg wants a non-const row; the scan line is only read.
        auto* row = const_cast<JSAMPLE*>(
            reinterpret_cast<const JSAMPLE*>(rgb.constScanLine(int(cinfo.next_scanline))));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const bool ok = std::ferror(out) == 0;
    return std::fclose(out) == 0 && ok;
}

}  // namespace keldrin

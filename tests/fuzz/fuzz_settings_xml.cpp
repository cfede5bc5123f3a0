// The settings file's reader on any bytes: nothing may crash, and whatever it reads, the writer
// writes a file that reads again and is written again to the same bytes.

#include "FuzzKit.h"
#include "platform/SettingsXml.h"

using namespace keldrin::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const XmlParse first = ParseSettingsXml(input);
    if (!first.root) return 0;
    const QByteArray written = WriteSettingsXml(*first.root);
    const XmlParse second = ParseSettingsXml(written);
    FUZZ_CHECK(second.root.has_value());
    FUZZ_CHECK(WriteSettingsXml(*second.root) == written);
    return 0;
}

#pragma once

// The version record of a program file. The build writes it into `keldrin` as an ELF note
// (`readelf -n` shows it): owner "Keldrin", type kVersionNoteType, and as its content the file
// version as two 32-bit words, most significant first, followed by the internal name
// (NUL-terminated).

#include <QString>
#include <cstdint>

namespace keldrin::platform {

constexpr std::uint32_t kVersionNoteType = 0x4b560001;
constexpr char kVersionNoteOwner[] = "Keldrin";

// The fixed part of a version record; all zero for a file without one.
struct FixedFileVersion {
    std::uint32_t fileVersionMS = 0;  // major << 16 | minor
    std::uint32_t fileVersionLS = 0;  // release << 16 | build
    unsigned major() const { return fileVersionMS >> 16; }
    unsigned minor() const { return fileVersionMS & 0xffff; }
    unsigned release() const { return fileVersionLS >> 16; }
    unsigned build() const { return fileVersionLS & 0xffff; }
};

// The fixed version part of the file's record; zeros when the file has none or cannot be read.
FixedFileVersion GetFileVersion(const QString& fileName);
// One named string value of the record ("InternalName"); empty when missing.
QString GetFileVersionString(const QString& fileName, const QString& valueName);

}  // namespace keldrin::platform

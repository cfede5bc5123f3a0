#include "platform/VersionInfo.h"

#include <elf.h>

#include <QByteArray>
#include <QFile>
#include <cstring>
#include <optional>

namespace keldrin::platform {

namespace {

struct Record {
    FixedFileVersion fixed;
    QByteArray internalName;
};

constexpr qint64 kMostSectionHeaders = 4096;
constexpr qint64 kLargestNoteSection = 1 << 20;

template <typename T>
bool readAt(QFile& f, qint64 offset, T* out) {
    if (!f.seek(offset)) return false;
    return f.read(reinterpret_cast<char*>(out), sizeof(T)) == qint64(sizeof(T));
}

std::uint32_t word(const QByteArray& b, qint64 at) {
    std::uint32_t v;
    const QByteArrayView bytes = QByteArrayView(b).sliced(at, sizeof v);
    std::memcpy(&v, bytes.data(), sizeof v);
    return v;
}

qint64 align4(qint64 n) {
    return (n + 3) & ~qint64(3);
}

// Walks the notes of one note section; every size is checked against what is left.
std::optional<Record> findInNotes(const QByteArray& notes) {
    qint64 at = 0;
    while (at + 12 <= notes.size()) {
        const qint64 nameSize = word(notes, at);
        const qint64 descSize = word(notes, at + 4);
        const std::uint32_t type = word(notes, at + 8);
        const qint64 name = at + 12;
        const qint64 desc = name + align4(nameSize);
        if (nameSize > notes.size() || descSize > notes.size() || desc + descSize > notes.size())
            return std::nullopt;
        const QByteArray owner = notes.mid(name, nameSize);
        if (type == kVersionNoteType &&
            owner == QByteArray(kVersionNoteOwner, sizeof kVersionNoteOwner) && descSize >= 8) {
            Record r;
            r.fixed.fileVersionMS = word(notes, desc);
            r.fixed.fileVersionLS = word(notes, desc + 4);
            const QByteArray rest = notes.mid(desc + 8, descSize - 8);
            const int end = rest.indexOf('\0');
            r.internalName = end < 0 ? rest : rest.left(end);
            return r;
        }
        at = desc + align4(descSize);
    }
    return std::nullopt;
}

template <typename Ehdr, typename Shdr>
std::optional<Record> findInElf(QFile& f) {
    Ehdr eh;
    if (!readAt(f, 0, &eh)) return std::nullopt;
    if (eh.e_shentsize != sizeof(Shdr) || eh.e_shnum > kMostSectionHeaders) return std::nullopt;
    for (qint64 i = 0; i < eh.e_shnum; ++i) {
        Shdr sh;
        if (!readAt(f, qint64(eh.e_shoff) + i * qint64(sizeof(Shdr)), &sh)) return std::nullopt;
        if (sh.sh_type != SHT_NOTE || qint64(sh.sh_size) > kLargestNoteSection) continue;
        if (!f.seek(qint64(sh.sh_offset))) continue;
        const QByteArray notes = f.read(qint64(sh.sh_size));
        if (notes.size() != qint64(sh.sh_size)) continue;
        if (auto r = findInNotes(notes)) return r;
    }
    return std::nullopt;
}

std::optional<Record> readRecord(const QString& fileName) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    unsigned char ident[EI_NIDENT];
    if (f.read(reinterpret_cast<char*>(ident), EI_NIDENT) != EI_NIDENT) return std::nullopt;
    if (std::memcmp(ident, ELFMAG, SELFMAG) != 0) return std::nullopt;
    // The record is read in this machine's byte order, as the build wrote it.
    const bool little = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    if (ident[EI_DATA] != (little ? ELFDATA2LSB : ELFDATA2MSB)) return std::nullopt;
    if (ident[EI_CLASS] == ELFCLASS64) return findInElf<Elf64_Ehdr, Elf64_Shdr>(f);
    if (ident[EI_CLASS] == ELFCLASS32) return findInElf<Elf32_Ehdr, Elf32_Shdr>(f);
    return std::nullopt;
}

}  // namespace

FixedFileVersion GetFileVersion(const QString& fileName) {
    const auto r = readRecord(fileName);
    return r ? r->fixed : FixedFileVersion{};
}

QString GetFileVersionString(const QString& fileName, const QString& valueName) {
    if (valueName != QLatin1String("InternalName")) return QString();
    const auto r = readRecord(fileName);
    return r ? QString::fromLatin1(r->internalName) : QString();
}

}  // namespace keldrin::platform

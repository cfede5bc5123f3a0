#pragma once

// Small ELF files made by hand: a header, one note section and its section header, so that a
// version record can be given any content and the file any size.

#include <elf.h>

#include <QByteArray>
#include <cstdint>
#include <cstring>

#include "platform/VersionInfo.h"

namespace keldrin::testkit {

inline void appendWord(QByteArray& b, std::uint32_t v) {
    b.append(reinterpret_cast<const char*>(&v), sizeof v);
}

inline void padTo4(QByteArray& b) {
    while (b.size() % 4) b.append('\0');
}

// One note: owner (its NUL included), type and content, each padded to 4 bytes.
inline QByteArray note(const QByteArray& owner, std::uint32_t type, const QByteArray& desc,
                       std::uint32_t claimedDescSize = 0xffffffff) {
    QByteArray n;
    appendWord(n, std::uint32_t(owner.size() + 1));
    appendWord(n, claimedDescSize == 0xffffffff ? std::uint32_t(desc.size()) : claimedDescSize);
    appendWord(n, type);
    n += owner;
    n.append('\0');
    padTo4(n);
    n += desc;
    padTo4(n);
    return n;
}

// The content of a version record: the two words of the file version and the internal name.
inline QByteArray versionDesc(unsigned major, unsigned minor, unsigned release, unsigned build,
                              const QByteArray& internalName) {
    QByteArray d;
    appendWord(d, std::uint32_t(major << 16 | minor));
    appendWord(d, std::uint32_t(release << 16 | build));
    d += internalName;
    d.append('\0');
    return d;
}

inline QByteArray versionNote(unsigned major, unsigned minor, unsigned release, unsigned build,
                              const QByteArray& internalName) {
    return note(platform::kVersionNoteOwner, platform::kVersionNoteType,
                versionDesc(major, minor, release, build, internalName));
}

// A 64-bit ELF file whose only section is a note section holding `notes`, padded with zeros to
// `size` bytes (when that is larger).
inline QByteArray elfWithNotes(const QByteArray& notes, int size = 0) {
    Elf64_Ehdr eh{};
    std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
    eh.e_ident[EI_CLASS] = ELFCLASS64;
    eh.e_ident[EI_DATA] = ELFDATA2LSB;
    eh.e_ident[EI_VERSION] = EV_CURRENT;
    eh.e_type = ET_EXEC;
    eh.e_machine = EM_X86_64;
    eh.e_version = EV_CURRENT;
    eh.e_ehsize = sizeof(Elf64_Ehdr);
    eh.e_shentsize = sizeof(Elf64_Shdr);
    eh.e_shnum = 2;
    const std::uint64_t notesAt = sizeof(Elf64_Ehdr);
    eh.e_shoff = (notesAt + std::uint64_t(notes.size()) + 7) & ~std::uint64_t(7);

    QByteArray file(reinterpret_cast<const char*>(&eh), sizeof eh);
    file += notes;
    file.resize(int(eh.e_shoff), '\0');
    Elf64_Shdr none{};
    Elf64_Shdr sh{};
    sh.sh_type = SHT_NOTE;
    sh.sh_flags = SHF_ALLOC;
    sh.sh_offset = notesAt;
    sh.sh_size = std::uint64_t(notes.size());
    sh.sh_addralign = 4;
    file.append(reinterpret_cast<const char*>(&none), sizeof none);
    file.append(reinterpret_cast<const char*>(&sh), sizeof sh);
    if (file.size() < size) file.resize(size, '\0');
    return file;
}

}  // namespace keldrin::testkit

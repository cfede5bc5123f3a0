// The version record read back from program files: the real ones the build made, and small ELF
// files made by hand to give the record any content.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/VersionInfo.h"
#include "support/ElfNote.h"

using namespace keldrin;
using namespace keldrin::testkit;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
    return path;
}

}  // namespace

TEST(VersionInfo, TheBuiltProgramCarriesItsVersionAndInternalName) {
    const platform::FixedFileVersion v = platform::GetFileVersion(KELDRIN_PATH);
    EXPECT_EQ(v.major(), 4u);
    EXPECT_EQ(v.minor(), 0u);
    EXPECT_EQ(v.release(), 7u);
    EXPECT_EQ(v.build(), 420u);
    EXPECT_EQ(platform::GetFileVersionString(KELDRIN_PATH, "InternalName"), "Keldrin");
    EXPECT_EQ(platform::GetFileVersionString(KELDRIN_PATH, "CompanyName"), "");
}

TEST(VersionInfo, FilesWithoutAWholeRecordGiveZerosAndNoName) {
    QTemporaryDir dir;
    const QByteArray good = versionNote(4, 0, 7, 420, "Keldrin");
    QFile program(KELDRIN_PATH);
    ASSERT_TRUE(program.open(QIODevice::ReadOnly));
    const QByteArray head = program.read(4096);  // the header, but not the sections
    struct Case {
        const char* name;
        QByteArray data;
    };
    const Case cases[] = {
        {"missing", QByteArray()},
        {"text", "COM3=/dev/ttyUSB0\n"},
        {"elf-cut-short", head},
        {"no-note", elfWithNotes(QByteArray())},
        {"other-owner", elfWithNotes(note("GNU", platform::kVersionNoteType,
                                          versionDesc(4, 0, 7, 420, "Keldrin")))},
        {"other-type",
         elfWithNotes(note(platform::kVersionNoteOwner, 3, versionDesc(4, 0, 7, 420, "Keldrin")))},
        {"content-too-short",
         elfWithNotes(note(platform::kVersionNoteOwner, platform::kVersionNoteType, "\1\0\0\0"))},
        {"size-beyond-section",
         elfWithNotes(note(platform::kVersionNoteOwner, platform::kVersionNoteType,
                           versionDesc(4, 0, 7, 420, "Keldrin"), 4000))},
        {"note-cut-in-half", elfWithNotes(good.left(good.size() / 2))},
    };
    for (const Case& c : cases) {
        // No data: no file at all.
        const QString path =
            c.data.isNull() ? dir.filePath(c.name) : writeFile(dir, c.name, c.data);
        const platform::FixedFileVersion v = platform::GetFileVersion(path);
        EXPECT_EQ(v.fileVersionMS, 0u) << c.name;
        EXPECT_EQ(v.fileVersionLS, 0u) << c.name;
        EXPECT_EQ(platform::GetFileVersionString(path, "InternalName"), "") << c.name;
    }
    // The simulator is an ELF program of ours without a record.
    EXPECT_EQ(platform::GetFileVersion(DEVSIM_PATH).fileVersionMS, 0u);
}

TEST(VersionInfo, ARecordAfterOtherNotesIsFoundWithAllItsNumbers) {
    QTemporaryDir dir;
    const QByteArray notes =
        note("GNU", 1, QByteArray(16, '\x5a')) + versionNote(65535, 2, 300, 65534, "Keldrin");
    const QString path = writeFile(dir, "prog", elfWithNotes(notes, 5000));
    const platform::FixedFileVersion v = platform::GetFileVersion(path);
    EXPECT_EQ(v.major(), 65535u);
    EXPECT_EQ(v.minor(), 2u);
    EXPECT_EQ(v.release(), 300u);
    EXPECT_EQ(v.build(), 65534u);
    EXPECT_EQ(platform::GetFileVersionString(path, "InternalName"), "Keldrin");
}

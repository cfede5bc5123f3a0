#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/ProfileStrings.h"

// Failures show the bytes, escaped, rather than a pointer.
void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"';
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 32 && c < 127 && c != '\\')
            *os << ch;
        else
            *os << "\\x" << std::hex << int(c) << std::dec;
    }
    *os << '"';
}

using namespace keldrin::platform;

namespace {

class ProfileStrings : public ::testing::Test {
  protected:
    QString path(const QString& name = QStringLiteral("p.cmd")) const { return dir.filePath(name); }

    void put(const QByteArray& bytes, const QString& name = QStringLiteral("p.cmd")) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QByteArray content(const QString& name = QStringLiteral("p.cmd")) const {
        QFile f(path(name));
        if (!f.open(QIODevice::ReadOnly)) return "<missing>";
        return f.readAll();
    }

    QTemporaryDir dir;
};

// A project as an editor on Windows might leave it: CR LF, odd spacing and case, quotes,
// comments, a section mentioned twice, bytes above 127.
const QByteArray kHandWritten =
    "; written by hand\r\n"
    "orphan=before any section\r\n"
    "[2]\r\n"
    "  NAME   =   Erase all  \r\n"
    "type=Command\r\n"
    "Issue=\"  E! \"\r\n"
    "ACK_string='OK'\r\n"
    "NACK_string=\"ERR'\r\n"
    "Status=\"\"\"x\"\"\"\r\n"
    "Time-Out=\t5\t\r\n"
    "empty=\r\n"
    "only spaces=    \r\n"
    "novalue\r\n"
    ";Real-Time=7\r\n"
    "\r\n"
    "  [ special_SETTINGS ]  ; trailing note\r\n"
    "SpinEdit_DelayOnSent = 25\r\n"
    "Umlaut=Gr\xFC\xDF"
    "e \xC4\r\n"
    "\xC4NDERUNG=upper\r\n"
    "[2]\r\n"
    "Name=shadowed\r\n"
    "Real-Time=from the second one\r\n";

TEST_F(ProfileStrings, ReadsHandWrittenFiles) {
    put(kHandWritten);
    struct Case {
        const char* section;
        const char* key;
        std::optional<QByteArray> expected;
    };
    const std::vector<Case> cases = {
        {"2", "Name", QByteArray("Erase all")},
        {"2", "TYPE", QByteArray("Command")},
        {" 2 ", " Type ", QByteArray("Command")},
        {"2", "Issue", QByteArray("  E! ")},         // blanks inside quotes stay
        {"2", "ACK_string", QByteArray("OK")},       // single quotes too
        {"2", "NACK_string", QByteArray("\"ERR'")},  // unlike quotes stay
        {"2", "Status", QByteArray("\"\"x\"\"")},    // one pair only
        {"2", "Time-Out", QByteArray("5")},          // tabs are blanks
        {"2", "empty", QByteArray("")},
        {"2", "only spaces", QByteArray("")},
        {"2", "novalue", std::nullopt},                         // no "=": not a key
        {"2", "Real-Time", QByteArray("from the second one")},  // the later section is searched
        {"2", ";Real-Time", std::nullopt},                      // a comment is not a key
        {"Special_Settings", "spinedit_delayonsent", QByteArray("25")},
        {"special_settings", "umlaut",
         QByteArray("Gr\xFC\xDF"
                    "e \xC4")},
        {"Special_Settings", "\xE4nderung", QByteArray("upper")},  // Latin-1 letters fold
        {"", "orphan", std::nullopt},
        {"3", "Name", std::nullopt},
        {"2", "Missing", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ReadProfileValue(path(), c.section, c.key), c.expected);
    }
    EXPECT_EQ(ReadProfileString(path(), "2", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileString(path(), "2", "empty", "dflt"), "");
}

TEST_F(ProfileStrings, LineEndsOfEveryKindAndAByteOrderMarkAreUnderstood) {
    put("\xEF\xBB\xBF[1]\nName=lf\n[2]\rName=cr\r[3]\r\nName=crlf");
    EXPECT_EQ(ReadProfileValue(path(), "1", "Name"), QByteArray("lf"));
    EXPECT_EQ(ReadProfileValue(path(), "2", "Name"), QByteArray("cr"));
    EXPECT_EQ(ReadProfileValue(path(), "3", "Name"), QByteArray("crlf"));
    EXPECT_EQ(ProfileSectionNames(path()), QByteArrayList({"1", "2", "3"}));
}

TEST_F(ProfileStrings, ValuesAreCutAt2047Bytes) {
    const QByteArray longValue(3000, 'x');
    put("[a]\r\nk=" + longValue + "\r\nq=\"" + QByteArray(2046, 'y') + "z\"\r\n");
    EXPECT_EQ(ReadProfileValue(path(), "a", "k"), longValue.left(2047));
    EXPECT_EQ(ReadProfileValue(path(), "a", "q"), QByteArray(2046, 'y') + "z");
}

TEST_F(ProfileStrings, MissingOrUnreadableFilesReadAsEmpty) {
    EXPECT_EQ(ReadProfileValue(path("none.cmd"), "1", "Name"), std::nullopt);
    EXPECT_TRUE(ProfileSectionNames(path("none.cmd")).isEmpty());
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.cmd"));
    EXPECT_EQ(ReadProfileValue(path("folder.cmd"), "1", "Name"), std::nullopt);
    EXPECT_EQ(ReadProfileValue(QString(), "1", "Name"), std::nullopt);
    EXPECT_EQ(ReadProfileString(path("none.cmd"), "1", "Name", "d"), "d");
}

TEST_F(ProfileStrings, ANewFileGetsCrLfAndSectionsInWritingOrder) {
    EXPECT_TRUE(WriteProfileString(path(), "1", "Name", "<=>"));
    EXPECT_TRUE(WriteProfileString(path(), "1", "Type", ""));
    EXPECT_TRUE(WriteProfileString(path(), "Special_Settings", "SpinEdit_DelayOnSent", "10"));
    EXPECT_TRUE(WriteProfileString(path(), "1", "Issue", "a=b"));
    EXPECT_EQ(content(),
              "[1]\r\nName=<=>\r\nType=\r\nIssue=a=b\r\n"
              "[Special_Settings]\r\nSpinEdit_DelayOnSent=10\r\n");
    EXPECT_EQ(ReadProfileValue(path(), "1", "Issue"), QByteArray("a=b"));
}

TEST_F(ProfileStrings, WritesUpdateInPlaceAndKeepEverythingElse) {
    put("; keep me\n"
        "[Foreign]\n"
        "x = 1\n"
        "[2]\n"
        "  Name =  old  \n"
        "Type=Command\n"
        "; note about the row\n"
        "\n"
        "[ComPort_Settings]\n"
        "ComPort_BaudRate=9");
    EXPECT_TRUE(WriteProfileString(path(), "2", "NAME", "new"));
    EXPECT_TRUE(WriteProfileString(path(), "2", "Issue", "E!"));
    EXPECT_TRUE(WriteProfileString(path(), "comport_settings", "ComPort_Parity", "0"));
    EXPECT_TRUE(WriteProfileString(path(), "3", "Name", "\xE9t\xE9"));
    EXPECT_EQ(content(),
              "; keep me\n"
              "[Foreign]\n"
              "x = 1\n"
              "[2]\n"
              "  Name =new\n"
              "Type=Command\n"
              "Issue=E!\n"
              "; note about the row\n"
              "\n"
              "[ComPort_Settings]\n"
              "ComPort_BaudRate=9\n"
              "ComPort_Parity=0\n"
              "[3]\n"
              "Name=\xE9t\xE9\n");
}

TEST_F(ProfileStrings, UnchangedValuesLeaveTheFileAlone) {
    put("[a]\r\nk=v\r\n");
    // A rewrite replaces the file, so the inode would change.
    const auto inode = [this] {
        struct stat st {};
        return ::stat(QFile::encodeName(path()).constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    const ino_t before = inode();
    EXPECT_TRUE(WriteProfileString(path(), "A", "K", "v"));
    EXPECT_EQ(inode(), before);
    EXPECT_TRUE(WriteProfileString(path(), "A", "K", "w"));
    EXPECT_NE(inode(), before);
    EXPECT_EQ(content(), "[a]\r\nk=w\r\n");
}

TEST_F(ProfileStrings, RefusesWhatWouldBreakTheLayout) {
    put("[a]\r\nk=v\r\n");
    struct Case {
        QByteArray section, key, value;
    };
    const std::vector<Case> refused = {
        {"a", "k", "two\r\nlines"}, {"a", "k", "x\n[b]"}, {"a", "k", "cr\ronly"}, {"", "k", "v"},
        {"  ", "k", "v"},           {"a]", "k", "v"},     {"a\nb", "k", "v"},     {"a", "", "v"},
        {"a", "k=j", "v"},          {"a", "[k", "v"},     {"a", ";k", "v"},       {"a", "k\r", "v"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE((c.section + "/" + c.key + "/" + c.value).toStdString());
        EXPECT_FALSE(WriteProfileString(path(), c.section, c.key, c.value));
    }
    EXPECT_EQ(content(), "[a]\r\nk=v\r\n");
}

TEST_F(ProfileStrings, FailedWritesSayFalse) {
    EXPECT_FALSE(WriteProfileString(dir.filePath("no/such/folder/p.cmd"), "a", "k", "v"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.cmd"));
    EXPECT_FALSE(WriteProfileString(path("folder.cmd"), "a", "k", "v"));
    EXPECT_FALSE(WriteProfileString(QString(), "a", "k", "v"));
}

TEST_F(ProfileStrings, SectionsCanBeRemovedWithAllTheirLines) {
    put("[1]\r\nName=a\r\n[Keep]\r\n; mine\r\nk=v\r\n[2]\r\nName=b\r\n[1]\r\nType=t\r\n[3]\r\n");
    EXPECT_TRUE(RemoveProfileSection(path(), "1"));
    EXPECT_TRUE(RemoveProfileSection(path(), "3"));
    EXPECT_TRUE(RemoveProfileSection(path(), "never there"));
    EXPECT_EQ(content(), "[Keep]\r\n; mine\r\nk=v\r\n[2]\r\nName=b\r\n");
    EXPECT_EQ(ProfileSectionNames(path()), QByteArrayList({"Keep", "2"}));
    EXPECT_EQ(ReadProfileValue(path(), "1", "Name"), std::nullopt);
}

TEST_F(ProfileStrings, ASessionWritesItsFirstChangeAtOnceAndTheRestOnCommit) {
    put("[a]\r\nk=0\r\n");
    {
        ProfileSession session(path());
        EXPECT_TRUE(WriteProfileString(path(), "a", "k", "1"));
        EXPECT_EQ(content(), "[a]\r\nk=1\r\n");
        EXPECT_TRUE(WriteProfileString(path(), "a", "k", "2"));
        EXPECT_TRUE(WriteProfileString(path(), "b", "n", "3"));
        EXPECT_TRUE(RemoveProfileSection(path(), "c"));
        // Readers see the session's state, the file does not have it yet.
        EXPECT_EQ(ReadProfileValue(path(), "a", "k"), QByteArray("2"));
        EXPECT_EQ(ReadProfileValue(dir.path() + "/./p.cmd", "B", "N"), QByteArray("3"));
        EXPECT_EQ(content(), "[a]\r\nk=1\r\n");
        EXPECT_TRUE(session.commit());
        EXPECT_EQ(content(), "[a]\r\nk=2\r\n[b]\r\nn=3\r\n");
        EXPECT_TRUE(WriteProfileString(path(), "a", "k", "4"));
    }
    EXPECT_EQ(content(), "[a]\r\nk=4\r\n[b]\r\nn=3\r\n");
}

TEST_F(ProfileStrings, ASessionReadsTheFileOnceAndDoesNotKeepItAfterwards) {
    put("[a]\r\nk=old\r\n");
    {
        ProfileSession session(path());
        put("[a]\r\nk=changed on disk\r\n");
        EXPECT_EQ(ReadProfileValue(path(), "a", "k"), QByteArray("old"));
    }
    EXPECT_EQ(ReadProfileValue(path(), "a", "k"), QByteArray("changed on disk"));
}

TEST_F(ProfileStrings, NestedSessionsShareOneDocument) {
    ProfileSession outer(path());
    {
        ProfileSession inner(path());
        EXPECT_TRUE(WriteProfileString(path(), "a", "k", "1"));
        EXPECT_TRUE(WriteProfileString(path(), "a", "k", "2"));
    }
    // The inner end commits; the outer session still holds the document.
    EXPECT_EQ(content(), "[a]\r\nk=2\r\n");
    EXPECT_TRUE(WriteProfileString(path(), "a", "k", "3"));
    EXPECT_EQ(ReadProfileValue(path(), "a", "k"), QByteArray("3"));
}

TEST_F(ProfileStrings, AFailedFirstWriteInASessionLeavesNothingPending) {
    const QString target = dir.filePath("gone/p.cmd");
    ProfileSession session(target);
    EXPECT_FALSE(WriteProfileString(target, "a", "k", "1"));
    EXPECT_EQ(ReadProfileValue(target, "a", "k"), std::nullopt);
    ASSERT_TRUE(QDir(dir.path()).mkdir("gone"));
    EXPECT_TRUE(session.commit());
    EXPECT_FALSE(QFile::exists(target));  // the failed value was not written later
}

TEST_F(ProfileStrings, ACommitThatCannotWriteSaysSo) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    const QString target = dir.filePath("sub/p.cmd");
    ProfileSession session(target);
    EXPECT_TRUE(WriteProfileString(target, "a", "k", "1"));
    EXPECT_TRUE(WriteProfileString(target, "a", "k", "2"));
    ASSERT_TRUE(QDir(dir.filePath("sub")).removeRecursively());
    EXPECT_FALSE(session.commit());
}

}  // namespace

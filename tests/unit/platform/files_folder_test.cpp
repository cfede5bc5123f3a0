// Where the program keeps its files, and which of Qt's own messages reach standard error.

#include <gtest/gtest.h>

#include "platform/QtMessages.h"
#include "platform/Seams.h"

using namespace keldrin::platform;

TEST(FilesFolder, KeldrinHomeThenAWritableProgramFolderThenXdgData) {
    struct Case {
        const char* keldrinHome;
        bool writable;
        const char* xdg;
        const char* expected;
    };
    const Case cases[] = {
        {"/srv/line3/", false, "/x", "/srv/line3"},
        {"/srv/line3", true, "", "/srv/line3"},
        {"", true, "/x", "/opt/k/bin"},                         // a build tree or a copy
        {"", false, "/home/op/data", "/home/op/data/keldrin"},  // installed in /usr/bin
        {"", false, "", "/home/op/.local/share/keldrin"},
        {"", false, "relative/data", "/home/op/.local/share/keldrin"},  // not absolute: ignored
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseFilesFolder(c.keldrinHome, "/opt/k/bin", c.writable, c.xdg, "/home/op")
                      .toStdString(),
                  c.expected)
            << c.keldrinHome << " " << c.writable << " " << c.xdg;
}

TEST(FilesFolder, AnInstalledProgramRunByRootKeepsOutOfTheSystemFolders) {
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin", "/sbin"})
        EXPECT_EQ(ChooseFilesFolder("", dir, true, "", "/root").toStdString(),
                  "/root/.local/share/keldrin")
            << dir;
    EXPECT_EQ(ChooseFilesFolder("/srv/k", "/usr/bin", true, "", "/root").toStdString(), "/srv/k");
}

TEST(QtMessages, QtsOwnChatterIsDroppedOursAndRealErrorsStay) {
    struct Case {
        QtMsgType type;
        const char* category;
        const char* message;
        bool noise;
    };
    const Case cases[] = {
        {QtWarningMsg, "default",
         "QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'", true},
        {QtWarningMsg, "default", "This plugin does not support propagateSizeHints()", true},
        {QtWarningMsg, "qt.qpa.fonts", "Populating font family aliases took 120 ms", true},
        {QtInfoMsg, "qt.qpa.xcb", "some platform detail", true},
        {QtCriticalMsg, "qt.qpa.xcb", "could not connect to display", false},
        {QtFatalMsg, "default", "This plugin does not support propagateSizeHints()", false},
        {QtWarningMsg, "default", "keldrin: the port map cannot be written", false},
        {QtWarningMsg, nullptr, "keldrin: something of ours", false},
        {QtDebugMsg, "keldrin.serial", "a message of ours", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsQtNoise(c.type, c.category, QString::fromLatin1(c.message)), c.noise)
            << c.message;
}

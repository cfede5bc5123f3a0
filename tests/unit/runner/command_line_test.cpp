#include <gtest/gtest.h>

#include "runner/CommandLine.h"
#include "runner/CommandTable.h"

using namespace keldrin;

TEST(CommandLine, ArgumentsGivePortProjectAndAutoRun) {
    struct Case {
        QStringList args;
        QString port;
        QString project;
        bool autoRun;
    };
    const Case cases[] = {
        {{"keldrin"}, "", "", false},
        {{"keldrin", "3"}, "3", "", true},
        {{"keldrin", "3", "/p/board.cmd"}, "3", "/p/board.cmd", true},
        {{"keldrin", "", "/p/board.cmd"}, "", "/p/board.cmd", true},
        {{"keldrin", "", ""}, "", "", false},  // empty arguments join to nothing
        {{"keldrin", "7", "/p/a.cmd", "extra"}, "7", "/p/a.cmd", true},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.args);
        EXPECT_EQ(line.port, c.port) << c.args.join(' ').toStdString();
        EXPECT_EQ(line.project, c.project) << c.args.join(' ').toStdString();
        EXPECT_EQ(line.autoRun(), c.autoRun) << c.args.join(' ').toStdString();
    }
}

TEST(CommandLine, HelpAndVersionOnlyWhenAloneOnTheLine) {
    EXPECT_EQ(InformationRequested({"keldrin", "--version"}),
              QStringLiteral("Keldrin 4.0.7 (build 420)\n"));
    const QString help = InformationRequested({"keldrin", "--help"});
    EXPECT_EQ(InformationRequested({"keldrin", "-h"}), help);
    // The usage, the exit statuses and where the files go.
    for (const char* part : {"keldrin <port> <project.cmd>", "  2  the run could not start",
                             "$KELDRIN_HOME", "$XDG_DATA_HOME/keldrin", "Keldrin.ports"})
        EXPECT_TRUE(help.contains(QLatin1String(part))) << part;
    // Everything else keeps the rules of an unattended start.
    for (const QStringList& args :
         {QStringList{"keldrin"}, QStringList{"keldrin", "3", "--help"},
          QStringList{"keldrin", "--help", "x"}, QStringList{"keldrin", "--verbose"}})
        EXPECT_TRUE(InformationRequested(args).isEmpty()) << args.join(' ').toStdString();
}

TEST(CommandTable, TrimRemovesBlanksAndControlCharactersAtBothEndsOnly) {
    EXPECT_EQ(trimControls(QString::fromLatin1(" \t\r\nA B\x01\x1f ")), "A B");
    EXPECT_EQ(trimControls(QString::fromLatin1("\x7f")), QString::fromLatin1("\x7f"));
    EXPECT_EQ(trimControls(" \r\n"), "");
}

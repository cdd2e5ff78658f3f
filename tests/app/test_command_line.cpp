#include <gtest/gtest.h>

#include "app/command_line.h"
#include "logging/log_setup.h"

namespace {

struct DebugCase {
    const char* name;
    const char* commandLine;
    bool wantsDebug;
};

class CommandLineWantsDebug : public ::testing::TestWithParam<DebugCase> {};

TEST_P(CommandLineWantsDebug, FindsTheOptionAsCaseSensitiveSubstring) {
    const DebugCase& c = GetParam();
    EXPECT_EQ(kvu::commandLineWantsDebug(QString::fromUtf8(c.commandLine)), c.wantsDebug)
        << c.commandLine;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineWantsDebug,
    ::testing::Values(DebugCase{"OwnArgument", "/usr/bin/kvu-utility --log=DEBUG", true},
                      DebugCase{"BeforeOtherArguments", "kvu-utility --log=DEBUG --simulate", true},
                      DebugCase{"InsideQuotedProgramPath",
                                "\"/opt/a b/--log=DEBUG/kvu-utility\" --simulate", true},
                      DebugCase{"StartOfLongerToken", "kvu-utility --log=DEBUGX", true},
                      DebugCase{"InsideAnotherToken", "kvu-utility x--log=DEBUG", true},
                      DebugCase{"LowerCase", "kvu-utility --log=debug", false},
                      DebugCase{"UpperCaseOptionName", "kvu-utility --LOG=DEBUG", false},
                      DebugCase{"OtherLevel", "kvu-utility --log=INFO", false},
                      DebugCase{"Absent", "kvu-utility --simulate", false},
                      DebugCase{"Empty", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct JoinCase {
    const char* name;
    QStringList arguments;
    const char* expected;
};

class JoinCommandLine : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinCommandLine, QuotesLikeTheWindowsCommandLine) {
    const JoinCase& c = GetParam();
    EXPECT_EQ(kvu::joinCommandLine(c.arguments).toStdString(), std::string(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, JoinCommandLine,
    ::testing::Values(
        JoinCase{"PlainArguments",
                 {"/usr/bin/kvu-utility", "--log=DEBUG", "--simulate"},
                 "/usr/bin/kvu-utility --log=DEBUG --simulate"},
        JoinCase{"ProgramPathWithBlank",
                 {"/opt/my apps/kvu-utility", "--port=/dev/ttyACM0"},
                 "\"/opt/my apps/kvu-utility\" --port=/dev/ttyACM0"},
        JoinCase{"ArgumentWithTab", {"prog", "a\tb"}, "prog \"a\tb\""},
        JoinCase{"EmptyArgument", {"prog", ""}, "prog \"\""},
        JoinCase{"EmbeddedQuotes", {"prog", "say \"hi\""}, "prog \"say \\\"hi\\\"\""},
        JoinCase{"TrailingBackslashInQuotes", {"prog", "C:\\my dir\\"}, "prog \"C:\\my dir\\\\\""},
        JoinCase{"BackslashesUnquoted", {"prog", "a\\b\\"}, "prog a\\b\\"},
        JoinCase{"ProgramOnly", {"kvu-utility"}, "kvu-utility"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ParseCase {
    const char* name;
    QStringList arguments;
    kvu::CommandLineAction action;
    const char* port;
    bool simulate;
    bool debugLog;
};

class ParseCommandLine : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLine, ReadsTheOptions) {
    const ParseCase& c = GetParam();
    const QString whole = kvu::joinCommandLine(c.arguments);
    const kvu::ParsedCommandLine parsed = kvu::parseCommandLine(c.arguments, whole);
    EXPECT_EQ(parsed.action, c.action);
    EXPECT_EQ(parsed.options.port.toStdString(), std::string(c.port));
    EXPECT_EQ(parsed.options.simulate, c.simulate);
    EXPECT_EQ(parsed.options.debugLog, c.debugLog);
    EXPECT_EQ(parsed.options.commandLine, whole);
}

using Action = kvu::CommandLineAction;

INSTANTIATE_TEST_SUITE_P(
    Table, ParseCommandLine,
    ::testing::Values(
        ParseCase{"NoOptions", {"kvu-utility"}, Action::Run, "", false, false},
        ParseCase{"Simulate", {"kvu-utility", "--simulate"}, Action::Run, "", true, false},
        ParseCase{"Port",
                  {"kvu-utility", "--port=/dev/ttyUSB3"},
                  Action::Run,
                  "/dev/ttyUSB3",
                  false,
                  false},
        ParseCase{"LastPortWins",
                  {"kvu-utility", "--port=/dev/a", "--port=/dev/b"},
                  Action::Run,
                  "/dev/b",
                  false,
                  false},
        ParseCase{"DebugLog", {"kvu-utility", "--log=DEBUG"}, Action::Run, "", false, true},
        ParseCase{
            "DebugInProgramPath", {"/x/--log=DEBUG/kvu-utility"}, Action::Run, "", false, true},
        ParseCase{"UnknownIgnored",
                  {"kvu-utility", "--bogus", "-x", "--simulate"},
                  Action::Run,
                  "",
                  true,
                  false},
        ParseCase{"OptionsAreCaseSensitive",
                  {"kvu-utility", "--Simulate", "--HELP"},
                  Action::Run,
                  "",
                  false,
                  false},
        ParseCase{
            "Help", {"kvu-utility", "--simulate", "--help"}, Action::ShowHelp, "", true, false},
        ParseCase{"Version", {"kvu-utility", "--version"}, Action::ShowVersion, "", false, false},
        ParseCase{"FirstOfHelpAndVersionWins",
                  {"kvu-utility", "--version", "--help"},
                  Action::ShowVersion,
                  "",
                  false,
                  false},
        ParseCase{"ProgramPathIsNotAnOption", {"--simulate"}, Action::Run, "", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineTexts, HelpListsEveryOptionAndTheProgramName) {
    const std::string help = kvu::helpText(QStringLiteral("my-prog")).toStdString();
    for (const char* option :
         {"my-prog", "--log=DEBUG", "--port=PATH", "--simulate", "--help", "--version"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

TEST(CommandLineTexts, VersionIsNameAndVersionOnOneLine) {
    EXPECT_EQ(kvu::versionText().toStdString(), "KVU Utility 2.0\n");
}

TEST(CommandLineTexts, ArgvBecomesTheArgumentList) {
    const char* argv[] = {"/usr/bin/kvu-utility", "--port=/dev/ttyACM0", "caf\xc3\xa9", nullptr};
    const QStringList arguments = kvu::argumentsFromArgv(3, argv);
    ASSERT_EQ(arguments.size(), 3);
    EXPECT_EQ(arguments.at(0), QStringLiteral("/usr/bin/kvu-utility"));
    EXPECT_EQ(arguments.at(1), QStringLiteral("--port=/dev/ttyACM0"));
#ifdef _WIN32
    // Windows hands argv over in the ANSI code page, not UTF-8.
    EXPECT_EQ(arguments.at(2), QString::fromLocal8Bit("caf\xc3\xa9"));
#else
    EXPECT_EQ(arguments.at(2).size(), 4);
#endif
}

}  // namespace

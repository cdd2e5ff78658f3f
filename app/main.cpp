#include <QFileInfo>
#include <cstdio>

#include "app/application.h"
#include "app/command_line.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The whole line as the program was started, program path first.
QString wholeCommandLine(const QStringList& arguments) {
#ifdef _WIN32
    (void)arguments;
    return QString::fromWCharArray(GetCommandLineW());
#else
    return kvu::joinCommandLine(arguments);
#endif
}

void print(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const QStringList arguments = kvu::argumentsFromArgv(argc, argv);
    const kvu::ParsedCommandLine parsed =
        kvu::parseCommandLine(arguments, wholeCommandLine(arguments));
    // Help and version need neither a screen nor the instance lock.
    switch (parsed.action) {
        case kvu::CommandLineAction::ShowHelp:
            print(kvu::helpText(arguments.isEmpty() ? QStringLiteral("kvu-utility")
                                                    : QFileInfo(arguments.first()).fileName()));
            return 0;
        case kvu::CommandLineAction::ShowVersion:
            print(kvu::versionText());
            return 0;
        case kvu::CommandLineAction::Run:
            break;
    }
    CKVUUtilityApp app(argc, argv, parsed.options);
    return app.run();
}

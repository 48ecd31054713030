#include "command_line.h"

#include "inquiries/audit_command.h"
#include "inquiries/kiosk_status.h"
#include "inquiries/report_command.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace kalinda {

void defineOptions(QCommandLineParser& options) {
    options.setApplicationDescription(QStringLiteral(
        "Self-service kiosk for cashless savings.\n\n"
        "kalinda report --from YYYY-MM-DD --to YYYY-MM-DD [--user U] [--profile N]\n"
        "               (--pdf FILE | --csv FILE | --printer NAME)\n"
        "  writes the transaction report without a display. Exit status: 0 written,\n"
        "  2 wrong options, 3 database unreachable or refused, 4 output not written.\n\n"
        "kalinda status [--profile N]\n"
        "  prints every kiosk's heartbeat: green, amber or red and why, one line each.\n"
        "  Exit status: 0 none red, 1 a kiosk is red, 2 wrong options, 3 database\n"
        "  unreachable or refused.\n\n"
        "kalinda audit [--from DATE] [--to DATE] [--profile N] [--csv FILE]\n"
        "  audits the kiosks' postings (default: yesterday and today; DATE is YYYY-MM-DD,\n"
        "  today or yesterday) as the office's account of /etc/default/kalinda, one line\n"
        "  per finding. Exit status: 0 nothing found, 1 findings listed, 2 not run."));
    options.addHelpOption();
    options.addVersionOption();
    options.addPositionalArgument(kReportCommand,
                                  QStringLiteral("Write the transaction report, no window."),
                                  QStringLiteral("[report]"));
    options.addPositionalArgument(kStatusCommand,
                                  QStringLiteral("Print every kiosk's status, no window."),
                                  QStringLiteral("[status]"));
    options.addPositionalArgument(kAuditCommand,
                                  QStringLiteral("Audit the kiosks' postings, no window."),
                                  QStringLiteral("[audit]"));
    options.addOptions({
        {QStringLiteral("windowed"),
         QStringLiteral("Run the main screen in a window, not full-screen (for development).")},
        {QStringLiteral("report"),
         QStringLiteral("Open the operator's transaction report window instead of the kiosk.")},
        {QStringLiteral("profile"),
         QStringLiteral("Connect with profile N (1 to 4) without the connection form; "
                        "default for the report, status and audit commands: 1."),
         QStringLiteral("N")},
    });
    addReportOptions(options);
}

QStringList argumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void useRuntimeFolder() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    // A fresh folder of our own, never a predictable name in /tmp that someone else may have
    // made first (or pointed elsewhere with a symlink). Removed as the program ends.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/kalinda-runtime-XXXXXX"));
    if (dir.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
}

} // namespace kalinda

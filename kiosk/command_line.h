#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace kalinda {

// The headless command: "kalinda report --from … --to … (--pdf|--csv|--printer) …".
inline const QString kReportCommand = QStringLiteral("report");

// The program's options: --windowed, --report, --profile N, and those of the report command.
void defineOptions(QCommandLineParser& options);

QStringList argumentsOf(int argc, char* argv[]);

// Scripts run without a session: give Qt a runtime folder of the program's own (made with
// mkdtemp, mode 0700), without its warning.
void useRuntimeFolder();

} // namespace kalinda

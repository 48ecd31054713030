#include "app/connection.h"
#include "inquiries/report_command.h"
#include "report_fixture.h"
#include "support/scripted_dialogs.h"
#include "support/test_settings.h"

#include <QCommandLineParser>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <unistd.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

class ReportCommandTest : public ReportFixture {};

// The report command without a window: what it refuses, what it writes.
TEST_F(ReportCommandTest, WritesTheReportOrSaysWhyNot) {
    addRow(QStringLiteral("KLD2612010001"), QStringLiteral("2026-12-01"), QStringLiteral("Ali"),
           1500);
    ScriptedDialogs untouched;
    const QString csv = path(QStringLiteral("out.csv"));
    const struct {
        QStringList args;
        int status;
        QString message;
    } cases[] = {
        {{"--from", "2026-02-30", "--to", "2026-12-07", "--csv", csv},
         ReportUsage,
         "--from: \"2026-02-30\" is not a date"},
        {{"--from", "2026-12-07", "--to", "2026-12-01", "--csv", csv},
         ReportUsage,
         "The period is reversed"},
        {{"--from", "2026-12-01", "--to", "2026-12-07"}, ReportUsage, "exactly one of"},
        {{"--from", "2026-12-01", "--to", "2026-12-07", "--csv", csv, "--profile", "5"},
         ReportUsage,
         "no connection profile \"5\""},
        {{"--from", "2026-12-01", "--to", "2026-12-07", "--csv", csv, "--profile", "2"},
         ReportNoDatabase,
         "Ada kesalahan dengan koneksi ke server"},
        {{"--from", "2026-12-01", "--to", "2026-12-07", "--csv", "/nonexistent/dir/r.csv"},
         ReportNotWritten,
         "/nonexistent/dir/r.csv tidak dapat ditulis"},
        {{"--from", "2026-12-01", "--to", "2026-12-07", "--printer", "no-such-a4"},
         ReportNotWritten,
         "Printer no-such-a4 tidak ditemukan"},
        {{"--from", "2026-12-01", "--to", "2026-12-07", "--csv", csv, "--operator", "Bu Sari"},
         ReportDone,
         {}},
    };
    for (const auto& c : cases) {
        QCommandLineParser parser;
        parser.addOption({QStringLiteral("profile"), {}, QStringLiteral("N")});
        addReportOptions(parser);
        ASSERT_TRUE(parser.parse(QStringList{"kalinda"} + c.args));
        ReportJob job;
        QString err = readReportJob(parser, job);
        int status = err.isEmpty() ? ReportDone : ReportUsage;
        if (err.isEmpty()) {
            QTextStream stream(&err);
            status = runReportJob(job, stream, testSettings());
        }
        EXPECT_EQ(status, c.status) << c.args.join(' ').toStdString();
        if (status == ReportDone) {
            EXPECT_EQ(DbConn().params().readTimeoutSeconds, kReportReadTimeoutSeconds);
        }
        EXPECT_TRUE(err.contains(c.message)) << err.toStdString();
        // Connection warnings are written once, and no dialog waits for a person.
        EXPECT_EQ(err.count(QStringLiteral("Ada kesalahan")), c.status == ReportNoDatabase ? 1 : 0);
    }
    EXPECT_TRUE(untouched.messages.empty());
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        written.readAll().endsWith("1;2026-12-01;KLD2612010001;110112010001;Ali;7A;1500;KLD|\n"));
}

// The program itself, started as a script would: no display, no platform chosen.
TEST(ReportProgramTest, RefusesWrongPeriodsWithAMessageAndAStatus) {
    const struct {
        QStringList args;
        int status;
        QString output;
        bool foreignRuntime = false; // /tmp/runtime-<uid> made first by someone else
    } cases[] = {
        {{"report", "--from", "2026-12-32", "--to", "2026-12-07", "--pdf", "x.pdf"},
         2,
         "is not a date"},
        {{"report", "--from", "2026-12-07", "--to", "2026-12-01", "--pdf", "x.pdf"},
         2,
         "The period is reversed"},
        {{"--help"}, 0, "kalinda report --from YYYY-MM-DD"},
        {{"--help"}, 0, "kalinda report --from YYYY-MM-DD", true},
    };
    for (const auto& c : cases) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        QTemporaryDir tmp;
        const QString theirs = tmp.filePath(QStringLiteral("theirs"));
        if (c.foreignRuntime) {
            QDir().mkdir(theirs);
            QFile::setPermissions(theirs, QFile::permissions(theirs) | QFileDevice::ReadOther);
            QFile::link(theirs, tmp.filePath(QStringLiteral("runtime-%1").arg(getuid())));
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            env.insert(QStringLiteral("TMPDIR"), tmp.path());
        }
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KALINDA_PROGRAM), c.args);
        ASSERT_TRUE(program.waitForFinished(30000));
        const QString output = QString::fromLocal8Bit(program.readAllStandardOutput() +
                                                      program.readAllStandardError());
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.status) << output.toStdString();
        EXPECT_TRUE(output.contains(c.output)) << output.toStdString();
        if (c.foreignRuntime) { // neither taken nor changed
            EXPECT_TRUE(QFile::permissions(theirs) & QFileDevice::ReadOther);
        }
    }
}

} // namespace

#include "app/connection.h"
#include "app/heartbeat.h"
#include "inquiries/kiosk_status.h"
#include "inquiries/report_command.h"
#include "report_fixture.h"
#include "support/scripted_dialogs.h"
#include "support/test_settings.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
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

// Heartbeats written with the kiosk's own rights, judged for the office; a kiosk that stops
// goes stale, and the status command says so with its exit status.
TEST_F(ReportCommandTest, KiosksAreJudgedByTheirHeartbeatAndGoStaleWhenStopped) {
    const auto beat = [](const char* machine, const char* printer, int inDoubt,
                         const char* server) {
        return Heartbeat{QString::fromLatin1(machine),
                         {},
                         {},
                         {},
                         QStringLiteral("1"),
                         QStringLiteral("127.0.0.1:3306"),
                         QString::fromLatin1(server),
                         5,
                         QString::fromLatin1(printer),
                         inDoubt,
                         true};
    };
    const struct {
        Heartbeat beat;
        StatusColour colour;
        const char* reason;
    } cases[] = {
        {beat("a", "ready", 0, "127.0.0.1:3306"), StatusColour::Green, "ok"},
        {beat("b", "none", 0, "127.0.0.1:3306"), StatusColour::Green, "ok"},
        {beat("c", "paper low", 0, "127.0.0.1:3306"), StatusColour::Amber, "printer: paper low"},
        {beat("d", "ready", 0, "127.0.0.2:3306"), StatusColour::Amber,
         "on server 127.0.0.2:3306, not its profile's 127.0.0.1:3306"},
        {beat("e", "paper out", 0, "127.0.0.1:3306"), StatusColour::Red, "printer: paper out"},
        {beat("f", "jobs stuck", 1, "127.0.0.1:3306"), StatusColour::Red,
         "1 posting(s) in doubt; printer: jobs stuck"},
    };
    for (const auto& c : cases)
        writeHeartbeat(*db, c.beat);
    const auto kiosks = readKioskStatus(*db);
    ASSERT_EQ(kiosks.size(), std::size(cases));
    for (std::size_t i = 0; i < kiosks.size(); ++i) {
        EXPECT_EQ(kiosks[i].colour, cases[i].colour) << kiosks[i].machine.toStdString();
        EXPECT_EQ(kiosks[i].reason, QLatin1String(cases[i].reason));
        EXPECT_FALSE(kiosks[i].lastPosting.isEmpty());
    }
    admin->execute(Sql("DELETE FROM data_kiosk_heartbeat"));

    auto writer = std::make_unique<HeartbeatWriter>(
        HeartbeatWriter::Sources{[&] { return beat("kiosk", "ready", 0, "127.0.0.1:3306"); },
                                 [&] { return db->params(); },
                                 {}},
        std::chrono::milliseconds(200));
    for (QDeadlineTimer d(10000); writer->written() < 3 && !d.hasExpired();)
        QTest::qWait(20);
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    EXPECT_EQ(runStatusCommand(QStringLiteral("1"), outStream, errStream, testSettings(), 1),
              StatusNoRed);
    EXPECT_TRUE(out.startsWith(QStringLiteral("green kiosk (, kiosk): ok | seen ")))
        << out.toStdString();
    writer.reset(); // the kiosk is closed on purpose
    writeHeartbeat(*db, beat("vanished", "ready", 0, "127.0.0.1:3306")); // and never again
    QTest::qWait(2200);
    out.clear();
    EXPECT_EQ(runStatusCommand(QStringLiteral("1"), outStream, errStream, testSettings(), 1),
              StatusRed);
    EXPECT_TRUE(out.startsWith(QStringLiteral("grey  kiosk (, kiosk): ditutup ")))
        << out.toStdString();
    EXPECT_TRUE(
        out.contains(QStringLiteral("\nred   vanished (, vanished): stale: no heartbeat for ")))
        << out.toStdString();
    EXPECT_EQ(runStatusCommand(QStringLiteral("5"), outStream, errStream), StatusUsage);
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

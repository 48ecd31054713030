#include "app/connection.h"
#include "app/heartbeat.h"
#include "inquiries/audit.h"
#include "inquiries/audit_command.h"
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

// The audit as the daily timer runs it: nothing listed, then one forged row of each kind in one
// line each and a summary; no server, no account or the kiosk's own account cannot run it.
TEST_F(ReportCommandTest, AuditExitsByWhatItFoundOrWhyItCouldNotRun) {
    const ConnectParams kiosk = MariaDbServer::instance().kioskParams();
    const QString csv = path(QStringLiteral("audit.csv"));
    const struct {
        QStringList args;
        OfficeAccount account;
        bool forged;
        int status;
        QString message;
    } cases[] = {
        {{}, testOfficeAccount(), false, AuditNothingFound, "no findings."},
        {{"--from", "tomorrow"}, testOfficeAccount(), false, AuditNotRun, "is not a date"},
        {{"--user", "KLD|"}, testOfficeAccount(), false, AuditNotRun, "not of the audit"},
        {{"--profile", "2"},
         testOfficeAccount(),
         false,
         AuditNotRun,
         "cannot connect to primary.kalinda.invalid:3306 as kalinda_kantor"},
        {{}, {{}, {}, "no office account"}, false, AuditNotRun, "no office account"},
        {{},
         {kiosk.user, kiosk.password, {}},
         false,
         AuditNotRun,
         "the audit could not run: execute command denied"},
        {{"--csv", csv}, testOfficeAccount(), true, AuditFound, "10 findings, 5 red, 5 amber"},
    };
    QStringList lines;
    for (const auto& c : cases) {
        if (c.forged)
            forgeOneOfEachFinding();
        QCommandLineParser parser;
        parser.addOption({QStringLiteral("profile"), {}, QStringLiteral("N")});
        addReportOptions(parser);
        ASSERT_TRUE(parser.parse(QStringList{"kalinda"} + c.args));
        AuditJob job;
        QString out, err = readAuditJob(parser, job);
        QTextStream outStream(&out), errStream(&err);
        const int status = err.isEmpty()
                               ? runAuditJob(job, outStream, errStream, c.account, testSettings())
                               : AuditNotRun;
        EXPECT_EQ(status, c.status) << c.args.join(' ').toStdString() << err.toStdString();
        EXPECT_TRUE((out + err).contains(c.message)) << (out + err).toStdString();
        lines = out.split('\n', Qt::SkipEmptyParts);
    }
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    ASSERT_EQ(lines.size(), 11); // a line end in a forged text starts no line of its own
    for (std::size_t i = 0; i < std::size(kForgedFindings); ++i) {
        const auto& [kind, colour] = kForgedFindings[i];
        EXPECT_TRUE(lines[int(i)].startsWith(colourName(colour).leftJustified(5) + ' ' + kind +
                                             ' ' + today))
            << lines[int(i)].toStdString();
    }
    EXPECT_TRUE(lines[0].startsWith(
        "red   DEBIT_TANPA_KREDIT " + today + " 010100000004 > 010100000009 Rp 3.000 " +
        onToday("KLD261207333333") + " | by root@localhost at " + today))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[10].endsWith(": 10 findings, 5 red, 5 amber (forged or unpaired rows 6, "
                                   "accounts below their minimum 1, card and PIN changes flagged "
                                   "1, unpaid orders 1, sessions the watchdog ended 1)."))
        << lines[10].toStdString();
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray all = written.readAll();
    EXPECT_TRUE(all.contains(";\"BAYAR\ngreen ok\";")); // quoted, one field
    const QList<QByteArray> rows = all.split('\n');
    ASSERT_EQ(rows.size(), 13); // header, ten (one over two lines), and the last line's end
    EXPECT_TRUE(rows[1].startsWith(("red;DEBIT_TANPA_KREDIT;" + today +
                                    ";010100000004;010100000009;3000;1;" +
                                    onToday("KLD261207333333") + ";;;root@localhost;")
                                       .toUtf8()))
        << rows[1].toStdString();
    // A kind added to the audit later is listed in amber, under its own name.
    EXPECT_EQ(findingColour(QStringLiteral("JENIS_BARU")), StatusColour::Amber);
    EXPECT_EQ(findingGroup(QStringLiteral("JENIS_BARU")), QStringLiteral("JENIS_BARU"));
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
        {{"audit", "--from", "2026-12-07", "--to", "2026-12-01"}, 2, "The period is reversed"},
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

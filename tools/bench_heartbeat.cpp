// What the kiosks' heartbeats cost the server: N simulated kiosks, each a heartbeat writer of its
// own (own thread and connection, as in the kiosk), beat every --interval seconds. Measures the
// server's statements (Questions) and, when the server runs on this machine, its CPU time, over
// --seconds without and then with the kiosks; then times the office's read of all N rows
// (readKioskStatus, what `kalinda status` sends) and the whole status command's connection.
// Runs against the demo database of scripts/db unless told otherwise; the administrator (root
// over that server's socket, or --admin-user and --admin-password) reads the server's figures
// and removes the simulated kiosks' rows at the end.
//
//   build/tools/kalinda_bench_heartbeat [--kiosks N] [--interval S] [--seconds S] [--port P]

#include "app/heartbeat.h"
#include "bench_server.h"
#include "inquiries/kiosk_status.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <iostream>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace kalinda;

namespace {

struct ServerLoad {
    qint64 questions = 0;
    double cpuSeconds = -1; // user + system time of the server's process; -1 when not local
};

ServerLoad serverLoad(Connection& admin, const QString& pidFile) {
    ServerLoad load;
    load.questions = admin.open(Sql("SHOW GLOBAL STATUS LIKE 'Questions'")).value(1).toLongLong();
    QFile pid(pidFile);
    if (!pid.open(QIODevice::ReadOnly))
        return load;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid.readAll().trimmed())));
    if (!stat.open(QIODevice::ReadOnly))
        return load;
    // Fields 14 and 15 (utime, stime) follow the command name in parentheses.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 12)
        load.cpuSeconds = double(fields[11].toLongLong() + fields[12].toLongLong()) /
                          double(sysconf(_SC_CLK_TCK));
    return load;
}

// Runs the event loop for `seconds` and returns the server's load over that time.
ServerLoad measure(QCoreApplication& app, Connection& admin, const QString& pidFile, int seconds) {
    const ServerLoad before = serverLoad(admin, pidFile);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    const ServerLoad after = serverLoad(admin, pidFile);
    // The administrator's own two SHOW statements are not the kiosks'.
    return {after.questions - before.questions - 1,
            before.cpuSeconds < 0 ? -1 : after.cpuSeconds - before.cpuSeconds};
}

void report(const char* what, const ServerLoad& load, int seconds) {
    std::cout << what << ": " << load.questions << " statements ("
              << double(load.questions) / seconds << "/s)";
    if (load.cpuSeconds >= 0)
        std::cout << ", server CPU " << load.cpuSeconds << " s (" << 100 * load.cpuSeconds / seconds
                  << " % of one core)";
    std::cout << '\n';
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    bench::addServerOptions(options);
    bench::addAdminOptions(options);
    options.addOption({QStringLiteral("kiosks"), QStringLiteral("Simulated kiosks."),
                       QStringLiteral("N"), QStringLiteral("50")});
    options.addOption({QStringLiteral("interval"), QStringLiteral("Seconds between beats."),
                       QStringLiteral("S"), QStringLiteral("30")});
    options.addOption({QStringLiteral("seconds"), QStringLiteral("Length of each measurement."),
                       QStringLiteral("S"), QStringLiteral("120")});
    options.process(app);
    const int kiosks = std::max(1, options.value(QStringLiteral("kiosks")).toInt());
    const int interval = std::max(1, options.value(QStringLiteral("interval")).toInt());
    const int seconds = std::max(1, options.value(QStringLiteral("seconds")).toInt());

    const ConnectParams kiosk = bench::serverParams(options);
    Connection admin;
    if (!bench::connectAdminOrSay(admin, bench::adminParams(options, kiosk)))
        return 1;
    const QString pidFile = admin.open(Sql("SELECT @@pid_file")).value(0).toString();
    admin.execute(Sql("DELETE FROM data_kiosk_heartbeat WHERE hb_mesin LIKE 'bench-%'"));

    const ServerLoad quiet = measure(app, admin, pidFile, seconds);
    report("without heartbeats", quiet, seconds);

    std::vector<std::unique_ptr<HeartbeatWriter>> writers;
    for (int i = 0; i < kiosks; ++i) {
        const QString name = QStringLiteral("bench-%1").arg(i, 3, 10, QLatin1Char('0'));
        HeartbeatWriter::Sources sources;
        sources.snapshot = [name, kiosk] {
            Heartbeat beat;
            beat.machine = name;
            beat.hostName = name;
            beat.version = QStringLiteral("bench");
            beat.profile = QStringLiteral("1");
            beat.profileServer = beat.server =
                QStringLiteral("%1:%2").arg(kiosk.host).arg(kiosk.port);
            beat.printer = QStringLiteral("ready");
            return beat;
        };
        sources.target = [kiosk] { return kiosk; };
        writers.push_back(
            std::make_unique<HeartbeatWriter>(std::move(sources), std::chrono::seconds(interval)));
    }
    // The first beats also connect: the steady cost is measured once all have written.
    QElapsedTimer started;
    started.start();
    while (started.elapsed() < 30000 &&
           std::any_of(writers.begin(), writers.end(), [](const auto& w) { return !w->written(); }))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    int writtenBefore = 0;
    for (const auto& w : writers)
        writtenBefore += w->written();
    const ServerLoad busy = measure(app, admin, pidFile, seconds);
    int written = -writtenBefore;
    int failed = 0;
    for (const auto& w : writers) {
        written += w->written();
        failed += w->failed();
    }
    report("with the heartbeats", busy, seconds);
    std::cout << kiosks << " kiosks, one beat every " << interval << " s: " << written
              << " beats written in " << seconds << " s, " << failed << " failed; "
              << double(busy.questions - quiet.questions) / kiosks / (seconds / 60.0)
              << " statements (round trips) per kiosk per minute\n";
    writers.clear();

    // The office's read: the status command's statement, and with its connection.
    std::vector<qint64> reads;
    std::vector<qint64> whole;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        Connection office;
        office.connect(kiosk);
        const qint64 connected = t.nsecsElapsed();
        const auto rows = readKioskStatus(office);
        whole.push_back(t.nsecsElapsed());
        reads.push_back(t.nsecsElapsed() - connected);
        if (static_cast<int>(rows.size()) < kiosks)
            std::cerr << "only " << rows.size() << " rows read\n";
    }
    std::sort(reads.begin(), reads.end());
    std::sort(whole.begin(), whole.end());
    std::cout << "reading " << kiosks
              << " kiosks' status, median of 20: " << double(reads[10]) / 1e6
              << " ms, with connecting " << double(whole[10]) / 1e6 << " ms\n";
    admin.execute(Sql("DELETE FROM data_kiosk_heartbeat WHERE hb_mesin LIKE 'bench-%'"));
    return 0;
}

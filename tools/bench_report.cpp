// Times the transaction report written as PDF and reports its pages and the process's peak
// memory. Runs against the demo database of scripts/db unless told otherwise; with --seed N it
// first adds N postings dated --from to the kiosk's table as root over that server's socket
// (`scripts/db reset` removes them).
//
//   build/tools/kalinda_bench_report [--seed N] [--from D] [--to D] [--pdf FILE] [--port P]

#include "app/connection.h"
#include "app/parameters.h"
#include "app/settings.h"
#include "bench_server.h"
#include "inquiries/report.h"
#include "inquiries/report_output.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <iostream>
#include <sys/resource.h>

using namespace kalinda;

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOptions({
        {QStringLiteral("seed"), QStringLiteral("Postings to add first."), QStringLiteral("N"),
         QStringLiteral("0")},
        {QStringLiteral("from"), QStringLiteral("First day."), QStringLiteral("D"),
         QStringLiteral("2030-01-01")},
        {QStringLiteral("to"), QStringLiteral("Last day."), QStringLiteral("D"),
         QStringLiteral("2030-01-31")},
        {QStringLiteral("pdf"), QStringLiteral("Output."), QStringLiteral("FILE"),
         QStringLiteral("/tmp/kalinda-bench-report.pdf")},
    });
    bench::addServerOptions(options);
    bench::addAdminOptions(options);
    options.process(app);

    const ConnectParams params = bench::serverParams(options);
    Connection db;
    if (!bench::connectOrSay(db, params))
        return 1;
    const QDate first = QDate::fromString(options.value(QStringLiteral("from")), Qt::ISODate);
    const QDate last = QDate::fromString(options.value(QStringLiteral("to")), Qt::ISODate);
    if (const int seed = options.value(QStringLiteral("seed")).toInt(); seed > 0) {
        Connection admin;
        if (!bench::connectAdminOrSay(admin, bench::adminParams(options, params)))
            return 1;
        Sql s("INSERT INTO data_transaksi (trans_id, trans_tanggal, trans_kode, trans_rekening, "
              "trans_nasabah_nama, trans_nasabah_kelas, trans_jumlah, trans_reg_alias) "
              "SELECT CONCAT('BENCH', LPAD(seq, 8, '0')), '");
        s << esc(first.toString(Qt::ISODate))
          << "', '14', CONCAT('0101', LPAD(seq, 8, '0')), CONCAT('Santri Nomor ', seq), "
             "'10 IPA 1', 1000 + seq MOD 50000, 'KLD|' FROM seq_1_to_"
          << seed;
        admin.execute(s);
    }

    rptTransaksi report(db, LoadParameters(db).AppParam, ReportPeriod{first, last, {}},
                        reportOperatorName());
    QElapsedTimer timer;
    timer.start();
    int pages = 0;
    const QString error = saveReportPdf(report, options.value(QStringLiteral("pdf")), &pages);
    const qint64 ms = timer.elapsed();
    if (!error.isEmpty()) {
        std::cerr << error.toStdString() << '\n';
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::cout << report.rowCount() << " rows, " << pages << " pages, " << ms << " ms, peak "
              << usage.ru_maxrss / 1024 << " MiB resident\n";
    return 0;
}

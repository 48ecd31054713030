// Times SAVING MUTATION for an account with a long history: from the button to a painted,
// filled statement, and the process's memory before, with the form open and after it closed.
// Runs against the demo database of scripts/db unless told otherwise. It first gives the
// account N confirmed ledger rows in the shown period (ids "BENCH…", written once, kept), as
// root over that server's socket (--admin-socket, or --admin-user and --admin-password).
//
//   build/tools/kalinda_bench_statement [--rows N] [--repeat R] [--port P] [--host H]

#include "app/dialogs.h"
#include "app/parameters.h"
#include "app/settings.h"
#include "bench_server.h"
#include "inquiries/frm_transaksi_mutasi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QTreeView>
#include <iostream>
#include <malloc.h>

using namespace kalinda;

namespace {

// Stands in for the main screen: Annisa Rahma in visit.
class BenchScreen final : public KioskScreen {
public:
    BenchScreen() {
        visit_.set(VisitState::txtNorek, QStringLiteral("010100000009"));
        visit_.set(VisitState::txtRfid, QStringLiteral("0004417009"));
        visit_.set(VisitState::txtNama, QStringLiteral("Annisa Rahma"));
        visit_.set(VisitState::txtKelas, QStringLiteral("9B"));
    }
    VisitState& visit() override { return visit_; }
    void MenuEnable() override {}
    void MenuDisable() override {}
    void Bersih() override {}
    void CekSaldoReal() override {}
    void cekLimitTransfer() override {}
    void CetakNota() override {}

private:
    VisitState visit_;
};

// A failure is printed rather than shown in a box nobody will close.
class PrintedDialogs final : public Dialogs {
public:
    void message(QWidget*, MessageIcon, const QString& text, const QString&) override {
        std::cerr << text.toStdString() << '\n';
    }
    std::optional<QString> input(QWidget*, const QString&, const QString&, const QString&,
                                 InputEcho) override {
        return std::nullopt;
    }
    int exec(QDialog& dialog) override { return dialog.result(); }
};

// Resident memory of this process in KiB.
long residentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void seed(Connection& db, int rows) {
    Sql s;
    s << "INSERT IGNORE INTO `cashless-adm`.data_tabungan_trans (trans_id, trans_tanggal, "
         "trans_kode, trans_rekening, trans_nasabah, trans_channel, trans_jumlah_masuk, "
         "trans_jumlah_keluar, trans_uraian, trans_status, trans_reg_date, trans_reg_time, "
         "trans_reg_alias) "
      << "SELECT CONCAT('BENCH', LPAD(seq, 7, '0')), CURDATE() - INTERVAL (seq MOD 170) DAY, "
         "IF(seq MOD 3 = 0, '15', '14'), '010100000009', '240100009', 'KLD01', "
         "IF(seq MOD 3 = 0, 3000, 0), IF(seq MOD 3 = 0, 0, 1000), 'Jajan Kantin', 1, "
         "CURDATE() - INTERVAL (seq MOD 170) DAY, "
         "NOW() - INTERVAL (seq MOD 170) DAY - INTERVAL seq SECOND, 'KLD|' "
      << "FROM seq_1_to_1000000 WHERE seq <= " << rows;
    db.execute(s);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Indonesian, QLocale::Indonesia));
    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({QStringLiteral("rows"), QStringLiteral("Ledger rows of the account."),
                       QStringLiteral("N"), QStringLiteral("10000")});
    options.addOption({QStringLiteral("repeat"), QStringLiteral("Openings to time."),
                       QStringLiteral("R"), QStringLiteral("5")});
    bench::addServerOptions(options);
    bench::addAdminOptions(options);
    options.process(app);
    const int rows = options.value(QStringLiteral("rows")).toInt();
    const int repeat = std::max(1, options.value(QStringLiteral("repeat")).toInt());

    const ConnectParams params = bench::serverParams(options);
    Connection db;
    Connection admin;
    if (!bench::connectOrSay(db, params) ||
        !bench::connectAdminOrSay(admin, bench::adminParams(options, params)))
        return 1;
    try {
        seed(admin, rows);
        parameters() = LoadParameters(db);
    } catch (const DbError& e) {
        std::cerr << e.message().toStdString() << '\n';
        return 1;
    }

    PrintedDialogs printed;
    setDialogs(&printed);
    BenchScreen screen;
    std::cout << "resident memory before: " << residentKiB() << " KiB\n";
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer t;
        t.start();
        // The server's share alone: the two reads without a window.
        (void)readStatement(db, screen.visit()[VisitState::txtNorek]);
        const double server = t.nsecsElapsed() / 1e6;
        t.restart();
        auto form = std::make_unique<frmTransaksiMutasi>(screen, db);
        if (!form->Form_Load())
            return 1;
        const double loaded = t.nsecsElapsed() / 1e6;
        form->show();
        QApplication::processEvents();
        form->ListView1->viewport()->repaint(); // the first screenful, painted
        const double painted = t.nsecsElapsed() / 1e6;
        const long open = residentKiB();
        const auto lines = form->model().rowCount();
        form.reset();
        QApplication::processEvents();
        malloc_trim(0); // hand freed heap back, so the figure shows what is still held
        std::cout << "opening " << i + 1 << ": " << lines << " lines; reads alone " << server
                  << " ms; from the button: read and filled " << loaded << " ms, painted "
                  << painted << " ms, memory with the form open " << open << " KiB, after closing "
                  << residentKiB() << " KiB\n";
    }
    return 0;
}

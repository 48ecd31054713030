#include "app/connection.h"
#include "app/frm_koneksi.h"
#include "app/profile.h"
#include "app/server_switch.h"
#include "app/unattended_start.h"
#include "inquiries/frm_laporan.h"
#include "inquiries/frm_transaksi_mutasi.h"
#include "inquiries/frm_transaksi_spp.h"
#include "inquiries/report_command.h"
#include "postings/frm_transaksi_baru.h"
#include "postings/frm_transaksi_block.h"
#include "postings/frm_transaksi_ganti_pin.h"
#include "postings/frm_transaksi_kirna.h"
#include "postings/frm_transaksi_tarik.h"
#include "visit/frm_transaksi.h"
#include "widgets/kiosk_style.h"
#include "widgets/on_screen_keypad.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

using namespace kalinda;

namespace {

const QString kReportCommand = QStringLiteral("report");

void defineOptions(QCommandLineParser& options) {
    options.setApplicationDescription(QStringLiteral(
        "Self-service kiosk for cashless savings.\n\n"
        "kalinda report --from YYYY-MM-DD --to YYYY-MM-DD [--user U] [--profile N]\n"
        "               (--pdf FILE | --csv FILE | --printer NAME)\n"
        "  writes the transaction report without a display. Exit status: 0 written,\n"
        "  2 wrong options, 3 database unreachable or refused, 4 output not written."));
    options.addHelpOption();
    options.addVersionOption();
    options.addPositionalArgument(kReportCommand,
                                  QStringLiteral("Write the transaction report, no window."),
                                  QStringLiteral("[report]"));
    options.addOptions({
        {QStringLiteral("windowed"),
         QStringLiteral("Run the main screen in a window, not full-screen (for development).")},
        {QStringLiteral("report"),
         QStringLiteral("Open the operator's transaction report window instead of the kiosk.")},
        {QStringLiteral("profile"),
         QStringLiteral("Connect with profile N (1 to 4) without the connection form; "
                        "default for the report command: 1."),
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

// Scripts run without a session; give Qt the folder it would pick itself, without its warning.
void useRuntimeFolder() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QString dir = QDir::tempPath() + QStringLiteral("/runtime-") + QString::number(getuid());
    QDir().mkpath(dir);
    QFile::setPermissions(dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", dir.toLocal8Bit());
}

} // namespace

int main(int argc, char* argv[]) {
    // What runs without a display is known before the platform is chosen.
    QCommandLineParser options;
    defineOptions(options);
    const bool understood = options.parse(argumentsOf(argc, argv));
    const bool headless = !understood || options.isSet(QStringLiteral("help")) ||
                          options.isSet(QStringLiteral("version")) ||
                          options.positionalArguments().value(0) == kReportCommand;
    if (headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        useRuntimeFolder();
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KalindaApp"));
    QApplication::setApplicationVersion(QStringLiteral(KALINDA_VERSION));
    options.process(app);

    QTextStream err(stderr);
    const QStringList commands = options.positionalArguments();
    if (commands == QStringList{kReportCommand}) {
        ReportJob job;
        if (const QString problem = readReportJob(options, job); !problem.isEmpty()) {
            err << "kalinda report: " << problem << Qt::endl;
            return ReportUsage;
        }
        return runReportJob(job, err);
    }
    if (!commands.isEmpty()) {
        err << "kalinda: unknown command \"" << commands.join(u' ') << "\" (see --help)"
            << Qt::endl;
        return ReportUsage;
    }
    const QString profile = options.value(QStringLiteral("profile"));
    if (options.isSet(QStringLiteral("profile")) && !isProfileCode(profile)) {
        err << "kalinda: there is no connection profile \"" << profile << "\" (1 to 4)" << Qt::endl;
        return ReportUsage;
    }
    const bool fullScreen = !options.isSet(QStringLiteral("windowed"));
    installKioskStyle(app);
    installOnScreenKeypad();

    KioskActions actions;
    actions.openBlock = [](KioskScreen& screen) { openBlock(screen, DbConn()); };
    actions.openGantiPin = [](KioskScreen& screen) { openGantiPin(screen, DbConn()); };
    actions.openMutasi = [](KioskScreen& screen) { openMutasi(screen, DbConn()); };
    actions.openTunggakan = [](KioskScreen& screen) { openTunggakan(screen, DbConn()); };
    actions.openFee = [](KioskScreen& screen, const QString& view) {
        openFeePayment(screen, DbConn(), view);
    };
    actions.openTransfer = [](KioskScreen& screen) { showTransfer(screen, DbConn()); };
    actions.openKirna = [](KioskScreen& screen) { openKirna(screen, DbConn()); };

    std::function<void()> showMain;
    if (options.isSet(QStringLiteral("report"))) {
        connectionSettings().ReadTimeoutSeconds = kReportReadTimeoutSeconds;
        showMain = [operatorName = options.value(QStringLiteral("operator"))] {
            auto* window = new frmLaporan(DbConn(), reportOperatorName(operatorName));
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->show();
        };
    } else {
        showMain = [&actions, fullScreen] {
            // Installed before the main screen loads: it reads the failover setting into it.
            auto* server = new ServerSwitch(DbConn(), connectionSettings().ProfileCode);
            installServerSwitch(server);
            auto* mainScreen = new frmTransaksi(DbConn(), actions);
            server->setParent(mainScreen);
            mainScreen->setAttribute(Qt::WA_DeleteOnClose);
            if (fullScreen) {
                // Without a window manager the full-screen state alone does not size the window.
                mainScreen->setGeometry(QGuiApplication::primaryScreen()->geometry());
                mainScreen->showFullScreen();
            } else {
                mainScreen->resize(1280, 800);
                mainScreen->show();
            }
        };
    }

    const auto showConnectionForm = [showMain]() -> QWidget* {
        auto* start = new frmKoneksi(showMain);
        start->adjustSize();
        start->move(QGuiApplication::primaryScreen()->availableGeometry().center() -
                    start->rect().center());
        start->show();
        return start;
    };
    if (profile.isEmpty()) {
        showConnectionForm();
    } else {
        // Started by the kiosk session: nobody picks a profile, and the server may still be
        // booting.
        (new UnattendedStart(profile, showMain, showConnectionForm))->start();
    }
    return QApplication::exec();
}

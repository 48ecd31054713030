#include "app/connection.h"
#include "app/frm_koneksi.h"
#include "app/heartbeat.h"
#include "app/parameters.h"
#include "app/profile.h"
#include "app/server_switch.h"
#include "command_line.h"
#include "inquiries/audit_command.h"
#include "inquiries/frm_laporan.h"
#include "inquiries/kiosk_status.h"
#include "inquiries/report_command.h"
#include "kiosk_menu.h"
#include "postings/posting_outcome.h"
#include "printing/printer_check.h"
#include "unattended_start.h"
#include "visit/frm_transaksi.h"
#include "visit/login_log.h"
#include "widgets/kiosk_style.h"
#include "widgets/on_screen_keypad.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace kalinda;

namespace {

// The office's heartbeat, from the start of the main screen to its end. `profile` is the one
// the kiosk was started with; an unattended start may have found only a failover profile.
void startHeartbeat(frmTransaksi* mainScreen, const QString& profile) {
    const MachineIdentity machine = localMachineIdentity();
    Heartbeat self;
    self.machine = heartbeatMachine(machine.macAddress, machine.hostName);
    self.hostName = machine.hostName;
    self.ipAddress = machine.ipAddress;
    self.version = AppVersion();
    self.profile = profile;
    self.profileServer = profileServer(profile);
    HeartbeatWriter::Sources sources;
    sources.snapshot = [self, mainScreen] {
        Heartbeat beat = self;
        beat.server = DbConn().server();
        beat.inDoubt = pendingPostingId() ? 1 : 0;
        beat.visitOpen = !mainScreen->visit()[VisitState::NoRekening].isEmpty();
        return beat;
    };
    sources.target = [] { return DbConn().params(); };
    sources.printer = [] { return printerConditionName(defaultPrinterCondition()); };
    auto* writer = new HeartbeatWriter(std::move(sources), std::chrono::seconds(30), mainScreen);
    installHeartbeat(writer);
}

// SIGTERM (`systemctl stop kalinda`) quits the event loop as KELUAR does, so that the
// heartbeat's last beat says the kiosk was closed; the handler only writes to a pipe.
int termPipe[2] = {-1, -1};

void onTerm(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(termPipe[1], &byte, 1);
}

void quitOnTerm(QApplication& app) {
    if (pipe(termPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(termPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, onTerm);
}

} // namespace

int main(int argc, char* argv[]) {
    // What runs without a display is known before the platform is chosen.
    QCommandLineParser options;
    defineOptions(options);
    const bool understood = options.parse(argumentsOf(argc, argv));
    const bool headless = !understood || options.isSet(QStringLiteral("help")) ||
                          options.isSet(QStringLiteral("version")) ||
                          options.positionalArguments().value(0) == kReportCommand ||
                          options.positionalArguments().value(0) == kStatusCommand ||
                          options.positionalArguments().value(0) == kAuditCommand;
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
    if (commands == QStringList{kStatusCommand}) {
        QTextStream out(stdout);
        return runStatusCommand(options.isSet(QStringLiteral("profile"))
                                    ? options.value(QStringLiteral("profile"))
                                    : QStringLiteral("1"),
                                out, err);
    }
    if (commands == QStringList{kAuditCommand}) {
        AuditJob job;
        if (const QString problem = readAuditJob(options, job); !problem.isEmpty()) {
            err << "kalinda audit: " << problem << Qt::endl;
            return AuditNotRun;
        }
        QTextStream out(stdout);
        return runAuditJob(job, out, err);
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
    quitOnTerm(app);
    installOnScreenKeypad();

    const KioskActions actions = kioskMenu();

    std::function<void()> showMain;
    if (options.isSet(QStringLiteral("report"))) {
        connectionSettings().ReadTimeoutSeconds = kReportReadTimeoutSeconds;
        showMain = [operatorName = options.value(QStringLiteral("operator"))] {
            auto* window = new frmLaporan(DbConn(), reportOperatorName(operatorName));
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->showReady();
        };
    } else {
        setStateFolder(defaultStateFolder());
        showMain = [&actions, fullScreen, profile] {
            // Installed before the main screen loads: it reads the failover setting into it.
            auto* server = new ServerSwitch(DbConn(), connectionSettings().ProfileCode);
            installServerSwitch(server);
            // Kept for the next start, which may find no server to read it from.
            QObject::connect(server, &ServerSwitch::changed, server, [server] {
                if (parameters().read)
                    rememberFailoverProfiles(server->failoverProfiles());
            });
            auto* mainScreen = new frmTransaksi(DbConn(), actions);
            server->setParent(mainScreen);
            // A posting the last run left in doubt (a crash, a power cut) is settled before
            // anyone taps; a server not yet reachable leaves it for the first tap.
            settleLeftPosting(DbConn(), mainScreen);
            startHeartbeat(mainScreen,
                           profile.isEmpty() ? connectionSettings().ProfileCode : profile);
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

    if (profile.isEmpty()) {
        auto* start = new frmKoneksi(showMain);
        start->adjustSize();
        start->move(QGuiApplication::primaryScreen()->availableGeometry().center() -
                    start->rect().center());
        start->show();
    } else {
        // Started by the kiosk session: nobody picks a profile, and the server may still be
        // booting.
        (new UnattendedStart(profile, showMain, rememberedFailoverProfiles()))->start();
    }
    return QApplication::exec();
}

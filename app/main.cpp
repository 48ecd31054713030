#include "app/connection.h"
#include "app/frm_koneksi.h"
#include "postings/frm_transaksi_kirna.h"
#include "visit/frm_transaksi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>

using namespace kalinda;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KalindaApp"));
    QApplication::setApplicationVersion(QStringLiteral(KALINDA_VERSION));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Self-service kiosk for cashless savings"));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption windowed(QStringLiteral("windowed"),
                                      QStringLiteral("Run the main screen in a window, not "
                                                     "full-screen (for development)."));
    options.addOption(windowed);
    options.process(app);
    const bool fullScreen = !options.isSet(windowed);

    KioskActions actions;
    actions.openKirna = [](KioskScreen& screen) { openKirna(screen, DbConn()); };

    frmTransaksi* mainScreen = nullptr;
    auto* start = new frmKoneksi([&] {
        mainScreen = new frmTransaksi(DbConn(), actions);
        mainScreen->setAttribute(Qt::WA_DeleteOnClose);
        if (fullScreen) {
            // Without a window manager the full-screen state alone does not size the window.
            mainScreen->setGeometry(QGuiApplication::primaryScreen()->geometry());
            mainScreen->showFullScreen();
        } else {
            mainScreen->resize(1280, 800);
            mainScreen->show();
        }
    });
    start->adjustSize();
    start->move(QGuiApplication::primaryScreen()->availableGeometry().center() -
                start->rect().center());
    start->show();
    return QApplication::exec();
}

#include "connection.h"

#include "dialogs.h"

#include <QApplication>
#include <QCursor>
#include <memory>

namespace kalinda {
namespace {

std::unique_ptr<Connection>& mainSlot() {
    static std::unique_ptr<Connection> slot = std::make_unique<Connection>();
    return slot;
}

std::unique_ptr<Connection>& spareSlot() {
    static std::unique_ptr<Connection> slot = std::make_unique<Connection>();
    return slot;
}

class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(QCursor(Qt::BusyCursor)); }
    ~BusyPointer() { release(); }
    void release() {
        if (active_) {
            QApplication::restoreOverrideCursor();
            active_ = false;
        }
    }

private:
    bool active_ = true;
};

void open(std::unique_ptr<Connection>& slot, const EncodedSettings& stored) {
    BusyPointer pointer;
    slot = std::make_unique<Connection>();
    // The deployment's account for this kiosk, else the one built in.
    const std::optional<DbAccount> account = accountSettings();
    if (account && !account->error.isEmpty()) {
        pointer.release();
        showMessage(MessageIcon::Warning,
                    QStringLiteral("Akun database kiosk tidak dapat dipakai: %1. Periksa "
                                   "/etc/default/kalinda!")
                        .arg(account->error));
        return;
    }
    EncodedSettings chosen = stored;
    if (account) {
        chosen.user = account->user;
        chosen.password = account->password;
    }
    const ConnectParams params = settingsParams(chosen);
    slot->connect(params);
    slot->setOption(3);
    pointer.release();
    if (slot->untrustedServer()) {
        // Not a network fault: trying again will not help, the school's IT has to look.
        showMessage(MessageIcon::Warning,
                    QStringLiteral("Koneksi aman ke server ditolak: %1. Periksa sertifikat "
                                   "server dan file CA kiosk!")
                        .arg(slot->lastError()));
    } else if (slot->status() == 1) {
        showMessage(MessageIcon::Warning,
                    QStringLiteral("Ada kesalahan dengan koneksi ke server, periksa apakah "
                                   "jaringan/server sudah berjalan dengan baik!"));
    }
}

} // namespace

ConnectParams settingsParams(const EncodedSettings& stored) {
    ConnectionSettings& s = connectionSettings();
    s.DbName = DecodeSetting(stored.database);
    s.DbUser = DecodeSetting(stored.user);
    s.DbPassword = DecodeSetting(stored.password);
    bool portOk = false;
    const int port = s.ServerPort.trimmed().toInt(&portOk);
    ConnectParams params;
    params.host = s.ServerAddress;
    params.user = s.DbUser;
    params.password = s.DbPassword;
    params.database = s.DbName;
    params.port = portOk ? port : 0;
    params.readTimeoutSeconds = s.ReadTimeoutSeconds;
    params.tls = tlsSettings();
    return params;
}

ConnectionSettings& connectionSettings() {
    static ConnectionSettings settings;
    return settings;
}

Connection& DbConn() {
    return *mainSlot();
}

Connection& DbConnSpare() {
    return *spareSlot();
}

void OpenConnection(const EncodedSettings& stored) {
    open(mainSlot(), stored);
}

void OpenSpareConnection(const EncodedSettings& stored) {
    open(spareSlot(), stored);
}

} // namespace kalinda

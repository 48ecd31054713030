#include "server_switch.h"

#include "failover.h"

namespace kalinda {
namespace {

ServerSwitch* installed = nullptr;

} // namespace

ServerSwitch::ServerSwitch(Connection& db, QString profile, const EncodedSettings& stored)
    : db_(db)
    , profile_(std::move(profile))
    , stored_(stored) {
    // A read that meets a dead server is sent again where the kiosk moved, so the student need
    // not tap twice.
    db_.setMoveAway([this] { return moveAway(); });
}

ServerSwitch::~ServerSwitch() {
    db_.setMoveAway({});
    if (installed == this)
        installed = nullptr;
}

QString ServerSwitch::captionOf(const QString& profile) const {
    const auto& table = connectionProfiles();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].code != profile)
            continue;
        const QString port = DecodeSetting(i == 0 ? stored_.portLocal : stored_.portServer);
        return QStringLiteral("%1 (%2:%3)")
            .arg(table[i].listText, DecodeSetting(stored_.hosts[i]), port.trimmed());
    }
    // Not opened through a profile: the connection's own address is all there is.
    return db_.server();
}

void ServerSwitch::setFailoverProfiles(const QStringList& profiles) {
    failover_ = profiles;
    emit changed();
}

ServerSwitch::Verdict ServerSwitch::connectionLost() {
    Verdict verdict{Outcome::Gone, caption(), {}};
    if (db_.inTransaction())
        return verdict;
    if (db_.reconnect()) {
        verdict.outcome = Outcome::Reconnected;
        return verdict;
    }
    if (!movesByItself())
        return verdict;
    if (!moveAway()) {
        // Pointing the connection back at its own profile may have found it up again.
        if (db_.status() == 0)
            verdict.outcome = Outcome::Reconnected;
        return verdict;
    }
    verdict.outcome = Outcome::Moved;
    verdict.to = caption();
    return verdict;
}

bool ServerSwitch::moveAway() {
    if (!movesByItself() || db_.inTransaction())
        return false;
    const QString now = failOver(db_, profile_, failover_, stored_);
    if (now.isEmpty())
        return false;
    profile_ = now;
    emit changed();
    return true;
}

QString ServerSwitch::explain(const Verdict& verdict) {
    switch (verdict.outcome) {
    case Outcome::Reconnected:
        return QStringLiteral("Koneksi ke server sempat terputus dan sudah tersambung lagi. "
                              "Silakan coba lagi.");
    case Outcome::Moved:
        return QStringLiteral("Server %1 tidak dapat dihubungi. Kiosk pindah ke server %2. "
                              "Silakan coba lagi.")
            .arg(verdict.from, verdict.to);
    case Outcome::Gone:
        break;
    }
    return QStringLiteral("Server %1 tidak dapat dihubungi. Periksa jaringan/server, atau "
                          "jalankan ulang kiosk dengan profil lain.")
        .arg(verdict.from);
}

ServerSwitch* serverSwitch() {
    return installed;
}

void installServerSwitch(ServerSwitch* serverSwitch) {
    installed = serverSwitch;
}

} // namespace kalinda

#include "posting.h"

#include "app/typed_input.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <array>

namespace kalinda {
namespace {

Recordset lockAccount(Connection& db, const QString& account) {
    Sql lock;
    lock << "SELECT tab_rekening, tab_rfid, tab_status FROM `cashless-adm`.data_tabungan_master "
            "WHERE tab_rekening = '"
         << esc(account) << "' FOR UPDATE";
    return db.open(lock);
}

// The locked row must still be the visit's: its card compared exactly, and the account active.
// The visit holds the card as this row stored it at the tap (tab_rfid, not the reader's text,
// which may differ in case), so only a change of the row tells here: a block's "#", another card
// bound by the office. A visit always has a card: an account without one (the school's own)
// never pays from a visit.
void checkPayer(const Recordset& row, const Payer& payer) {
    if (row.eof() || payer.card.isEmpty() || row.text(QStringLiteral("tab_rfid")) != payer.card ||
        row.value(QStringLiteral("tab_status")).toInt() != 1)
        throw PayerRefused();
}

// Ends the session that lost its COMMIT, where it is still ours; throws DbError while it lingers.
void endLostSession(Connection& db, const SessionIdentity& lost) {
    for (int i = 0; db.endSession(lost); ++i) {
        if (i >= 100)
            throw DbError(DbError::Kind::Connection, 0,
                          QStringLiteral("Sesi lama di server belum berakhir"));
        QThread::msleep(50);
    }
}

// Whether the proof's mark is there; `causal`: after everything the cluster delivered before.
bool found(Connection& db, const PostingProof& proof, bool causal) {
    Sql s;
    if (causal)
        s << "SET STATEMENT wsrep_sync_wait = 1 FOR ";
    s << "SELECT tanda_kode FROM data_posting_tanda WHERE tanda_kode = '" << esc(proof.mark) << "'";
    return !db.open(s).eof();
}

// Whether the node that lost the COMMIT can no longer commit it: it answered us itself (its
// session is over, or it started anew), or a Primary, Synced node no longer counts it in.
bool oldNodeDone(Connection& db, const SessionIdentity& lost) {
    ConnectParams params = db.params();
    const qsizetype colon = lost.server.lastIndexOf(QLatin1Char(':'));
    bool isPort = false;
    const int port = colon > 0 ? lost.server.mid(colon + 1).toInt(&isPort) : 0;
    if (isPort) {
        params.host = lost.server.left(colon);
        params.port = port;
        params.unixSocket.clear();
    } else {
        params.unixSocket = lost.server;
    }
    params.connectTimeoutSeconds = 2;
    Connection old;
    old.connect(params);
    if (old.status() == 0) {
        try {
            endLostSession(old, lost);
            return true;
        } catch (const DbError&) {
            // Asked the cluster instead.
        }
    }
    Recordset status = db.open(
        Sql("SELECT VARIABLE_NAME, VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS WHERE "
            "VARIABLE_NAME IN ('WSREP_CLUSTER_STATUS', 'WSREP_LOCAL_STATE_COMMENT', "
            "'WSREP_INCOMING_ADDRESSES')"));
    bool serving = true;
    QStringList members;
    int read = 0;
    for (; !status.eof(); status.moveNext(), ++read) {
        const QString name = status.text(QStringLiteral("VARIABLE_NAME"));
        const QString value = status.text(QStringLiteral("VARIABLE_VALUE"));
        if (name == QLatin1String("WSREP_CLUSTER_STATUS"))
            serving = serving && value == QLatin1String("Primary");
        else if (name == QLatin1String("WSREP_LOCAL_STATE_COMMENT"))
            serving = serving && value == QLatin1String("Synced");
        else
            for (const QString& member : value.split(QLatin1Char(',')))
                members << member.trimmed();
    }
    return serving && read == 3 && !members.contains(lost.server) &&
           (lost.incomingAddress.isEmpty() || !members.contains(lost.incomingAddress));
}

} // namespace

AmountRefused::AmountRefused()
    : std::runtime_error("amount of 0 or less") {}

void requirePositiveAmount(Rupiah amount) {
    if (amount <= 0)
        throw AmountRefused();
}

PayerRefused::PayerRefused()
    : std::runtime_error("card blocked or account closed since the visit began") {}

PostingOutcomeUnknown::PostingOutcomeUnknown(const DbError& cause,
                                             std::optional<PostingProof> proof,
                                             SessionIdentity lostSession)
    : DbError(DbError::Kind::Connection, cause.code(), cause.message())
    , proof_(std::move(proof))
    , lostSession_(std::move(lostSession)) {}

PostingTransaction::PostingTransaction(Connection& db, const Payer& payer)
    : PostingTransaction(db, payer, payer.account) {}

PostingTransaction::PostingTransaction(Connection& db, const Payer& payer,
                                       const QString& otherAccount)
    : db_(db)
    , transaction_(db, Isolation::ReadCommitted) {
    const bool other = otherAccount != payer.account;
    if (other && otherAccount < payer.account)
        lockAccount(db, otherAccount);
    checkPayer(lockAccount(db, payer.account), payer);
    if (other && payer.account < otherAccount)
        lockAccount(db, otherAccount);
    readBalance(payer.account);
}

void PostingTransaction::readBalance(const QString& payerAccount) {
    // A statement of its own, so it reads what another kiosk committed while we waited.
    Sql balance;
    balance << "SELECT `cashless-adm`.GetTabSaldoAktif('" << esc(payerAccount)
            << "', CURDATE()) as SaldoAktif";
    balance_ = toRupiah(db_.open(balance).value(QStringLiteral("SaldoAktif")));
}

void PostingTransaction::writeProof(const QString& id, bool paid) {
    proof_ = writePostingProof(db_, id, paid);
}

QString newPostingMark() {
    std::array<quint32, 4> bits;
    QRandomGenerator::system()->fillRange(bits.data(), bits.size());
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bits.data()), sizeof bits).toHex());
}

bool isPostingMark(const QString& text) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{32}$"));
    return hex.match(text).hasMatch();
}

PostingProof writePostingProof(Connection& db, const QString& id, bool paid) {
    PostingProof proof{id, newPostingMark(), paid};
    Sql s;
    s << "INSERT INTO data_posting_tanda (tanda_kode) VALUES ('" << esc(proof.mark) << "')";
    db.execute(s);
    return proof;
}

void PostingTransaction::commit() {
    commitOrLookUp(db_, transaction_, proof_);
}

bool commitLeftInDoubt(const DbError& e, const SessionIdentity& session) {
    // A node out of the Primary component refuses it (1047): nothing was stored.
    if (e.code() == 1047)
        return false;
    // A node that left the cluster while replicating it answers 1180; the others may have
    // committed it all the same.
    if (e.code() == 1180 && !session.gcommUuid.isEmpty())
        return true;
    // Any other refused COMMIT was rolled back by the server; only a lost one leaves doubt.
    return e.kind() == DbError::Kind::Connection;
}

void commitOrLookUp(Connection& db, Transaction& transaction,
                    const std::optional<PostingProof>& proof) {
    const SessionIdentity session = db.identity();
    try {
        transaction.commit();
        return;
    } catch (const DbError& e) {
        if (!commitLeftInDoubt(e, session))
            throw;
        if (!proof)
            throw PostingOutcomeUnknown(e, std::nullopt, session);
        bool stored = false;
        try {
            stored = isPostingStored(db, *proof, session);
        } catch (const DbError&) {
            throw PostingOutcomeUnknown(e, proof, session);
        }
        if (!stored)
            throw;
    }
}

bool isPostingStored(Connection& db, const PostingProof& proof,
                     const SessionIdentity& lostSession) {
    // The answer of another server is not yet the truth: the lost COMMIT may still reach it.
    struct StayOnServer {
        Connection& db;
        std::function<bool()> moveAway = db.moveAway();
        ~StayOnServer() { db.setMoveAway(moveAway); }
    } stay{db};
    db.setMoveAway({});
    // A session we can still see may be running the COMMIT right now.
    endLostSession(db, lostSession);
    // On another node of the cluster (or the same node started anew) the lost COMMIT arrives
    // only as the cluster delivers it; there a causal read sees whatever has arrived.
    const bool elsewhere =
        !lostSession.gcommUuid.isEmpty() && !lostSession.sameServerAs(db.identity());
    // On the same node too: a COMMIT it refused may come back to it from the others.
    if (!elsewhere)
        return found(db, proof, !lostSession.gcommUuid.isEmpty());
    if (found(db, proof, true))
        return true;
    if (!oldNodeDone(db, lostSession))
        throw DbError(DbError::Kind::Rejected, 0,
                      QStringLiteral("Server lama %1 belum menjawab dan masih tergabung di cluster")
                          .arg(lostSession.server));
    return found(db, proof, true); // anything it committed has arrived by now
}

bool transactionPinMatches(Connection& db, const QString& txtNorek, const QString& pin) {
    if (!isLookupKey(pin))
        return false; // a blank names nothing: not sent
    Sql s;
    s << "SELECT tab_rfid,  "
      << "`cashless-adm`.GetTabSaldoAktif(tab_rekening, CURDATE()) as SaldoAktif "
      << "FROM `cashless-adm`.data_tabungan_master "
      << "WHERE tab_rekening = '" << esc(txtNorek) << "' "
      << "AND tab_pin = '" << esc(pin) << "'";
    return !db.open(s).eof();
}

} // namespace kalinda

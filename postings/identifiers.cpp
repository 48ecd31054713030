#include "identifiers.h"

#include "app/conflict_retry.h"

#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace kalinda {

const SequenceFamily kTransactionIds = {"SELECT MAX(RIGHT(trans_id, 4)) as Nomor ",
                                        "FROM `cashless-adm`.data_tabungan_trans ",
                                        "WHERE LEFT(trans_id, 11) = '",
                                        "' AND trans_id LIKE '",
                                        "KLD",
                                        "yyyyMMdd",
                                        4};

const SequenceFamily kOrderCodes = {"SELECT MAX(RIGHT(order_kode, 3)) as Nomor ",
                                    "FROM `aio-kirna`.data_barang_order ",
                                    "WHERE LEFT(order_kode, 9) = '",
                                    "' AND order_kode LIKE '",
                                    "ODR",
                                    "yyMMdd",
                                    3};

const SequenceFamily kSessionIds = {"SELECT MAX(RIGHT(user_session, 4)) as Nomor ",
                                    "FROM data_pengguna_alias ",
                                    "WHERE LEFT(user_session, 9) = '",
                                    "",
                                    "SES",
                                    "yyMMdd",
                                    4};

namespace {

constexpr int kMaxAttempts = 20;

std::atomic<int> duplicatesRetried{0};

int capacity(const SequenceFamily& family) {
    int max = 1;
    for (int i = 0; i < family.digits; ++i)
        max *= 10;
    return max - 1;
}

// Another kiosk may have stored the same id first; its unique key refuses ours and the next id
// is tried. Inside a transaction the refused statement alone is undone. `nextId` gets the id
// refused last (empty at first).
QString insertRetryingDuplicates(const std::function<QString(const QString& refused)>& nextId,
                                 const std::function<void(const QString& id)>& insert) {
    QString refused;
    for (int attempt = 1;; ++attempt) {
        const QString id = nextId(refused);
        try {
            insert(id);
            return id;
        } catch (const DbError& e) {
            if (!e.isDuplicateKey() || attempt >= kMaxAttempts)
                throw;
            ++duplicatesRetried;
            refused = id;
        }
    }
}

// A kiosk that keeps posting takes its next number while we wait for its commit, and we would
// lose to it again at the same moment each time: a short random pause breaks that step.
void pauseAfterLosing(int losses) {
    pauseRandomly(0, std::min(1 << std::min(losses, 5), 32));
}

int sequenceNumber(const SequenceFamily& family, const QString& id) {
    return id.right(family.digits).toInt();
}

QString sequenceId(Connection& db, const SequenceFamily& family, const QDate& today, int atLeast) {
    const int number = std::max(GenerateCD(db, family, today), atLeast);
    if (number > capacity(family)) {
        throw IdCapacityError(
            QStringLiteral("Nomor transaksi hari ini sudah habis (%1 nomor). Transaksi tidak "
                           "dapat diproses, silakan hubungi Bag. Administrasi!")
                .arg(capacity(family)));
    }
    return sequencePrefix(family, today) +
           QStringLiteral("%1").arg(number, family.digits, 10, QLatin1Char('0'));
}

} // namespace

IdCapacityError::IdCapacityError(const QString& message)
    : std::runtime_error(message.toStdString())
    , message_(message) {}

QString sequencePrefix(const SequenceFamily& family, const QDate& today) {
    const QString prefix = QString::fromLatin1(family.prefix) +
                           today.toString(QString::fromLatin1(family.datePattern));
    // The key range below takes the prefix as a LIKE pattern: it must hold no wildcard.
    static const QRegularExpression lettersAndDigits(QStringLiteral("^[A-Za-z0-9]+$"));
    const auto width = std::strlen(family.prefix) + std::strlen(family.datePattern);
    if (static_cast<std::size_t>(prefix.size()) != width ||
        !lettersAndDigits.match(prefix).hasMatch()) {
        throw DbError(DbError::Kind::Rejected, 0,
                      QStringLiteral("Awalan nomor transaksi tidak valid: ") + prefix);
    }
    return prefix;
}

Sql sequenceQuery(const SequenceFamily& family, const QDate& today) {
    const QString prefix = sequencePrefix(family, today);
    Sql s;
    s << family.selectMax << family.from << family.whereLeft << esc(prefix);
    if (*family.keyRange.text() != '\0')
        s << family.keyRange << esc(prefix) << "%";
    s << "' ";
    return s;
}

int GenerateCD(Connection& db, const SequenceFamily& family, const QDate& today) {
    Recordset rs = db.open(sequenceQuery(family, today));
    if (rs.eof() || rs.value(QStringLiteral("Nomor")).isNull())
        return 1;
    bool ok = false;
    const int highest = rs.text(QStringLiteral("Nomor")).toInt(&ok);
    return ok ? highest + 1 : 1;
}

QString IdReg(Connection& db, const SequenceFamily& family, const QDate& today) {
    return sequenceId(db, family, today, 1);
}

QString insertWithSequenceId(Connection& db, const SequenceFamily& family,
                             const std::function<void(const QString& id)>& insert,
                             const QDate& today) {
    int losses = 0;
    return insertRetryingDuplicates(
        [&](const QString& refused) {
            if (refused.isEmpty())
                return IdReg(db, family, today);
            pauseAfterLosing(++losses);
            // Our read may not see the row that refused us yet (a snapshot taken before it, a
            // cluster node behind): never ask for that number again.
            return sequenceId(db, family, today, sequenceNumber(family, refused) + 1);
        },
        insert);
}

int duplicateIdRetries() {
    return duplicatesRetried.load();
}

QVariant drawRandomNumber(Connection& db) {
    Recordset rs = db.open(Sql("SELECT FLOOR((RAND() * (999999-100000+1))+100000) as Number "));
    return rs.value(QStringLiteral("Number"));
}

QString randomPostingId(Connection& db, const QDate& today, const RandomNumberSource& draw) {
    // Read as a whole number: a double of 100000 turns into "1e+05" when taken as text.
    const QVariant drawn = draw(db);
    bool ok = false;
    const double number = drawn.toDouble(&ok);
    if (!ok || number != std::floor(number) || number < 100000 || number > 999999) {
        throw DbError(DbError::Kind::Rejected, 0,
                      QStringLiteral("Nomor acak dari server tidak valid: ") + drawn.toString());
    }
    return QStringLiteral("KLD") + today.toString(QStringLiteral("yyMMdd")) +
           QString::number(static_cast<qint64>(number));
}

QString insertWithRandomId(Connection& db, const std::function<void(const QString& id)>& insert,
                           const QDate& today, const RandomNumberSource& draw) {
    return insertRetryingDuplicates(
        [&](const QString&) { return randomPostingId(db, today, draw); }, insert);
}

} // namespace kalinda

#include "bare_client.h"

#include "postings/posting.h"

#include <QDate>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <mysql.h>

namespace kalinda::bench {

BareClient::BareClient(const ConnectParams& params)
    : handle_(mysql_init(nullptr), mysql_close) {
    // The same options as the kiosk's connection, so both cost the server the same.
    mysql_options(handle_.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    mysql_options(handle_.get(), MYSQL_INIT_COMMAND,
                  "SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED");
    const unsigned protocol = MYSQL_PROTOCOL_TCP;
    mysql_options(handle_.get(), MYSQL_OPT_PROTOCOL, &protocol);
    if (!mysql_real_connect(handle_.get(), params.host.toUtf8().constData(),
                            params.user.toUtf8().constData(), params.password.toUtf8().constData(),
                            params.database.toUtf8().constData(),
                            static_cast<unsigned>(params.port), nullptr, CLIENT_MULTI_RESULTS))
        fail();
}

BareClient::~BareClient() = default;

void BareClient::fail() {
    const unsigned code = mysql_errno(handle_.get());
    const QString message = QString::fromUtf8(mysql_error(handle_.get()));
    mysql_query(handle_.get(), "ROLLBACK");
    throw DbError(DbError::Kind::Rejected, code, message);
}

void BareClient::replay(const std::vector<QByteArray>& statements) {
    MYSQL* m = handle_.get();
    for (const QByteArray& s : statements) {
        if (mysql_real_query(m, s.constData(), static_cast<unsigned long>(s.size())))
            fail();
        for (;;) {
            if (MYSQL_RES* r = mysql_store_result(m)) {
                while (mysql_fetch_row(r)) {
                }
                mysql_free_result(r);
            } else if (mysql_field_count(m) != 0) {
                fail();
            }
            const int more = mysql_next_result(m);
            if (more == -1)
                break;
            if (more > 0)
                fail();
        }
    }
}

PostingTemplate::PostingTemplate(const QStringList& recorded, const QString& transId, Rupiah before,
                                 Rupiah after) {
    const QByteArray id = transId.toUtf8();
    const QByteArray balanceRead = "SELECT `cashless-adm`.GetTabSaldoAktif('";
    for (QString statement : recorded) {
        // The attempt's mark: a new one at every replay, as every attempt draws its own.
        statement.replace(QRegularExpression(QStringLiteral("'[0-9a-f]{32}'")),
                          QStringLiteral("'\x01'"));
        QList<QByteArray> pieces;
        QByteArray rest = statement.toUtf8();
        // The balance read under the lock keeps what it read for the rows that state it.
        if (rest.startsWith(balanceRead))
            rest = "SELECT @bench_sebelum := " + rest.mid(7) +
                   ", @bench_sesudah := @bench_sebelum - " + QByteArray::number(before - after);
        rest.replace("'" + QByteArray::number(before) + "'", "@bench_sebelum");
        rest.replace("'" + QByteArray::number(after) + "'", "@bench_sesudah");
        for (qsizetype at = rest.indexOf(id); at >= 0; at = rest.indexOf(id)) {
            pieces.append(rest.left(at));
            rest = rest.mid(at + id.size());
        }
        pieces.append(rest);
        parts_.push_back(pieces);
    }
    // The kiosk's random id: "KLD", today, then six digits from one random start per run.
    stem_ = "KLD" + QDate::currentDate().toString(QStringLiteral("yyMMdd")).toLatin1();
    counter_ = QRandomGenerator::global()->bounded(100000, 1000000);
}

std::vector<QByteArray> PostingTemplate::next() {
    counter_ = counter_ < 999999 ? counter_ + 1 : 100000; // a long run wraps, as draws do
    const QByteArray id = stem_ + QByteArray::number(counter_);
    std::vector<QByteArray> out;
    out.reserve(parts_.size());
    for (const auto& pieces : parts_)
        out.push_back(pieces.join(id).replace('\x01', newPostingMark().toLatin1()));
    return out;
}

} // namespace kalinda::bench

#pragma once

#include "app/db.h"
#include "app/money.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

struct st_mysql;

namespace kalinda::bench {

// The floor a client can reach: Connector/C alone, sending statement texts prepared in advance
// and reading every result, with nothing of the kiosk's access layer in between.
class BareClient {
public:
    explicit BareClient(const ConnectParams& params);
    ~BareClient();
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    // Sends each statement and reads its results; throws DbError on the first failure, after
    // rolling back what it began, so that no lock outlives a failed posting.
    void replay(const std::vector<QByteArray>& statements);

private:
    [[noreturn]] void fail();
    std::unique_ptr<st_mysql, void (*)(st_mysql*)> handle_;
};

// The statements of one recorded posting made replayable: every occurrence of the posting's
// id is replaced by a fresh random id of today (so the rows stay unique), and the balances it
// wrote by the ones read in the replay (the server keeps the kiosk to both); the rest is sent
// as the kiosk sent it.
class PostingTemplate {
public:
    PostingTemplate(const QStringList& recorded, const QString& transId, Rupiah before,
                    Rupiah after);
    std::vector<QByteArray> next();
    int size() const { return static_cast<int>(parts_.size()); }

private:
    std::vector<QList<QByteArray>> parts_; // each statement split at the id
    QByteArray stem_;
    long long counter_ = 0;
};

} // namespace kalinda::bench

#include "posting_intent.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalinda {
namespace {

// 2: the posting's mark; 1 named a look-up by ids, which a cluster can hand out again.
constexpr int kVersion = 2;
// The server clears marks older than 90 days (HapusTandaPosting): an intent older than this
// may name a mark that was cleared, and "not found" would then be no answer.
constexpr qint64 kMarkDays = 80;

QString& folder() {
    static QString path;
    return path;
}

void warn(const QString& text) {
    std::fprintf(stderr, "kalinda: %s\n", qPrintable(text));
}

QJsonArray partsToJson(const Sql& sql) {
    QJsonArray parts;
    for (const Sql::Part& part : sql.parts())
        parts.append(QJsonArray{static_cast<int>(part.kind), part.text});
    return parts;
}

// A statement read back is whole only when it is one statement of the expected kind.
std::optional<Sql> partsFromJson(const QJsonValue& value, const QString& start) {
    if (!value.isArray())
        return std::nullopt;
    std::vector<Sql::Part> parts;
    for (const QJsonValue& p : value.toArray()) {
        const QJsonArray part = p.toArray();
        if (part.size() != 2 || !part[0].isDouble() || !part[1].isString())
            return std::nullopt;
        const int kind = part[0].toInt(-1);
        if (kind < static_cast<int>(Sql::Kind::Fixed) || kind > static_cast<int>(Sql::Kind::Number))
            return std::nullopt;
        Sql::Part read{static_cast<Sql::Kind>(kind), part[1].toString()};
        if (read.kind == Sql::Kind::Fixed && read.text.contains(QLatin1Char(';')))
            return std::nullopt;
        if (read.kind == Sql::Kind::Number) {
            bool ok = false;
            read.text.toLongLong(&ok);
            if (!ok)
                return std::nullopt;
        }
        parts.push_back(read);
    }
    if (parts.empty() || parts.front().kind != Sql::Kind::Fixed ||
        !parts.front().text.startsWith(start))
        return std::nullopt;
    return Sql::fromParts(std::move(parts));
}

const char* const kReceiptKeys[] = {"account", "name",   "kelas",         "kind",
                                    "target",  "amount", "operatorAlias", "operatorName"};

QString* receiptField(ReceiptValues& r, int i) {
    QString* fields[] = {&r.account, &r.name,   &r.kelas,         &r.kind,
                         &r.target,  &r.amount, &r.operatorAlias, &r.operatorName};
    return fields[i];
}

QByteArray toJson(const PostingIntent& intent) {
    QJsonObject session{
        {"id", static_cast<qint64>(intent.session.id)},
        {"host", intent.session.host},
        {"serverStart", intent.session.serverStart},
        {"gcommUuid", intent.session.gcommUuid},
        {"server", intent.session.server},
        {"incomingAddress", intent.session.incomingAddress},
    };
    QJsonObject o{
        {"version", kVersion},       {"id", intent.proof.id},
        {"mark", intent.proof.mark}, {"paid", intent.proof.paid},
        {"made", intent.made},       {"session", session},
        {"account", intent.account}, {"visit", static_cast<qint64>(intent.visit)},
    };
    if (intent.log)
        o.insert(QStringLiteral("log"), partsToJson(*intent.log));
    if (intent.receipt) {
        QJsonObject receipt;
        ReceiptValues values = *intent.receipt;
        for (int i = 0; i < 8; ++i)
            receipt.insert(QLatin1String(kReceiptKeys[i]), *receiptField(values, i));
        o.insert(QStringLiteral("receipt"), receipt);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<PostingIntent> fromJson(const QByteArray& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();
    const QJsonObject s = o.value(QStringLiteral("session")).toObject();
    const auto text_ = [](const QJsonObject& in, const char* key, QString& out) {
        const QJsonValue v = in.value(QLatin1String(key));
        out = v.toString();
        return v.isString();
    };
    const auto number = [](const QJsonObject& in, const char* key, auto& out) {
        const QJsonValue v = in.value(QLatin1String(key));
        out = static_cast<std::remove_reference_t<decltype(out)>>(v.toInteger(-1));
        return v.isDouble() && v.toInteger(-1) >= 0;
    };
    PostingIntent intent;
    bool whole = o.value(QStringLiteral("version")).toInt() == kVersion &&
                 text_(o, "id", intent.proof.id) && !intent.proof.id.isEmpty() &&
                 text_(o, "mark", intent.proof.mark) && isPostingMark(intent.proof.mark) &&
                 o.value(QStringLiteral("paid")).isBool() && number(o, "made", intent.made) &&
                 number(s, "id", intent.session.id) && text_(s, "host", intent.session.host) &&
                 number(s, "serverStart", intent.session.serverStart) &&
                 text_(s, "gcommUuid", intent.session.gcommUuid) &&
                 text_(s, "server", intent.session.server) &&
                 text_(s, "incomingAddress", intent.session.incomingAddress) &&
                 text_(o, "account", intent.account) && number(o, "visit", intent.visit);
    if (!whole)
        return std::nullopt;
    intent.proof.paid = o.value(QStringLiteral("paid")).toBool();
    if (o.contains(QStringLiteral("log"))) {
        intent.log = partsFromJson(o.value(QStringLiteral("log")),
                                   QStringLiteral("INSERT INTO log_transaksi SET "));
        if (!intent.log)
            return std::nullopt;
    }
    if (o.contains(QStringLiteral("receipt"))) {
        const QJsonObject r = o.value(QStringLiteral("receipt")).toObject();
        ReceiptValues values;
        for (int i = 0; i < 8; ++i)
            if (!text_(r, kReceiptKeys[i], *receiptField(values, i)))
                return std::nullopt;
        intent.receipt = values;
    }
    return intent;
}

bool writeAll(int fd, const QByteArray& data) {
    const char* at = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        left -= n;
    }
    return true;
}

// A rename or an unlink lives in the folder: without this a power cut may undo it.
void syncFolder() {
    const int dir =
        ::open(QFile::encodeName(folder()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// Written whole or not at all: a power cut leaves the old file or the new one, never half.
QString writeAtomically(const QString& path, const QByteArray& data) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".tmp";
    const int fd =
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    // A file left from before may carry other bits.
    bool ok = ::fchmod(fd, 0600) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.constData(), target.constData()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        ::unlink(temporary.constData());
        return why;
    }
    syncFolder();
    return {};
}

// Why the file or its folder is open to others, or "".
QString exposure(const QString& path) {
    struct stat file {};
    struct stat dir {};
    if (::lstat(QFile::encodeName(path).constData(), &file) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISREG(file.st_mode))
        return QStringLiteral("not a regular file");
    if (file.st_uid != ::geteuid())
        return QStringLiteral("owned by another user");
    if (file.st_mode & 077)
        return QStringLiteral("mode %1, not 0600").arg(file.st_mode & 0777, 4, 8, QLatin1Char('0'));
    if (::stat(QFile::encodeName(folder()).constData(), &dir) != 0 ||
        (dir.st_uid != ::geteuid() && dir.st_uid != 0) || (dir.st_mode & 022))
        return QStringLiteral("its folder may be written by other users");
    return {};
}

} // namespace

QString defaultStateFolder() {
    // systemd may list several folders, separated by colons: ours is the first.
    const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (!state.isEmpty())
        return state;
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    if (!xdg.isEmpty())
        return xdg + QStringLiteral("/kalinda");
    return QDir::homePath() + QStringLiteral("/.local/state/kalinda");
}

void setStateFolder(const QString& path) {
    folder() = path;
}

QString stateFolder() {
    return folder();
}

QString intentFilePath() {
    return folder().isEmpty() ? QString() : folder() + QStringLiteral("/posting-in-doubt.json");
}

void writeIntent(const PostingIntent& intent) {
    if (folder().isEmpty())
        return;
    // Made on first use, for the kiosk's user only (systemd makes StateDirectory= itself).
    if (!QDir(folder()).exists() && QDir().mkpath(folder()))
        QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (const QString why = writeAtomically(intentFilePath(), toJson(intent)); !why.isEmpty())
        warn(QStringLiteral("the posting %1 is not kept in %2 (%3)")
                 .arg(intent.proof.id, intentFilePath(), why));
}

void removeIntent() {
    // Gone for good: come back after a power cut, it would be settled and logged twice.
    if (!folder().isEmpty() && ::unlink(QFile::encodeName(intentFilePath()).constData()) == 0)
        syncFolder();
}

std::optional<PostingIntent> readLeftIntent() {
    const QString path = intentFilePath();
    if (path.isEmpty() || !QFile::exists(path))
        return std::nullopt;
    QString why = exposure(path);
    std::optional<PostingIntent> intent;
    if (why.isEmpty()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            intent = fromJson(file.readAll());
        if (!intent)
            why = QStringLiteral("not a whole posting of this version");
        else if (QDateTime::currentSecsSinceEpoch() - intent->made > kMarkDays * 24 * 3600)
            why = QStringLiteral("older than the posting marks the server keeps");
    }
    if (why.isEmpty())
        return intent;
    const QString aside = path + QStringLiteral(".untrusted");
    QFile::remove(aside);
    QFile::rename(path, aside);
    warn(QStringLiteral("%1 is not trusted (%2) and was set aside as %3: the posting it names "
                        "must be checked by the office")
             .arg(path, why, aside));
    return std::nullopt;
}

} // namespace kalinda

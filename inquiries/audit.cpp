#include "audit.h"

#include "report_output.h"

#include <QLocale>
#include <QSaveFile>
#include <algorithm>
#include <iterator>
#include <utility>

namespace kalinda {
namespace {

const char* const kGroups[] = {"forged or unpaired rows", "accounts below their minimum",
                               "card and PIN changes flagged", "unpaid orders",
                               "sessions the watchdog ended"};

struct Kind {
    const char* name;
    int group; // in kGroups
    bool red;
};

// In the order they are listed.
constexpr Kind kKinds[] = {
    {"DEBIT_TANPA_KREDIT", 0, true},     {"KREDIT_TANPA_DEBIT", 0, true},
    {"SALINAN_TANPA_MUTASI", 0, true},   {"FORMAT_TIDAK_SESUAI", 0, true},
    {"SALINAN_GANDA", 0, false},         {"LOG_TANPA_MUTASI", 0, false},
    {"SALDO_DI_BAWAH_MINIMUM", 1, true}, {"UBAH_KARTU_PIN_BANYAK", 2, false},
    {"PESANAN_TANPA_BAYAR", 3, false},   {"SESI_DIAKHIRI", 4, false},
};

const Kind* known(const QString& kind) {
    for (const Kind& k : kKinds) {
        if (kind == QLatin1String(k.name))
            return &k;
    }
    return nullptr;
}

// Where a kind is listed: known kinds in the table's order, then the others by name.
int rank(const QString& kind) {
    const Kind* k = known(kind);
    return k ? static_cast<int>(k - std::begin(kKinds)) : static_cast<int>(std::size(kKinds));
}

// Rows may hold text a forger chose: no line ends or escapes reach the console or the journal.
QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return text;
}

QString orUnknown(const QString& text) {
    return text.isEmpty() ? QStringLiteral("?") : oneLine(text);
}

} // namespace

StatusColour findingColour(const QString& kind) {
    const Kind* k = known(kind);
    return k && k->red ? StatusColour::Red : StatusColour::Amber;
}

QString findingGroup(const QString& kind) {
    const Kind* k = known(kind);
    return k ? QString::fromLatin1(kGroups[k->group]) : kind;
}

KioskAudit::KioskAudit(QDate first, QDate last)
    : first_(first)
    , last_(last) {}

void KioskAudit::run(Connection& office) {
    if (office.inTransaction())
        throw DbError(DbError::Kind::Rejected, 0,
                      QStringLiteral("the audit runs outside a transaction"));
    Sql call("CALL `cashless-adm`.AuditTransaksiKiosk('");
    call << esc(first_.toString(Qt::ISODate)) << "', '" << esc(last_.toString(Qt::ISODate))
         << "', NULL, '" << esc(office.params().database) << "')";
    std::vector<AuditFinding> read;
    for (Recordset rs = office.open(call); !rs.eof(); rs.moveNext()) {
        AuditFinding f;
        f.kind = rs.text(QStringLiteral("jenis"));
        f.date = QDate::fromString(rs.text(QStringLiteral("tanggal")), Qt::ISODate);
        f.debitAccount = rs.text(QStringLiteral("rekening_debit"));
        f.creditAccount = rs.text(QStringLiteral("rekening_kredit"));
        f.amount = toRupiah(rs.value(QStringLiteral("jumlah")));
        f.count = rs.value(QStringLiteral("banyak")).toInt();
        f.transId = rs.text(QStringLiteral("trans_id"));
        f.lastTransId = rs.text(QStringLiteral("trans_id_akhir"));
        f.note = rs.text(QStringLiteral("keterangan"));
        f.writer = rs.text(QStringLiteral("penulis"));
        f.time = rs.text(QStringLiteral("waktu"));
        read.push_back(std::move(f));
    }
    std::stable_sort(read.begin(), read.end(), [](const AuditFinding& a, const AuditFinding& b) {
        const int ra = rank(a.kind), rb = rank(b.kind);
        return ra != rb ? ra < rb : (!known(a.kind) && a.kind < b.kind);
    });
    findings_ = std::move(read);
}

int KioskAudit::count(StatusColour colour) const {
    return static_cast<int>(std::count_if(findings_.begin(), findings_.end(), [&](const auto& f) {
        return findingColour(f.kind) == colour;
    }));
}

QString KioskAudit::line(const AuditFinding& f) {
    QStringList parts{colourName(findingColour(f.kind)).leftJustified(5), oneLine(f.kind),
                      f.date.toString(Qt::ISODate)};
    if (!f.creditAccount.isEmpty())
        parts << orUnknown(f.debitAccount) + QStringLiteral(" > ") + oneLine(f.creditAccount);
    else if (!f.debitAccount.isEmpty())
        parts << oneLine(f.debitAccount);
    if (f.amount != 0)
        parts << QStringLiteral("Rp ") +
                     formatRupiah(f.amount, QLocale(QLocale::Indonesian, QLocale::Indonesia));
    if (f.count > 1)
        parts << QStringLiteral("x%1").arg(f.count);
    if (!f.transId.isEmpty())
        parts << oneLine(
            f.lastTransId.isEmpty() ? f.transId : f.transId + QStringLiteral("..") + f.lastTransId);
    if (!f.note.isEmpty())
        parts << QLatin1Char('(') + oneLine(f.note) + QLatin1Char(')');
    return parts.join(u' ') + QStringLiteral(" | by ") + orUnknown(f.writer) +
           QStringLiteral(" at ") + orUnknown(f.time);
}

QString KioskAudit::summary() const {
    const QString period = QStringLiteral("Audit %1 to %2: ")
                               .arg(first_.toString(Qt::ISODate), last_.toString(Qt::ISODate));
    if (findings_.empty())
        return period + QStringLiteral("no findings.");
    // Findings come grouped, so a group's findings stand together.
    std::vector<std::pair<QString, int>> groups;
    for (const AuditFinding& f : findings_) {
        const QString group = findingGroup(f.kind);
        if (groups.empty() || groups.back().first != group)
            groups.emplace_back(group, 0);
        ++groups.back().second;
    }
    QStringList counted;
    for (const auto& [group, n] : groups)
        counted << QStringLiteral("%1 %2").arg(oneLine(group)).arg(n);
    return period + QStringLiteral("%1 findings, %2 red, %3 amber (%4).")
                        .arg(findings_.size())
                        .arg(count(StatusColour::Red))
                        .arg(count(StatusColour::Amber))
                        .arg(counted.join(QStringLiteral(", ")));
}

void KioskAudit::writeCsv(QIODevice& out) const {
    csvLine(out, {QStringLiteral("Warna"), QStringLiteral("Jenis"), QStringLiteral("Tanggal"),
                  QStringLiteral("Rekening Debit"), QStringLiteral("Rekening Kredit"),
                  QStringLiteral("Jumlah Rp"), QStringLiteral("Banyak"), QStringLiteral("Trans ID"),
                  QStringLiteral("Trans ID Akhir"), QStringLiteral("Keterangan"),
                  QStringLiteral("Penulis"), QStringLiteral("Waktu")});
    for (const AuditFinding& f : findings_) {
        csvLine(out,
                {colourName(findingColour(f.kind)), csvText(f.kind), f.date.toString(Qt::ISODate),
                 csvText(f.debitAccount), csvText(f.creditAccount), QString::number(f.amount),
                 QString::number(f.count), csvText(f.transId), csvText(f.lastTransId),
                 csvText(f.note), csvText(f.writer), csvText(f.time)});
    }
}

QString KioskAudit::saveCsv(const QString& path) const {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        writeCsv(file);
        if (file.commit())
            return {};
    }
    return QStringLiteral("File %1 tidak dapat ditulis: %2").arg(path, file.errorString());
}

std::unique_ptr<Connection> connectOffice(ConnectParams server, const OfficeAccount& account,
                                          QString& error) {
    if (!account.problem.isEmpty()) {
        error = account.problem;
        return nullptr;
    }
    server.user = account.user;
    server.password = account.password;
    server.readTimeoutSeconds = kAuditReadTimeoutSeconds;
    auto office = std::make_unique<Connection>();
    office->connect(server);
    if (office->status() != 0) {
        error = QStringLiteral("cannot connect to %1 as %2: %3")
                    .arg(office->server(), account.user, office->lastError());
        return nullptr;
    }
    return office;
}

} // namespace kalinda

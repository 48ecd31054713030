#include "receipt.h"

#include "app/db.h"
#include "app/visit_state.h"

#include <QList>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <optional>

namespace kalinda {
namespace {

// Beyond any receipt printer; keeps a mistyped width from asking for gigabytes of dashes.
constexpr int kMaxColumns = 1000;

const QString kCrLf = QStringLiteral("\r\n");

// The number a setting holds, fraction dropped ("32", " 32 ", "32.0"); nothing for other text.
std::optional<int> wholeNumber(const QString& text) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return static_cast<int>(
        std::clamp(std::trunc(value), double{-kMaxColumns}, double{kMaxColumns}));
}

// Characters as the printer counts them: one per code point, as the encoder writes them.
int printedLength(const QString& text) {
    return static_cast<int>(text.toUcs4().size());
}

QString blanks(int count) {
    return QString(std::max(count, 0), QLatin1Char(' '));
}

QString centred(int width, const QString& text) {
    return blanks((width - printedLength(text)) / 2) + text;
}

// Database text with every control character (CR, LF and ESC included) turned into a blank:
// a name must not end a line early or send the printer a command.
QString printable(QString text) {
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return text;
}

// A label padded so that its colon stands in column 11.
QString field(const char* label, const QString& value) {
    return QString::fromLatin1(label).leftJustified(10) + QStringLiteral(": ") + printable(value);
}

} // namespace

ReceiptValues receiptOfVisit(const VisitState& visit) {
    ReceiptValues values;
    values.account = visit[VisitState::txtNorek];
    values.name = visit[VisitState::txtNama];
    values.kelas = visit[VisitState::txtKelas];
    values.kind = visit[VisitState::JenisTrans];
    values.target = visit[VisitState::RekTujuan];
    values.amount = visit[VisitState::Nominal];
    values.transId = visit[VisitState::TransID];
    values.operatorAlias = operatorAlias();
    values.operatorName = operatorName();
    return values;
}

ReceiptSettings readReceiptSettings(Connection& db) {
    ReceiptSettings settings;
    const std::pair<const char*, QString*> keys[] = {
        {"StrukPanjangKertas", &settings.paperWidth}, {"StrukTabKiri", &settings.leftMargin},
        {"StrukHeader1", &settings.headers[0]},       {"StrukHeader2", &settings.headers[1]},
        {"StrukHeader3", &settings.headers[2]},       {"StrukHeader4", &settings.headers[3]},
        {"StrukFooterText", &settings.footerText},    {"StrukTabBawah", &settings.bottomCount},
    };
    Recordset rs = db.open(Sql("SELECT * FROM set_cetakan"));
    for (; !rs.eof(); rs.moveNext()) {
        const QString key = rs.text(QStringLiteral("cetakan_case"));
        for (const auto& [name, target] : keys) {
            if (key == QLatin1String(name))
                *target = rs.text(QStringLiteral("cetakan_text"));
        }
    }
    rs.close();
    return settings;
}

QString buildReceipt(const ReceiptSettings& settings, const ReceiptValues& values,
                     const QDateTime& dateRead, const QDateTime& timeRead,
                     const QDateTime& printedAt) {
    const int width = std::max(wholeNumber(settings.paperWidth).value_or(0), 0);
    // A margin that is not a number prints without one: the posting is stored already.
    const QString margin = blanks(wholeNumber(settings.leftMargin).value_or(0));
    const QString dashes = QString(std::max(width - 1, 0), QLatin1Char('-'));
    const QString blank = QStringLiteral(" ");

    const QString lines[kReceiptLines] = {
        centred(width, settings.headers[0]),
        centred(width, settings.headers[1]),
        centred(width, settings.headers[2]),
        centred(width, settings.headers[3]),
        blank,
        dashes,
        centred(width, kReceiptTitle),
        dashes,
        blank,
        field("Tanggal", dateRead.toString(QStringLiteral("dd-MM-yyyy"))),
        field("Jam", timeRead.toString(QStringLiteral("HH:mm:ss"))),
        field("Rekening", values.account),
        field("Nama", values.name),
        field("Kelas", values.kelas),
        field("Jenis", values.kind),
        field("Tujuan", values.target),
        field("Nominal", QStringLiteral("Rp. ") + values.amount),
        field("TransID", values.transId),
        field("Channel", values.operatorAlias),
        blank,
        dashes,
        QStringLiteral("Printed : ") + printedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) +
            blank + printable(values.operatorName),
        dashes,
        blank,
        blank,
        QStringLiteral("."),
    };

    QString text;
    for (const QString& line : lines)
        text += margin + line + kCrLf;
    return text;
}

} // namespace kalinda

#include "parameters.h"

#include <QComboBox>
#include <utility>

namespace kalinda {

const ProductSlot* ProductAccounts::forPurpose(const QString& purpose) const {
    static const std::array<const char*, 4> purposes = {"SPP", "MAKAN", "INFAQ", "WAKAF"};
    for (std::size_t i = 0; i < purposes.size(); ++i) {
        if (purpose == QLatin1String(purposes[i]))
            return &entries[i];
    }
    return nullptr;
}

Parameters LoadParameters(Connection& db) {
    Parameters p;
    AppParameters& a = p.AppParam;
    const std::pair<const char*, QString*> fields[] = {
        {"AppName", &a.AppName},
        {"Url", &a.Url},
        {"Version", &a.Version},
        {"Channel", &a.Channel},
        {"NoRekening", &a.NoRekening},
        {"LembagaNama", &a.LembagaNama},
        {"LembagaAlamat", &a.LembagaAlamat},
        {"VersionReal", &a.VersionReal},
        {"MutasiFontSize", &a.MutasiFontSize},
        {"SelfOrder", &a.SelfOrder},
        {"pinLogout", &a.pinLogout},
        {"FailoverProfiles", &a.FailoverProfiles},
        {"OnScreenKeypad", &a.OnScreenKeypad},
        {"IdleTimeout", &a.IdleTimeout},
        {"PinMaxAttempts", &a.PinMaxAttempts},
        {"PinLockDays", &a.PinLockDays},
        {"PrinterCheck", &a.PrinterCheck},
        {"ReprintLast", &a.ReprintLast},
    };
    {
        Recordset rs = db.open(Sql("SELECT * FROM set_app"));
        for (; !rs.eof(); rs.moveNext()) {
            const QString key = rs.text(QStringLiteral("app_case"));
            for (const auto& [name, field] : fields) {
                if (key == QLatin1String(name))
                    *field = rs.text(QStringLiteral("app_text"));
            }
        }
    }
    if (a.SelfOrder == QLatin1String("1")) {
        Recordset rs = db.open(Sql("SELECT * FROM `aio-kirna`.set_app"));
        for (; !rs.eof(); rs.moveNext()) {
            if (rs.text(QStringLiteral("app_case")) == QLatin1String("NoRekening"))
                p.ShopNoRekening = rs.text(QStringLiteral("app_text"));
        }
    }
    {
        Sql s;
        s << "SELECT kalinda_nama, kalinda_rekening, kalinda_kode "
          << "FROM `cashless-adm`.data_kalinda_produk ";
        Recordset rs = db.open(s);
        for (; !rs.eof(); rs.moveNext()) {
            const QString code = rs.text(QStringLiteral("kalinda_kode"));
            for (std::size_t i = 0; i < ProductAccounts::kCodes.size(); ++i) {
                if (code == QLatin1String(ProductAccounts::kCodes[i])) {
                    p.ProductAccount.entries[i].Rekening =
                        rs.text(QStringLiteral("kalinda_rekening"));
                    p.ProductAccount.entries[i].Nama = rs.text(QStringLiteral("kalinda_nama"));
                }
            }
        }
    }
    p.read = true;
    return p;
}

Parameters& parameters() {
    static Parameters instance;
    return instance;
}

QString AppVersion() {
    return QStringLiteral(KALINDA_VERSION);
}

namespace {

void fillFromQuery(QComboBox* combo, Connection& db, const Sql& query, const QString& codeColumn,
                   const QString& nameColumn) {
    combo->clear();
    combo->addItem(QString());
    Recordset rs = db.open(query);
    for (; !rs.eof(); rs.moveNext())
        combo->addItem(rs.text(codeColumn) + QStringLiteral(" : ") + rs.text(nameColumn));
}

} // namespace

void FillProductCombo(QComboBox* combo, Connection& db) {
    Sql s;
    s << "SELECT kalinda_kode, kalinda_nama FROM `cashless-adm`.data_kalinda_produk "
      << "WHERE kalinda_status = 1 "
      << "ORDER BY kalinda_kode ASC ";
    fillFromQuery(combo, db, s, QStringLiteral("kalinda_kode"), QStringLiteral("kalinda_nama"));
}

void FillShopItemCombo(QComboBox* combo, Connection& db) {
    Sql s;
    s << "SELECT barang_kode, barang_nama "
      << "FROM `aio-kirna`.data_barang_master "
      << "ORDER BY barang_kode ASC ";
    fillFromQuery(combo, db, s, QStringLiteral("barang_kode"), QStringLiteral("barang_nama"));
}

void FillDeliverySlotCombo(QComboBox* combo) {
    combo->clear();
    combo->addItem(QString());
    combo->addItem(QStringLiteral("Siang"));
    combo->addItem(QStringLiteral("Malam"));
}

} // namespace kalinda

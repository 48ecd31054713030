#include "shop_cart.h"

#include "app/helpers.h"

namespace kalinda {

ShopCartLine ShopCart::lineFromEntry(const QString& entry, Rupiah price, int quantity,
                                     Rupiah amount) {
    const QString separator = QStringLiteral(":");
    return ShopCartLine{GetToken(entry, separator, 1), GetToken(entry, separator, 2), price,
                        quantity, amount};
}

int ShopCart::quantityTotal() const {
    int total = 0;
    for (const ShopCartLine& line : lines_)
        total += line.quantity;
    return total;
}

Rupiah ShopCart::goodsTotal() const {
    Rupiah total = 0;
    for (const ShopCartLine& line : lines_)
        total += line.amount;
    return total;
}

std::optional<Rupiah> shopItemPrice(Connection& db, const QString& code) {
    Sql s;
    s << "SELECT * FROM `aio-kirna`.data_barang_master "
      << "WHERE barang_kode = '" << esc(code) << "'";
    Recordset rs = db.open(s);
    if (rs.eof())
        return std::nullopt;
    return toRupiah(rs.value(QStringLiteral("barang_harga")));
}

} // namespace kalinda

#pragma once

#include "app/db.h"
#include "app/money.h"

#include <QString>
#include <optional>
#include <vector>

namespace kalinda {

// Every shop order pays a fixed delivery fee, written as its own order line.
inline constexpr Rupiah kShopDeliveryFee = 1000;

// One line of the shop cart: an item as the catalogue entry named it, its unit price, the
// quantity and the line amount as the form computed them.
struct ShopCartLine {
    QString code;
    QString name;
    Rupiah price = 0;
    int quantity = 0;
    Rupiah amount = 0;
};

// The shop form's cart: lines in the order they were put in, never sorted or merged (the same
// item may appear twice), and the totals the form shows.
class ShopCart {
public:
    // The line made from a catalogue entry "code : name" (the name cut at a further ":").
    static ShopCartLine lineFromEntry(const QString& entry, Rupiah price, int quantity,
                                      Rupiah amount);

    void add(const ShopCartLine& line) { lines_.push_back(line); }
    void clear() { lines_.clear(); }
    const std::vector<ShopCartLine>& lines() const { return lines_; }
    bool empty() const { return lines_.empty(); }

    int quantityTotal() const;
    Rupiah goodsTotal() const;
    // The goods and the delivery fee: what the order costs.
    Rupiah orderTotal() const { return goodsTotal() + kShopDeliveryFee; }

private:
    std::vector<ShopCartLine> lines_;
};

// The unit price of a catalogue item; nullopt when the code is not in the catalogue.
std::optional<Rupiah> shopItemPrice(Connection& db, const QString& code);

} // namespace kalinda

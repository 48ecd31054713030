#pragma once

// Every posting raced by two kiosks against one account, round after round: one table, run
// against the single server and against the cluster.

#include "app/connection.h"
#include "postings/block_account.h"
#include "postings/fee_payment.h"
#include "postings/identifiers.h"
#include "postings/ledger.h"
#include "postings/pin_change.h"
#include "postings/posting.h"
#include "postings/product_payment.h"
#include "postings/shop_order.h"
#include "postings/transfer.h"
#include "support/mariadb_server.h"

#include <algorithm>
#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <latch>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kalinda::test {

inline QString student(int n) {
    return QStringLiteral("0101%1").arg(n, 8, 10, QLatin1Char('0'));
}

// The payer's fields every posting's input has, for student `n` of the demo data.
template <typename Input>
void fillPayer(Input& in, int n) {
    in.NoRekening = in.txtNorek = student(n);
    in.NoCif = QStringLiteral("2401%1").arg(n, 5, 10, QLatin1Char('0'));
    in.Rfid = in.txtRfid = QStringLiteral("00044170%1").arg(n, 2, 10, QLatin1Char('0'));
    in.txtNama = QStringLiteral("Santri %1").arg(n);
    in.txtKelas = QStringLiteral("7A");
    in.channel = QStringLiteral("KLD01");
}

inline ProductPaymentInput canteenPayment(int payer, Rupiah amount, Rupiah shownBalance) {
    ProductPaymentInput in;
    fillPayer(in, payer);
    in.cboJenis = QStringLiteral("003 : Jajan Kantin");
    in.txtRekTujuan = QStringLiteral("020100000003");
    in.amount = amount;
    in.balance = shownBalance;
    return in;
}

inline TransferInput transfer(int from, int to, Rupiah amount, Rupiah shownBalance) {
    TransferInput in;
    fillPayer(in, from);
    in.txtRekening = student(to);
    in.targetName = QStringLiteral("Santri %1").arg(to);
    in.amount = amount;
    in.balance = shownBalance;
    return in;
}

inline FeePaymentInput infaq(int payer, Rupiah amount, Rupiah shownBalance) {
    FeePaymentInput in;
    fillPayer(in, payer);
    in.judul = in.jenis = QStringLiteral("INFAQ");
    in.rekTujuan = QStringLiteral("020100000010");
    in.purposeName = QStringLiteral("Infaq");
    in.amount = amount;
    in.balance = shownBalance;
    return in;
}

// `count` notebooks of 4.000 and the delivery fee of 1.000, for midday.
inline ShopOrderInput notebooks(int payer, int count, Rupiah shownBalance) {
    ShopOrderInput in;
    fillPayer(in, payer);
    in.deliverySlot = QStringLiteral("Siang");
    in.version = QStringLiteral("1.0.1");
    in.shopAccount = QStringLiteral("020100000099");
    in.balance = shownBalance;
    in.cart.add(
        ShopCart::lineFromEntry(QStringLiteral("K006 : Buku Tulis"), 4000, count, 4000 * count));
    return in;
}

// What a posting whose COMMIT was cut threw, if it did: its outcome unknown, its proof inside.
inline std::optional<PostingOutcomeUnknown> lostPosting(const std::function<void()>& post) {
    try {
        post();
    } catch (const PostingOutcomeUnknown& e) {
        return e;
    }
    return std::nullopt;
}

// A block typed on the idle screen: no visit's customer.
inline BlockInput blockFromIdle(const char* reg, const QString& pin) {
    return {QString::fromLatin1(reg), pin, {}, {}, {}, {}};
}

// Leaves exactly `amount` on the account (its earlier rows are cancelled, its log rows gone).
inline void setBalance(Connection& admin, const QString& account, Rupiah amount) {
    admin.execute(Sql("DELETE FROM log_transaksi WHERE log_rekening = '") << esc(account) << "'");
    static int deposits = 0;
    const QString depositId = QStringLiteral("CLDEP%1").arg(++deposits);
    Sql cancel;
    cancel << "UPDATE `cashless-adm`.data_tabungan_trans SET trans_status = 9 "
              "WHERE trans_rekening = '"
           << esc(account) << "'";
    admin.execute(cancel);
    Sql deposit;
    deposit << "INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = '" << esc(depositId)
            << "', trans_tanggal = CURDATE(), trans_kode = '15', trans_rekening = '" << esc(account)
            << "', trans_jumlah_masuk = " << static_cast<long long>(amount) << ", trans_status = 1";
    admin.execute(deposit);
    admin.execute(recomputeBalance(account));
}

// What one kiosk's posting did. A refusal for another reason than the race is about throws.
struct Attempt {
    bool posted = false;
};

template <typename Outcome>
Attempt settle(Outcome got, Outcome refusal) {
    if (got != Outcome::Posted && got != refusal)
        throw std::runtime_error("refused for another reason: " + std::to_string(int(got)));
    return {got == Outcome::Posted};
}

// Two kiosks posting against one account at the same moment.
struct Race {
    std::string name;
    int allowed; // postings per round that the account's rules let through
    std::function<void()> reset;
    std::function<Attempt(Connection&, int kiosk)> post;
    Sql state;                                   // what a round leaves on the account,
    std::function<QString(int winner)> expected; // given the kiosk that posted (-1: both did)
};

// The book, spendable and stored balances of each account, as "book spendable stored / ...".
inline Sql balances(std::initializer_list<int> accounts) {
    Sql s;
    s << "SELECT GROUP_CONCAT(CONCAT_WS(' ', `cashless-adm`.GetTabSaldoBuku(tab_rekening, "
         "CURDATE()), `cashless-adm`.GetTabSaldoAktif(tab_rekening, CURDATE()), "
         "tab_saldo_efektif) ORDER BY tab_rekening SEPARATOR ' / ') FROM "
         "`cashless-adm`.data_tabungan_master WHERE tab_rekening IN (''";
    for (int n : accounts)
        s << ", '" << esc(student(n)) << "'";
    s << ")";
    return s;
}

// The book balance and the orders not set aside by the test, as "balance orders".
inline Sql balanceAndOrders(int n) {
    Sql s;
    s << "SELECT CONCAT(`cashless-adm`.GetTabSaldoBuku('" << esc(student(n))
      << "', CURDATE()), ' ', COUNT(*)) FROM `aio-kirna`.data_barang_order "
         "WHERE order_status = 1 AND order_rekening = '"
      << esc(student(n)) << "'";
    return s;
}

// balances() of student n and the refusals for its balance it logged, as "... / refusals".
inline Sql balancesAndRefusals(int n) {
    return Sql("SELECT CONCAT((")
           << balances({n}) << "), ' / ', COUNT(*)) FROM log_transaksi "
           << "WHERE log_keterangan = 'Saldo tidak mencukupi!' AND log_rekening = '"
           << esc(student(n)) << "'";
}

inline Sql accountRow(SqlText columns, int n) {
    Sql s;
    s << "SELECT " << columns << " FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
      << esc(student(n)) << "'";
    return s;
}

// Every posting's race; `admin` sets the accounts up before each round.
inline std::vector<Race> postingRaces(Connection& admin) {
    using PO = ProductPaymentResult::Outcome;
    using TO = TransferResult::Outcome;
    using FO = FeePaymentResult::Outcome;
    using SO = ShopOrderResult::Outcome;
    Connection* a = &admin;
    const auto funds = [a](int n, Rupiah amount) {
        return [a, n, amount] { setBalance(*a, student(n), amount); };
    };
    // The payer also starts every round without orders left from earlier rounds.
    const auto shopFunds = [a](int n, Rupiah amount) {
        return [a, n, amount] {
            setBalance(*a, student(n), amount);
            Sql setAside;
            setAside << "UPDATE `aio-kirna`.data_barang_order SET order_status = 9 "
                        "WHERE order_rekening = '"
                     << esc(student(n)) << "'";
            a->execute(setAside);
        };
    };
    const auto always = [](const char* text) {
        return [text](int) { return QString::fromLatin1(text); };
    };
    const auto pay = [](Rupiah amount, Rupiah shown) {
        return [=](Connection& db, int) {
            const auto r = postProductPayment(db, canteenPayment(5, amount, shown));
            return settle(r.outcome, PO::InsufficientBalance);
        };
    };
    // Kiosk k sends `amount` + k * `step`.
    const auto sendTo = [](Rupiah amount, Rupiah shown, TO refusal, Rupiah step = 0) {
        return [=](Connection& db, int k) {
            const auto r = postTransfer(db, transfer(1, 2 + k, amount + k * step, shown));
            return settle(r.outcome, refusal);
        };
    };
    const auto payInfaq = [](Rupiah amount, Rupiah shown) {
        return [=](Connection& db, int) {
            const auto r = postFeePayment(db, infaq(12, amount, shown));
            return settle(r.outcome, FO::InsufficientBalance);
        };
    };
    const auto order = [](int count, Rupiah shown, SO refusal) {
        return [=](Connection& db, int) {
            const auto r = postShopOrder(db, notebooks(13, count, shown));
            return settle(r.outcome, refusal);
        };
    };
    // Kiosk k spends 5.000 + k * 4.000 from student n (a shop order: 1 + k notebooks).
    const auto spend = [](bool shop, int n, Rupiah shown) {
        return [=](Connection& db, int k) {
            if (shop)
                return settle(postShopOrder(db, notebooks(n, 1 + k, shown)).outcome,
                              SO::InsufficientBalance);
            return settle(postProductPayment(db, canteenPayment(n, 5000 + 4000 * k, shown)).outcome,
                          PO::InsufficientBalance);
        };
    };
    static const QString newPins[] = {QStringLiteral("202020"), QStringLiteral("303030")};
    std::vector<Race> races = {
        {"payment, balance for one", 1, funds(5, 15000), pay(10000, 15000), balances({5}),
         always("5000 5000 5000")},
        {"transfer, balance for one", 1, funds(1, 15000),
         sendTo(10000, 15000, TO::InsufficientBalance), balances({1}), always("5000 5000 5000")},
        {"transfer, limit for one", 1, funds(1, 200000), sendTo(60000, 200000, TO::OverLimit),
         balances({1}), always("140000 140000 140000")},
        {"transfer, both fit", 2, funds(1, 200000), sendTo(10000, 200000, TO::Posted),
         balances({1}), always("180000 180000 180000")},
        // Each locks its own row first and then the other's: no deadlock, nothing lost.
        {"transfer, two friends to each other", 2,
         [a] {
             setBalance(*a, student(1), 10000);
             setBalance(*a, student(2), 10000);
         },
         [](Connection& db, int k) {
             const auto r = postTransfer(db, transfer(1 + k, 2 - k, 500, 10000));
             return settle(r.outcome, TO::Posted);
         },
         balances({1, 2}), always("10000 10000 10000 / 10000 10000 10000")},
        {"fee, balance for one", 1, funds(12, 15000), payInfaq(10000, 15000), balances({12}),
         always("5000 5000 5000")},
        {"fee, both fit", 2, funds(12, 100000), payInfaq(10000, 100000), balances({12}),
         always("80000 80000 80000")},
        {"shop, balance for one", 1, shopFunds(13, 25000), order(4, 25000, SO::InsufficientBalance),
         balanceAndOrders(13), always("8000 2")},
        {"shop, quota for one", 1, shopFunds(13, 200000), order(10, 200000, SO::OverQuota),
         balanceAndOrders(13), always("159000 2")},
        {"shop, both fit", 2, shopFunds(13, 200000), order(4, 200000, SO::Posted),
         balanceAndOrders(13), always("166000 2")},
        {"PIN change from one old PIN", 1,
         [a] {
             a->execute(Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_pin = "
                            "'999999' WHERE tab_rekening = '010100000014'"));
         },
         [](Connection& db, int k) {
             const PinChangeInput in{student(14), "0004417014", {}, {}, "999999", newPins[k]};
             return Attempt{changePin(db, in) == PinChangeOutcome::Changed};
         },
         accountRow("tab_pin", 14), [](int winner) { return newPins[winner]; }},
        {"block with one PIN", 1,
         [a] {
             a->execute(Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_rfid = "
                            "'0004417004', tab_pin = '456789' "
                            "WHERE tab_rekening = '010100000004'"));
         },
         [](Connection& db, int) {
             const BlockInput in{
                 QStringLiteral("SPD2024004"), QStringLiteral("456789"), {}, {}, {}, {}};
             return Attempt{blockAccount(db, in).outcome == BlockResult::Outcome::Blocked};
         },
         accountRow("CONCAT(tab_rfid, ' ', tab_pin)", 4), always("#0004417004 582931")},
        {"transfer, exactly the limit left", 2, funds(1, 200000),
         sendTo(40000, 200000, TO::Posted, 20000), balances({1}), always("100000 100000 100000")},
        {"transfer, one rupiah over the limit left", 1, funds(1, 200000),
         sendTo(40000, 200000, TO::OverLimit, 20001), balances({1}),
         [](int k) {
             return QString::fromLatin1(k ? "139999 139999 139999" : "160000 160000 160000");
         }},
    };
    // The second to lock spends exactly what the first left spendable (refused, and logged) or
    // one rupiah less (paid, 1 left), above a minimum balance of 0 and of 10.000.
    for (const auto& [n, minimum] : {std::pair{5, 0}, {6, 10000}}) {
        for (const int less : {0, 1}) {
            const Rupiah book = minimum + 14000 + less;
            const auto left = [=](int winner) {
                const Rupiah rest = book - (winner < 0 ? 14000 : 5000 + 4000 * winner);
                return QStringLiteral("%1 %2 %1 / %3").arg(rest).arg(rest - minimum).arg(1 - less);
            };
            for (const bool shop : {false, true})
                races.push_back({(shop ? "shop, " : "payment, ") + student(n).toStdString() +
                                     (less ? " all but 1" : " all"),
                                 1 + less, funds(n, book), spend(shop, n, book - minimum),
                                 balancesAndRefusals(n), left});
        }
    }
    return races;
}

// Where the races run: two kiosks, and the connections on which every round's state must be
// seen (one per server or node).
struct RaceRig {
    std::array<Connection*, 2> kiosks;
    std::vector<Connection*> observers;
    std::function<long long()> conflicts; // conflicts the server resolved so far, printed
    const char* tag;
};

inline void runRaces(const std::vector<Race>& races, const RaceRig& rig, int rounds) {
    for (const Race& race : races) {
        SCOPED_TRACE(race.name);
        const long long conflictsBefore = rig.conflicts();
        const int idRetriesBefore = duplicateIdRetries();
        int posted = 0;
        int retries = 0;
        int mostRetries = 0;
        for (int round = 0; round < rounds; ++round) {
            race.reset();
            for (Connection* o : rig.observers)
                o->open(Sql("SELECT 1")); // the reset has arrived there
            std::latch start(2);
            std::array<Attempt, 2> out;
            std::array<int, 2> retried{};
            std::array<QString, 2> failure;
            auto kiosk = [&](int k) {
                start.arrive_and_wait();
                try {
                    out[k] = race.post(*rig.kiosks[k], k);
                } catch (const DbError& e) {
                    failure[k] = e.message();
                } catch (const std::exception& e) {
                    failure[k] = QString::fromUtf8(e.what());
                }
                retried[k] = lastConflictRetries;
            };
            std::thread t0(kiosk, 0);
            std::thread t1(kiosk, 1);
            t0.join();
            t1.join();
            ASSERT_EQ(failure[0] + failure[1], QString()) << "round " << round;
            const int postedNow = int(out[0].posted) + int(out[1].posted);
            ASSERT_EQ(postedNow, race.allowed) << "round " << round;
            const int winner = postedNow == 1 ? (out[0].posted ? 0 : 1) : -1;
            for (std::size_t n = 0; n < rig.observers.size(); ++n) {
                ASSERT_EQ(scalar(*rig.observers[n], race.state), race.expected(winner))
                    << "round " << round << ", server " << n;
            }
            posted += postedNow;
            for (int k = 0; k < 2; ++k) {
                retries += retried[k];
                mostRetries = std::max(mostRetries, retried[k]);
            }
        }
        std::cout << "[ " << rig.tag << " ] " << race.name << ": " << 2 * rounds << " attempts, "
                  << posted << " posted, " << 2 * rounds - posted << " refused, " << retries
                  << " retries (at most " << mostRetries << " for one), "
                  << duplicateIdRetries() - idRetriesBefore << " ids taken first by the other, "
                  << rig.conflicts() - conflictsBefore << " conflicts\n";
    }
}

} // namespace kalinda::test

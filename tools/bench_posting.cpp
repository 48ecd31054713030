// Times product payments the way the kiosk makes them (PIN check, then the posting up to its
// commit) against a bare Connector/C client replaying the same statements, on a receiving
// account with a small and with a large ledger, and with several kiosks paying one receiver at
// once. Compared variants run interleaved in one run, and every figure is a median. Runs
// against the demo database of scripts/db unless told otherwise and seeds its accounts as root
// over that server's socket; see docs/benchmarks.md.
//
//   build/tools/kalinda_bench_posting [--rounds N] [--small ROWS] [--large ROWS]
//                                     [--kiosk-rounds N] [--per-kiosk N] [--callgrind N]
//                                     [--guard-blocks N]
//                                     [--admin-socket S | --admin-user U --admin-password P]
//                                     [--tls-ca FILE]

#include "app/connection.h"
#include "app/settings.h"
#include "app/visit_state.h"
#include "bare_client.h"
#include "bench_fixture.h"
#include "bench_server.h"
#include "postings/ledger.h"
#include "postings/posting_intent.h"
#include "visit/card_lookup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <map>
#include <thread>
#include <valgrind/callgrind.h>

using namespace kalinda;
using namespace kalinda::bench;

namespace {

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double msSince(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void connect(Connection& db, const ConnectParams& params) {
    db.connect(params);
    if (db.status() != 0)
        throw std::runtime_error("cannot connect: " + db.lastError().toStdString());
}

// One kiosk payment recorded statement by statement, ready for the bare client.
PostingTemplate recordPosting(Connection& db, const bench::Payer& payer, const QString& receiver) {
    for (;;) {
        StatementRecorder recorder;
        const auto balance = checkPaymentPin(db, payer.account, payer.pin);
        const auto r = postProductPayment(db, payment(payer, receiver, balance.value_or(0)));
        // A drawn id that was taken costs a second insert; record a clean one instead.
        if (r.outcome == ProductPaymentResult::Outcome::Posted &&
            recorder.statements().filter(QStringLiteral("data_tabungan_trans SET")).size() == 2)
            return PostingTemplate(recorder.statements(), r.transId, r.balanceBefore,
                                   r.balanceAfter);
    }
}

// A replay under a fresh id; an id a kiosk drew meanwhile is skipped, as the kiosk redraws.
void replay(BareClient& bare, PostingTemplate& posting) {
    for (;;) {
        try {
            bare.replay(posting.next());
            return;
        } catch (const DbError& e) {
            if (!e.isDuplicateKey())
                throw;
        }
    }
}

struct Variant {
    Variant(const char* n, std::function<void()> r)
        : name(n)
        , run(std::move(r)) {}
    const char* name;
    std::function<void()> run;
    std::vector<double> ms;
    int failed = 0;
};

// Kiosk against bare client, on the small and on the large receiver, round after round.
// Returns the number of failed postings.
int compareClients(Connection& db, const ConnectParams& params, const BenchAccounts& a, int rounds,
                   const QString& tlsCa) {
    BareClient bare(params);
    PostingTemplate small = recordPosting(db, a.payers[0], a.smallReceiver);
    PostingTemplate large = recordPosting(db, a.payers[0], a.largeReceiver);
    std::vector<Variant> variants;
    variants.emplace_back("kiosk, small ledger",
                          [&] { kioskPayment(db, a.payers[0], a.smallReceiver); });
    variants.emplace_back("bare,  small ledger", [&] { replay(bare, small); });
    // The same payment followed by the synced write of an intent file (and its removal), which
    // the kiosk makes only for a posting in doubt: what it would cost before every COMMIT.
    QTemporaryDir state;
    PostingIntent intent;
    intent.proof = PostingProof{QStringLiteral("KLD251207123456"), newPostingMark()};
    intent.session = db.identity();
    intent.account = a.payers[0].account;
    intent.log = logTransaksiHead(a.payers[0].account, QStringLiteral("0004417002"),
                                  QStringLiteral("Siti Aminah"), QStringLiteral("7A"));
    intent.receipt = ReceiptValues{a.payers[0].account,
                                   QStringLiteral("Siti Aminah"),
                                   "7A",
                                   "003 : Jajan Kantin",
                                   a.smallReceiver,
                                   "12.500",
                                   {},
                                   {},
                                   {}};
    variants.emplace_back("kiosk, small ledger, intent file", [&] {
        kioskPayment(db, a.payers[0], a.smallReceiver);
        setStateFolder(state.path());
        writeIntent(intent);
        removeIntent();
        setStateFolder({});
    });
    variants.emplace_back("kiosk, large ledger",
                          [&] { kioskPayment(db, a.payers[0], a.largeReceiver); });
    variants.emplace_back("bare,  large ledger", [&] { replay(bare, large); });
    // The same payment on a link that is TLS and checks the server's certificate.
    Connection tls;
    if (!tlsCa.isEmpty()) {
        ConnectParams secure = params;
        secure.tls.ca = tlsCa;
        connect(tls, secure);
        variants.emplace_back("kiosk, small ledger, TLS",
                              [&] { kioskPayment(tls, a.payers[0], a.smallReceiver); });
    }
    for (int r = 0; r < rounds; ++r) {
        for (Variant& v : variants) {
            QElapsedTimer t;
            t.start();
            try {
                v.run();
                v.ms.push_back(msSince(t));
            } catch (const std::exception& e) {
                std::cerr << v.name << ": " << e.what() << '\n';
                ++v.failed;
            }
        }
    }
    std::printf("\n== Kiosk against bare client (%d interleaved rounds, %d statements each)\n",
                rounds, small.size());
    for (const Variant& v : variants)
        std::printf("  %s: median %.3f ms (%zu postings, %d failed)\n", v.name, median(v.ms),
                    v.ms.size(), v.failed);
    const double ks = median(variants[0].ms), bs = median(variants[1].ms);
    const double ki = median(variants[2].ms);
    const double kl = median(variants[3].ms), bl = median(variants[4].ms);
    std::printf("  intent file / none (small ledger): %.3f\n", ki / ks);
    if (variants.size() > 5)
        std::printf("  TLS / plain (small ledger): %.3f\n", median(variants[5].ms) / ks);
    std::printf("  kiosk / bare:  small ledger %.3f, large ledger %.3f\n", ks / bs, kl / bl);
    std::printf("  large / small: kiosk %.3f, bare %.3f\n", kl / ks, bl / bs);
    int failed = 0;
    for (const Variant& v : variants)
        failed += v.failed;
    return failed;
}

// The guard's cost: the same payment with the guard's triggers and with them dropped, in blocks
// of ten that take turns; each block starts with an untimed payment, since triggers made anew
// are parsed when the table is next opened. The triggers are made again as they were, also
// when a payment fails. Returns the number of failed payments.
int guardCost(Connection& db, Connection& admin, const BenchAccounts& a, int blocks) {
    struct Trigger {
        QString schema, name, mode, create;
    };
    std::vector<Trigger> guard;
    for (Recordset rs = admin.open(
             Sql("SELECT TRIGGER_SCHEMA, TRIGGER_NAME FROM information_schema.TRIGGERS WHERE "
                 "TRIGGER_NAME LIKE '%kiosk%' ORDER BY EVENT_OBJECT_SCHEMA, "
                 "EVENT_OBJECT_TABLE, ACTION_TIMING, ACTION_ORDER"));
         !rs.eof(); rs.moveNext())
        guard.push_back({rs.value(0).toString(), rs.value(1).toString(), {}, {}});
    for (Trigger& t : guard) {
        Sql show;
        show << "SHOW CREATE TRIGGER `" << esc(t.schema) << "`." << esc(t.name);
        show = Sql::fromParts({{Sql::Kind::Fixed, show.plainText()}});
        Recordset rs = admin.open(show);
        t.mode = rs.text(QStringLiteral("sql_mode"));
        t.create = rs.text(QStringLiteral("SQL Original Statement"));
    }
    const auto fixed = [](const QString& text) {
        return Sql::fromParts({{Sql::Kind::Fixed, text}});
    };
    const auto set = [&](bool on) {
        for (const Trigger& t : guard) {
            admin.execute(fixed(QStringLiteral("USE `%1`").arg(t.schema)));
            if (on) {
                Sql mode;
                mode << "SET SESSION sql_mode = '" << esc(t.mode) << "'";
                admin.execute(mode);
                admin.execute(fixed(t.create));
            } else {
                admin.execute(fixed(QStringLiteral("DROP TRIGGER `%1`").arg(t.name)));
            }
        }
    };
    bool on = true;
    const auto turn = [&](bool want) {
        if (want != on)
            set(want);
        on = want;
    };
    struct PutBack {
        std::function<void()> put;
        ~PutBack() { put(); }
    } putBack{[&] { turn(true); }};
    std::vector<double> with, without;
    int failed = 0;
    for (int b = 0; b < 2 * blocks; ++b) {
        const bool guarded = b % 2 == 0;
        turn(guarded);
        for (int i = 0; i <= 10; ++i) {
            QElapsedTimer t;
            t.start();
            if (!kioskPayment(db, a.payers[0], a.smallReceiver))
                ++failed;
            if (i > 0)
                (guarded ? with : without).push_back(msSince(t));
        }
    }
    std::printf("\n== The guard's triggers (%d blocks of 10 payments each way)\n", blocks);
    std::printf("  with: median %.3f ms, without: median %.3f ms, with / without %.3f\n",
                median(with), median(without), median(with) / median(without));
    return failed;
}

// K kiosks, each with its own payer, all paying the large receiver at once. Returns the number
// of failed payments.
int kiosksAtOnce(const ConnectParams& params, const BenchAccounts& a, int rounds, int perKiosk) {
    const std::vector<int> levels = {1, 2, 4, 8};
    std::vector<std::unique_ptr<Connection>> connections;
    for (int k = 0; k < levels.back(); ++k) {
        connections.push_back(std::make_unique<Connection>());
        connect(*connections.back(), params);
    }
    struct Level {
        std::vector<double> ms;
        double wallMs = 0;
        int posted = 0, refused = 0, failed = 0;
    };
    std::map<int, Level> results;
    for (int r = 0; r < rounds; ++r) {
        for (int k : levels) {
            Level& level = results[k];
            std::vector<std::vector<double>> times(k);
            std::atomic<int> posted{0}, refused{0}, failed{0};
            QElapsedTimer wall;
            wall.start();
            std::vector<std::thread> threads;
            for (int i = 0; i < k; ++i) {
                threads.emplace_back([&, i] {
                    for (int n = 0; n < perKiosk; ++n) {
                        QElapsedTimer t;
                        t.start();
                        try {
                            (kioskPayment(*connections[i], a.payers[i], a.largeReceiver)
                                 ? posted
                                 : refused)++;
                            times[i].push_back(msSince(t));
                        } catch (const std::exception& e) {
                            std::cerr << "kiosk " << i + 1 << ": " << e.what() << '\n';
                            ++failed;
                        }
                    }
                });
            }
            for (auto& t : threads)
                t.join();
            level.wallMs += msSince(wall);
            for (const auto& t : times)
                level.ms.insert(level.ms.end(), t.begin(), t.end());
            level.posted += posted;
            level.refused += refused;
            level.failed += failed;
        }
    }
    std::printf("\n== K kiosks, different payers, one receiver (%d interleaved rounds of %d "
                "payments per kiosk)\n",
                rounds, perKiosk);
    const double one = results[1].posted * 1000.0 / results[1].wallMs;
    for (int k : levels) {
        const Level& l = results[k];
        const double throughput = l.posted * 1000.0 / l.wallMs;
        std::printf("  K=%d: %.1f payments/s (%.2f x one kiosk), median %.3f ms; posted %d, "
                    "refused %d, failed %d\n",
                    k, throughput, throughput / one, median(l.ms), l.posted, l.refused, l.failed);
    }
    // What the server's idle_transaction_timeout must leave room for: from the answer to one
    // statement of a posting to the next statement sent.
    std::chrono::microseconds idle{};
    for (const auto& c : connections)
        idle = std::max(idle, c->longestIdleInTransaction());
    std::printf("  longest idle gap inside a posting, all levels: %.3f ms\n",
                static_cast<double>(idle.count()) / 1000.0);
    int failed = 0;
    for (const auto& [k, l] : results)
        failed += l.failed;
    return failed;
}

// Under callgrind: instructions of the client only, `count` postings of each kind, dumped
// apart. Collection is off outside the postings (valgrind --collect-atstart=no).
void instructionCount(Connection& db, const ConnectParams& params, const BenchAccounts& a,
                      int count) {
    BareClient bare(params);
    PostingTemplate small = recordPosting(db, a.payers[0], a.smallReceiver);
    for (int i = 0; i < 5; ++i) { // warm up caches and lazily made objects
        kioskPayment(db, a.payers[0], a.smallReceiver);
        replay(bare, small);
    }
    for (int i = 0; i < count; ++i) {
        CALLGRIND_TOGGLE_COLLECT;
        kioskPayment(db, a.payers[0], a.smallReceiver);
        CALLGRIND_TOGGLE_COLLECT;
    }
    CALLGRIND_DUMP_STATS_AT("kiosk");
    for (int i = 0; i < count; ++i) {
        const auto statements = small.next(); // preparing the texts is not the client's work
        CALLGRIND_TOGGLE_COLLECT;
        bare.replay(statements);
        CALLGRIND_TOGGLE_COLLECT;
    }
    CALLGRIND_DUMP_STATS_AT("bare");
}

long long dumpTotal(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression totals(QStringLiteral("^(?:totals|summary): (\\d+)"),
                                           QRegularExpression::MultilineOption);
    const auto m = totals.match(QString::fromUtf8(f.readAll()));
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

// Runs this program again under callgrind and reads its two dumps.
void runCallgrind(const QStringList& passOn, int count) {
    QTemporaryDir dir;
    QStringList args = {QStringLiteral("-q"),
                        QStringLiteral("--tool=callgrind"),
                        QStringLiteral("--collect-atstart=no"),
                        QStringLiteral("--callgrind-out-file=") + dir.path() +
                            QStringLiteral("/cg.out"),
                        QCoreApplication::applicationFilePath(),
                        QStringLiteral("--instructions"),
                        QString::number(count)};
    args += passOn;
    QProcess valgrind;
    valgrind.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    valgrind.start(QStringLiteral("valgrind"), args);
    valgrind.waitForFinished(-1);
    const long long kiosk = dumpTotal(dir.path() + QStringLiteral("/cg.out.1"));
    const long long bare = dumpTotal(dir.path() + QStringLiteral("/cg.out.2"));
    std::printf("\n== Client instructions per posting (callgrind, %d postings each)\n", count);
    if (valgrind.exitCode() != 0 || kiosk < 0 || bare < 0) {
        std::printf("  valgrind run failed (exit %d)\n", valgrind.exitCode());
        return;
    }
    std::printf("  kiosk %lld, bare %lld, kiosk / bare %.3f\n", kiosk / count, bare / count,
                static_cast<double>(kiosk) / static_cast<double>(bare));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    const auto add = [&](const char* name, const char* help, const char* value,
                         const QString& fallback) {
        options.addOption({QString::fromLatin1(name), QString::fromLatin1(help),
                           QString::fromLatin1(value), fallback});
    };
    add("rounds", "Interleaved rounds of kiosk/bare, small/large.", "N", QStringLiteral("200"));
    add("small", "Ledger rows of the small receiver.", "ROWS", QStringLiteral("1000"));
    add("large", "Ledger rows of the large receiver.", "ROWS", QStringLiteral("1000000"));
    add("kiosk-rounds", "Interleaved rounds of K = 1, 2, 4, 8.", "N", QStringLiteral("10"));
    add("per-kiosk", "Payments per kiosk and round.", "N", QStringLiteral("10"));
    add("callgrind", "Also count client instructions of N postings (0 = skip).", "N",
        QStringLiteral("50"));
    add("guard-blocks", "Blocks of 10 payments with and without the guard's triggers.", "N",
        QStringLiteral("20"));
    add("tls-ca", "Also pay over TLS, trusting this CA (scripts/db tls).", "FILE", QString());
    add("instructions", "Internal: the run under callgrind.", "N", QStringLiteral("0"));
    addServerOptions(options);
    addAdminOptions(options);
    options.process(app);
    const auto number = [&](const char* name) {
        return options.value(QString::fromLatin1(name)).toLongLong();
    };

    const ConnectParams params = serverParams(options);

    try {
        Connection db;
        connect(db, params);
        const BenchAccounts accounts = benchAccounts(8);
        if (number("instructions") > 0) {
            instructionCount(db, params, accounts, static_cast<int>(number("instructions")));
            return 0;
        }
        Connection admin;
        if (!connectAdminOrSay(admin, adminParams(options, params)))
            return 1;
        prepare(admin, accounts, number("small"), number("large"),
                [](const QString& line) { std::cerr << "seeding " << line.toStdString() << '\n'; });
        std::printf("receivers: %s with %lld ledger rows, %s with %lld\n",
                    qPrintable(accounts.smallReceiver), ledgerRows(db, accounts.smallReceiver),
                    qPrintable(accounts.largeReceiver), ledgerRows(db, accounts.largeReceiver));
        int failed = compareClients(db, params, accounts, static_cast<int>(number("rounds")),
                                    options.value(QStringLiteral("tls-ca")));
        if (number("guard-blocks") > 0)
            failed += guardCost(db, admin, accounts, static_cast<int>(number("guard-blocks")));
        failed += kiosksAtOnce(params, accounts, static_cast<int>(number("kiosk-rounds")),
                               static_cast<int>(number("per-kiosk")));
        if (number("callgrind") > 0)
            runCallgrind({QStringLiteral("--host"), params.host, QStringLiteral("--port"),
                          QString::number(params.port)},
                         static_cast<int>(number("callgrind")));
        const int differences = reconciliationDifferences(admin, accounts);
        std::printf("\nreconciliation of the benchmark's accounts: %d differences\n", differences);
        return differences == 0 && failed == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
}

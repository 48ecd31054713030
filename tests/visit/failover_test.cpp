#include "app/server_switch.h"
#include "postings/posting_outcome.h"
#include "support/galera_cluster.h"
#include "support/scripted_dialogs.h"
#include "support/test_settings.h"
#include "visit/frm_transaksi.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// A kiosk on profile 2 (node 0) of a build whose profiles 2 to 4 are the three nodes.
class FailoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const QString reason = GaleraCluster::unavailableReason(); !reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
        cluster = &GaleraCluster::instance();
        for (int n = 0; n < GaleraCluster::kNodes; ++n) {
            cluster->startNode(n);
            profiles.hosts[std::size_t(n) + 1] = encode3(cluster->host(n));
        }
        cluster->mendLedgerTriggers();
        profiles.portServer = encode3(QString::number(cluster->sqlPort()));
        db.connect(cluster->kioskParams(0));
        server = std::make_unique<ServerSwitch>(db, QStringLiteral("2"), profiles);
        installServerSwitch(server.get());
    }

    GaleraCluster* cluster = nullptr;
    EncodedSettings profiles = builtInSettings();
    Connection db;
    std::unique_ptr<ServerSwitch> server;
    ScriptedDialogs dialogs;
};

TEST_F(FailoverTest, PostingInDoubtStaysWithoutTheSettingAndIsSettledWhereTheKioskMoved) {
    // Lost at COMMIT on node 0; its session id is another kiosk's on node 1.
    auto other = cluster->kioskConnection(1);
    const PostingProof proof{QStringLiteral("FO-1"), newPostingMark()};
    const DbError lost(DbError::Kind::Connection, 2013, QStringLiteral("lost"));
    SessionIdentity session = db.identity();
    session.id = other->sessionId();
    detail::keepUnknownPosting(db, PostingOutcomeUnknown(lost, proof, session), PostingReport{},
                               nullptr);
    cluster->stopNode(0);
    EXPECT_EQ(settlePendingPosting(db), Settlement::StillUnknown);
    EXPECT_TRUE(dialogs.messageTexts().last().contains(
        QStringLiteral("\nServer %1 tidak dapat dihubungi.").arg(server->caption())));

    // From the failed look-up on node 0 to the one that answers on node 1.
    server->setFailoverProfiles({"2", "3", "4"});
    QElapsedTimer moving;
    moving.start();
    EXPECT_EQ(settlePendingPosting(db), Settlement::Settled);
    std::cout << "[ failover ] moved in " << double(moving.nsecsElapsed()) / 1e6 << " ms\n";
    EXPECT_TRUE(scalar(db, Sql("SELECT @@wsrep_node_address")).startsWith(cluster->host(1)));
    other->open(Sql("SELECT 1"));
    EXPECT_EQ(other->reconnects(), 0);
    cluster->startNode(0);
}

// Looked up on another node, a posting not found there may still be on its way from the node
// that lost its COMMIT: that counts only once the old node answered or left the cluster.
TEST_F(FailoverTest, NotFoundOnAnotherNodeWaitsForTheOldNode) {
    const SessionIdentity onNode0 = cluster->kioskConnection(0)->identity();
    db.connect(cluster->kioskParams(1));
    const QString stored = newPostingMark();
    Sql mark;
    mark << "INSERT INTO data_posting_tanda (tanda_kode) VALUES ('" << esc(stored) << "')";
    cluster->adminConnection(0)->execute(mark);
    const struct {
        QString server; // where the old node is asked
        QString mark;
        Settlement expected;
    } cases[] = {
        {QStringLiteral("127.0.0.1:1"), newPostingMark(), Settlement::StillUnknown}, // unasked
        {QStringLiteral("127.0.0.1:1"), stored, Settlement::SettledStored},
        {onNode0.server, newPostingMark(), Settlement::Settled},
    };
    for (const auto& c : cases) {
        SessionIdentity lost = onNode0;
        lost.server = c.server;
        const DbError e(DbError::Kind::Connection, 2013, QStringLiteral("lost"));
        detail::keepUnknownPosting(db, PostingOutcomeUnknown(e, PostingProof{"C", c.mark}, lost),
                                   PostingReport{}, nullptr);
        EXPECT_EQ(settlePendingPosting(db), c.expected) << c.server.toStdString();
    }
    EXPECT_EQ(
        dialogs.messageTexts().filter(QStringLiteral("transaksi C masih belum diketahui")).size(),
        1);
}

TEST_F(FailoverTest, CardTapAfterTheNodeDiedMovesAndTheNextTapWorks) {
    auto admin = cluster->adminConnection(1);
    admin->execute(
        Sql("INSERT INTO set_app SET app_case = 'FailoverProfiles', app_text = '2,3,4'"));
    frmTransaksi screen(db);
    screen.show();
    const QString backup = server->captionOf(QStringLiteral("3"));
    cluster->stopNode(0);
    for (const int tap : {1, 2}) {
        dialogs.queueInput(QStringLiteral("123456"));
        dialogs.onNextModal([](QDialog& form) {
            QTest::keyClicks(form.focusWidget(), QStringLiteral("0004417001"));
            if (form.isVisible())
                form.reject();
        });
        QTest::mouseClick(screen.cmdStart, Qt::LeftButton);
        EXPECT_EQ(screen.txtNama->text(), QStringLiteral("Ahmad Fauzi")) << tap;
    }
    EXPECT_EQ(dialogs.messageTexts(), QStringList());
    EXPECT_EQ(screen.lblServer->text(), QStringLiteral("Server: ") + backup);
    admin->execute(Sql("DELETE FROM set_app WHERE app_case = 'FailoverProfiles'"));
    cluster->startNode(0);
}

// A node out of the Primary component (1047) is gone: reads move on, its refusals stored nothing.
TEST_F(FailoverTest, ANodeOutOfThePrimaryComponentIsLeft) {
    server->setFailoverProfiles({"2", "3", "4"});
    auto lone = cluster->kioskConnection(0); // a posting whose COMMIT comes once it is out
    lone->execute(Sql("SET SESSION idle_transaction_timeout = 0"));
    Transaction posting(*lone);
    lone->execute(Sql("INSERT INTO data_pin_salah SET pin_kunci = 'ISOLATED'"));
    cluster->adminConnection(0)->execute(
        Sql("SET GLOBAL wsrep_provider_options = 'gmcast.isolate=1'"));
    while (cluster->state(0) == QLatin1String("Synced"))
        QThread::msleep(100);
    EXPECT_EQ(scalar(db, Sql("SELECT COUNT(*) FROM set_app WHERE app_case = 'x'")), "0");
    EXPECT_TRUE(db.server().startsWith(cluster->host(1)));
    const PostingProof proof{"ISO", newPostingMark()};
    EXPECT_THROW(
        try { commitOrLookUp(*lone, posting, proof); } catch (const PostingOutcomeUnknown&){},
        DbError);         // refused, not in doubt
    cluster->stopNode(0); // it joins again as it starts
    cluster->startNode(0);
}

} // namespace

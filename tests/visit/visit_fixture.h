#pragma once

#include "app/parameters.h"
#include "app/wait_notice.h"
#include "postings/posting_intent.h"
#include "postings/posting_outcome.h"
#include "printing/raw_printer.h"
#include "support/mariadb_server.h"
#include "support/scripted_dialogs.h"
#include "visit/frm_input_pin.h"
#include "visit/frm_transaksi.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace kalinda::test {

// Keeps the receipts instead of printing them.
class RecordingPrinter final : public RawPrinter {
public:
    RawPrintResult send(const QString& name, const QByteArray& data) override {
        jobs.push_back({name, data});
        waitShown.push_back(WaitNotice::shown());
        return RawPrintResult::Sent;
    }
    std::vector<std::pair<QString, QByteArray>> jobs;
    std::vector<bool> waitShown; // whether "Mohon tunggu…" was up while each job was sent
};

// Typed by a student who wants in: blanks, control characters, full-width forms of Ahmad's card
// (0004417001), PIN (123456) and account (010100000001), overlong text, quotes and backslashes.
// clang-format off
inline const QString kHostileInputs[] = {
    QString(), QString(10, u' '), QStringLiteral(" "), QStringLiteral("\t"),
    QStringLiteral("1234\r\n"), QStringLiteral("12345\x01"), QStringLiteral("０００４４１７００１"),
    QStringLiteral("１２３４５６"), QStringLiteral("０１０１０００００００１"), QString(200, u'9'),
    QStringLiteral("'OR'1'='1"), QStringLiteral("\\'OR'1'='1'#")};
// clang-format on

// A fresh demo database, the kiosk's connection and its main screen, shown.
class VisitFixture : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
        db = kioskConnection();
        parameters() = Parameters{};
        // A posting left in doubt by an earlier test, in memory or on disk, is not this one's.
        detail::forgetPendingPosting();
        setStateFolder(stateDir.path());
    }

    void TearDown() override {
        screen.reset();
        detail::forgetPendingPosting();
        setStateFolder({});
    }

    frmTransaksi& openScreen(KioskActions actions = {}) {
        screen = std::make_unique<frmTransaksi>(*db, std::move(actions));
        screen->resize(1280, 800);
        screen->show();
        return *screen;
    }

    // Types text one character at a time into whatever holds the keyboard focus, as the card
    // reader does.
    static void typeAsKeyboard(const QString& text) {
        for (const QChar c : text) {
            QWidget* target = QApplication::focusWidget();
            ASSERT_NE(target, nullptr);
            QTest::keyClick(target, c.toLatin1());
        }
    }

    // START TRANSACTION, the card typed by the reader, the PIN answered.
    void tapCard(const QString& card, const std::optional<QString>& pin) {
        dialogs.queueInput(pin);
        dialogs.onNextModal([card](QDialog& form) {
            typeAsKeyboard(card);
            if (form.isVisible())
                form.reject();
        });
        QTest::mouseClick(screen->cmdStart, Qt::LeftButton);
    }

    long long count(const Sql& query) { return scalarInt(*admin, query); }

    ScriptedDialogs dialogs;
    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
    std::unique_ptr<frmTransaksi> screen;
    QTemporaryDir stateDir; // the intent file's, a fresh one for each test
};

} // namespace kalinda::test

#pragma once

#include "inquiries/frm_transaksi_mutasi.h"
#include "inquiries/frm_transaksi_spp.h"
#include "visit/visit_fixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

namespace kalinda::test {

// What a student saw on an inquiry form before closing it.
struct SeenForm {
    bool shown = false;
    QString title;
    QStringList headers;
    QList<bool> hidden;
    std::vector<QStringList> lines;
    QList<QColor> shades;    // each line's background, invalid where the list sets none
    QStringList totals;      // the four total boxes, by their captions' buddies
    QStringList totalLabels; // the captions
    qreal fontSize = 0;
    QString notBooked; // the statement's line under the list, empty when it is hidden
};

// The main screen with both inquiry buttons wired, and Nur Aisyah (010100000005) in visit.
class InquiryFixture : public VisitFixture {
protected:
    static constexpr const char* kAccount = "010100000005";

    void SetUp() override {
        VisitFixture::SetUp();
        KioskActions actions;
        actions.openMutasi = [this](KioskScreen& s) { openMutasi(s, *db); };
        actions.openTunggakan = [this](KioskScreen& s) { openTunggakan(s, *db); };
        openScreen(std::move(actions));
    }

    void startVisit() {
        tapCard(QStringLiteral("0004417005"), QStringLiteral("567890"));
        ASSERT_EQ(screen->txtNama->text(), QStringLiteral("Nur Aisyah"));
    }

    // Presses the button and reads the form it opened, then KELUAR.
    SeenForm press(QPushButton* button) {
        SeenForm seen;
        dialogs.onNextModal([&seen](QDialog& d) {
            auto& form = static_cast<InquiryForm&>(d);
            seen.shown = true;
            seen.title = form.lblJudul->text();
            const ReportListModel& m = form.model();
            for (int c = 0; c < m.columnCount(); ++c) {
                seen.headers << m.headerData(c, Qt::Horizontal).toString();
                seen.hidden << form.ListView1->isColumnHidden(c);
            }
            for (int r = 0; r < m.rowCount(); ++r) {
                QStringList line;
                for (int c = 0; c < m.columnCount(); ++c)
                    line << m.text(r, c);
                seen.lines.push_back(line);
                seen.shades << m.data(m.index(r, 0), Qt::BackgroundRole).value<QColor>();
            }
            for (auto* label : form.findChildren<QLabel*>()) {
                if (auto* box = qobject_cast<QLineEdit*>(label->buddy())) {
                    seen.totalLabels << label->text();
                    seen.totals << box->text();
                }
            }
            seen.fontSize = form.ListView1->font().pointSizeF();
            if (auto* l = form.findChild<QLabel*>(QStringLiteral("lblBelumDibukukan")))
                seen.notBooked = l->isVisible() ? l->text() : QString();
            QTest::mouseClick(form.cmdKeluar, Qt::LeftButton);
        });
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "hourglass left on";
        if (!seen.shown) {
            // The handler was not used: drop it so the next form is not handed to it.
            const auto messages = dialogs.messages;
            const auto modals = dialogs.modalsShown;
            dialogs.clear();
            dialogs.messages = messages;
            dialogs.modalsShown = modals;
        }
        return seen;
    }

    long long logRows(const char* action) {
        Sql s;
        s << "SELECT COUNT(*) FROM log_transaksi WHERE log_rekening = '"
          << esc(QString::fromLatin1(kAccount)) << "' AND log_transaksi = '"
          << esc(QString::fromLatin1(action)) << "'";
        return count(s);
    }

    void runAdmin(const QString& sql) { MariaDbServer::instance().runAdminScript(sql); }
};

} // namespace kalinda::test

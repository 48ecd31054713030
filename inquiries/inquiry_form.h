#pragma once

#include "app/db.h"
#include "app/visit_state.h"
#include "list_model.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeView;
class QVBoxLayout;

namespace kalinda {

// What the two inquiry forms share: title, subtitle, a list in report view and KELUAR.
// Form_Load sets up the columns and reads the data before the form is shown, so a form whose
// data cannot be read is never shown half-filled.
class InquiryForm : public QDialog {
    Q_OBJECT
public:
    QLabel* lblJudul;
    QLabel* lblSubJudul;
    QTreeView* ListView1;
    QPushButton* cmdKeluar;

    ReportListModel& model() const { return *model_; }

    // False when the data could not be read; the user has been told and the form stays hidden.
    bool Form_Load();

protected:
    InquiryForm(KioskScreen& screen, Connection& db, const QString& name, const QString& title,
                const QString& subtitle, std::vector<ListColumn> columns, QWidget* parent);

    // Report view, the columns with their widths (0 = hidden) and alignments.
    virtual void TabelTrans();
    // Reads and shows the lines and writes the log row; database errors go to the caller.
    virtual void DataTrans() = 0;
    // What could not be done, for the message after a database error.
    virtual QString failureText() const = 0;
    // Back to the designed contents after a failed read.
    virtual void clearData();
    // Widens each shown column that its lines or its header do not fit.
    void fitColumnsToContents();

    int twipsToPixels(int twips) const;
    // Subclasses add their own controls here, between the list and KELUAR.
    QVBoxLayout* body() const { return body_; }

    KioskScreen& screen_;
    Connection& db_;

private:
    ReportListModel* model_;
    QVBoxLayout* body_;
};

// Opens an inquiry form modally over the main screen when its data could be read.
void showInquiry(InquiryForm& form);

// The main screen as a parent for the forms opened on top of it.
QWidget* screenWidget(KioskScreen& screen);

} // namespace kalinda

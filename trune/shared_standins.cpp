// Plain stand-ins for the data-source pieces the three wizards share: the opener with its
// repair offer and password prompt, the path splitter, the ODBC page's lists and connect
// string, and the preview grid. Each member here is replaced by the shared opener and pages
// once they serve all three programs; until then they open without recovery and show the
// error in the box the caller names.
#include <QApplication>
#include <QSignalBlocker>

#include "platform/db/odbc.h"
#include "platform/db/value_text.h"
#include "platform/vb/numbered_error.h"
#include "trune/frm_wizard.h"
#include "wizard_common/wait_cursor.h"

namespace trune {

// replaced by the shared opener
std::shared_ptr<db::Database> FrmWizard::OpenWithRecovery(const QString& name, const std::string& connect,
                                                          bool readOnly, OpenErrorBox box) {
    try {
        wizard::WaitCursor wait;
        return db::DBEngine::OpenDatabase(name.toStdString(), false, readOnly, connect);
    } catch (const vb::NumberedError& e) {
        // The pointer is back to the default before the box.
        const QString description = QString::fromStdString(e.description());
        if (box == OpenErrorBox::ShowError)
            ShowError(e);
        else
            Message(description, wizard::Icon::Warning);
        return nullptr;
    }
}

// replaced by the shared opener (ShowError)
void FrmWizard::ShowError(const vb::NumberedError& e) {
    QApplication::beep();
    Message("The following Error occurred:\r\n\r\n" + QString::fromStdString(e.description()) + "\r\nNumber: " +
                QString::number(e.number()),
            wizard::Icon::None);
}

// replaced by the shared opener
QString FrmWizard::StripFileName(const QString& path) {
    const int slash = path.lastIndexOf('/');
    if (slash < 0) return path;
    const QString file = path.mid(slash + 1);
    const int dot = file.indexOf('.');
    // A name without an extension is the table's whole name.
    PreselectTable = dot < 0 ? file : file.left(dot);
    return path.left(slash);
}

// replaced by the shared opener (the ODBC page)
void FrmWizard::GetDSNsAndDrivers() {
    const QSignalBlocker blockDsn(odbc->cboDSNList);
    const QSignalBlocker blockDrivers(odbc->cboDrivers);
    odbc->cboDSNList->addItem("(None)");
    try {
        for (const db::OdbcDataSource& s : db::OdbcDataSources()) {
            odbc->cboDSNList->addItem(QString::fromStdString(s.name));
            if (odbc->cboDrivers->findText(QString::fromStdString(s.driver)) < 0)
                odbc->cboDrivers->addItem(QString::fromStdString(s.driver));
        }
        for (const db::OdbcDriver& d : db::OdbcDrivers())
            if (odbc->cboDrivers->findText(QString::fromStdString(d.name)) < 0)
                odbc->cboDrivers->addItem(QString::fromStdString(d.name));
    } catch (const vb::NumberedError&) {
        // No driver manager environment: "(None)" alone, and the driver typed by hand.
    }
    odbc->cboDSNList->setCurrentIndex(0);
    cboDSNList_Click();
}

// replaced by the shared opener (the ODBC page)
void FrmWizard::cboDSNList_Click() {
    const bool none = odbc->cboDSNList->currentIndex() < 1;
    for (QWidget* w : {static_cast<QWidget*>(odbc->txtServer), static_cast<QWidget*>(odbc->cboDrivers),
                       static_cast<QWidget*>(odbc->lblDriver), static_cast<QWidget*>(odbc->lblServer)})
        w->setEnabled(none);
}

// replaced by the shared opener (the ODBC page)
void FrmWizard::ClearObjs() {
    CloseSource();
    odbcConnect_.clear();
    LastOdbcConnect.clear();
    for (QLineEdit* box : {odbc->txtDatabase, odbc->txtPWD, odbc->txtUID, odbc->txtServer}) box->clear();
    odbc->cboDSNList->clear();
    odbc->cboDrivers->clear();
    odbc->cboDrivers->setEditText("");
}

// replaced by the shared opener (the connect builder)
std::string FrmWizard::OdbcConnectString() const {
    std::string head, tail;
    if (odbc->cboDSNList->currentIndex() >= 1) {
        head = "ODBC;DSN=" + odbc->cboDSNList->currentText().toStdString() + ";";
    } else {
        const std::string driver = odbc->cboDrivers->currentText().toStdString();
        if (driver.empty()) return {};
        head = "ODBC;";
        tail = "Driver=" + driver + ";" + "Server=" + odbc->txtServer->text().toStdString() + ";";
    }
    tail += "UID=" + odbc->txtUID->text().toStdString() + ";" + "PWD=" + odbc->txtPWD->text().toStdString() + ";";
    if (!odbc->txtDatabase->text().isEmpty()) tail += "Database=" + odbc->txtDatabase->text().toStdString() + ";";
    return head + tail;
}

// replaced by the shared opener (the preview grid)
void FrmWizard::FillPreviewGrid(const std::vector<std::string>& names, db::Recordset& rows) {
    QTableWidget* grid = table->Grid1;
    grid->clear();
    const int columns = int(names.size());
    grid->setColumnCount(columns + 1);
    grid->setRowCount(1);
    for (int c = 0; c < columns; ++c) grid->setItem(0, c + 1, new QTableWidgetItem(QString::fromStdString(names[size_t(c)])));
    const vb::Array<db::Value> block = rows.GetRows(100);
    const int n = block.UBound(2) + 1;
    grid->setRowCount(n + 1);
    for (int r = 0; r < n; ++r) {
        grid->setItem(r + 1, 0, new QTableWidgetItem(QString::number(r + 1)));
        for (int c = 0; c < columns; ++c) {
            const db::Value& v = block(c, r);
            QString text;
            // A cell whose value has no text stays empty, as a Null does; the filling goes on.
            try {
                if (!v.IsNull()) text = QString::fromStdString(db::ValueText(v));
            } catch (const vb::NumberedError&) {
            }
            grid->setItem(r + 1, c + 1, new QTableWidgetItem(text));
        }
    }
}

}  // namespace trune

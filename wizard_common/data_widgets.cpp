// The ODBC connection values and the preview grid.
#include "wizard_common/data_widgets.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <map>

#include "platform/db/value_text.h"
#include "wizard_common/db_open.h"

namespace wizard {

namespace {

constexpr int kPreviewRows = 100;

QTableWidgetItem* FixedCell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setBackground(QColor(230, 230, 230));
    return item;
}

}  // namespace

OdbcControls::OdbcControls(QWidget* parent) : QGroupBox("Connection Values", parent) {
    setObjectName("fraConnection");
    cboDSNList = new QComboBox;
    cboDSNList->setObjectName("cboDSNList");
    cboDrivers = new QComboBox;
    cboDrivers->setObjectName("cboDrivers");
    cboDrivers->setEditable(true);
    cboDrivers->setInsertPolicy(QComboBox::NoInsert);
    auto box = [](const char* name) {
        auto* b = new QLineEdit;
        b->setObjectName(name);
        return b;
    };
    txtServer = box("txtServer");
    txtUID = box("txtUID");
    txtPWD = box("txtPWD");
    txtPWD->setEchoMode(QLineEdit::Password);
    txtDatabase = box("txtDatabase");
    const char* captions[7] = {"", "DSN:", "UID:", "Password:", "Database:", "Driver:", "Server:"};
    for (int i = 1; i < 7; ++i) {
        lblStep3[size_t(i)] = new QLabel(captions[i]);
        lblStep3[size_t(i)]->setObjectName(QString("lblStep3_%1").arg(i));
    }
    auto* grid = new QGridLayout(this);
    QWidget* fields[7] = {nullptr, cboDSNList, txtUID, txtPWD, txtDatabase, cboDrivers, txtServer};
    for (int i = 1; i < 7; ++i) {
        grid->addWidget(lblStep3[size_t(i)], i - 1, 0);
        grid->addWidget(fields[i], i - 1, 1);
    }
    grid->setColumnStretch(1, 1);
    connect(cboDSNList, &QComboBox::activated, this, [this] { cboDSNList_Click(*this); });
}

OdbcValues OdbcControls::Values() const {
    OdbcValues v;
    v.dsnIndex = cboDSNList->currentIndex();
    v.dsn = cboDSNList->currentText().toStdString();
    v.driver = cboDrivers->currentText().toStdString();
    v.server = txtServer->text().toStdString();
    v.uid = txtUID->text().toStdString();
    v.pwd = txtPWD->text().toStdString();
    v.database = txtDatabase->text().toStdString();
    return v;
}

void OdbcControls::Clear() {
    for (QLineEdit* b : {txtDatabase, txtPWD, txtUID, txtServer}) b->clear();
    const QSignalBlocker a(cboDSNList), b(cboDrivers);
    cboDSNList->clear();
    cboDrivers->clear();
    cboDrivers->setEditText({});
}

void GetDSNsAndDrivers(OdbcControls& page, const OdbcLists& lists) {
    {
        const QSignalBlocker a(page.cboDSNList), b(page.cboDrivers);
        for (const std::string& s : lists.dataSources) page.cboDSNList->addItem(QString::fromStdString(s));
        for (const std::string& d : lists.drivers) page.cboDrivers->addItem(QString::fromStdString(d));
        // The driver box starts empty (an editable box would show its first item): Next with
        // nothing chosen asks for a driver or a data source.
        page.cboDrivers->setCurrentIndex(-1);
        page.cboDrivers->setEditText({});
        page.cboDSNList->setCurrentIndex(0);
    }
    cboDSNList_Click(page);
}

void cboDSNList_Click(OdbcControls& page) {
    const bool none = page.cboDSNList->currentText() == "(None)";
    for (QWidget* w : std::initializer_list<QWidget*>{page.txtServer, page.cboDrivers, page.lblStep3[5], page.lblStep3[6]})
        w->setEnabled(none);
}

std::optional<std::string> OdbcConnectOf(const OdbcControls& page, Prompts& prompts, QWidget* parent,
                                         const QString& title) {
    std::optional<std::string> connect = BuildOdbcConnect(page.Values());
    if (!connect) prompts.Message(parent, "Please select a Driver or a DSN.", title, Icon::Warning);
    return connect;
}

void CloseQuietly(std::unique_ptr<db::Recordset>& recordset) {
    try {
        if (recordset) recordset->Close();
    } catch (const std::exception&) {
        // Already gone: releasing it is all that is left.
    }
    recordset.reset();
}

void CloseQuietly(std::shared_ptr<db::Database>& database) {
    try {
        if (database) database->Close();
    } catch (const std::exception&) {
        // Already gone: releasing it is all that is left.
    }
    database.reset();
}

void ClearObjs(OdbcControls& page, std::unique_ptr<db::Recordset>& previewRs,
               std::shared_ptr<db::Database>& database, QString& odbcConnect, QString& lastOdbcConnect) {
    CloseQuietly(previewRs);
    CloseQuietly(database);
    odbcConnect.clear();
    lastOdbcConnect.clear();
    page.Clear();
}

void PreparePreviewGrid(QTableWidget* grid) {
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setRowCount(1);
    grid->setColumnCount(1);
    grid->setItem(0, 0, FixedCell({}));
}

void SetPreviewHeader(QTableWidget* grid, const std::vector<std::string>& fields) {
    grid->clearContents();
    grid->setRowCount(1);
    grid->setColumnCount(int(fields.size()) + 1);
    grid->setItem(0, 0, FixedCell({}));
    for (size_t i = 0; i < fields.size(); ++i)
        grid->setItem(0, int(i) + 1, FixedCell(QString::fromStdString(fields[i])));
}

void ClearSourceView(QTableWidget* grid, QListWidget* fieldList, std::initializer_list<QComboBox*> lists) {
    SetPreviewHeader(grid, {});
    if (fieldList) {
        const QSignalBlocker block(fieldList);
        fieldList->clear();
    }
    for (QComboBox* box : lists) FillNames(box, {}, false);
}

void FillPreviewRows(QTableWidget* grid, db::Recordset& rs, const std::vector<std::string>& rsFields,
                     const std::vector<std::string>& fields) {
    const vb::Array<db::Value> rows = rs.GetRows(kPreviewRows);
    const int count = rows.allocated() && rows.dims() == 2 ? rows.UBound(2) + 1 : 0;
    grid->setRowCount(count + 1);
    std::map<std::string, int> column;
    for (size_t c = 0; c < rsFields.size(); ++c) column.emplace(rsFields[c], int(c));
    for (int r = 0; r < count; ++r) {
        grid->setItem(r + 1, 0, FixedCell(QString::number(r + 1)));
        for (size_t c = 0; c < fields.size(); ++c) {
            try {
                const auto it = column.find(fields[c]);
                if (it == column.end()) continue;
                const db::Value& v = rows(it->second, r);
                grid->setItem(r + 1, int(c) + 1, new QTableWidgetItem(QString::fromStdString(db::ValueText(v))));
            } catch (const std::exception&) {
                // Skipped cell by cell.
            }
        }
    }
    grid->resizeColumnsToContents();
}

void FillNames(QComboBox* box, const std::vector<std::string>& names, bool withNone) {
    const QSignalBlocker block(box);
    box->clear();
    if (withNone) box->addItem("None");
    for (const std::string& n : names) box->addItem(QString::fromStdString(n));
}

void FillFieldList(QListWidget* list, const std::vector<std::string>& names) {
    std::vector<bool> selected(names.size(), true);
    ApplyDiscretizedRule(names, selected);
    const QSignalBlocker block(list);
    for (size_t i = 0; i < names.size(); ++i) {
        list->addItem(QString::fromStdString(names[i]));
        list->item(int(i))->setSelected(selected[i]);
    }
}

bool MakeFirstRowCurrent(QListWidget* list) {
    if (list->count() == 0) return false;
    const QSignalBlocker block(list);
    list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    return true;
}

}  // namespace wizard

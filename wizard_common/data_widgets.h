// Data-source pieces the three wizards share: the ODBC connection values with their lists and
// the procedures of that page, and the preview grid of a chosen table.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QString>
#include <QTableWidget>
#include <array>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/database.h"
#include "wizard_common/model/data_source.h"
#include "wizard_common/services.h"

namespace wizard {

// The frame "Connection Values" of the ODBC page.
class OdbcControls : public QGroupBox {
    Q_OBJECT
public:
    explicit OdbcControls(QWidget* parent = nullptr);
    QComboBox* cboDSNList;
    QComboBox* cboDrivers;  // editable: a driver the lists do not hold can be typed
    QLineEdit* txtServer;
    QLineEdit* txtUID;
    QLineEdit* txtPWD;
    QLineEdit* txtDatabase;
    // Items 1 to 6: "DSN:", "UID:", "Password:", "Database:", "Driver:", "Server:".
    std::array<QLabel*, 7> lblStep3{};

    OdbcValues Values() const;
    // Empties the four boxes and the two lists.
    void Clear();
};

// Fills the two lists (after Clear) and chooses "(None)".
void GetDSNsAndDrivers(OdbcControls& page, const OdbcLists& lists);
// "(None)" enables the driver, the server and their labels; a data source disables them.
void cboDSNList_Click(OdbcControls& page);
// The connect string of the page's values; with neither a data source nor a driver, the
// warning "Please select a Driver or a DSN." and no string.
std::optional<std::string> OdbcConnectOf(const OdbcControls& page, Prompts& prompts, QWidget* parent,
                                         const QString& title);
// Closes and releases the preview recordset and the program's source database (errors
// skipped), empties both connect strings and the page.
void ClearObjs(OdbcControls& page, std::unique_ptr<db::Recordset>& previewRs,
               std::shared_ptr<db::Database>& database, QString& odbcConnect, QString& lastOdbcConnect);

// Closes and releases a recordset or a database, skipping the errors of one already gone.
void CloseQuietly(std::unique_ptr<db::Recordset>& recordset);
void CloseQuietly(std::shared_ptr<db::Database>& database);

// The preview grid: names in row 0 from column 1, record numbers in column 0 from row 1.
void PreparePreviewGrid(QTableWidget* grid);
// Header row of `fields` (the grid gets fields + 1 columns and one row).
void SetPreviewHeader(QTableWidget* grid, const std::vector<std::string>& fields);
// The first 100 records of `rs` under the header: each column shows the value of its field,
// found by name (the listed fields need not be all of the recordset's), Null as "". The fetch
// may fail (the caller reports it); a cell that cannot be shown stays empty.
// `rsFields` are the recordset's field names in its order (FieldNamesOf).
void FillPreviewRows(QTableWidget* grid, db::Recordset& rs, const std::vector<std::string>& rsFields,
                     const std::vector<std::string>& fields);

// What a page shows of a source (a database, or a table or query of it) that failed to open or
// was refused: an empty preview grid, field list (`fieldList` may be null) and combo boxes
// (`lists`), under their signal blockers, so that nothing of the source shown before stays on
// the page as if it were the chosen one's.
void ClearSourceView(QTableWidget* grid, QListWidget* fieldList, std::initializer_list<QComboBox*> lists);

// Fills a combo box with `names` under its signal blocker, "None" first when `withNone`.
void FillNames(QComboBox* box, const std::vector<std::string>& names, bool withNone);

// Adds `names` to the field list under its signal blocker, each selected but the raw fields
// whose "_d" column stands in for them.
void FillFieldList(QListWidget* list, const std::vector<std::string>& names);
// Makes row 0 of the field list current without touching the selection or signalling, so the
// caller runs the list's handler once itself; false when the list is empty.
bool MakeFirstRowCurrent(QListWidget* list);

}  // namespace wizard

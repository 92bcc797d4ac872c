// The viewer of the conditioned table: a modal window captioned with the table's name, filled
// by a read-only grid. It reads the target file through a read-only connection of its own, never
// the wizard's. The grid knows the table's row count from the start, so its scroll bar, Ctrl+End
// and Page Down reach any row at once; only the blocks of rows on screen are read. Every
// showing reads the table anew, so a second discretization shows its new labels.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QStringList>
#include <QTableView>
#include <list>
#include <memory>
#include <vector>

#include "platform/db/database.h"
#include "wizard_common/services.h"

namespace trune {

// The rows of one table as the grid shows them: the field names as the header, the cells as
// text (Null empty). A dynaset over the table holds its row ids; a row asked for is read with
// the block of kBlock rows around it, and the last kKeptBlocks blocks read are kept.
class RecordsetModel : public QAbstractTableModel {
public:
    static constexpr int32_t kBlock = 200;
    static constexpr size_t kKeptBlocks = 8;

    using QAbstractTableModel::QAbstractTableModel;
    // Opens `table` of `db` and counts its rows; the rows of an earlier table are dropped.
    void Reset(std::shared_ptr<db::Database> db, const std::string& table);
    // Drops the rows and the recordset, and with it the hold on the file.
    void Clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The blocks read from the table since it was opened.
    int64_t blocksRead() const { return blocksRead_; }

private:
    struct Block {
        int32_t first = 0;
        std::vector<QStringList> rows;
    };
    const Block& BlockOf(int32_t row) const;

    std::shared_ptr<db::Database> db_;
    std::unique_ptr<db::Recordset> rs_;
    QStringList names_;
    int32_t rows_ = 0;
    // The blocks read, the most recently used first.
    mutable std::list<Block> blocks_;
    mutable int64_t blocksRead_ = 0;
};

class FrmViewData : public QDialog {
public:
    FrmViewData(wizard::Prompts& prompts, QWidget* parent = nullptr);
    ~FrmViewData() override;

    // Binds the viewer to `table` of the database file `dbName` (Form_Load). False, after the
    // error's text was shown, when the file or the table cannot be opened.
    bool Load(const QString& dbName, const QString& table);
    // Loads and shows the viewer modally; returns when the user closed it.
    void ShowModal(const QString& dbName, const QString& table);

    QTableView* MSFlexGrid1;
    RecordsetModel* model() const { return model_; }

protected:
    void done(int result) override;

private:
    wizard::Prompts& prompts_;
    RecordsetModel* model_;
};

}  // namespace trune

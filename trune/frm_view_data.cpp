// The viewer of the conditioned table (see frm_view_data.h) and the three buttons of the last
// page: the viewer, and the launch of zorv or vrell, after which the wizard closes.
#include "trune/frm_view_data.h"

#include <QHeaderView>
#include <QVBoxLayout>

#include "platform/db/sql_names.h"
#include "platform/db/value_text.h"
#include "platform/vb/numbered_error.h"
#include "platform/vb/regional.h"
#include "trune/frm_wizard.h"
#include "wizard_common/model/step_caption.h"
#include "wizard_common/wait_cursor.h"

namespace trune {

namespace {

// A cell as the grid shows it: numbers with the locale's decimal symbol, Null empty.
QString CellText(const db::Value& v) {
    switch (v.kind()) {
        case db::Value::Kind::Null: return QString();
        case db::Value::Kind::Single: return QString::fromStdString(vb::RegionalText(v.AsSingle()));
        case db::Value::Kind::Double: return QString::fromStdString(vb::RegionalText(v.AsDoubleValue()));
        default: return QString::fromStdString(db::ValueText(v));
    }
}

}  // namespace

// ---- the grid's rows ------------------------------------------------------------------------

void RecordsetModel::Reset(std::shared_ptr<db::Database> db, const std::string& table) {
    beginResetModel();
    blocks_.clear();
    names_.clear();
    rs_.reset();
    rows_ = 0;
    db_ = std::move(db);
    try {
        // A dynaset holds the row ids, so any row is read at once, and counting them reads no
        // row.
        rs_ = db_->OpenRecordset("select * from " + db::QuotedPlainName(table, db::NameKind::Table), db::dbOpenDynaset);
        for (int c = 0; c < rs_->FieldCount(); ++c) names_ << QString::fromStdString(rs_->Fields(c).Name);
        if (!rs_->Eof()) {
            rs_->MoveLast();
            rows_ = rs_->RecordCount();
        }
    } catch (...) {
        rs_.reset();
        db_.reset();
        names_.clear();
        endResetModel();
        throw;
    }
    endResetModel();
}

void RecordsetModel::Clear() {
    beginResetModel();
    blocks_.clear();
    names_.clear();
    rs_.reset();
    db_.reset();
    rows_ = 0;
    endResetModel();
}

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_); }

int RecordsetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(names_.size()); }

const RecordsetModel::Block& RecordsetModel::BlockOf(int32_t row) const {
    const int32_t first = row - row % kBlock;
    for (auto it = blocks_.begin(); it != blocks_.end(); ++it)
        if (it->first == first) {
            blocks_.splice(blocks_.begin(), blocks_, it);
            return blocks_.front();
        }
    Block block{first, {}};
    ++blocksRead_;
    try {
        rs_->SetAbsolutePosition(first);
        const vb::Array<db::Value> cells = rs_->GetRows(kBlock);
        for (int32_t r = 0; r <= cells.UBound(2); ++r) {
            QStringList text;
            for (int32_t c = 0; c <= cells.UBound(1); ++c) text << CellText(cells(c, r));
            block.rows.push_back(std::move(text));
        }
    } catch (const vb::NumberedError&) {
        // The file changed or went away under the viewer: the rows it cannot read show empty.
    }
    blocks_.push_front(std::move(block));
    if (blocks_.size() > kKeptBlocks) blocks_.pop_back();
    return blocks_.front();
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || !rs_ || index.row() >= rows_) return {};
    const Block& block = BlockOf(index.row());
    const size_t r = size_t(index.row() - block.first);
    if (r >= block.rows.size() || index.column() >= block.rows[r].size()) return QString();
    return block.rows[r][index.column()];
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return section < names_.size() ? names_[section] : QVariant();
    return section + 1;
}

// ---- the viewer -----------------------------------------------------------------------------

FrmViewData::FrmViewData(wizard::Prompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
    setObjectName("FrmViewData");
    setModal(true);
    MSFlexGrid1 = new QTableView;
    MSFlexGrid1->setObjectName("MSFlexGrid1");
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    model_ = new RecordsetModel(this);
    MSFlexGrid1->setModel(model_);
    // The grid fills the window whatever its size.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(MSFlexGrid1);
    resize(760, 460);
}

FrmViewData::~FrmViewData() = default;

bool FrmViewData::Load(const QString& dbName, const QString& table) {
    setWindowTitle(table);
    try {
        wizard::WaitCursor wait;
        model_->Reset(db::DBEngine::OpenDatabase(dbName.toStdString(), false, true), table.toStdString());
    } catch (const vb::NumberedError& e) {
        prompts_.Message(parentWidget(), QString::fromStdString(e.description()),
                         QString::fromStdString(wizard::TruneFrame().title), wizard::Icon::Warning);
        return false;
    }
    // The cursor starts on the first cell, so the first key already moves it (Ctrl+End to the
    // last row).
    if (model_->rowCount() > 0 && model_->columnCount() > 0) MSFlexGrid1->setCurrentIndex(model_->index(0, 0));
    MSFlexGrid1->scrollToTop();
    return true;
}

void FrmViewData::ShowModal(const QString& dbName, const QString& table) {
    if (!Load(dbName, table)) return;
    exec();
}

void FrmViewData::done(int result) {
    // The file is not held while the viewer is closed.
    model_->Clear();
    QDialog::done(result);
}

// ---- the last page's buttons ----------------------------------------------------------------

void FrmWizard::Command4_Click() {
    if (!viewer_) viewer_ = new FrmViewData(services_.prompts, this);
    viewer_->ShowModal(finished->lbldb->text(), finished->lbltb->text());
}

void FrmWizard::Cmdzorv_Click() { Launch("zorv"); }

void FrmWizard::Cmdvrell_Click() { Launch("vrell"); }

void FrmWizard::Launch(const QString& name) {
    // A program that is missing or does not start is not reported: the wizard closes anyway.
    services_.shell.StartProgram(name);
    Unload();
}

}  // namespace trune

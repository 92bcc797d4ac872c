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
    rows_.clear();
    names_.clear();
    rs_.reset();
    db_ = std::move(db);
    atEnd_ = true;
    try {
        rs_ = db_->OpenRecordset("select * from " + db::QuotedPlainName(table, db::NameKind::Table), db::dbOpenSnapshot);
        for (int c = 0; c < rs_->FieldCount(); ++c) names_ << QString::fromStdString(rs_->Fields(c).Name);
        atEnd_ = rs_->Eof();
    } catch (...) {
        rs_.reset();
        db_.reset();
        endResetModel();
        throw;
    }
    endResetModel();
}

void RecordsetModel::Clear() {
    beginResetModel();
    rows_.clear();
    names_.clear();
    rs_.reset();
    db_.reset();
    atEnd_ = true;
    endResetModel();
}

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int RecordsetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(names_.size()); }

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return rows_[size_t(index.row())][index.column()];
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return section < names_.size() ? names_[section] : QVariant();
    return section + 1;
}

bool RecordsetModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && !atEnd_; }

void RecordsetModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || atEnd_ || !rs_) return;
    vb::Array<db::Value> block;
    try {
        block = rs_->GetRows(kBlock);
    } catch (const vb::NumberedError&) {
        // The file changed or went away under the viewer: it shows what it has read.
        atEnd_ = true;
        return;
    }
    const int32_t n = block.UBound(2) + 1;
    if (n < kBlock) atEnd_ = true;
    if (n <= 0) return;
    beginInsertRows({}, int(rows_.size()), int(rows_.size()) + n - 1);
    for (int32_t r = 0; r < n; ++r) {
        QStringList row;
        for (int32_t c = 0; c <= block.UBound(1); ++c) row << CellText(block(c, r));
        rows_.push_back(std::move(row));
    }
    endInsertRows();
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
        if (model_->canFetchMore({})) model_->fetchMore({});
    } catch (const vb::NumberedError& e) {
        prompts_.Message(parentWidget(), QString::fromStdString(e.description()),
                         QString::fromStdString(wizard::TruneFrame().title), wizard::Icon::Warning);
        return false;
    }
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

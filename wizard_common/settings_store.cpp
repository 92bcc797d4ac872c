// The "Startup" group of a wizard's INI settings file.
#include "wizard_common/settings_store.h"

#include "wizard_common/model/numbers.h"

namespace wizard {

namespace {
const QString kGroup = QStringLiteral("Startup/");
}

SettingsStore::SettingsStore(const QString& application)
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, application,
                                            application)) {}

std::optional<QString> SettingsStore::Text(const QString& key) const {
    const QVariant v = settings_->value(kGroup + key);
    if (!v.isValid()) return std::nullopt;
    return v.toString();
}

QString SettingsStore::Text(const QString& key, const QString& fallback) const {
    return Text(key).value_or(fallback);
}

qint64 SettingsStore::Number(const QString& key, qint64 lo, qint64 hi, qint64 fallback) const {
    const std::optional<QString> text = Text(key);
    if (!text) return fallback;
    return WholeNumberInRange(text->toStdString(), lo, hi).value_or(fallback);
}

void SettingsStore::SetText(const QString& key, const QString& value) {
    settings_->setValue(kGroup + key, value);
}

void SettingsStore::SetNumber(const QString& key, qint64 value) {
    SetText(key, QString::number(value));
}

bool SettingsStore::Sync() {
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

QString SettingsStore::FileName() const { return settings_->fileName(); }

void LoadFolders(const SettingsStore& store, std::initializer_list<FolderSetting> folders,
                 const QString& fallback) {
    for (const FolderSetting& f : folders) *f.folder = store.Text(f.key, fallback);
}

void SaveFolders(SettingsStore& store, std::initializer_list<FolderSetting> folders) {
    for (const FolderSetting& f : folders) store.SetText(f.key, *f.folder);
}

}  // namespace wizard

// The per-user settings of a wizard: an INI file under the user's configuration folder, one
// per program ("BN Kalvex", "BN Tormid", "Sorvane"), all values in the group "Startup". Tests
// point QSettings::setPath at a temporary folder.
#pragma once

#include <QSettings>
#include <QString>
#include <initializer_list>
#include <memory>
#include <optional>

namespace wizard {

class SettingsStore {
public:
    explicit SettingsStore(const QString& application);

    // The stored text of `key`, or nothing when the key is missing.
    std::optional<QString> Text(const QString& key) const;
    QString Text(const QString& key, const QString& fallback) const;
    // A whole number in lo..hi stored as decimal text; `fallback` when the key is missing, not
    // a number or out of range (a damaged store must not stop the program from starting).
    qint64 Number(const QString& key, qint64 lo, qint64 hi, qint64 fallback) const;

    void SetText(const QString& key, const QString& value);
    void SetNumber(const QString& key, qint64 value);
    // Writes the values to the file; false when that failed.
    bool Sync();

    QString FileName() const;

private:
    std::unique_ptr<QSettings> settings_;
};

// A remembered folder: its key in the store and the variable that holds it while the wizard runs.
struct FolderSetting {
    QString key;
    QString* folder;
};

// Reads each folder; a key that is missing gives `fallback` (the program's own folder).
void LoadFolders(const SettingsStore& store, std::initializer_list<FolderSetting> folders,
                 const QString& fallback);
void SaveFolders(SettingsStore& store, std::initializer_list<FolderSetting> folders);

}  // namespace wizard

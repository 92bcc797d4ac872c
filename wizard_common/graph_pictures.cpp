// Copying and saving the network drawing.
#include "wizard_common/graph_pictures.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>

#include "platform/vb/numbered_error.h"
#include "wizard_common/model/file_rules.h"
#include "wizard_common/model/report_file.h"
#include "wizard_common/save_target.h"

namespace wizard {

void CopyImageToClipboard(const QImage& image) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(image);
}

void SaveImageToFile(QWidget* parent, Services& services, const QString& title,
                     const std::function<QImage()>& capture) {
    const QString name = services.files.Save(parent, "Save the graph", "Bitmap file (*.bmp)|*.bmp", "");
    if (name.isEmpty()) return;
    if (!ConfirmOverwrite(parent, services, name, title)) return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    capture().save(&buffer, "BMP");
    try {
        ReplaceFileText(name.toStdString(), std::string_view(bytes.constData(), size_t(bytes.size())));
    } catch (const vb::NumberedError& e) {
        services.prompts.Message(parent, QString::fromStdString(e.description()), title, Icon::Warning);
    }
}

}  // namespace wizard

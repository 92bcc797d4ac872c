// The drawing of a network window as a picture: copied to the clipboard, or saved as a bitmap
// file the user names. Both editors offer the two, with the same dialog and texts.
#pragma once

#include <QImage>
#include <QString>
#include <functional>

#include "wizard_common/services.h"

namespace wizard {

// Replaces the clipboard's contents by the picture.
void CopyImageToClipboard(const QImage& image);

// The save dialog ("Save the graph", bitmap files); an existing normal file is overwritten
// only after the question, anything else at that name is refused. The picture is taken only
// once the file is settled, and written through a temporary file renamed over the target, so a
// failure shows its text and leaves the old file as it was. `title` is the boxes' title.
void SaveImageToFile(QWidget* parent, Services& services, const QString& title,
                     const std::function<QImage()>& capture);

}  // namespace wizard

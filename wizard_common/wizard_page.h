// The frame of one wizard page: the step picture on the left, the page's name as a heading and
// a column for the page's own controls on the right. The frame is `fraStep_<index>` and its
// picture `imgStep_<pictureIndex>`, so tests and the hidden link find them by name.
#pragma once

#include <QString>
#include <QVBoxLayout>
#include <QWidget>

#include "wizard_common/frame_widgets.h"

namespace wizard {

class WizardPage : public QWidget {
public:
    WizardPage(int index, int pictureIndex, const QString& name, QWidget* parent = nullptr);
    QVBoxLayout* body() const { return body_; }
    StepPicture* picture() const { return picture_; }
    // Lets the body take the page's height (a page of tabs or a large list), in place of the
    // stretch below it.
    void StretchBody();

private:
    QVBoxLayout* body_;
    QVBoxLayout* column_;
    StepPicture* picture_;
};

}  // namespace wizard

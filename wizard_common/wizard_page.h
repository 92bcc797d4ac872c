// The frame of one wizard page: the step picture on the left, the page's name as a heading and
// a column for the page's own controls on the right. The frame is `fraStep_<index>` and its
// picture `imgStep_<pictureIndex>`, so tests and the hidden link find them by name. trune's
// pages carry no heading (their picture names the step), so the heading can be left out.
#pragma once

#include <QStackedWidget>
#include <QString>

#include <functional>
#include <vector>
#include <QVBoxLayout>
#include <QWidget>

#include "wizard_common/frame_widgets.h"

namespace wizard {

class WizardPage : public QWidget {
public:
    WizardPage(int index, int pictureIndex, const QString& name, QWidget* parent = nullptr,
               bool withHeading = true);
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

// Puts `pages` into `stack` in order, each disabled until it is shown, and calls
// `onPictureDoubleClick(k)` when the picture of page k is double-clicked (the hidden link).
void AddPages(QStackedWidget* stack, const std::vector<WizardPage*>& pages,
              const std::function<void(int)>& onPictureDoubleClick);

}  // namespace wizard

// The page frame of the wizards (wizard_page.h).
#include "wizard_common/wizard_page.h"

#include <QHBoxLayout>
#include <QLabel>

namespace wizard {

WizardPage::WizardPage(int index, int pictureIndex, const QString& name, QWidget* parent, bool withHeading)
    : QWidget(parent) {
    setObjectName(QString("fraStep_%1").arg(index));
    picture_ = new StepPicture(name.trimmed());
    picture_->setObjectName(QString("imgStep_%1").arg(pictureIndex));
    body_ = new QVBoxLayout;
    if (withHeading) {
        auto* heading = new QLabel(name);
        QFont f = heading->font();
        f.setPointSize(f.pointSize() + 4);
        f.setBold(true);
        heading->setFont(f);
        body_->addWidget(heading);
        body_->addSpacing(6);
    }
    column_ = new QVBoxLayout;
    column_->addLayout(body_);
    column_->addStretch(1);
    auto* row = new QHBoxLayout(this);
    row->addWidget(picture_, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addLayout(column_, 1);
}

void WizardPage::StretchBody() {
    column_->setStretch(0, 1);
    column_->setStretch(1, 0);
}

void AddPages(QStackedWidget* stack, const std::vector<WizardPage*>& pages,
              const std::function<void(int)>& onPictureDoubleClick) {
    for (size_t k = 0; k < pages.size(); ++k) {
        pages[k]->setEnabled(false);
        stack->addWidget(pages[k]);
        QObject::connect(pages[k]->picture(), &StepPicture::doubleClicked, stack,
                         [onPictureDoubleClick, k] { onPictureDoubleClick(int(k)); });
    }
}

}  // namespace wizard

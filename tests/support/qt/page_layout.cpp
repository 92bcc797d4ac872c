// The page layout checks of page_layout.h.
#include "tests/support/qt/page_layout.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLayout>
#include <QtTest/QTest>
#include <map>

namespace testsupport {

namespace {

std::map<QAbstractScrollArea*, int> HeightsInView(QWidget* page) {
    QApplication::processEvents();
    std::map<QAbstractScrollArea*, int> heights;
    for (QAbstractScrollArea* area : page->findChildren<QAbstractScrollArea*>())
        if (area->isVisibleTo(page) && !area->objectName().isEmpty()) heights[area] = area->height();
    return heights;
}

}  // namespace

std::vector<QString> ListsThatDoNotGrow(wizard::WizardForm& wizard, int pageCount, int grow) {
    std::vector<QString> stuck;
    auto* stack = qobject_cast<QStackedWidget*>(wizard.Page(0)->parentWidget());
    if (!stack) return {"no page stack"};
    wizard.show();
    if (!QTest::qWaitForWindowExposed(&wizard)) return {"window not shown"};
    const QSize small = wizard.size();
    for (int k = 0; k < pageCount; ++k) {
        stack->setCurrentIndex(k);
        QWidget* page = wizard.Page(k);
        wizard.resize(small);
        const std::map<QAbstractScrollArea*, int> before = HeightsInView(page);
        wizard.resize(small + QSize(grow, grow));
        const std::map<QAbstractScrollArea*, int> after = HeightsInView(page);
        for (const auto& [area, height] : before)
            if (after.at(area) < height + grow / 2)
                stuck.push_back(QString("page %1: %2").arg(k).arg(area->objectName()));
    }
    wizard.resize(small);
    return stuck;
}

}  // namespace testsupport

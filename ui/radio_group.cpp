#include "ui/radio_group.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace kb {

RadioGroup::RadioGroup(const char* name, const QString& title, const QStringList& items,
                       QWidget* parent)
    : QGroupBox(title, parent), buttons_(this) {
    setObjectName(QString::fromLatin1(name));
    auto* v = new QVBoxLayout(this);
    v->setSpacing(2);
    for (int k = 0; k < items.size(); ++k) {
        auto* b = new QRadioButton(items[k], this);
        b->setObjectName(objectName() + QString::number(k));
        buttons_.addButton(b, k);
        v->addWidget(b);
    }
    if (!items.isEmpty()) buttons_.button(0)->setChecked(true);
    settled_ = buttons_.checkedId();
    connect(&buttons_, &QButtonGroup::idClicked, this, [this](int id) {
        // A click on the item already selected selects nothing new: reopening the port
        // it names would drop PTT in the middle of a text.
        if (id == settled_) return;
        settled_ = id;
        if (onClick) onClick(id);
        settled_ = buttons_.checkedId();
    });
}

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* b = buttons_.button(index)) b->setChecked(true);
    settled_ = buttons_.checkedId();
}

void RadioGroup::clickItem(int index) {
    if (QAbstractButton* b = buttons_.button(index)) b->click();
}

QRadioButton* RadioGroup::item(int index) const {
    return qobject_cast<QRadioButton*>(buttons_.button(index));
}

}  // namespace kb

#pragma once
// A titled group of radio buttons with an item index, as the port panel's choices are:
// the user's click on another item runs the group's handler (a click on the item already
// selected changes nothing); the program can set the index quietly (a refused choice
// returning to the previous one must not run the handler again). GUI thread only.

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>
#include <functional>

class QRadioButton;

namespace kb {

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const char* name, const QString& title, const QStringList& items, QWidget* parent);

    int ItemIndex() const { return buttons_.checkedId(); }
    // Without running the click handler.
    void setItemIndex(int index);
    // As a user's click: the button is checked and, when it was not already, the
    // handler runs.
    void clickItem(int index);
    QRadioButton* item(int index) const;
    int count() const { return static_cast<int>(buttons_.buttons().size()); }

    std::function<void(int)> onClick;

private:
    QButtonGroup buttons_;
    int settled_ = -1;  // the item selected before the click being handled
};

}  // namespace kb

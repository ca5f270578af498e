#pragma once
// "Количество шлейфов": "Нет шлейфов", then "1" to the type's maximum. The
// chosen position is the loop count.
#include <QComboBox>

namespace tornu::ui {

class CLoopCountBox : public QComboBox {
    Q_OBJECT
public:
    explicit CLoopCountBox(QWidget* parent = nullptr);
    // Rebuilt for a new maximum: the previous choice stays when it still
    // exists, otherwise the last entry is chosen; no loops disables the box.
    void SetMaximum(int maximum);
    // Edit mode: disabled whatever the type allows, showing `count`.
    void Lock(int count);
    int Count() const { return currentIndex() < 0 ? 0 : currentIndex(); }

private:
    bool locked_ = false;
};

} // namespace tornu::ui

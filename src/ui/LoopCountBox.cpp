#include "ui/LoopCountBox.h"

namespace tornu::ui {

CLoopCountBox::CLoopCountBox(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("loops"));
}

void CLoopCountBox::SetMaximum(int maximum) {
    const int previous = currentIndex();
    clear();
    addItem(QStringLiteral("Нет шлейфов"));
    for (int n = 1; n <= maximum; ++n)
        addItem(QString::number(n));
    setCurrentIndex(previous >= 0 && previous < count() ? previous : count() - 1);
    setEnabled(!locked_ && maximum > 0);
}

} // namespace tornu::ui

namespace tornu::ui {

void CLoopCountBox::Lock(int count) {
    locked_ = true;
    setEnabled(false);
    if (count >= 0 && count < this->count())
        setCurrentIndex(count);
}

} // namespace tornu::ui

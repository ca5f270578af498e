#pragma once
// Read-only fields the option views are made of.
#include <QLineEdit>
#include <QPlainTextEdit>

namespace tornu::ui {

inline QLineEdit* ReadOnlyField(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    return field;
}

inline QPlainTextEdit* ReadOnlyText(const char* name, QWidget* parent) {
    auto* text = new QPlainTextEdit(parent);
    text->setObjectName(QString::fromLatin1(name));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    return text;
}

} // namespace tornu::ui

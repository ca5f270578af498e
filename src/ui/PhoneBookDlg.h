#pragma once
// "Телефонная книга" of a device: a row per phone entry with a check-box
// column per labelled mask bit; a toggle is written at once. A double click
// opens "Номер телефона". "Ключи" and "Ключ" are its sibling dialogs.
#include "doc/PhoneBookModel.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QTreeView;

namespace tornu {
class CConfigEditor;
class CConfigTree;
class CTreeNode;
} // namespace tornu

namespace tornu::ui {

class CKeyListModel;
class CPhoneListModel;
class CQtOperator;

class CPhoneBookDlg : public QDialog {
    Q_OBJECT
public:
    // `book` is what the document gave for `node` (with its layout).
    CPhoneBookDlg(CConfigTree& tree, CConfigEditor& editor, CTreeNode& node, PhoneBookModel book,
                  CQtOperator& op, QWidget* parent = nullptr);

    QTreeView* List() const { return list_; }
    CPhoneListModel& Model() const { return *model_; }
    // "Номер телефона" for row `row`.
    void EditNumber(int row);

private:
    CQtOperator& operator_;
    CPhoneListModel* model_;
    QTreeView* list_;
};

// "Номер телефона": at most 12 characters; OK asks `store`, which answers
// false (having told why) to keep the dialog open.
class CPhoneNumberDlg : public QDialog {
    Q_OBJECT
public:
    CPhoneNumberDlg(const QString& number, std::function<bool(const QString&)> store,
                    QWidget* parent = nullptr);
    QLineEdit* Field() const { return field_; }
    void accept() override;

private:
    std::function<bool(const QString&)> store_;
    QLineEdit* field_;
};

// "Ключи": "№" ("Мастер" for the master key), "Ключ", "Владелец"; a double
// click opens "Ключ".
class CKeysDlg : public QDialog {
    Q_OBJECT
public:
    CKeysDlg(CConfigTree& tree, CConfigEditor& editor, CTreeNode& node, CQtOperator& op,
             QWidget* parent = nullptr);

    QTreeView* List() const { return list_; }
    CKeyListModel& Model() const { return *model_; }
    // "Ключ" for row `row`, shown again with what was typed while the
    // document refuses the code.
    void EditKey(int row);

private:
    CQtOperator& operator_;
    CKeyListModel* model_;
    QTreeView* list_;
};

// "Ключ": "Владелец" and "Электронный номер".
class CKeyDlg : public QDialog {
    Q_OBJECT
public:
    CKeyDlg(const QString& owner, const QString& code, QWidget* parent = nullptr);
    QLineEdit* Owner() const { return owner_; }
    QLineEdit* Code() const { return code_; }

private:
    QLineEdit* owner_;
    QLineEdit* code_;
};

} // namespace tornu::ui

#pragma once

#include "maintenance/maintenancesql.h"

#include <QWidget>
#include <optional>

class Context;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// The maintenance window: category codes, user accounts and the reset of the book.
class Txtwh final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Txtwh)

public:
    explicit Txtwh(Context& context, QWidget* parent = nullptr);
    ~Txtwh() override;

    // Category group.
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QLineEdit* Edit_lb = nullptr;
    QLineEdit* Edit_bmmc = nullptr;
    QPushButton* Button_adduser = nullptr;
    QPushButton* Button_deluser = nullptr;
    QListWidget* ListBox1 = nullptr;

    // User group.
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* Edit_user = nullptr;
    QLineEdit* Edit_pwd = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QPushButton* BitBtn_insert = nullptr;
    QPushButton* BitBtn_userlist = nullptr;
    QPushButton* BitBtn_del = nullptr;
    QPushButton* BitBtn_update = nullptr;
    QListWidget* ListBox2 = nullptr;

    // Lower part.
    QLabel* Label8 = nullptr;
    QPushButton* BitBtn_yasuo = nullptr;
    QLabel* Label7 = nullptr;
    QPushButton* BitBtn_csh = nullptr;

public Q_SLOTS:
    void RadioButton1Click();
    void RadioButton2Click();
    void Button_adduserClick();
    void Button_deluserClick();
    void BitBtn_insertClick();
    void BitBtn_userlistClick();
    void BitBtn_delClick();
    void BitBtn_updateClick();
    void BitBtn_yasuoClick();
    void BitBtn_cshClick();

private:
    void buildCategoryGroup();
    void buildUserGroup();
    void buildLowerPart();
    void loadCategories(EntryKind kind, CategoryLayout layout);
    std::optional<EntryKind> chosenKind() const;

    Context& m_context;
};

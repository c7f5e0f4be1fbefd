#pragma once

#include "book/booksql.h"
#include "store/query.h"

#include <QDate>
#include <QString>
#include <QWidget>
#include <optional>

class Context;
class Messages;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

// The income and expense book: records entries, searches them with their count
// and sum, deletes a listed entry and exports a listing to a text file or a table.
class Tszgl final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tszgl)

public:
    // Throws StoreError when the category list cannot be loaded.
    explicit Tszgl(Context& context, QWidget* parent = nullptr);
    ~Tszgl() override;

public Q_SLOTS:
    void RadioButton_lr_srClick();
    void RadioButton_lr_zcClick();
    void BitBtn_saveClick();
    void BitBtn_resumeClick();
    void BitBtn_updateClick();
    void RadioButton_cx_srClick();
    void RadioButton_cx_zcClick();
    void BitBtn_cxClick();
    void BitBtn_delClick();
    void BitBtn_cx_txtClick();
    void BitBtn_tableClick();
    // The budget line of the chosen expense category in the entry date's month.
    void refreshBudgetLabel();
    void BitBtn_importClick();

private:
    // An entry as the entry group holds it once every check has passed.
    struct EntryInput
    {
        QDate date;
        QString code;
        QString name;
        QString amountText; // rounded, as the statement writes it
        QString remark;
    };

    void setupControls();
    void setupTabOrder();
    void setupConnections();
    void FormCreate();

    EntryKind entryKind() const;
    EntryKind queryKind() const;
    void switchEntryKind(EntryKind kind);
    void showEntryKindLabels(EntryKind kind);
    // The checks of a save, in order, with their messages and focus moves.
    std::optional<EntryInput> checkedEntry();
    void saveCorrection(const EntryInput& entry);
    void leaveEditMode();
    // "修改" follows "删除", and needs a current row of this window's own listing.
    void syncUpdateButton();
    void switchQueryKind(EntryKind kind);
    void loadCategories(QComboBox* list, EntryKind kind);
    void clearEntryInputs();
    // The search; a database failure propagates to the caller.
    void search();
    // Counts, sums and lists the entries, standing on row; false when none match.
    bool listEntries(EntryKind kind, const QString& conditions, int row);
    void refreshListing();
    void hideListing();
    void reloadCategoryLists();
    void syncListingRow();
    void hideGrid();
    void connectGridSelection();
    // 导出数据 and 导出表格 act on the listing alike.
    void setExportsEnabled(bool enabled);

    // The entries the grid lists, as the search that found them.
    struct Listed
    {
        EntryKind kind;
        QString conditions;
        qint64 count;
    };

    Context& m_context;
    Messages& m_messages;
    // This window's listing object: its rows are what the grid shows.
    Query m_listing;
    std::optional<Listed> m_listed;
    // The entry that the entry group corrects, while it does.
    std::optional<qint64> m_editUid;
    EntryKind m_editKind = EntryKind::Income;
    QString m_keptItem; // its category item, added to the list when no longer a category

    // Entry group.
    QGroupBox* GroupBox_lr = nullptr;
    QRadioButton* RadioButton_lr_sr = nullptr;
    QRadioButton* RadioButton_lr_zc = nullptr;
    QLabel* Label_lr_rq = nullptr;
    QDateEdit* DateTimePicker_lr = nullptr;
    QLabel* Label_lr_lb = nullptr;
    QComboBox* ComboBox_lr_lb = nullptr;
    QLabel* Label_lr_je = nullptr;
    QLineEdit* Edit_lr_je = nullptr;
    QPushButton* BitBtn_save = nullptr;
    QPushButton* BitBtn_resume = nullptr;
    QLabel* Label_lr_sm = nullptr;
    QLineEdit* Memo_lr_sm = nullptr;
    QPushButton* BitBtn_update = nullptr;
    QPushButton* BitBtn_del = nullptr;
    QPushButton* BitBtn_undo = nullptr;
    QPushButton* BitBtn_redo = nullptr;
    QLabel* Label_budget = nullptr;

    // Query group.
    QRadioButton* RadioButton_cx_sr = nullptr;
    QRadioButton* RadioButton_cx_zc = nullptr;
    QLabel* Label_cx_qsrq = nullptr;
    QDateEdit* DateTimePicker_cx1 = nullptr;
    QLabel* Label2 = nullptr;
    QDateEdit* DateTimePicker_cx2 = nullptr;
    QLabel* Label_cx_lb = nullptr;
    QComboBox* ComboBox_cx_lb = nullptr;
    QLabel* Label_cx_je = nullptr;
    QLineEdit* Edit_cx_je = nullptr;
    QLabel* Label_cx_sm = nullptr;
    QLineEdit* Edit_cx_sm = nullptr;
    QPushButton* BitBtn_cx = nullptr;
    QPushButton* BitBtn_cx_txt = nullptr;
    QPushButton* BitBtn_table = nullptr;
    QPushButton* BitBtn_import = nullptr;
    QLabel* Label_count = nullptr;
    QLabel* Label_sum = nullptr;
    QTableView* DBGrid1 = nullptr;
};

#pragma once

#include "import/importer.h"

#include <QDate>
#include <QDialog>
#include <optional>

class ChoiceDelegate;
class Context;
class Messages;
class PreviewModel;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStandardItemModel;
class QTableView;

// 导入账单: reads a statement file, shows what its rows come to against the
// book, imports them, and lists the imports with the undo of one.
class Tdrzd final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tdrzd)

public:
    explicit Tdrzd(Context& context, QWidget* parent = nullptr);
    ~Tdrzd() override;

    // The days and kinds of the last import made here, for the book's search.
    struct Imported
    {
        qint64 batch = 0;
        QDate first;
        QDate last;
        bool income = false;
        bool expense = false;
    };
    const std::optional<Imported>& lastImport() const { return m_lastImport; }

public Q_SLOTS:
    void BitBtn_browseClick();
    void BitBtn_previewClick();
    void BitBtn_okClick();
    void BitBtn_undoimportClick();

private:
    void setupControls();
    void setupConnections();
    void preview();
    bool chosenColumns();
    void showColumnChoice(const ParsedStatement& statement);
    void showPlan();
    void forgetPreview();
    void importRows();
    void undoImport();
    void loadBatches();
    void syncUndoButton();

    Context& m_context;
    Messages& m_messages;

    QLineEdit* Edit_file = nullptr;
    QPushButton* BitBtn_browse = nullptr;
    QPushButton* BitBtn_preview = nullptr;
    QGroupBox* GroupBox_columns = nullptr;
    QComboBox* ComboBox_date = nullptr;
    QComboBox* ComboBox_amount = nullptr;
    QComboBox* ComboBox_direction = nullptr;
    QComboBox* ComboBox_text = nullptr;
    QTableView* Grid_preview = nullptr;
    QLabel* Label_summary = nullptr;
    QPushButton* BitBtn_ok = nullptr;
    QListWidget* List_batches = nullptr;
    QPushButton* BitBtn_undoimport = nullptr;
    QPushButton* BitBtn_close = nullptr;

    PreviewModel* m_model = nullptr;
    QStandardItemModel* m_sample = nullptr;
    ChoiceDelegate* m_delegate = nullptr;

    QString m_path;
    ReadOptions m_options;
    std::optional<ParsedStatement> m_statement;
    ImportPlan m_plan;
    ImportChoices m_choices;
    std::optional<Imported> m_lastImport;
};

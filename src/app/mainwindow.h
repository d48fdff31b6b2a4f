#pragma once

#include "core/collection.h"
#include "core/config.h"
#include "export/exportjob.h"
#include "ruleswindow.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace Core {
class HttpClient;
}

namespace App {

class BackgroundTask;
class Prompter;

// What the main window needs from outside; tests hand in their own.
struct MainWindowContext
{
    QString programDir;
    Core::Config config;
    Core::HttpClient *client = nullptr;
    Prompter *prompter = nullptr;
    // File dialogs: (parent, caption, filter) -> chosen path, empty when cancelled.
    std::function<QString(QWidget *, const QString &, const QString &)> openFileName;
    std::function<QString(QWidget *, const QString &, const QString &)> saveFileName;
    // Opens an address in the user's browser.
    std::function<void(const QString &)> openUrl;
    // Makes the watermark settings window; the real one when empty.
    std::function<QWidget *(QWidget *parent)> makeWatermarkWindow;
    std::function<QDateTime()> clock;
    int exportJobs = 6;
    bool runStartup = true;
};

// The main window: the item list and what fills it, the export options and the export run.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(MainWindowContext context, QWidget *parent = nullptr);
    ~MainWindow() override;

    QStringList entries() const;
    const QStringList &parameterSlots() const { return m_slots; }
    const QStringList &applicationTable() const { return m_appTable; }
    // True while a collection, an import or an export runs.
    bool isBusy() const;
    RulesWindow *rulesWindow() const { return m_rulesWindow; }
    QWidget *watermarkWindow() const { return m_watermarkWindow; }
    const Export::ExportSummary &lastSummary() const { return m_lastSummary; }

    // The button handlers.
    void Command7_Click();
    void importAddresses();
    void exportAddresses();
    void deleteSelected();
    void clearList();
    void chooseCsvFile();
    void makeCsv();
    void stopExport();
    void showRulesWindow();
    void showWatermarkWindow();
    void quit();

signals:
    void startupFinished();
    void collectionFinished();
    void importFinished();
    void exportFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildInterface();
    QWidget *buildAddressRow();
    QGroupBox *buildListGroup();
    QGroupBox *buildExportGroup();
    QGroupBox *buildOptionsGroup();
    QGroupBox *buildSellerGroup();
    QWidget *buildLinks();
    QLabel *makeLink(const QString &text, const QString &name, std::function<void()> action);
    void connectInputChecks();
    void checkBox(QLineEdit *box, const std::function<bool(const QString &)> &valid, const QString &message);

    void runStartup();
    void applyStartup(const QStringList &slotTexts, bool mainRead, const QStringList &appTable, bool appRead);
    void addEntry(const QString &entry);
    void updateCounter();
    void setListWorkEnabled(bool enabled);
    void setExportControlsEnabled(bool enabled);
    void finishCollection(const Core::CollectOutcome &outcome);
    void finishExport(const Export::ExportSummary &summary);
    void showFailureReport(const Export::ExportSummary &summary);
    Export::ExportOptions exportOptions() const;
    void openInBrowser(const QString &address);
    QString timeBasedCsvPath() const;

    MainWindowContext m_context;
    Prompter &m_prompter;
    QStringList m_slots;     // the main window's 43 parameter slots
    QStringList m_appTable;  // the application parameter table, 21 slots

    BackgroundTask *m_startupTask = nullptr;
    BackgroundTask *m_listTask = nullptr;
    std::atomic_bool m_listCancelled = false;  // set when the window goes: the list job stops early
    BackgroundTask *m_exportTask = nullptr;
    std::unique_ptr<Export::ExportJob> m_exportJob;
    Export::ExportSummary m_lastSummary;
    QPointer<RulesWindow> m_rulesWindow;
    QPointer<QWidget> m_watermarkWindow;
    QPointer<QWidget> m_failureReport;
    QHash<QObject *, std::function<void()>> m_linkActions;

    QComboBox *m_modeBox = nullptr;
    QLineEdit *m_addressBox = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_importButton = nullptr;
    QListWidget *m_list = nullptr;
    QLabel *m_counter = nullptr;
    QPushButton *m_exportListButton = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QRadioButton *m_tb4Option = nullptr;
    QRadioButton *m_tb5Option = nullptr;
    QRadioButton *m_paipaiOption = nullptr;
    QLineEdit *m_csvPathBox = nullptr;
    QPushButton *m_csvLocationButton = nullptr;
    QPushButton *m_makeCsvButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QCheckBox *m_priceCheck = nullptr;
    QLineEdit *m_pricePercentBox = nullptr;
    QLineEdit *m_priceDecimalsBox = nullptr;
    QCheckBox *m_stockCheck = nullptr;
    QLineEdit *m_stockBox = nullptr;
    QCheckBox *m_taobaoSpaceCheck = nullptr;
    QCheckBox *m_noDescPicturesCheck = nullptr;
    QCheckBox *m_stripLinksCheck = nullptr;
    QCheckBox *m_watermarkCheck = nullptr;
    QPushButton *m_watermarkButton = nullptr;
    QCheckBox *m_rulesCheck = nullptr;
    QPushButton *m_rulesButton = nullptr;
    QLineEdit *m_sellerBox = nullptr;
    QPushButton *m_queryButton = nullptr;
    QPushButton *m_importToCategoryButton = nullptr;
    QLabel *m_progressLabel = nullptr;
    QPushButton *m_exitButton = nullptr;
};

} // namespace App

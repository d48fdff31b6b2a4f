#pragma once

#include "core/config.h"
#include "export/exportjob.h"
#include "market/openplatform.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QLineEdit;

namespace Core {
class HttpClient;
class JobRunner;
} // namespace Core

namespace Market {
struct CollectOutcome;
struct ImportOutcome;
struct SellerLookupResult;
} // namespace Market

namespace Export {
struct StartupResult;
}

namespace Ui {
class MainWindow;
}

namespace Skin {
class FrameChrome;
}

namespace SelfUpdate {
class Launcher;
struct UpdateStartResult;
struct VersionCheckOutcome;
} // namespace SelfUpdate

namespace App {

class FailureReportDialog;
class InlineWarning;
class Prompter;
class RulesWindow;

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
    // Opens an address in the user's browser; false when that failed.
    std::function<bool(const QString &)> openUrl;
    // Makes the watermark settings window; the real one when empty.
    std::function<QWidget *(QWidget *parent)> makeWatermarkWindow;
    std::function<QDateTime()> clock;
    // Starts the update program; nothing is started when null.
    SelfUpdate::Launcher *launcher = nullptr;
    int exportJobs = 6;
    bool runStartup = true;
};

// The main window: the item list and what fills it, the export options and the export run.
// The rules live in the libraries; the window presents them, collects the input, and runs
// each long command as a job on a worker thread.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(MainWindowContext context, QWidget *parent = nullptr);
    ~MainWindow() override;

    QStringList entries() const;
    const QStringList &parameterSlots() const { return m_slots; }
    const QStringList &applicationTable() const { return m_appTable; }
    // True while a collection, an import or an export runs (until its end is shown).
    bool isBusy() const { return m_command != Command::None; }
    // True while a seller lookup runs (until its fields are shown).
    bool isLookingUpSeller() const { return m_lookingUp; }
    // True while the thread of any job, the start-up and the seller lookup included, has not ended.
    bool hasRunningJobs() const;
    RulesWindow *rulesWindow() const;
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
    void lookUpSeller();
    void importToSellerCategories();
    void stop();
    void showRulesWindow();
    void showWatermarkWindow();
    void quit();

signals:
    void startupFinished();
    void collectionFinished();
    void importFinished();
    void exportFinished();
    void sellerLookupFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Command { None, Collect, Import, Export };

    void connectControls();
    void connectLinks();
    void watchInput(QLineEdit *box, InlineWarning *warning, std::function<QString(const QString &)> check);

    void startStartup();
    void startupDone(const Export::StartupResult &result);
    void startVersionCheck(bool manual, bool mainPageRead);
    void versionChecked(const SelfUpdate::VersionCheckOutcome &outcome);
    // "软件升级".
    void upgradeClicked();
    // The question a close asks while a job runs; true when the user agrees to stop it.
    bool askToStopRunningJob();
    void updateStartFinished(const SelfUpdate::UpdateStartResult &result);
    void addEntry(const QString &entry);
    void updateCounter();
    void setListWorkEnabled(bool enabled);
    void setExportControlsEnabled(bool enabled);
    void beginCommand(Command command);
    void endCommand();
    void announce(std::function<void()> show);
    void collectionDone(const Market::CollectOutcome &outcome, bool cancelled);
    void importDone(const Market::ImportOutcome &outcome);
    void exportDone(const Export::ExportSummary &summary);
    void sellerLookupDone(const Market::SellerLookupResult &result);
    void updateSellerButtons();
    void showFailureReport(const Export::ExportSummary &summary);
    Export::ExportOptions exportOptions() const;
    void openInBrowser(const QString &address);
    // The CSV box gets the time-based name in the program folder, free of any import file and
    // picture folder there.
    void useTimeBasedCsvPath();
    // The box still holds that name, and an export has taken it since.
    bool holdsTakenTimeBasedCsvPath() const;

    std::unique_ptr<Ui::MainWindow> m_ui;
    Skin::FrameChrome *m_chrome = nullptr;
    MainWindowContext m_context;
    Prompter &m_prompter;
    QStringList m_slots;    // the main window's parameter slots
    QStringList m_appTable; // the application parameter table

    std::unique_ptr<Core::JobRunner> m_startupJobs;
    std::unique_ptr<Core::JobRunner> m_commandJobs; // collection, import and export: one at a time
    std::unique_ptr<Core::JobRunner> m_sellerJobs;  // the seller lookup, beside any command
    Command m_command = Command::None;
    bool m_closing = false;
    // While the close question is open, what a command's end has to say waits for the answer.
    bool m_asking = false;
    QString m_timeBasedCsvPath; // the last time-based name the box was given
    bool m_exitAgreed = false;  // the user agreed to stopping the running job for an update
    QList<std::function<void()>> m_deferred;

    bool m_lookingUp = false;
    // A lookup has filled the category list since the last export started: the category
    // step may run.
    bool m_sellerCategoriesReady = false;
    QList<Market::SellerCategory> m_sellerCategories; // the category table; list row i is row i

    Export::ExportSummary m_lastSummary;
    QPointer<RulesWindow> m_rulesWindow;
    QPointer<QWidget> m_watermarkWindow;
    QPointer<FailureReportDialog> m_failureReport;
};

} // namespace App

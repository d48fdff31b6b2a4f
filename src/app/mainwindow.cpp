#include "mainwindow.h"

#include "selfupdate/launcher.h"
#include "selfupdate/updatestart.h"
#include "selfupdate/versioncheck.h"
#include "skin/framechrome.h"
#include "ui_mainwindow.h"

#include "failurereportdialog.h"
#include "prompter.h"
#include "ruleswindow.h"
#include "watermarkwindow.h"

#include "core/httpclient.h"
#include "core/inputranges.h"
#include "core/jobrunner.h"
#include "core/logging.h"
#include "core/text.h"
#include "export/pictures.h"
#include "export/startupjob.h"
#include "market/collectjob.h"
#include "market/importjob.h"
#include "market/itemlist.h"
#include "market/parameterslots.h"
#include "market/sellerlookup.h"
#include "skin/windowmovehandle.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QScreen>
#include <QTimer>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace App {

namespace {

// Room for the frame the window manager adds around a side window: borders and a title bar.
constexpr QMargins frameAllowance(8, 32, 8, 8);

// A side window opens over the main window and whole on its screen, wherever the main
// window stands (a 900-pixel window left to the window manager could open half below a
// laptop's 768 lines). move() places the frame's corner.
void placeOver(QWidget *window, const QWidget *over)
{
    QRect rect(QPoint(), window->size().grownBy(frameAllowance));
    rect.moveCenter(over->frameGeometry().center());
    if (const QScreen *screen = over->screen()) {
        const QRect area = screen->availableGeometry();
        rect.moveLeft(qMax(area.left(), qMin(rect.left(), area.right() + 1 - rect.width())));
        rect.moveTop(qMax(area.top(), qMin(rect.top(), area.bottom() + 1 - rect.height())));
    }
    window->move(rect.topLeft());
}

} // namespace

namespace {

// A name typed without an extension gets the dialog's, as Windows save dialogs do.
QString withExtension(const QString &path, const QString &extension)
{
    if (path.trimmed().isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + u'.' + extension;
}

} // namespace

MainWindow::MainWindow(MainWindowContext context, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::MainWindow>()), m_context(std::move(context)),
      m_prompter(m_context.prompter ? *m_context.prompter : Prompter::standard()),
      m_startupJobs(std::make_unique<Core::JobRunner>()), m_commandJobs(std::make_unique<Core::JobRunner>()),
      m_sellerJobs(std::make_unique<Core::JobRunner>())
{
    if (!m_context.openFileName) {
        m_context.openFileName = [](QWidget *p, const QString &caption, const QString &filter) {
            return QFileDialog::getOpenFileName(p, caption, {}, filter);
        };
    }
    if (!m_context.saveFileName) {
        m_context.saveFileName = [](QWidget *p, const QString &caption, const QString &filter) {
            return QFileDialog::getSaveFileName(p, caption, {}, filter);
        };
    }
    if (!m_context.openUrl)
        m_context.openUrl = [](const QString &address) { return QDesktopServices::openUrl(QUrl(address)); };
    if (!m_context.clock)
        m_context.clock = [] { return QDateTime::currentDateTime(); };
    if (!m_context.makeWatermarkWindow) {
        m_context.makeWatermarkWindow = [this](QWidget *parent) -> QWidget * {
            auto *window = new WatermarkWindow(m_context.programDir, m_prompter, parent);
            window->setWindowFlag(Qt::Window);
            return window;
        };
    }

    m_slots = QStringList(Market::MainSlot::count);
    m_slots[Market::MainSlot::gateway] = Market::noticeVersionDesignText.toString();
    m_appTable = QStringList(Market::applicationSlotCount);

    m_ui->setupUi(this);
    // The skinned frame takes its room through the window's margins; the form's own places
    // for it stay empty. Without a skin file the frame is empty and takes no room.
    for (QWidget *slot :
         {m_ui->captionSlot, m_ui->leftBorderSlot, m_ui->rightBorderSlot, m_ui->bottomBorderSlot})
        slot->hide();
    m_chrome = new Skin::FrameChrome(this);
    m_chrome->setPath(Core::programFilePath(m_context.programDir, u"skin.jss"_s));
    connectControls();
    connectLinks();
    updateCounter();

    if (m_context.runStartup && m_context.client) {
        // The window shows first; the start-up fetches follow as soon as the loop runs.
        QTimer::singleShot(0, this, &MainWindow::startStartup);
    }
}

MainWindow::~MainWindow()
{
    m_closing = true;
    // Stopped and joined while everything their jobs report into still stands.
    m_commandJobs.reset();
    m_sellerJobs.reset();
    m_startupJobs.reset();
}

QStringList MainWindow::entries() const
{
    QStringList texts;
    for (int i = 0; i < m_ui->itemList->count(); ++i)
        texts << m_ui->itemList->item(i)->text();
    return texts;
}

RulesWindow *MainWindow::rulesWindow() const
{
    return m_rulesWindow;
}

bool MainWindow::hasRunningJobs() const
{
    return m_startupJobs->isRunning() || m_commandJobs->isRunning() || m_sellerJobs->isRunning();
}

// ---- controls -------------------------------------------------------------------------

void MainWindow::connectControls()
{
    connect(m_ui->modeBox, &QComboBox::activated, this, [this] {
        m_ui->addressBox->setText(
            Market::collectModeHint(Market::collectModeFromText(m_ui->modeBox->currentText())));
    });
    const std::pair<QPushButton *, void (MainWindow::*)()> buttons[] = {
        {m_ui->Command7, &MainWindow::Command7_Click},
        {m_ui->importButton, &MainWindow::importAddresses},
        {m_ui->exportListButton, &MainWindow::exportAddresses},
        {m_ui->deleteButton, &MainWindow::deleteSelected},
        {m_ui->clearButton, &MainWindow::clearList},
        {m_ui->csvLocationButton, &MainWindow::chooseCsvFile},
        {m_ui->makeCsvButton, &MainWindow::makeCsv},
        {m_ui->stopButton, &MainWindow::stop},
        {m_ui->queryButton, &MainWindow::lookUpSeller},
        {m_ui->importToCategoryButton, &MainWindow::importToSellerCategories},
        {m_ui->watermarkButton, &MainWindow::showWatermarkWindow},
        {m_ui->rulesButton, &MainWindow::showRulesWindow},
        {m_ui->exitButton, &MainWindow::quit},
    };
    for (const auto &[button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);

    // The checks run on every change and warn beside the box; the text stays as typed.
    watchInput(m_ui->csvPathBox, m_ui->csvWarning,
               [](const QString &text) { return Export::checkCsvPath(text); });
    const auto inRange = [](const Core::InputRange &range) {
        return [range](const QString &text) { return range.accepts(text) ? QString() : range.message; };
    };
    watchInput(m_ui->pricePercentBox, m_ui->optionsWarning, inRange(Core::pricePercentRange()));
    watchInput(m_ui->priceDecimalsBox, m_ui->optionsWarning, inRange(Core::priceDecimalsRange()));
    watchInput(m_ui->stockBox, m_ui->optionsWarning, inRange(Core::stockValueRange()));
}

void MainWindow::watchInput(QLineEdit *box, InlineWarning *warning,
                            std::function<QString(const QString &)> check)
{
    const auto run = [box, warning, check = std::move(check)](const QString &text) {
        warning->setWarning(box, check(text));
    };
    // Every keystroke, also one that types the text the box already held ("0" over "0"),
    // and every text the program puts there.
    connect(box, &QLineEdit::textEdited, warning, run);
    connect(box, &QLineEdit::textChanged, warning, run);
}

void MainWindow::connectLinks()
{
    const QString home = Core::Config::address(m_context.config.makerPrimary, u"/"_s);
    const auto openHelp = [this] { openInBrowser(m_slots.value(Market::MainSlot::helpAddress)); };
    connect(m_ui->helpLink, &LinkLabel::clicked, this, openHelp);
    connect(m_ui->tutorialLink, &LinkLabel::clicked, this, openHelp);
    connect(m_ui->homeLink, &LinkLabel::clicked, this, [this, home] { openInBrowser(home); });
    // "首页" held and dragged moves the window, as a press on its caption does.
    new Skin::WindowMoveHandle(m_ui->homeLink);
    connect(m_ui->officialSiteLink, &LinkLabel::clicked, this, &MainWindow::showWatermarkWindow);
    m_ui->upgradeLink->setToolTip(QString());
    connect(m_ui->upgradeLink, &LinkLabel::clicked, this, &MainWindow::upgradeClicked);
    m_ui->makerSiteLink->setText(m_context.config.makerPrimary);
    connect(m_ui->makerSiteLink, &LinkLabel::clicked, this, [this, home] { openInBrowser(home); });
    connect(m_ui->contactLink, &LinkLabel::clicked, this, [this] {
        if (Core::trimSpaces(m_slots.value(Market::MainSlot::gateway)) == Market::noticeVersionDesignText)
            return;
        const QString notice = m_slots.value(Market::MainSlot::noticeAddress);
        m_prompter.inform(this, notice);
        openInBrowser(notice);
    });
}

void MainWindow::openInBrowser(const QString &address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty() || !trimmed.contains(u"http://"_s))
        return;
    if (!m_context.openUrl(trimmed))
        qCInfo(lcUi).noquote() << "cannot open" << trimmed << "in the browser";
}

void MainWindow::useTimeBasedCsvPath()
{
    m_timeBasedCsvPath = QDir::toNativeSeparators(Core::programFilePath(
        m_context.programDir, Market::freeTimeBasedCsvName(m_context.programDir, m_context.clock())));
    m_ui->csvPathBox->setText(m_timeBasedCsvPath);
}

bool MainWindow::holdsTakenTimeBasedCsvPath() const
{
    if (m_timeBasedCsvPath.isEmpty() || m_ui->csvPathBox->text() != m_timeBasedCsvPath)
        return false;
    const Export::ExportPaths paths =
        Export::deriveExportPaths(QDir::fromNativeSeparators(m_timeBasedCsvPath), m_context.programDir);
    return QFileInfo::exists(paths.csvFile) || QFileInfo::exists(paths.pictureFolder);
}

// ---- start-up -----------------------------------------------------------------------

void MainWindow::startStartup()
{
    auto *job = new Export::StartupJob(*m_context.client, m_context.config, m_context.programDir, m_slots);
    connect(job, &Export::StartupJob::finished, this, &MainWindow::startupDone);
    m_startupJobs->start(job);
}

void MainWindow::startupDone(const Export::StartupResult &result)
{
    if (result.parametersRead) {
        m_slots = result.parameterSlots;
        m_ui->addressBox->setText(m_slots.value(Market::MainSlot::startAddress));
    }
    if (result.applicationRead)
        m_appTable = result.applicationTable;
    emit startupFinished();
    // The published version is compared only when the main page could be read.
    startVersionCheck(false, result.parametersRead);
}

void MainWindow::upgradeClicked()
{
    // An update ends the program: while a job runs, the user agrees to stopping it before
    // anything else is asked or started. The job goes on until the update program is ready.
    if (isBusy() && !m_exitAgreed) {
        if (!askToStopRunningJob())
            return;
        m_exitAgreed = true;
    }
    startVersionCheck(true, true);
}

bool MainWindow::askToStopRunningJob()
{
    const QString running = m_command == Command::Export    ? u"正在制作CSV数据"_s
                            : m_command == Command::Collect ? u"正在采集网址"_s
                                                            : u"正在导入网址"_s;
    m_asking = true;
    const bool stop = m_prompter.confirm(this, running + u"，确定要停止并退出吗？"_s);
    m_asking = false;
    const QList<std::function<void()>> deferred = std::exchange(m_deferred, {});
    if (!stop) {
        for (const auto &show : deferred)
            show();
    }
    return stop;
}

void MainWindow::startVersionCheck(bool manual, bool mainPageRead)
{
    if (!m_context.client || m_closing)
        return;
    auto *job = new SelfUpdate::VersionCheckJob(*m_context.client, m_context.config, m_context.programDir,
                                                manual ? SelfUpdate::VersionCheckJob::Kind::Manual
                                                       : SelfUpdate::VersionCheckJob::Kind::Startup,
                                                mainPageRead);
    connect(job, &SelfUpdate::VersionCheckJob::finished, this, &MainWindow::versionChecked);
    m_startupJobs->start(job);
}

void MainWindow::versionChecked(const SelfUpdate::VersionCheckOutcome &outcome)
{
    using Step = SelfUpdate::VersionCheckOutcome::Step;
    if (m_closing || outcome.cancelled || outcome.step == Step::Nothing ||
        (outcome.step == Step::Ask && !m_prompter.confirm(this, outcome.question))) {
        m_exitAgreed = false; // no update: the running job stays
        return;
    }
    auto *job = new SelfUpdate::UpdateStartJob(*m_context.client, m_context.config, m_context.programDir);
    connect(job, &SelfUpdate::UpdateStartJob::finished, this, &MainWindow::updateStartFinished);
    m_startupJobs->start(job);
}

void MainWindow::updateStartFinished(const SelfUpdate::UpdateStartResult &result)
{
    if (m_closing || result.cancelled || !result.succeeded()) {
        m_exitAgreed = false;
        if (!m_closing && !result.cancelled) {
            qCInfo(lcUi).noquote() << "update start failed:" << result.reason;
            m_prompter.inform(this, result.message);
        }
        return;
    }
    // The update program replaces this one: the window closes first, asking as any close
    // does while a job runs, and the update program starts only once it has closed.
    if (!close())
        return;
    if (!m_context.launcher || !m_context.launcher->start(result.program))
        qCInfo(lcUi).noquote() << "cannot start the update program" << result.program;
}

// ---- commands -------------------------------------------------------------------------

void MainWindow::beginCommand(Command command)
{
    m_command = command;
    // The focus stays on the list rather than moving to the next box the user could type into.
    m_ui->itemList->setFocus();
    if (command == Command::Export) {
        setExportControlsEnabled(false);
        // The import into the seller's categories waits for the next seller lookup, whatever
        // the run does.
        m_sellerCategoriesReady = false;
        updateSellerButtons();
    } else {
        setListWorkEnabled(false);
    }
    if (command == Command::Collect)
        m_ui->addressBox->setEnabled(false);
    m_ui->stopButton->setEnabled(true);
}

void MainWindow::endCommand()
{
    m_exitAgreed = false; // the job the user agreed to stop has ended
    if (m_command == Command::Export)
        setExportControlsEnabled(true);
    else
        setListWorkEnabled(true);
    m_ui->addressBox->setEnabled(true);
    m_ui->stopButton->setEnabled(false);
    m_command = Command::None;
    updateSellerButtons();
}

void MainWindow::announce(std::function<void()> show)
{
    // A message box opened inside the question's own loop would sit on top of it, and the
    // question could not return before the box is closed.
    if (m_closing)
        return;
    if (m_asking)
        m_deferred.append(std::move(show));
    else
        show();
}

void MainWindow::stop()
{
    if (!isBusy())
        return;
    m_commandJobs->cancel();
    m_ui->stopButton->setEnabled(false);
    m_ui->progressLabel->setText(u"正在停止..."_s);
}

void MainWindow::setListWorkEnabled(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_ui->importButton, m_ui->exportListButton,
                                                       m_ui->Command7, m_ui->deleteButton, m_ui->clearButton,
                                                       m_ui->makeCsvButton, m_ui->csvLocationButton})
        w->setEnabled(enabled);
}

void MainWindow::setExportControlsEnabled(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             m_ui->importButton,     m_ui->exportListButton,  m_ui->rulesButton,  m_ui->exitButton,
             m_ui->watermarkButton,  m_ui->Command7,          m_ui->deleteButton, m_ui->clearButton,
             m_ui->makeCsvButton,    m_ui->csvLocationButton, m_ui->priceCheck,   m_ui->stockCheck,
             m_ui->taobaoSpaceCheck, m_ui->watermarkCheck,    m_ui->rulesCheck,   m_ui->noDescPicturesCheck,
             m_ui->stripLinksCheck,  m_ui->tb4Option,         m_ui->tb5Option,    m_ui->paipaiOption,
             m_ui->pricePercentBox,  m_ui->priceDecimalsBox,  m_ui->stockBox,     m_ui->reusePicturesCheck})
        w->setEnabled(enabled);
}

// ---- the item list --------------------------------------------------------------------

void MainWindow::addEntry(const QString &entry)
{
    m_ui->itemList->addItem(entry);
    updateCounter();
}

void MainWindow::updateCounter()
{
    m_ui->counterLabel->setText(u"宝贝数:"_s + QString::number(m_ui->itemList->count()));
}

void MainWindow::Command7_Click()
{
    if (isBusy())
        return;
    const Market::CollectMode mode = Market::collectModeFromText(m_ui->modeBox->currentText());
    const Market::CollectOutcome check =
        Market::Collector::checkAddress(m_context.config, mode, m_ui->addressBox->text());
    m_ui->addressBox->setText(check.address);
    m_ui->addressBox->setModified(true); // still the user's address, cleaned
    if (!check.message.isEmpty()) {
        m_prompter.inform(this, check.message);
        if (!check.openAddress.isEmpty())
            openInBrowser(check.openAddress);
        m_ui->addressBox->setFocus();
        return;
    }
    beginCommand(Command::Collect);
    auto *job = new Market::CollectJob(*m_context.client, m_context.config, mode, check.address);
    connect(job, &Market::CollectJob::entryFound, this, &MainWindow::addEntry);
    connect(job, &Market::CollectJob::progress, m_ui->progressLabel, &QLabel::setText);
    connect(job, &Market::CollectJob::finished, this, &MainWindow::collectionDone);
    m_commandJobs->start(job);
}

void MainWindow::collectionDone(const Market::CollectOutcome &outcome, bool cancelled)
{
    endCommand();
    if (cancelled) {
        m_ui->progressLabel->setText(u"网址采集已停止，已添加"_s + QString::number(outcome.entries.size()) +
                                     u"个网址"_s);
    } else {
        if (!outcome.message.isEmpty())
            announce([this, message = outcome.message] { m_prompter.inform(this, message); });
        if (outcome.finished) {
            useTimeBasedCsvPath();
            const QString warnings = outcome.warnings();
            if (outcome.entries.isEmpty() && outcome.message.isEmpty()) {
                // A run that found nothing says so: "完成" over an empty list reads as success.
                const QString text = warnings.isEmpty() ? u"没有找到商品"_s : u"没有找到商品，"_s + warnings;
                m_ui->progressLabel->setText(text);
                announce([this, text] { m_prompter.inform(this, text); });
            } else {
                m_ui->progressLabel->setText(warnings.isEmpty() ? u"网址采集完成"_s
                                                                : u"网址采集完成，"_s + warnings);
            }
        }
    }
    emit collectionFinished();
}

void MainWindow::importAddresses()
{
    if (isBusy())
        return;
    const QString path = m_context.openFileName(this, u"导入网址"_s, u"商品网址文件(*.txt)"_s);
    if (path.trimmed().isEmpty())
        return; // the dialog was cancelled
    if (!path.trimmed().contains(u"txt"_s)) {
        m_prompter.inform(this, u"只能导入扩展名为.txt的商品网址文件："_s + QDir::toNativeSeparators(path));
        return;
    }
    beginCommand(Command::Import);
    m_ui->progressLabel->setText(u"正在导入网址..."_s);
    auto *job = new Market::ImportJob(*m_context.client, m_context.config, path);
    connect(job, &Market::ImportJob::entryFound, this, &MainWindow::addEntry);
    connect(job, &Market::ImportJob::progress, m_ui->progressLabel, &QLabel::setText);
    connect(job, &Market::ImportJob::finished, this, &MainWindow::importDone);
    m_commandJobs->start(job);
}

void MainWindow::importDone(const Market::ImportOutcome &outcome)
{
    endCommand();
    m_ui->progressLabel->setText(outcome.text());
    if (outcome.error.isEmpty() && !outcome.cancelled)
        useTimeBasedCsvPath();
    emit importFinished();
}

void MainWindow::exportAddresses()
{
    // An empty list has nothing to export: an empty file would replace a good one.
    if (entries().isEmpty()) {
        m_prompter.inform(this, u"列表中没有网址，没有可导出的内容"_s);
        return;
    }
    const QString path =
        withExtension(m_context.saveFileName(this, u"导出网址"_s, u"商品网址文件(*.txt)"_s), u"txt"_s);
    if (path.trimmed().isEmpty())
        return; // the dialog was cancelled
    if (!path.trimmed().contains(u"txt"_s)) {
        m_prompter.inform(this, u"文件名要‘.txt’为扩展名"_s);
        return;
    }
    QStringList codes;
    for (const QString &entry : entries())
        codes << Market::itemCodeFromEntry(entry);
    QString error;
    if (!Export::writeFileAtomically(path, Market::writeItemAddresses(m_context.config, codes), &error)) {
        qCInfo(lcUi).noquote() << "cannot write the address file" << path << error;
        m_prompter.inform(this, u"无法写入文件 "_s + QDir::toNativeSeparators(path) + u"："_s + error);
        return;
    }
    m_ui->itemList->selectAll();
    m_prompter.inform(this, u"导出"_s + QString::number(codes.size()) + u"条网址完成"_s);
}

void MainWindow::deleteSelected()
{
    for (int i = m_ui->itemList->count() - 1; i >= 0; --i) {
        if (m_ui->itemList->item(i)->isSelected())
            delete m_ui->itemList->takeItem(i);
    }
    updateCounter();
}

void MainWindow::clearList()
{
    m_ui->itemList->clear();
    updateCounter();
}

// ---- the export run ---------------------------------------------------------------------

void MainWindow::chooseCsvFile()
{
    const QString path =
        withExtension(m_context.saveFileName(this, u"CSV文件位置"_s, u"CSV文件(*.csv)"_s), u"csv"_s);
    if (path.trimmed().isEmpty())
        return; // the dialog was cancelled
    if (!path.contains(u"csv"_s, Qt::CaseInsensitive)) {
        m_prompter.inform(this, u"文件名要‘.csv’为扩展名"_s);
        return;
    }
    m_ui->csvPathBox->setText(QDir::toNativeSeparators(path));
}

Export::ExportOptions MainWindow::exportOptions() const
{
    Export::ExportOptions options;
    options.csvPath = QDir::fromNativeSeparators(m_ui->csvPathBox->text());
    options.programDir = m_context.programDir;
    options.type = m_ui->paipaiOption->isChecked() ? Export::OutputType::Paipai
                   : m_ui->tb4Option->isChecked()  ? Export::OutputType::Taobao4
                                                   : Export::OutputType::Taobao5;
    options.useRules = m_ui->rulesCheck->isChecked();
    if (options.useRules)
        options.rules =
            m_rulesWindow ? m_rulesWindow->rules() : Export::loadReplacementRules(m_context.programDir);
    options.useWatermark = m_ui->watermarkCheck->isChecked();
    // An open settings window is what the user sees: its fields win, unsaved edits included.
    if (auto *window = qobject_cast<WatermarkWindow *>(m_watermarkWindow.data())) {
        options.watermarkSettings = window->settings();
        options.watermarkPicture = window->watermarkPicture();
    }
    options.skipDescriptionPictures = m_ui->noDescPicturesCheck->isChecked();
    options.reusePictures = m_ui->reusePicturesCheck->isChecked();
    options.stripLinks = m_ui->stripLinksCheck->isChecked();
    options.sellerName = m_ui->sellerBox->text();
    options.adjustments.adjustPrice = m_ui->priceCheck->isChecked();
    options.adjustments.pricePercent = m_ui->pricePercentBox->text();
    options.adjustments.priceDecimals = m_ui->priceDecimalsBox->text();
    options.adjustments.adjustStock = m_ui->stockCheck->isChecked();
    options.adjustments.stockValue = m_ui->stockBox->text();
    options.parameterSlots = m_slots;
    options.jobs = m_context.exportJobs;
    options.clock = m_context.clock;
    return options;
}

void MainWindow::makeCsv()
{
    if (isBusy())
        return;
    const QString refusal = Export::checkCsvPath(m_ui->csvPathBox->text());
    if (!refusal.isEmpty()) {
        m_prompter.inform(this, refusal);
        m_ui->csvPathBox->setFocus();
        return;
    }
    // An adjustment in use whose box holds a value outside its range would leave the prices
    // or the stock as they were: the box is named and gets the focus.
    const auto refused = [this](bool used, QLineEdit *box, const QString &name,
                                const Core::InputRange &range) {
        if (!used || range.accepts(box->text()))
            return false;
        m_prompter.inform(this, name + u"："_s + range.message);
        box->setFocus();
        return true;
    };
    const bool price = m_ui->priceCheck->isChecked();
    if (refused(price, m_ui->pricePercentBox, u"价格调整"_s, Core::pricePercentRange()) ||
        refused(price, m_ui->priceDecimalsBox, u"保留小数位"_s, Core::priceDecimalsRange()) ||
        refused(m_ui->stockCheck->isChecked(), m_ui->stockBox, u"库存调整"_s, Core::stockValueRange()))
        return;
    const QStringList items = entries();
    if (items.isEmpty()) {
        // An empty file would replace whatever the path names; nothing is written.
        m_prompter.inform(this, u"商品列表是空的，没有可以导出的商品。请先添加或导入网址。"_s);
        return;
    }
    // The name the program chose is never an earlier export's file or picture folder: a second
    // export of the list gets the next free name. A path the user chose is theirs to replace.
    if (holdsTakenTimeBasedCsvPath())
        useTimeBasedCsvPath();
    beginCommand(Command::Export);
    m_ui->progressBar->setRange(0, int(items.size()));
    m_ui->progressBar->setValue(0);
    auto *job = new Export::ExportJob(*m_context.client, m_context.config, exportOptions(), items);
    connect(job, &Export::ExportJob::progress, m_ui->progressLabel, &QLabel::setText);
    connect(job, &Export::ExportJob::itemStarted, this, [this](int index) {
        if (QListWidgetItem *item = m_ui->itemList->item(index))
            m_ui->itemList->setCurrentItem(item);
    });
    connect(job, &Export::ExportJob::itemDone, m_ui->progressBar,
            [this](int index) { m_ui->progressBar->setValue(index + 1); });
    connect(job, &Export::ExportJob::finished, this, &MainWindow::exportDone);
    m_commandJobs->start(job);
}

void MainWindow::exportDone(const Export::ExportSummary &summary)
{
    endCommand();
    m_lastSummary = summary;
    // The focus went elsewhere while the button was disabled; give it back.
    m_ui->makeCsvButton->setFocus();
    if (!summary.started) {
        m_ui->progressLabel->setText(summary.error);
        announce([this, error = summary.error] { m_prompter.inform(this, error); });
        emit exportFinished();
        return;
    }
    m_ui->progressLabel->setText(summary.error.isEmpty() ? summary.text() : summary.error);
    // The bar counts places in the list; the later places of a repeated code are done with
    // its first, so a run that went through the list ends full.
    if (!summary.cancelled && summary.stopReason.isEmpty())
        m_ui->progressBar->setValue(m_ui->progressBar->maximum());
    // Failures that are not the user's own stop: they get the list to read and save.
    const bool problems = summary.recordFailures > 0 || summary.pictureFailures > 0 ||
                          summary.fileFailures > 0 || !summary.notes.isEmpty() ||
                          !summary.stopReason.isEmpty() || (!summary.error.isEmpty() && !summary.cancelled);
    // A clean run says "下载完成" as it always did; anything else says what happened.
    const bool clean = !problems && !summary.cancelled;
    const QString message = !summary.error.isEmpty() ? summary.error : clean ? u"下载完成"_s : summary.text();
    announce([this, message, problems, summary] {
        m_prompter.inform(this, message);
        if (problems)
            showFailureReport(summary);
    });
    emit exportFinished();
}

void MainWindow::showFailureReport(const Export::ExportSummary &summary)
{
    if (m_failureReport)
        m_failureReport->close();
    auto *dialog = new FailureReportDialog(summary.details(), m_prompter, m_context.saveFileName, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_failureReport = dialog;
    dialog->show();
}

// ---- the seller lookup ----------------------------------------------------------------------

void MainWindow::lookUpSeller()
{
    if (m_lookingUp)
        return;
    const QString refusal = Market::checkSellerNick(m_ui->sellerBox->text());
    if (!refusal.isEmpty()) {
        m_prompter.inform(this, refusal);
        m_ui->sellerBox->setFocus();
        return;
    }
    m_lookingUp = true;
    updateSellerButtons();
    const QString nick = Market::rewriteSellerNick(m_ui->sellerBox->text());
    m_ui->sellerBox->setText(nick);
    m_ui->sellerBox->setModified(true); // still the user's nick, rewritten
    // Every field the lookup and its category step fill: nothing of the previous seller stays.
    m_ui->postageBox->clear();
    m_ui->locationBox->clear();
    m_ui->shopCategoryBox->clear();
    m_ui->categoryIdBox->clear();
    m_ui->sellerCategoryList->clear();
    m_sellerCategories.clear();
    auto *job = new Market::SellerLookupJob(*m_context.client, m_context.config, m_slots, nick);
    connect(job, &Market::SellerLookupJob::progress, this,
            [](const QString &problem) { qCInfo(lcUi).noquote() << "seller lookup:" << problem; });
    connect(job, &Market::SellerLookupJob::finished, this, &MainWindow::sellerLookupDone);
    m_sellerJobs->start(job);
}

void MainWindow::sellerLookupDone(const Market::SellerLookupResult &result)
{
    m_ui->postageBox->setText(result.postageShown());
    m_ui->locationBox->setText(result.locationShown());
    m_sellerCategories = result.categories;
    for (const Market::SellerCategory &category : std::as_const(m_sellerCategories))
        m_ui->sellerCategoryList->addItem(category.name);
    m_ui->sellerBox->setText(result.nick);
    m_ui->sellerBox->setModified(true);
    m_lookingUp = false;
    m_sellerCategoriesReady = !m_sellerCategories.isEmpty();
    updateSellerButtons();
    if (!m_closing && !result.cancelled && !result.message.isEmpty())
        m_prompter.inform(this, result.message);
    emit sellerLookupFinished();
}

void MainWindow::importToSellerCategories()
{
    QList<int> rows;
    for (const QModelIndex &index : m_ui->sellerCategoryList->selectionModel()->selectedRows())
        rows << index.row();
    const Market::SellerCategorySelection selection =
        Market::selectSellerCategories(m_sellerCategories, rows);
    m_ui->shopCategoryBox->setText(selection.shopCategories);
    m_ui->categoryIdBox->setText(selection.categoryIds);
}

void MainWindow::updateSellerButtons()
{
    // An export keeps both disabled; a lookup that ends during it leaves them to the export's end.
    const bool idle = !m_lookingUp && m_command != Command::Export;
    m_ui->queryButton->setEnabled(idle);
    m_ui->importToCategoryButton->setEnabled(idle && m_sellerCategoriesReady);
}

// ---- other windows and shut-down ------------------------------------------------------------

void MainWindow::showRulesWindow()
{
    if (!m_rulesWindow) {
        m_rulesWindow = new RulesWindow(m_context.programDir, m_prompter, this);
        // Closing the window drops unsaved edits; the next use reads re.txt again.
        m_rulesWindow->setAttribute(Qt::WA_DeleteOnClose);
        placeOver(m_rulesWindow, this);
    }
    m_rulesWindow->show();
    m_rulesWindow->raise();
}

void MainWindow::showWatermarkWindow()
{
    if (!m_watermarkWindow && m_context.makeWatermarkWindow) {
        m_watermarkWindow = m_context.makeWatermarkWindow(this);
        if (m_watermarkWindow) {
            m_watermarkWindow->setAttribute(Qt::WA_DeleteOnClose);
            placeOver(m_watermarkWindow, this);
        }
    }
    if (m_watermarkWindow) {
        m_watermarkWindow->show();
        m_watermarkWindow->raise();
    }
}

void MainWindow::quit()
{
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Agreed to already when the update started: not asked twice.
    if (isBusy() && !m_closing && !std::exchange(m_exitAgreed, false) && !askToStopRunningJob()) {
        event->ignore();
        return;
    }
    m_closing = true;
    m_commandJobs->cancel();
    m_sellerJobs->cancel();
    m_startupJobs->cancel();
    for (QWidget *w : {static_cast<QWidget *>(m_rulesWindow.data()), m_watermarkWindow.data(),
                       static_cast<QWidget *>(m_failureReport.data())}) {
        if (w)
            w->close();
    }
    event->accept();
}

} // namespace App

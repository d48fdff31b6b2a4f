#include "mainwindow.h"

#include "backgroundtask.h"
#include "prompter.h"
#include "ruleswindow.h"
#include "watermarkwindow.h"
#include "widgets.h"

#include "core/httpclient.h"
#include "core/itemlist.h"
#include "core/parampages.h"
#include "core/text.h"
#include "export/pictures.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace App {

namespace {

const QString exampleAddress = u"http://auction1.paipai.com/0C7D360B00000000040100000CC1B772"_s;
constexpr int parameterSlotCount = 43;
constexpr int applicationSlotCount = 21;

} // namespace

MainWindow::MainWindow(MainWindowContext context, QWidget *parent)
    : QWidget(parent), m_context(std::move(context)),
      m_prompter(m_context.prompter ? *m_context.prompter : Prompter::standard())
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
        m_context.openUrl = [](const QString &address) { QDesktopServices::openUrl(QUrl(address)); };
    if (!m_context.clock)
        m_context.clock = [] { return QDateTime::currentDateTime(); };
    if (!m_context.makeWatermarkWindow) {
        m_context.makeWatermarkWindow = [this](QWidget *parent) -> QWidget * {
            auto *window = new WatermarkWindow(m_context.programDir, m_prompter, parent);
            window->setWindowFlag(Qt::Window);
            return window;
        };
    }

    m_slots = QStringList(parameterSlotCount);
    m_slots[0] = u"bb1.0"_s;
    m_appTable = QStringList(applicationSlotCount);
    m_startupTask = new BackgroundTask(this);
    m_listTask = new BackgroundTask(this);
    m_exportTask = new BackgroundTask(this);

    setObjectName(u"TestOCX_new"_s);
    setWindowTitle(u"Quorvexv3.6"_s);
    buildInterface();
    connectInputChecks();
    updateCounter();

    if (m_context.runStartup && m_context.client) {
        // The window shows first; the start-up fetches follow as soon as the loop runs.
        QTimer::singleShot(0, this, &MainWindow::runStartup);
    }
}

MainWindow::~MainWindow()
{
    m_listCancelled = true;
    if (m_exportJob)
        m_exportJob->cancel();
    m_exportTask->wait();
    m_listTask->wait();
    m_startupTask->wait();
}

QStringList MainWindow::entries() const
{
    QStringList texts;
    for (int i = 0; i < m_list->count(); ++i)
        texts << m_list->item(i)->text();
    return texts;
}

bool MainWindow::isBusy() const
{
    return m_listTask->isRunning() || m_exportTask->isRunning() || m_exportJob;
}

void MainWindow::buildInterface()
{
    // The frame is the system's for now; the chrome row on top will take the skinned
    // caption bar, so the content stays one widget below it.
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *chrome = new QWidget(this);
    chrome->setObjectName(u"chromeSlot"_s);
    chrome->hide();
    outer->addWidget(chrome);
    auto *content = new QWidget(this);
    content->setObjectName(u"content"_s);
    outer->addWidget(content, 1);

    auto *layout = new QGridLayout(content);
    layout->addWidget(buildAddressRow(), 0, 0, 1, 2);
    layout->addWidget(buildListGroup(), 1, 0, 3, 1);
    layout->addWidget(buildExportGroup(), 1, 1);
    layout->addWidget(buildOptionsGroup(), 2, 1);
    layout->addWidget(buildSellerGroup(), 3, 1);

    auto *progressGroup = new QGroupBox(u"导出过程提示"_s, content);
    auto *progressLayout = new QVBoxLayout(progressGroup);
    m_progressLabel = new QLabel(u"导出过程提示"_s, progressGroup);
    m_progressLabel->setObjectName(u"progressLabel"_s);
    m_progressLabel->setWordWrap(true);
    m_progressLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    progressLayout->addWidget(m_progressLabel);
    layout->addWidget(progressGroup, 4, 0, 1, 2);
    layout->addWidget(buildLinks(), 5, 0, 1, 2);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);
    layout->setRowStretch(1, 1);
    resize(980, 680);
}

QWidget *MainWindow::buildAddressRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_modeBox = new QComboBox(row);
    m_modeBox->setObjectName(u"modeBox"_s);
    m_modeBox->addItems({u"单件商品"_s, u"整个店铺"_s, u"商品列表"_s});
    m_addressBox = makeLineEdit(row, exampleAddress, u"addressBox"_s);
    m_addressBox->installEventFilter(this);
    m_addButton = makeButton(row, u"添加网址"_s, u"Command7"_s);
    m_importButton = makeButton(row, u"导入网址"_s, u"importButton"_s);
    layout->addWidget(m_modeBox);
    layout->addWidget(m_addressBox, 1);
    layout->addWidget(m_addButton);
    layout->addWidget(m_importButton);
    layout->addWidget(makeLink(u"帮助"_s, u"helpLink"_s, [this] { openInBrowser(m_slots.value(34)); }));

    connect(m_modeBox, &QComboBox::activated, this, [this] {
        m_addressBox->setText(Core::collectModeHint(Core::collectModeFromText(m_modeBox->currentText())));
    });
    connect(m_addButton, &QPushButton::clicked, this, &MainWindow::Command7_Click);
    connect(m_importButton, &QPushButton::clicked, this, &MainWindow::importAddresses);
    return row;
}

QGroupBox *MainWindow::buildListGroup()
{
    auto *group = new QGroupBox(u"网址ID：商品名"_s, this);
    auto *layout = new QVBoxLayout(group);
    m_list = new QListWidget(group);
    m_list->setObjectName(u"itemList"_s);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setUniformItemSizes(true);
    layout->addWidget(m_list, 1);
    auto *row = new QHBoxLayout;
    m_counter = new QLabel(group);
    m_counter->setObjectName(u"counterLabel"_s);
    m_exportListButton = makeButton(group, u"导出网址"_s, u"exportListButton"_s);
    m_deleteButton = makeButton(group, u"删除"_s, u"deleteButton"_s);
    m_clearButton = makeButton(group, u"清空"_s, u"clearButton"_s);
    row->addWidget(m_counter, 1);
    row->addWidget(m_exportListButton);
    row->addWidget(m_deleteButton);
    row->addWidget(m_clearButton);
    layout->addLayout(row);
    connect(m_exportListButton, &QPushButton::clicked, this, &MainWindow::exportAddresses);
    connect(m_deleteButton, &QPushButton::clicked, this, &MainWindow::deleteSelected);
    connect(m_clearButton, &QPushButton::clicked, this, &MainWindow::clearList);
    return group;
}

QGroupBox *MainWindow::buildExportGroup()
{
    auto *group = new QGroupBox(u"制作数据"_s, this);
    auto *layout = new QGridLayout(group);
    m_tb4Option = new QRadioButton(u"制作淘宝助理4.X数据"_s, group);
    m_tb4Option->setObjectName(u"tb4Option"_s);
    m_tb5Option = new QRadioButton(u"制作淘宝助理5.X或阿里巴巴数据"_s, group);
    m_tb5Option->setObjectName(u"tb5Option"_s);
    m_paipaiOption = new QRadioButton(u"制作拍拍数据"_s, group);
    m_paipaiOption->setObjectName(u"paipaiOption"_s);
    m_tb5Option->setChecked(true);
    auto *types = new QButtonGroup(group);
    types->addButton(m_tb4Option);
    types->addButton(m_tb5Option);
    types->addButton(m_paipaiOption);
    layout->addWidget(m_tb4Option, 0, 0, 1, 3);
    layout->addWidget(m_tb5Option, 1, 0, 1, 3);
    layout->addWidget(m_paipaiOption, 2, 0, 1, 3);
    layout->addWidget(new QLabel(u"CSV文件"_s, group), 3, 0);
    m_csvPathBox = makeLineEdit(group, QString(), u"csvPathBox"_s);
    layout->addWidget(m_csvPathBox, 3, 1);
    m_csvLocationButton = makeButton(group, u"CSV文件位置"_s, u"csvLocationButton"_s);
    layout->addWidget(m_csvLocationButton, 3, 2);
    m_makeCsvButton = makeButton(group, u"制作CSV数据"_s, u"makeCsvButton"_s);
    m_stopButton = makeButton(group, u"停止"_s, u"stopButton"_s);
    m_stopButton->setEnabled(false);
    m_progressBar = new QProgressBar(group);
    m_progressBar->setObjectName(u"progressBar"_s);
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);
    layout->addWidget(m_makeCsvButton, 4, 0);
    layout->addWidget(m_progressBar, 4, 1);
    layout->addWidget(m_stopButton, 4, 2);
    layout->setColumnStretch(1, 1);
    connect(m_csvLocationButton, &QPushButton::clicked, this, &MainWindow::chooseCsvFile);
    connect(m_makeCsvButton, &QPushButton::clicked, this, &MainWindow::makeCsv);
    connect(m_stopButton, &QPushButton::clicked, this, &MainWindow::stopExport);
    return group;
}

QGroupBox *MainWindow::buildOptionsGroup()
{
    auto *group = new QGroupBox(u"参数"_s, this);
    auto *layout = new QGridLayout(group);
    m_priceCheck = makeCheckBox(group, u"价格调整"_s, u"priceCheck"_s);
    m_pricePercentBox = makeLineEdit(group, u"100"_s, u"pricePercentBox"_s, 60);
    m_priceDecimalsBox = makeLineEdit(group, u"0"_s, u"priceDecimalsBox"_s, 40);
    auto *priceRow = new QHBoxLayout;
    priceRow->addWidget(m_priceCheck);
    priceRow->addWidget(m_pricePercentBox);
    priceRow->addWidget(new QLabel(u"%"_s, group));
    priceRow->addSpacing(12);
    priceRow->addWidget(new QLabel(u"保留小数位"_s, group));
    priceRow->addWidget(m_priceDecimalsBox);
    priceRow->addStretch(1);
    layout->addLayout(priceRow, 0, 0, 1, 2);
    m_stockCheck = makeCheckBox(group, u"库存调整,统一为"_s, u"stockCheck"_s);
    m_stockBox = makeLineEdit(group, u"100"_s, u"stockBox"_s, 60);
    auto *stockRow = new QHBoxLayout;
    stockRow->addWidget(m_stockCheck);
    stockRow->addWidget(m_stockBox);
    stockRow->addStretch(1);
    layout->addLayout(stockRow, 1, 0, 1, 2);
    m_taobaoSpaceCheck = makeCheckBox(group, u"只下载淘宝空间图片"_s, u"taobaoSpaceCheck"_s);
    m_noDescPicturesCheck = makeCheckBox(group, u"不下载描述图片"_s, u"noDescPicturesCheck"_s);
    m_stripLinksCheck = makeCheckBox(group, u"去掉原商品广告链接"_s, u"stripLinksCheck"_s);
    layout->addWidget(m_taobaoSpaceCheck, 2, 0);
    layout->addWidget(m_noDescPicturesCheck, 2, 1);
    layout->addWidget(m_stripLinksCheck, 3, 0);
    m_watermarkCheck = makeCheckBox(group, u"使用水印"_s, u"watermarkCheck"_s);
    m_watermarkButton = makeButton(group, u"设置水印"_s, u"watermarkButton"_s);
    m_rulesCheck = makeCheckBox(group, u"使用替换"_s, u"rulesCheck"_s);
    m_rulesButton = makeButton(group, u"设置替换"_s, u"rulesButton"_s);
    auto *toolRow = new QHBoxLayout;
    toolRow->addWidget(m_watermarkCheck);
    toolRow->addWidget(m_watermarkButton);
    toolRow->addSpacing(12);
    toolRow->addWidget(m_rulesCheck);
    toolRow->addWidget(m_rulesButton);
    toolRow->addStretch(1);
    layout->addLayout(toolRow, 4, 0, 1, 2);
    connect(m_watermarkButton, &QPushButton::clicked, this, &MainWindow::showWatermarkWindow);
    connect(m_rulesButton, &QPushButton::clicked, this, &MainWindow::showRulesWindow);
    return group;
}

QGroupBox *MainWindow::buildSellerGroup()
{
    auto *group = new QGroupBox(u"检测自已的店铺"_s, this);
    auto *layout = new QGridLayout(group);
    m_sellerBox = makeLineEdit(group, u"输入掌柜名(淘宝ID)"_s, u"sellerBox"_s);
    m_sellerBox->installEventFilter(this);
    m_queryButton = makeButton(group, u"查 询"_s, u"queryButton"_s);
    // The open-platform lookup of the seller's own shop is not part of this version.
    m_queryButton->setEnabled(false);
    m_queryButton->setToolTip(u"此版本暂不支持店铺查询"_s);
    auto *categories = new QListWidget(group);
    categories->setObjectName(u"sellerCategoryList"_s);
    categories->setMaximumHeight(60);
    m_importToCategoryButton = makeButton(group, u"商品导入到选择的类目"_s, u"importToCategoryButton"_s);
    m_importToCategoryButton->setEnabled(false);
    layout->addWidget(m_sellerBox, 0, 0, 1, 2);
    layout->addWidget(m_queryButton, 0, 2);
    layout->addWidget(new QLabel(u"所在地"_s, group), 1, 0);
    layout->addWidget(new QLabel(u"店铺类目"_s, group), 2, 0);
    layout->addWidget(categories, 2, 1, 1, 2);
    layout->addWidget(new QLabel(u"邮费模板ID"_s, group), 3, 0);
    layout->addWidget(m_importToCategoryButton, 4, 0, 1, 3);
    return group;
}

QLabel *MainWindow::makeLink(const QString &text, const QString &name, std::function<void()> action)
{
    auto *label = new QLabel(u"<a href=\"#\">"_s + text.toHtmlEscaped() + u"</a>"_s, this);
    label->setObjectName(name);
    label->setCursor(Qt::PointingHandCursor);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->installEventFilter(this);
    m_linkActions.insert(label, std::move(action));
    return label;
}

QWidget *MainWindow::buildLinks()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const QString home = Core::Config::address(m_context.config.makerPrimary, u"/"_s);
    layout->addWidget(makeLink(u"首页"_s, u"homeLink"_s, [this, home] { openInBrowser(home); }));
    layout->addWidget(makeLink(u"软件教程"_s, u"tutorialLink"_s, [this] { openInBrowser(m_slots.value(34)); }));
    layout->addWidget(makeLink(u"软件官方网站："_s, u"officialSiteLink"_s, [this] { showWatermarkWindow(); }));
    layout->addWidget(makeLink(m_context.config.makerPrimary, u"makerSiteLink"_s, [this, home] { openInBrowser(home); }));
    auto *upgrade = makeLink(u"软件升级"_s, u"upgradeLink"_s, [] {});
    upgrade->setToolTip(u"此版本暂不支持在线升级"_s);
    layout->addWidget(upgrade);
    layout->addWidget(makeLink(u"联系我们"_s, u"contactLink"_s, [this] {
        if (Core::trimSpaces(m_slots.value(0)) == u"bb1.0"_s)
            return;
        m_prompter.inform(this, m_slots.value(16));
        openInBrowser(m_slots.value(16));
    }));
    layout->addStretch(1);
    m_exitButton = makeButton(row, u"退出软件"_s, u"exitButton"_s);
    layout->addWidget(m_exitButton);
    connect(m_exitButton, &QPushButton::clicked, this, &MainWindow::quit);
    return row;
}

void MainWindow::checkBox(QLineEdit *box, const std::function<bool(const QString &)> &valid, const QString &message)
{
    connect(box, &QLineEdit::textEdited, this, [this, box, valid, message](const QString &text) {
        // The text stays as typed: the check only warns.
        if (!valid(text)) {
            m_prompter.inform(this, message);
            box->setFocus();
        }
    });
}

void MainWindow::connectInputChecks()
{
    checkBox(m_csvPathBox, [](const QString &t) { return Export::checkCsvPath(t).isEmpty(); },
             u"文件名要‘.csv’为扩展名"_s);
    checkBox(m_pricePercentBox, [](const QString &t) { return Core::isNumericWithin(t, 1, 10000); },
             u"请输入1至10000之间的数字"_s);
    checkBox(m_priceDecimalsBox, [](const QString &t) { return Core::isNumericWithin(t, 1, 5); }, u"请输入1至5之间的数字"_s);
    checkBox(m_stockBox, [](const QString &t) { return Core::isNumeric(t); }, u"请输入数字"_s);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && (watched == m_addressBox || watched == m_sellerBox)) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched); edit && edit->isEnabled())
            edit->clear();
    } else if (event->type() == QEvent::MouseButtonRelease && m_linkActions.contains(watched)) {
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            m_linkActions.value(watched)();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::openInBrowser(const QString &address)
{
    const QString trimmed = address.trimmed();
    if (!trimmed.isEmpty() && trimmed.contains(u"http://"_s))
        m_context.openUrl(trimmed);
}

QString MainWindow::timeBasedCsvPath() const
{
    return QDir::toNativeSeparators(
        Core::programFilePath(m_context.programDir, Core::timeBasedCsvName(m_context.clock())));
}

// ---- start-up -----------------------------------------------------------------------

void MainWindow::runStartup()
{
    Core::HttpClient *client = m_context.client;
    const Core::Config config = m_context.config;
    const QString programDir = m_context.programDir;
    const QStringList designSlots = m_slots;
    m_startupTask->start([this, client, config, programDir, designSlots] {
        QStringList slotTexts = designSlots;
        const bool mainRead = Core::loadParamPage(*client, config, Core::ParamPage::Main, slotTexts);
        QStringList appTable(applicationSlotCount);
        bool appRead = false;
        if (mainRead)
            appRead = Core::loadParamPage(*client, config, Core::ParamPage::App, appTable);
        for (const QString &name : {u"sy_pic1.jpg"_s, u"sy_pic2.jpg"_s}) {
            const QString target = Core::programFilePath(programDir, name);
            if (Core::FileExists(target))
                continue;
            QString stored;
            Export::downloadPicture(*client, Core::Config::address(config.makerPrimary, u"/soft/venlo/"_s + name),
                                    target, &stored);
            // The download names the file after its type ("sy_pic1.JPG"); where names are
            // case-sensitive the watermark code would never find it under its own name.
            if (stored != target && stored.compare(target, Qt::CaseInsensitive) == 0)
                QFile::rename(stored, target);
        }
        const QString leftover = Core::programFilePath(programDir, u"bak.exe"_s);
        if (QFile::exists(leftover))
            QFile::remove(leftover);
        QMetaObject::invokeMethod(
            this, [this, slotTexts, mainRead, appTable, appRead] { applyStartup(slotTexts, mainRead, appTable, appRead); },
            Qt::QueuedConnection);
    });
}

void MainWindow::applyStartup(const QStringList &slotTexts, bool mainRead, const QStringList &appTable, bool appRead)
{
    if (mainRead) {
        m_slots = slotTexts;
        m_addressBox->setText(m_slots.value(7));
    }
    if (appRead)
        m_appTable = appTable;
    emit startupFinished();
}

// ---- the item list --------------------------------------------------------------------

void MainWindow::addEntry(const QString &entry)
{
    m_list->addItem(entry);
    updateCounter();
}

void MainWindow::updateCounter()
{
    m_counter->setText(u"宝贝数:"_s + QString::number(m_list->count()));
}

void MainWindow::setListWorkEnabled(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_importButton, m_exportListButton, m_addButton, m_deleteButton,
                                                       m_clearButton, m_makeCsvButton, m_csvLocationButton})
        w->setEnabled(enabled);
}

void MainWindow::Command7_Click()
{
    if (isBusy())
        return;
    const Core::CollectMode mode = Core::collectModeFromText(m_modeBox->currentText());
    const Core::CollectOutcome check = Core::Collector::checkAddress(m_context.config, mode, m_addressBox->text());
    m_addressBox->setText(check.address);
    if (!check.message.isEmpty()) {
        m_prompter.inform(this, check.message);
        if (!check.openAddress.isEmpty())
            openInBrowser(check.openAddress);
        m_addressBox->setFocus();
        return;
    }
    setListWorkEnabled(false);
    m_addressBox->setEnabled(false);
    Core::HttpClient *client = m_context.client;
    const Core::Config config = m_context.config;
    const QString address = check.address;
    m_listTask->start([this, client, config, mode, address] {
        Core::Collector collector(*client, config);
        collector.onEntry = [this](const QString &entry) {
            QMetaObject::invokeMethod(this, [this, entry] { addEntry(entry); }, Qt::QueuedConnection);
        };
        collector.onProgress = [this](const QString &text) {
            QMetaObject::invokeMethod(this, [this, text] { m_progressLabel->setText(text); }, Qt::QueuedConnection);
        };
        const Core::CollectOutcome outcome = collector.run(mode, address, &m_listCancelled);
        QMetaObject::invokeMethod(this, [this, outcome] { finishCollection(outcome); }, Qt::QueuedConnection);
    });
}

void MainWindow::finishCollection(const Core::CollectOutcome &outcome)
{
    m_listTask->wait();
    if (!outcome.message.isEmpty())
        m_prompter.inform(this, outcome.message);
    if (outcome.finished) {
        m_csvPathBox->setText(timeBasedCsvPath());
        m_progressLabel->setText(outcome.warning.isEmpty() ? u"网址采集完成"_s
                                                           : u"网址采集完成，"_s + outcome.warning);
    }
    setListWorkEnabled(true);
    m_addressBox->setEnabled(true);
    emit collectionFinished();
}

void MainWindow::importAddresses()
{
    if (isBusy())
        return;
    const QString path = m_context.openFileName(this, u"导入网址"_s, u"商品网址文件(*.txt)"_s);
    if (!path.trimmed().contains(u"txt"_s))
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QStringList addresses = Core::readItemAddresses(Core::decodeTextFile(file.readAll()));
    setListWorkEnabled(false);
    Core::HttpClient *client = m_context.client;
    const Core::Config config = m_context.config;
    m_listTask->start([this, client, config, addresses] {
        Core::lookUpItemEntries(
            *client, config, addresses,
            [this](const QString &entry) {
                QMetaObject::invokeMethod(this, [this, entry] { addEntry(entry); }, Qt::QueuedConnection);
            },
            &m_listCancelled);
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_listTask->wait();
                m_csvPathBox->setText(timeBasedCsvPath());
                setListWorkEnabled(true);
                emit importFinished();
            },
            Qt::QueuedConnection);
    });
}

void MainWindow::exportAddresses()
{
    const QString path = m_context.saveFileName(this, u"导出网址"_s, u"商品网址文件(*.txt)"_s);
    if (!path.trimmed().contains(u"txt"_s))
        return;
    QStringList codes;
    for (const QString &entry : entries())
        codes << Core::itemCodeFromEntry(entry);
    QString error;
    if (!Export::writeFileAtomically(path, Core::writeItemAddresses(m_context.config, codes), &error)) {
        m_prompter.inform(this, u"无法写入文件 "_s + QDir::toNativeSeparators(path) + u"："_s + error);
        return;
    }
    m_list->selectAll();
    m_prompter.inform(this, u"导出"_s + QString::number(codes.size()) + u"条网址完成"_s);
}

void MainWindow::deleteSelected()
{
    for (int i = m_list->count() - 1; i >= 0; --i) {
        if (m_list->item(i)->isSelected())
            delete m_list->takeItem(i);
    }
    updateCounter();
}

void MainWindow::clearList()
{
    m_list->clear();
    updateCounter();
}

// ---- the export run ---------------------------------------------------------------------

void MainWindow::chooseCsvFile()
{
    const QString path = m_context.saveFileName(this, u"CSV文件位置"_s, u"CSV文件(*.csv)"_s);
    if (path.contains(u"csv"_s, Qt::CaseInsensitive))
        m_csvPathBox->setText(QDir::toNativeSeparators(path));
}

Export::ExportOptions MainWindow::exportOptions() const
{
    Export::ExportOptions options;
    options.csvPath = QDir::fromNativeSeparators(m_csvPathBox->text());
    options.programDir = m_context.programDir;
    options.type = m_paipaiOption->isChecked() ? Export::OutputType::Paipai
        : m_tb4Option->isChecked()             ? Export::OutputType::Taobao4
                                               : Export::OutputType::Taobao5;
    options.useRules = m_rulesCheck->isChecked();
    if (options.useRules)
        options.rules = m_rulesWindow ? m_rulesWindow->rules() : Export::loadReplacementRules(m_context.programDir);
    options.useWatermark = m_watermarkCheck->isChecked();
    // An open settings window is what the user sees: its fields win, unsaved edits included.
    if (auto *window = qobject_cast<WatermarkWindow *>(m_watermarkWindow.data())) {
        options.watermarkSettings = window->settings();
        options.watermarkPicture = window->watermarkPicture();
    }
    options.skipDescriptionPictures = m_noDescPicturesCheck->isChecked();
    options.stripLinks = m_stripLinksCheck->isChecked();
    options.sellerName = m_sellerBox->text();
    options.adjustments.adjustPrice = m_priceCheck->isChecked();
    options.adjustments.pricePercent = m_pricePercentBox->text();
    options.adjustments.priceDecimals = m_priceDecimalsBox->text();
    options.adjustments.adjustStock = m_stockCheck->isChecked();
    options.adjustments.stockValue = m_stockBox->text();
    options.parameterSlots = m_slots;
    options.jobs = m_context.exportJobs;
    return options;
}

void MainWindow::setExportControlsEnabled(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             m_importButton, m_exportListButton, m_rulesButton, m_exitButton, m_watermarkButton, m_addButton,
             m_deleteButton, m_clearButton, m_makeCsvButton, m_csvLocationButton, m_priceCheck, m_stockCheck,
             m_taobaoSpaceCheck, m_watermarkCheck, m_rulesCheck, m_noDescPicturesCheck, m_stripLinksCheck,
             m_tb4Option, m_tb5Option, m_paipaiOption, m_pricePercentBox, m_priceDecimalsBox, m_stockBox})
        w->setEnabled(enabled);
    // The import into the seller's categories waits for a seller lookup, whatever the run did.
    m_importToCategoryButton->setEnabled(false);
    m_stopButton->setEnabled(!enabled);
}

void MainWindow::makeCsv()
{
    if (isBusy())
        return;
    const QString refusal = Export::checkCsvPath(m_csvPathBox->text());
    if (!refusal.isEmpty()) {
        m_prompter.inform(this, refusal);
        m_csvPathBox->setFocus();
        return;
    }
    const QStringList items = entries();
    setExportControlsEnabled(false);
    m_progressBar->setRange(0, std::max<int>(1, int(items.size())));
    m_progressBar->setValue(0);
    m_exportJob = std::make_unique<Export::ExportJob>(*m_context.client, m_context.config, exportOptions(), items);
    Export::ExportJob *job = m_exportJob.get();
    connect(job, &Export::ExportJob::progress, this, [this](const QString &text) { m_progressLabel->setText(text); });
    connect(job, &Export::ExportJob::itemStarted, this, [this](int index) {
        if (QListWidgetItem *item = m_list->item(index))
            m_list->setCurrentItem(item);
    });
    connect(job, &Export::ExportJob::itemDone, this, [this](int index) { m_progressBar->setValue(index + 1); });
    connect(job, &Export::ExportJob::finished, this, &MainWindow::finishExport);
    m_exportTask->start([job] { job->run(); });
}

void MainWindow::stopExport()
{
    if (m_exportJob) {
        m_exportJob->cancel();
        m_stopButton->setEnabled(false);
        m_progressLabel->setText(u"正在停止，当前商品完成后结束..."_s);
    }
}

void MainWindow::finishExport(const Export::ExportSummary &summary)
{
    m_exportTask->wait();
    m_exportJob.reset();
    m_lastSummary = summary;
    setExportControlsEnabled(true);
    // The focus went elsewhere while the button was disabled; give it back.
    m_makeCsvButton->setFocus();
    if (!summary.started) {
        m_progressLabel->setText(summary.error);
        m_prompter.inform(this, summary.error);
        emit exportFinished();
        return;
    }
    m_progressLabel->setText(summary.error.isEmpty() ? summary.text() : summary.error);
    m_prompter.inform(this, u"下载完成"_s);
    if (summary.hasFailures())
        showFailureReport(summary);
    emit exportFinished();
}

void MainWindow::showFailureReport(const Export::ExportSummary &summary)
{
    if (m_failureReport)
        m_failureReport->close();
    auto *dialog = new QDialog(this);
    dialog->setObjectName(u"failureReport"_s);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(u"导出结果"_s);
    auto *layout = new QVBoxLayout(dialog);
    auto *text = new QPlainTextEdit(summary.details(), dialog);
    text->setObjectName(u"failureText"_s);
    text->setReadOnly(true);
    layout->addWidget(text);
    auto *row = new QHBoxLayout;
    auto *saveButton = makeButton(dialog, u"保存..."_s, u"saveReportButton"_s);
    auto *closeButton = makeButton(dialog, u"关闭"_s, u"closeReportButton"_s);
    row->addStretch(1);
    row->addWidget(saveButton);
    row->addWidget(closeButton);
    layout->addLayout(row);
    const QString details = summary.details();
    connect(saveButton, &QPushButton::clicked, dialog, [this, dialog, details] {
        const QString path = m_context.saveFileName(dialog, u"保存导出结果"_s, u"文本文件(*.txt)"_s);
        if (path.isEmpty())
            return;
        QString error;
        if (!Export::writeFileAtomically(path, details.toUtf8(), &error))
            m_prompter.inform(dialog, u"无法写入文件 "_s + QDir::toNativeSeparators(path) + u"："_s + error);
    });
    connect(closeButton, &QPushButton::clicked, dialog, &QDialog::close);
    dialog->resize(560, 360);
    m_failureReport = dialog;
    dialog->show();
}

// ---- other windows and shut-down ------------------------------------------------------------

void MainWindow::showRulesWindow()
{
    if (!m_rulesWindow) {
        m_rulesWindow = new RulesWindow(m_context.programDir, m_prompter, this);
        // Closing the window drops unsaved edits; the next use reads re.txt again.
        m_rulesWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_rulesWindow->show();
    m_rulesWindow->raise();
}

void MainWindow::showWatermarkWindow()
{
    if (!m_watermarkWindow && m_context.makeWatermarkWindow) {
        m_watermarkWindow = m_context.makeWatermarkWindow(this);
        if (m_watermarkWindow)
            m_watermarkWindow->setAttribute(Qt::WA_DeleteOnClose);
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
    m_listCancelled = true;
    if (m_exportJob)
        m_exportJob->cancel();
    for (QWidget *w : {static_cast<QWidget *>(m_rulesWindow.data()), m_watermarkWindow.data(), m_failureReport.data()}) {
        if (w)
            w->close();
    }
    event->accept();
}

} // namespace App

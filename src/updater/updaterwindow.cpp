#include "updaterwindow.h"

#include "notifier.h"
#include "ui_updaterwindow.h"

#include "core/jobrunner.h"
#include "core/text.h"
#include "selfupdate/launcher.h"
#include "selfupdate/programfiles.h"
#include "selfupdate/updatelogging.h"

#include <QCloseEvent>

using namespace Qt::Literals::StringLiterals;

namespace Updater {

namespace {

const QString doneCaption = u"升级成功，重新启动软件"_s;

} // namespace

UpdaterWindow::UpdaterWindow(const Core::HttpClient &client, Core::Config config, QString programDir,
                             SelfUpdate::Launcher &launcher, Notifier &notifier, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::UpdaterWindow>()), m_client(client),
      m_config(std::move(config)), m_programDir(std::move(programDir)), m_launcher(launcher),
      m_notifier(notifier), m_jobs(new Core::JobRunner(this))
{
    m_ui->setupUi(this);
    // The frame keeps its place while hidden, so the window does not jump when it shows.
    QSizePolicy framePolicy = m_ui->Frame1->sizePolicy();
    framePolicy.setRetainSizeWhenHidden(true);
    m_ui->Frame1->setSizePolicy(framePolicy);
    m_ui->Frame1->hide();
    connect(m_ui->Command1, &QPushButton::clicked, this, &UpdaterWindow::buttonClicked);
    connect(m_jobs, &Core::JobRunner::idle, this, &UpdaterWindow::showOutcome);
}

UpdaterWindow::~UpdaterWindow()
{
    // Stops and joins a download still running before the members it reports to go.
    delete m_jobs;
}

void UpdaterWindow::closeEvent(QCloseEvent *event)
{
    // Stops the download at once; the runner joins the job when the window goes.
    m_jobs->cancel();
    event->accept();
}

void UpdaterWindow::buttonClicked()
{
    m_ui->Command1->setEnabled(false);
    if (m_ui->Command1->text().contains(u"升级成功")) {
        // Whether or not the start succeeds, the update program has done its part.
        m_launcher.start(
            Core::programFilePath(m_programDir, SelfUpdate::programFileName(SelfUpdate::ProgramFile::Main)));
        close();
        return;
    }
    m_ui->Frame1->show();
    startUpdate();
}

void UpdaterWindow::startUpdate()
{
    m_outcome = {};
    m_outcome.result = UpdateOutcome::Result::Cancelled;
    auto *job = new UpdateJob(m_client, m_config, m_programDir);
    connect(job, &UpdateJob::progress, this, [](const QString &step) { qCInfo(lcUpdate).noquote() << step; });
    connect(job, &UpdateJob::finished, this, [this](const UpdateOutcome &outcome) { m_outcome = outcome; });
    m_jobs->start(job);
}

// Runs once the job is gone, so a click that follows always finds the runner free.
void UpdaterWindow::showOutcome()
{
    switch (m_outcome.result) {
    case UpdateOutcome::Result::DownloadFailed:
        m_notifier.inform(this, u"下载失败"_s);
        break;
    case UpdateOutcome::Result::Updated:
        m_ui->Command1->setText(doneCaption);
        break;
    case UpdateOutcome::Result::ReplaceFailed: // no message: the caption stays, so the user can try again
    case UpdateOutcome::Result::Cancelled:
        break;
    }
    m_ui->Command1->setEnabled(true);
    m_ui->Frame1->hide();
    emit updateFinished(m_outcome);
}

} // namespace Updater

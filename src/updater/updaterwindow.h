#pragma once

#include "updatejob.h"

#include "core/config.h"
#include "core/httpclient.h"

#include <QWidget>

#include <memory>

namespace Core {
class JobRunner;
}

namespace SelfUpdate {
class Launcher;
}

namespace Ui {
class UpdaterWindow;
}

namespace Updater {

class Notifier;

// The window of the update program, "软件升级": one button that does everything. Its
// caption is the only state: "软件升级" runs the update (the download on a worker
// thread, the progress frame shown meanwhile); after a success it reads
// "升级成功，重新启动软件", and the next click starts the main program and closes the
// window.
class UpdaterWindow : public QWidget
{
    Q_OBJECT

public:
    UpdaterWindow(const Core::HttpClient &client, Core::Config config, QString programDir,
                  SelfUpdate::Launcher &launcher, Notifier &notifier, QWidget *parent = nullptr);
    ~UpdaterWindow() override;

signals:
    // An update run has ended and the window shows its result.
    void updateFinished(const Updater::UpdateOutcome &outcome);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buttonClicked();
    void startUpdate();
    void showOutcome();

    std::unique_ptr<Ui::UpdaterWindow> m_ui;
    Core::HttpClient m_client;
    const Core::Config m_config;
    const QString m_programDir;
    SelfUpdate::Launcher &m_launcher;
    Notifier &m_notifier;
    Core::JobRunner *m_jobs;
    UpdateOutcome m_outcome;
};

} // namespace Updater

#include "backgroundtask.h"

#include <QThread>

namespace App {

BackgroundTask::BackgroundTask(QObject *parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask()
{
    wait();
}

bool BackgroundTask::start(std::function<void()> work)
{
    if (isRunning())
        return false;
    if (m_thread)
        m_thread->deleteLater();
    m_thread = QThread::create(std::move(work));
    connect(m_thread, &QThread::finished, this, &BackgroundTask::finished, Qt::QueuedConnection);
    m_thread->start();
    return true;
}

bool BackgroundTask::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void BackgroundTask::wait()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
}

} // namespace App

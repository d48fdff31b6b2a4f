#include "jobholder.h"

#include <QThread>

namespace Updater {

JobHolder::JobHolder(QObject *parent) : QObject(parent) {}

JobHolder::~JobHolder()
{
    if (!m_thread)
        return;
    cancel();
    // The thread's loop ends on its own once run() returns; quitting it from here would
    // also end the local loop of a request in flight.
    m_thread->wait();
    delete m_job;
    delete m_thread;
}

bool JobHolder::launch(QObject *job, std::function<void()> run, std::function<void()> cancel)
{
    if (m_thread) {
        delete job;
        return false;
    }
    m_thread = new QThread;
    m_job = job;
    m_cancel = std::move(cancel);
    job->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, this, &JobHolder::ended);
    m_thread->start();
    QMetaObject::invokeMethod(
        job,
        [run = std::move(run)] {
            run();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    return true;
}

void JobHolder::cancel()
{
    if (m_cancel)
        m_cancel();
}

void JobHolder::ended()
{
    // Here, on the holder's thread, so that cancel() never meets a job being deleted.
    delete m_job;
    m_job = nullptr;
    m_cancel = nullptr;
    m_thread->deleteLater();
    m_thread = nullptr;
    emit idle();
}

} // namespace Updater

#include "jobrunner.h"

#include <QThread>

namespace Core {

JobRunner::JobRunner(QObject *parent) : QObject(parent) {}

JobRunner::~JobRunner()
{
    cancel();
    // The thread's loop ends on its own once run() returns; quitting it here would also
    // end the local loops of a request in flight.
    for (const Running &running : std::as_const(m_running)) {
        running.thread->wait();
        delete running.job;
        delete running.thread;
    }
}

void JobRunner::launch(QObject *job, std::function<void()> run, std::function<void()> cancel)
{
    auto *thread = new QThread;
    job->moveToThread(thread);
    m_running.append({thread, job, std::move(cancel)});
    connect(thread, &QThread::finished, this, [this, thread] { ended(thread); });
    thread->start();
    // Queued into the job's thread: run() starts once that thread's event loop runs, and
    // the loop ends with it.
    QMetaObject::invokeMethod(
        job,
        [run = std::move(run)] {
            run();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
}

void JobRunner::cancel()
{
    for (const Running &running : std::as_const(m_running))
        running.cancel();
}

void JobRunner::ended(QThread *thread)
{
    for (qsizetype i = 0; i < m_running.size(); ++i) {
        if (m_running.at(i).thread != thread)
            continue;
        const Running running = m_running.takeAt(i);
        // Here, on the runner's thread, so that cancel() never meets a job being deleted.
        delete running.job;
        running.thread->deleteLater();
        break;
    }
    if (m_running.isEmpty())
        emit idle();
}

} // namespace Core

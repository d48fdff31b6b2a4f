#include "core/jobrunner.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace Qt::Literals::StringLiterals;

namespace {

// A job that works until it is released or cancelled, as a request that hangs would.
class FakeJob : public QObject
{
    Q_OBJECT

public:
    explicit FakeJob(std::atomic<QThread *> *ranOn = nullptr) : m_ranOn(ranOn) {}

    void run()
    {
        if (m_ranOn)
            *m_ranOn = QThread::currentThread();
        while (!m_cancelled && !released)
            QThread::msleep(2);
        emit finished(m_cancelled);
    }
    void cancel() { m_cancelled = true; }

    std::atomic_bool released = false;

signals:
    void finished(bool cancelled);

private:
    std::atomic<QThread *> *m_ranOn;
    std::atomic_bool m_cancelled = false;
};

} // namespace

class TestJobRunner : public QObject
{
    Q_OBJECT

private slots:
    void runsOnItsOwnThreadAndReportsQueued();
    void cancelReachesTheJob();
    void destructorStopsAndJoins();
    void jobsMayOverlapWhileOneWindsDown();
};

void TestJobRunner::runsOnItsOwnThreadAndReportsQueued()
{
    Core::JobRunner runner;
    std::atomic<QThread *> ranOn = nullptr;
    auto *job = new FakeJob(&ranOn);
    QPointer<FakeJob> watched(job);
    QThread *reportedOn = nullptr;
    bool cancelled = true;
    connect(job, &FakeJob::finished, this, [&](bool wasCancelled) {
        reportedOn = QThread::currentThread();
        cancelled = wasCancelled;
    });
    QSignalSpy idle(&runner, &Core::JobRunner::idle);
    runner.start(job);
    QVERIFY(runner.isRunning());
    job->released = true;
    QVERIFY(idle.wait(5000));
    QVERIFY(ranOn != nullptr && ranOn != QThread::currentThread());
    QCOMPARE(reportedOn, QThread::currentThread());
    QVERIFY(!cancelled);
    QVERIFY(!runner.isRunning());
    QVERIFY(!watched); // the runner deleted it once its thread ended
}

void TestJobRunner::cancelReachesTheJob()
{
    Core::JobRunner runner;
    auto *job = new FakeJob;
    QSignalSpy finished(job, &FakeJob::finished);
    QSignalSpy idle(&runner, &Core::JobRunner::idle);
    runner.start(job);
    QTest::qWait(50);
    QVERIFY(runner.isRunning());
    runner.cancel();
    QVERIFY(idle.wait(5000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
}

void TestJobRunner::destructorStopsAndJoins()
{
    auto *runner = new Core::JobRunner;
    std::atomic<QThread *> ranOn = nullptr;
    auto *job = new FakeJob(&ranOn);
    QPointer<FakeJob> watched(job);
    runner->start(job);
    QTRY_VERIFY(ranOn != nullptr);
    QElapsedTimer timer;
    timer.start();
    delete runner; // cancels, waits for the thread and deletes the job
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(!watched);
}

void TestJobRunner::jobsMayOverlapWhileOneWindsDown()
{
    Core::JobRunner runner;
    auto *first = new FakeJob;
    auto *second = new FakeJob;
    QSignalSpy idle(&runner, &Core::JobRunner::idle);
    runner.start(first);
    runner.start(second);
    first->released = true;
    QTest::qWait(100);
    QVERIFY(runner.isRunning());
    QCOMPARE(idle.size(), 0);
    second->released = true;
    QVERIFY(idle.wait(5000));
    QCOMPARE(idle.size(), 1);
}

QTEST_MAIN(TestJobRunner)
#include "tst_jobrunner.moc"

#include "window/periodic_timer.h"

#include <QSignalSpy>
#include <QTest>

using alarmcfg::PeriodicTimer;

class TestPeriodicTimer : public QObject {
    Q_OBJECT

private slots:
    void ticksOnlyWhenEnabledWithPeriod_data();
    void ticksOnlyWhenEnabledWithPeriod();
    void disablingStopsAndEnablingResumes();
    void periodBackToZeroStops();
};

void TestPeriodicTimer::ticksOnlyWhenEnabledWithPeriod_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("ticks");
    QTest::newRow("enabled without period") << true << 0 << false;
    QTest::newRow("enabled, negative period") << true << -5 << false;
    QTest::newRow("disabled with period") << false << 10 << false;
    QTest::newRow("enabled with period") << true << 10 << true;
}

void TestPeriodicTimer::ticksOnlyWhenEnabledWithPeriod()
{
    QFETCH(bool, enabled);
    QFETCH(int, interval);
    QFETCH(bool, ticks);
    PeriodicTimer timer;
    QSignalSpy spy(&timer, &PeriodicTimer::tick);
    timer.setEnabled(enabled);
    timer.setInterval(interval);
    QCOMPARE(timer.isTicking(), ticks);
    QTest::qWait(60);
    QCOMPARE(spy.count() > 0, ticks);
}

void TestPeriodicTimer::disablingStopsAndEnablingResumes()
{
    PeriodicTimer timer;
    QSignalSpy spy(&timer, &PeriodicTimer::tick);
    timer.setInterval(10);
    QVERIFY(spy.wait(1000));
    timer.setEnabled(false);
    QVERIFY(!timer.isTicking());
    const int before = spy.count();
    QTest::qWait(50);
    QCOMPARE(spy.count(), before);
    QCOMPARE(timer.interval(), 10);
    timer.setEnabled(true);
    QVERIFY(spy.wait(1000));
}

void TestPeriodicTimer::periodBackToZeroStops()
{
    PeriodicTimer timer;
    timer.setInterval(10);
    timer.setInterval(0);
    QVERIFY(timer.isEnabled());
    QVERIFY(!timer.isTicking());
}

QTEST_MAIN(TestPeriodicTimer)
#include "tst_periodic_timer.moc"

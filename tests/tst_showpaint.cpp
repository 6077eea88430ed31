#include "screens/shared/showpaint.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QtTest>

namespace {
class CountingLabel : public QLabel
{
public:
    using QLabel::QLabel;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        QLabel::paintEvent(event);
    }
};

// Lets the platform's queued exposes and Qt's posted repaints run out.
void settle()
{
    for (int round = 0; round < 5; ++round)
        QCoreApplication::processEvents();
}
} // namespace

// On a framebuffer platform (the test runs on vnc), a screen and every child shown with it paint once
// per show, and what changes on it afterwards still paints.
class TestShowPaint : public QObject
{
    Q_OBJECT

private slots:
    void screenPaintsOncePerShow();
};

void TestShowPaint::screenPaintsOncePerShow()
{
    QWidget screen;
    screen.setGeometry(QGuiApplication::primaryScreen()->geometry());
    auto *label = new CountingLabel(QStringLiteral("before"), &screen);
    paintOncePerShow(&screen);

    for (int show = 1; show <= 2; ++show) {
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        settle();
        QCOMPARE(label->paints, show);
        screen.hide();
        settle();
    }

    screen.show();
    settle();
    label->setText(QStringLiteral("after"));
    QTRY_COMPARE(label->paints, 4);
}

QTEST_MAIN(TestShowPaint)
#include "tst_showpaint.moc"

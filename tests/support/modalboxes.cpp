#include "modalboxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

ModalBoxCloser::ModalBoxCloser(QObject *parent)
    : QObject(parent)
{
    connect(&timer, &QTimer::timeout, this, &ModalBoxCloser::closeActiveBox);
    timer.start(10);
}

void ModalBoxCloser::closeActiveBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    boxes.append(box->windowTitle() + QLatin1Char('|') + box->text() + QLatin1Char('|')
                 + QString::number(box->buttons().size()));
    if (QAbstractButton *ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}

bool ModalBoxCloser::waitFor(int count)
{
    return QTest::qWaitFor([this, count] { return boxes.size() >= count; });
}

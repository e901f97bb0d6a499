#pragma once

#include "dialogs/colordialog.h"
#include "dialogs/filedialog.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

// Answers the modal dialogs that a call under test opens, in order, each once.
// A modal widget that no step expects is rejected and counted, so a test fails
// instead of hanging. Steps must not run modal loops themselves.
class ModalScript final
{
public:
    using Step = std::function<void(QWidget *)>;

    explicit ModalScript(QList<Step> steps = {})
        : steps(std::move(steps))
    {
        seen.append(QApplication::activeModalWidget()); // already up: not ours to answer
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { poll(); });
        timer.start(0);
    }

    int unexpectedCount() const { return unexpected; }

private:
    void poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || seen.contains(w))
            return;
        seen.append(w);
        if (!steps.isEmpty())
            return steps.takeFirst()(w);
        ++unexpected;
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
        else
            w->close();
    }

    QList<Step> steps;
    QTimer timer;
    QList<QPointer<QWidget>> seen; // dead ones turn null: a new dialog at a reused address counts
    int unexpected = 0;
};

// The colour dialog: notes the colour it starts from in `seeds` (if given), then mixes `c` and
// presses OK, or cancels.
inline ModalScript::Step mixColor(const QColor &c, bool ok = true, QList<QColor> *seeds = nullptr)
{
    return [=](QWidget *w) {
        auto *cd = qobject_cast<ColorDialog *>(w);
        QVERIFY(cd);
        if (seeds)
            *seeds << cd->getColor();
        cd->start_color(c);
        ok ? cd->okButton->click() : cd->reject();
    };
}

// The file dialog: `path` in the path line, then OK.
inline ModalScript::Step choosePath(const QString &path)
{
    return [path](QWidget *w) {
        auto *fd = qobject_cast<FileDialog *>(w);
        QVERIFY(fd);
        fd->fileNameLine->setText(path);
        fd->okButton->click();
    };
}

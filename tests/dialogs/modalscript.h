#pragma once

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the modal dialogs that a call under test opens, in order: each modal
// widget that becomes visible after the script was made is handed to the next
// step, once. A modal widget that no step expects is rejected and counted, so
// a test fails instead of hanging. Steps must not run modal loops themselves.
class ModalScript final
{
public:
    using Step = std::function<void(QWidget *)>;

    explicit ModalScript(QList<Step> steps = {})
        : steps(std::move(steps))
    {
        if (QWidget *w = QApplication::activeModalWidget())
            seen.append(w);
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { poll(); });
        timer.start();
    }

    int remainingSteps() const { return int(steps.size()); }
    int unexpectedCount() const { return unexpected; }

private:
    void poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || seen.contains(w))
            return;
        seen.append(w);
        if (steps.isEmpty()) {
            ++unexpected;
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
            else
                w->close();
            return;
        }
        steps.takeFirst()(w);
    }

    QList<Step> steps;
    QTimer timer;
    QList<QPointer<QWidget>>
        seen; // dead ones turn null, so a new dialog at a reused address counts
    int unexpected = 0;
};

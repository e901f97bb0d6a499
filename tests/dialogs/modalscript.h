#pragma once

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
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

#pragma once

// Shared by the fuzz targets that run Qt code offscreen.

#include <QApplication>
#include <QString>
#include <QtGlobal>

#include <cstdlib>

// A broken invariant is a finding: stop so that libFuzzer saves the input.
inline void check(bool ok)
{
    if (!ok)
        std::abort();
}

// Preparation writes two debug lines per reference and Qt warns now and then;
// they would drown the fuzzer's own output and slow it down. Fatal messages
// still end the run.
inline void quiet(QtMsgType type, const QMessageLogContext &, const QString &)
{
    if (type == QtFatalMsg)
        std::abort();
}

// The one application object of a fuzz run, on the offscreen platform.
inline void startOffscreenApplication(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quiet);
    static QApplication app(*argc, *argv);
}

#include "dialogs/filedialog.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

QStringList rows(const FileDialog &fd)
{
    QStringList texts;
    for (int i = 0; i < fd.fileView->topLevelItemCount(); ++i)
        texts << fd.fileView->topLevelItem(i)->text(0);
    return texts;
}

void tap(FileDialog &fd, const QString &text)
{
    QTreeWidgetItem *item = fd.fileView->findItems(text, Qt::MatchExactly).value(0);
    QVERIFY2(item, qPrintable(text));
    emit fd.fileView->itemClicked(item, 0);
}

} // namespace

// Every test gets a home of its own (the dialog reads HOME whenever it needs
// it) and a working directory of its own.
class tst_FileDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        work = std::make_unique<QTemporaryDir>();
        tavlo = home->path() + QStringLiteral("/Documents/tavlo");
        qputenv("HOME", home->path().toLocal8Bit());
        QDir::setCurrent(work->path());
    }

    void cleanup() { QDir::setCurrent(oldCwd); }

    void listsAndNavigates()
    {
        for (const char *folder : {"/b", "/A", "/.cache"})
            QVERIFY(QDir().mkpath(tavlo + QLatin1String(folder)));
        for (const char *file : {"/z.txt", "/B.txt", "/.hidden"})
            QVERIFY(QFile(tavlo + QLatin1String(file)).open(QIODevice::WriteOnly));
        FileDialog fd(nullptr, "FileDialog", true, {}, QStringLiteral("*"));
        QCOMPARE(rows(fd), (QStringList{"/.", "/..", "/A", "/b", "B.txt", "z.txt"}));
        QCOMPARE(fd.getFileName(), tavlo + QLatin1Char('/'));
        fd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fd));
        QCOMPARE(fd.fileView->columnWidth(0), 190); // not stretched to the list's width

        tap(fd, QStringLiteral("z.txt"));
        QCOMPARE(fd.getFileName(), tavlo + QStringLiteral("/z.txt"));
        QCOMPARE(fd.fileNameLine->text(), fd.getFileName());
        tap(fd, QStringLiteral("/."));
        QCOMPARE(fd.getFileName(), tavlo + QLatin1Char('/'));
        tap(fd, QStringLiteral("/.."));
        QCOMPARE(fd.getFileName(), home->path() + QStringLiteral("/Documents/"));
        tap(fd, QStringLiteral("/tavlo"));
        tap(fd, QStringLiteral("/A"));
        QCOMPARE(fd.getFileName(), tavlo + QStringLiteral("/A/"));
        QCOMPARE(rows(fd), (QStringList{"/.", "/.."}));
    }

    void folderButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("before"); // made under the root; "-": nothing
        QTest::addColumn<QString>("listed"); // "-" unchanged; "CWD" the working directory
        const QString nothing = QStringLiteral("-"), cwd = QStringLiteral("CWD");
        const QString folder = QStringLiteral("/Documents/tavlo");
        QTest::newRow("ramNoDocumentsShowsWorkingDir") << "ramButton" << QString() << cwd;
        QTest::newRow("ramDocumentsGetsTavloFolder")
            << "ramButton" << QStringLiteral("/Documents") << folder;
        QTest::newRow("cfNotMounted") << "cfButton" << nothing << nothing;
        QTest::newRow("cfEmptyCardGetsBothFolders") << "cfButton" << QString() << folder;
        QTest::newRow("sdFoldersThere") << "sdButton" << folder << folder;
    }

    // The root is the home for the internal memory, else the card's mount point.
    void folderButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, before);
        QFETCH(QString, listed);
        const QString card = work->path() + QStringLiteral("/card");
        const QString root = button == QLatin1String("ramButton") ? home->path() : card;
        if (before != QLatin1String("-"))
            QVERIFY(QDir().mkpath(root + before));
        FileDialog fd;
        const QString none = QStringLiteral("/nonexistent-mount");
        fd.setCardMountPoints(button == QLatin1String("cfButton") ? card : none,
                              button == QLatin1String("sdButton") ? card : none);
        const QString unchanged = fd.getFileName();
        fd.findChild<QPushButton *>(button)->click();

        const QString folder = root + QStringLiteral("/Documents/tavlo");
        QCOMPARE(fd.getFileName(), listed == QLatin1String("-")     ? unchanged
                                   : listed == QLatin1String("CWD") ? QDir::currentPath() + '/'
                                                                    : root + listed + '/');
        // Nothing is made where no card is mounted, nor "Documents" in a home.
        QCOMPARE(QFileInfo(folder).isDir(), listed == QLatin1String("/Documents/tavlo"));
        QCOMPARE(QFileInfo::exists(root), before != QLatin1String("-"));
    }

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<QTemporaryDir> work;
    QString tavlo; // home + "/Documents/tavlo"
    const QString oldCwd = QDir::currentPath();
};

QTEST_MAIN(tst_FileDialog)
#include "tst_filedialog.moc"

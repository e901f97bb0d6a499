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

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

} // namespace

// Every test gets a home of its own (the dialog reads HOME whenever it needs
// it) and a working directory of its own.
class tst_FileDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void ramFolder_data();
    void ramFolder();
    void listsAndNavigates();
    void cardButtons_data();
    void cardButtons();

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<QTemporaryDir> work;
    QString tavlo; // home + "/Documents/tavlo"
    QString oldCwd;
};

void tst_FileDialog::init()
{
    home = std::make_unique<QTemporaryDir>();
    work = std::make_unique<QTemporaryDir>();
    tavlo = home->path() + QStringLiteral("/Documents/tavlo");
    oldCwd = QDir::currentPath();
    qputenv("HOME", home->path().toLocal8Bit());
    QDir::setCurrent(work->path());
}

void tst_FileDialog::cleanup()
{
    QDir::setCurrent(oldCwd);
}

void tst_FileDialog::ramFolder_data()
{
    QTest::addColumn<bool>("documents");
    QTest::newRow("noDocumentsShowsWorkingDir") << false;
    QTest::newRow("documentsGetsTavloFolder") << true;
}

void tst_FileDialog::ramFolder()
{
    QFETCH(bool, documents);
    if (documents)
        QVERIFY(QDir(home->path()).mkdir(QStringLiteral("Documents")));
    FileDialog fd;
    fd.ramButton->click();
    const QString listed = documents ? tavlo : QDir::currentPath();
    QCOMPARE(fd.fileNameLine->text(), listed + QLatin1Char('/'));
    QCOMPARE(QFileInfo(tavlo).isDir(), documents); // "Documents" itself is never made
}

void tst_FileDialog::listsAndNavigates()
{
    QVERIFY(QDir().mkpath(tavlo + QStringLiteral("/b")));
    QVERIFY(QDir().mkpath(tavlo + QStringLiteral("/A")));
    QVERIFY(QDir().mkpath(tavlo + QStringLiteral("/.cache")));
    touch(tavlo + QStringLiteral("/z.txt"));
    touch(tavlo + QStringLiteral("/B.txt"));
    touch(tavlo + QStringLiteral("/.hidden"));
    FileDialog fd(nullptr, "FileDialog", true, {}, QStringLiteral("*"));
    QCOMPARE(rows(fd), (QStringList{"/.", "/..", "/A", "/b", "B.txt", "z.txt"}));
    QCOMPARE(fd.getFileName(), tavlo + QLatin1Char('/'));

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

void tst_FileDialog::cardButtons_data()
{
    QTest::addColumn<bool>("sd");
    QTest::addColumn<QString>("mount"); // "missing", "file", "empty" or "ready"
    QTest::addColumn<bool>("listed");
    QTest::newRow("cfNotMounted") << false << "missing" << false;
    QTest::newRow("sdMountIsAFile") << true << "file" << false;
    QTest::newRow("cfEmptyCardGetsBothFolders") << false << "empty" << true;
    QTest::newRow("sdFoldersThere") << true << "ready" << true;
}

void tst_FileDialog::cardButtons()
{
    QFETCH(bool, sd);
    QFETCH(QString, mount);
    QFETCH(bool, listed);
    const QString card = work->path() + QStringLiteral("/card");
    if (mount == QLatin1String("file"))
        touch(card);
    else if (mount != QLatin1String("missing"))
        QVERIFY(QDir().mkpath(card + (mount == QLatin1String("ready")
                                          ? QStringLiteral("/Documents/tavlo")
                                          : QString())));
    FileDialog fd;
    const QString none = QStringLiteral("/nonexistent-mount");
    fd.setCardMountPoints(sd ? none : card, sd ? card : none);
    const QString before = fd.getFileName();
    (sd ? fd.sdButton : fd.cfButton)->click();

    const QString folder = card + QStringLiteral("/Documents/tavlo");
    QCOMPARE(QFileInfo(folder).isDir(), listed);
    QCOMPARE(fd.getFileName(), listed ? folder + QLatin1Char('/') : before);
    QCOMPARE(QFileInfo::exists(card), mount != QLatin1String("missing"));
}

QTEST_MAIN(tst_FileDialog)
#include "tst_filedialog.moc"

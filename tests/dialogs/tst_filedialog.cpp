#include "dialogs/filedialog.h"

#include "modalscript.h"

#include <QDir>
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

QTreeWidgetItem *row(const FileDialog &fd, const QString &text)
{
    const auto found = fd.fileView->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

} // namespace

// Each test gets its own home (HOME is read whenever the dialog needs it) and
// a working directory of its own.
class tst_FileDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listsFoldersWithSlashSortedByText();
    void homeWithoutDocumentsShowsWorkingDirectory();
    void ramCreatesOnlyTheProgramFolder();
    void cardButtons_data();
    void cardButtons();
    void parentEntryGoesUp();
    void tappingAFileChoosesIt();
    void okAndCancel_data();
    void okAndCancel();

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<QTemporaryDir> work;
    QString oldCwd;
    QByteArray oldHome;
};

void tst_FileDialog::init()
{
    home = std::make_unique<QTemporaryDir>();
    work = std::make_unique<QTemporaryDir>();
    oldHome = qgetenv("HOME");
    oldCwd = QDir::currentPath();
    qputenv("HOME", home->path().toLocal8Bit());
    QDir::setCurrent(work->path());
}

void tst_FileDialog::cleanup()
{
    QDir::setCurrent(oldCwd);
    qputenv("HOME", oldHome);
}

void tst_FileDialog::listsFoldersWithSlashSortedByText()
{
    const QString tavlo = home->path() + QStringLiteral("/Documents/tavlo");
    QVERIFY(QDir().mkpath(tavlo));
    QVERIFY(QDir(tavlo).mkdir(QStringLiteral("b")));
    QVERIFY(QDir(tavlo).mkdir(QStringLiteral("A")));
    QVERIFY(QDir(tavlo).mkdir(QStringLiteral(".cache")));
    touch(tavlo + QStringLiteral("/z.txt"));
    touch(tavlo + QStringLiteral("/B.txt"));
    touch(tavlo + QStringLiteral("/.hidden"));

    FileDialog fd(nullptr, "FileDialog", true, {}, QStringLiteral("*"));
    QCOMPARE(rows(fd), (QStringList{"/.", "/..", "/A", "/b", "B.txt", "z.txt"}));
    QCOMPARE(fd.fileNameLine->text(), QDir(tavlo).absolutePath() + QLatin1Char('/'));
    QCOMPARE(fd.getFileName(), fd.fileNameLine->text());
}

void tst_FileDialog::homeWithoutDocumentsShowsWorkingDirectory()
{
    touch(work->path() + QStringLiteral("/here"));
    FileDialog fd;
    QCOMPARE(fd.fileNameLine->text(), QDir::currentPath() + QLatin1Char('/'));
    QVERIFY(rows(fd).contains(QStringLiteral("here")));

    fd.ramButton->click();
    QCOMPARE(fd.fileNameLine->text(), QDir::currentPath() + QLatin1Char('/'));
    QVERIFY(!QFileInfo::exists(home->path() + QStringLiteral("/Documents")));
}

void tst_FileDialog::ramCreatesOnlyTheProgramFolder()
{
    QVERIFY(QDir(home->path()).mkdir(QStringLiteral("Documents")));
    FileDialog fd;
    const QString tavlo = home->path() + QStringLiteral("/Documents/tavlo");
    QVERIFY(QFileInfo(tavlo).isDir());
    QCOMPARE(fd.fileNameLine->text(), QDir(tavlo).absolutePath() + QLatin1Char('/'));
}

void tst_FileDialog::cardButtons_data()
{
    QTest::addColumn<bool>("sd");
    QTest::addColumn<QString>("mountSetup"); // "missing", "empty", "file", "ready"
    QTest::addColumn<bool>("listed");
    QTest::newRow("cfNotMounted") << false << "missing" << false;
    QTest::newRow("sdNotMounted") << true << "missing" << false;
    QTest::newRow("cfMountIsAFile") << false << "file" << false;
    QTest::newRow("cfEmptyCardGetsBothFolders") << false << "empty" << true;
    QTest::newRow("sdEmptyCardGetsBothFolders") << true << "empty" << true;
    QTest::newRow("sdFoldersThere") << true << "ready" << true;
}

void tst_FileDialog::cardButtons()
{
    QFETCH(bool, sd);
    QFETCH(QString, mountSetup);
    QFETCH(bool, listed);
    QTemporaryDir cards;
    const QString mount = cards.path() + QStringLiteral("/card");
    if (mountSetup == QLatin1String("empty"))
        QVERIFY(QDir().mkdir(mount));
    else if (mountSetup == QLatin1String("file"))
        touch(mount);
    else if (mountSetup == QLatin1String("ready"))
        QVERIFY(QDir().mkpath(mount + QStringLiteral("/Documents/tavlo")));

    FileDialog fd;
    fd.setCardMountPoints(sd ? QStringLiteral("/nonexistent-cf") : mount,
                          sd ? mount : QStringLiteral("/nonexistent-sd"));
    const QString before = fd.fileNameLine->text();
    (sd ? fd.sdButton : fd.cfButton)->click();

    const QString tavlo = mount + QStringLiteral("/Documents/tavlo");
    QCOMPARE(QFileInfo(tavlo).isDir(), listed);
    QCOMPARE(fd.fileNameLine->text(),
             listed ? QDir(tavlo).absolutePath() + QLatin1Char('/') : before);
    if (!listed)
        QCOMPARE(QFileInfo(mount).isDir(), false); // nothing made where no card is
}

void tst_FileDialog::parentEntryGoesUp()
{
    const QString tavlo = home->path() + QStringLiteral("/Documents/tavlo");
    QVERIFY(QDir().mkpath(tavlo));
    FileDialog fd;

    emit fd.fileView->itemClicked(row(fd, QStringLiteral("/.")), 0);
    QCOMPARE(fd.fileNameLine->text(), QDir(tavlo).absolutePath() + QLatin1Char('/'));

    emit fd.fileView->itemClicked(row(fd, QStringLiteral("/..")), 0);
    const QString documents = QDir(home->path() + QStringLiteral("/Documents")).absolutePath();
    QCOMPARE(fd.fileNameLine->text(), documents + QLatin1Char('/'));
    QCOMPARE(fd.getFileName(), documents + QLatin1Char('/'));
    QVERIFY(rows(fd).contains(QStringLiteral("/tavlo")));

    emit fd.fileView->itemClicked(row(fd, QStringLiteral("/tavlo")), 0);
    QCOMPARE(fd.fileNameLine->text(), QDir(tavlo).absolutePath() + QLatin1Char('/'));
}

void tst_FileDialog::tappingAFileChoosesIt()
{
    const QString tavlo = home->path() + QStringLiteral("/Documents/tavlo");
    QVERIFY(QDir().mkpath(tavlo));
    touch(tavlo + QStringLiteral("/set one"));
    FileDialog fd;
    emit fd.fileView->itemClicked(row(fd, QStringLiteral("set one")), 0);
    const QString expected = QDir(tavlo).absolutePath() + QStringLiteral("/set one");
    QCOMPARE(fd.getFileName(), expected);
    QCOMPARE(fd.fileNameLine->text(), expected);

    // The folder stays listed: the tap chose a file, it did not enter anything.
    QVERIFY(rows(fd).contains(QStringLiteral("set one")));
}

void tst_FileDialog::okAndCancel_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("ok") << true;
    QTest::newRow("cancel") << false;
}

void tst_FileDialog::okAndCancel()
{
    QFETCH(bool, ok);
    FileDialog fd;
    const QString typed = work->path() + QStringLiteral("/new name");
    ModalScript script({[&](QWidget *) {
        fd.fileNameLine->setText(typed);
        (ok ? fd.okButton : fd.cancelButton)->click();
    }});
    QCOMPARE(fd.exec(), ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(script.remainingSteps(), 0);
    QCOMPARE(fd.getFileName(), typed);
}

QTEST_MAIN(tst_FileDialog)
#include "tst_filedialog.moc"

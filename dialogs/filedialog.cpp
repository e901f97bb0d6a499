#include "dialogs/filedialog.h"

#include "dialogs/formhelpers.h"
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

const QString programFolder = QStringLiteral("tavlo");

bool isDir(const QString &path)
{
    return QFileInfo(path).isDir();
}

} // namespace

FileDialog::FileDialog(QWidget *parent, const char *name, bool modal, Qt::WindowFlags fl,
                       const QString &filter)
    : QDialog(parent, fl)
    , filter(filter)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setModal(modal);
    resize(232, 264);
    setWindowTitle(tr("Save/Load"));

    okButton = makeWidget<QPushButton>(this, "okButton", 140, 230, 60, 20);
    okButton->setText(tr("&OK"));

    cancelButton = makeWidget<QPushButton>(this, "cancelButton", 30, 230, 60, 20);
    cancelButton->setText(tr("&Cancel"));

    ramButton = makeWidget<QPushButton>(this, "ramButton", 10, 10, 30, 20);
    ramButton->setText(tr("&Ram"));

    cfButton = makeWidget<QPushButton>(this, "cfButton", 45, 10, 30, 20);
    cfButton->setText(tr("&CF"));

    sdButton = makeWidget<QPushButton>(this, "sdButton", 80, 10, 30, 20);
    sdButton->setText(tr("&SD"));

    fileView = makeWidget<QTreeWidget>(this, "fileView", 10, 40, 210, 150);
    fileView->setColumnCount(1);
    fileView->setHeaderLabels({tr("Name")});
    // Qt's header would stretch the last (here the only) column to the list's width.
    fileView->header()->setStretchLastSection(false);
    fileView->setColumnWidth(0, 190);
    fileView->setRootIsDecorated(false);
    fileView->setSelectionMode(QAbstractItemView::SingleSelection);
    fileView->setSortingEnabled(true);
    fileView->sortByColumn(0, Qt::AscendingOrder);

    fileNameLine = makeWidget<QLineEdit>(this, "fileNameLine", 10, 200, 210, 18);

    // Names for screen readers: what the two unlabelled controls hold.
    fileView->setAccessibleName(tr("Files"));
    fileNameLine->setAccessibleName(tr("File name"));
    // Tab reads the dialog row by row. It opens on "Ram", not on the path: the
    // dialog would select the whole path there, and a name typed to save under
    // would replace the folder in front of it.
    setReadingOrder(
        {ramButton, cfButton, sdButton, fileView, fileNameLine, cancelButton, okButton});
    // Enter in the path means OK; without a default the dialog would give Enter
    // to the button after the one it opens on, "CF".
    okButton->setDefault(true);

    connect(okButton, &QPushButton::clicked, this, &FileDialog::OnOK);
    connect(cancelButton, &QPushButton::clicked, this, &FileDialog::reject);
    connect(ramButton, &QPushButton::clicked, this, &FileDialog::setDirRam);
    connect(cfButton, &QPushButton::clicked, this, &FileDialog::setDirCF);
    connect(sdButton, &QPushButton::clicked, this, &FileDialog::setDirSD);
    connect(fileView, &QTreeWidget::itemClicked, this, &FileDialog::listClicked);
    connect(fileNameLine, &QLineEdit::textChanged, this, &FileDialog::setFileName);

    setDirRam();
    // Fill even when the internal-memory folder is out of reach: the list then
    // shows the working directory.
    fillFileView();
}

FileDialog::~FileDialog() = default;

void FileDialog::setCardMountPoints(const QString &cf, const QString &sd)
{
    cfMountPoint = cf;
    sdMountPoint = sd;
}

void FileDialog::fillFileView()
{
    fileView->clear();
    // No QDir::Hidden: dot-files stay out, while "." and ".." are listed.
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Dirs | QDir::Files, QDir::Name | QDir::DirsFirst);
    for (const QFileInfo &entry : entries) {
        const QString text = entry.isDir() ? QLatin1Char('/') + entry.fileName() : entry.fileName();
        fileView->addTopLevelItem(new QTreeWidgetItem(QStringList{text}));
    }
    QString path = dir.absolutePath();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    fileNameLine->setText(path);
}

void FileDialog::listClicked(QTreeWidgetItem *item)
{
    if (!item)
        return;
    const QString text = item->text(0);
    if (text.startsWith(QLatin1Char('/'))) {
        // A folder we cannot read would leave an empty list with no way up.
        const QString target = dir.absoluteFilePath(text.mid(1));
        const QFileInfo info(target);
        if (info.isDir() && info.isReadable() && info.isExecutable())
            dir.cd(text.mid(1));
        fillFileView();
        return;
    }
    fileName = dir.absolutePath() + QLatin1Char('/') + text;
    fileNameLine->setText(fileName);
}

void FileDialog::setDirRam()
{
    const QString path = QDir::homePath() + QStringLiteral("/Documents/") + programFolder;
    // Only the program's own folder is made: a home without "Documents" is
    // left alone.
    if (!isDir(path))
        QDir().mkdir(path);
    if (!isDir(path))
        return;
    dir.setPath(path);
    fillFileView();
}

void FileDialog::setDirCF()
{
    setDirCard(cfMountPoint);
}

void FileDialog::setDirSD()
{
    setDirCard(sdMountPoint);
}

void FileDialog::setDirCard(const QString &mountPoint)
{
    const QString documents = mountPoint + QStringLiteral("/Documents");
    const QString path = documents + QLatin1Char('/') + programFolder;
    // One level at a time, so nothing is made where no card is mounted.
    if (!isDir(documents))
        QDir().mkdir(documents);
    if (!isDir(path))
        QDir().mkdir(path);
    if (!isDir(path))
        return;
    dir.setPath(path);
    fillFileView();
}

void FileDialog::setFileName(const QString &text)
{
    fileName = text;
}

void FileDialog::OnOK()
{
    // The caller reports a path it cannot use.
    accept();
}

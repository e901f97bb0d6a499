#pragma once

#include <QDialog>
#include <QDir>
#include <QString>

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The program's small file chooser: three storage locations (internal memory,
// CompactFlash, SD card), each with a "tavlo" documents folder created when
// missing; a list of the current folder ("/" + name for folders); and the
// editable path line whose text the caller gets.
class FileDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit FileDialog(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                        Qt::WindowFlags fl = {}, const QString &filter = QString());
    ~FileDialog() override;

    QString getFileName() const { return fileName; }
    void fillFileView();

    // Where the CF and SD cards are mounted ("/mnt/cf", "/mnt/card"); tests
    // point these at folders of their own.
    void setCardMountPoints(const QString &cf, const QString &sd);

    QPushButton *okButton;
    QPushButton *cancelButton;
    QPushButton *ramButton;
    QPushButton *cfButton;
    QPushButton *sdButton;
    QTreeWidget *fileView;
    QLineEdit *fileNameLine;

private slots:
    void listClicked(QTreeWidgetItem *item);
    void setDirRam();
    void setDirCF();
    void setDirSD();
    void setFileName(const QString &text);
    void OnOK();

private:
    // Creates the card's Documents and Documents/tavlo folders as needed and
    // lists the latter; leaves everything as it was when it cannot.
    void setDirCard(const QString &mountPoint);

    QString filter; // kept for callers; the listing shows every entry
    QString fileName;
    QDir dir;
    QString cfMountPoint = QStringLiteral("/mnt/cf");
    QString sdMountPoint = QStringLiteral("/mnt/card");
};

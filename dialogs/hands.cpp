#include "dialogs/hands.h"

#include "dialogs/handspicture.h"

#include <QLabel>
#include <QPixmap>

Hands::Hands(QWidget *parent, const char *name, bool modal, Qt::WindowFlags fl)
    : QDialog(parent, fl)
{
    setObjectName(name ? QString::fromLatin1(name) : QStringLiteral("Hands"));
    setModal(modal);
    resize(170, 131);
    setMinimumSize(170, 131);
    setMaximumSize(170, 131);
    setWindowTitle(tr("Hello!"));

    PixmapLabel2 = new QLabel(this);
    PixmapLabel2->setObjectName(QStringLiteral("PixmapLabel2"));
    PixmapLabel2->setGeometry(10, 10, 150, 111);
    PixmapLabel2->setPixmap(QPixmap(hands_xpm));
    PixmapLabel2->setScaledContents(true);
    PixmapLabel2->setAccessibleName(tr("Picture"));
}

Hands::~Hands() = default;

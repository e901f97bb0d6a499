#include "dialogs/hands.h"

#include "dialogs/formhelpers.h"
#include "dialogs/handspicture.h"

#include <QLabel>
#include <QPixmap>

Hands::Hands(QWidget *parent, const char *name, bool modal, Qt::WindowFlags fl)
    : QDialog(parent, fl)
{
    setObjectName(name ? QString::fromLatin1(name) : QStringLiteral("Hands"));
    setModal(modal);
    setFixedSize(170, 131);
    setWindowTitle(tr("Hello!"));

    PixmapLabel2 = makeWidget<QLabel>(this, "PixmapLabel2", 10, 10, 150, 111);
    PixmapLabel2->setPixmap(QPixmap(hands_xpm));
    PixmapLabel2->setScaledContents(true);
    PixmapLabel2->setAccessibleName(tr("Picture"));
}

Hands::~Hands() = default;

#pragma once

#include <QDialog>

class QLabel;

// The small picture behind the About tab's unlabelled button.
class Hands final : public QDialog
{
    Q_OBJECT

public:
    explicit Hands(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                   Qt::WindowFlags fl = {});
    ~Hands() override;

    QLabel *PixmapLabel2;
};

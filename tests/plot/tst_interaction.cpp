#include <QtTest>

class tst_Interaction : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() { QSKIP("not written yet"); }
};

QTEST_MAIN(tst_Interaction)
#include "tst_interaction.moc"

#include "version.h"

#include "resources/bitmaps.h"

#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

QString VersionText() { return QLocale::system().toString(121 / 100.0, 'f', 2) + QStringLiteral("E"); }

Version::Version(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Version"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAutoFillBackground(true);
    QPalette pal = Picture1->palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    pal.setColor(QPalette::WindowText, Qt::black);
    Picture1->setPalette(pal);
    outer->addWidget(Picture1);

    auto label = [this](const char *name, const QString &text) {
        auto *l = new QLabel(text, Picture1);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    Image1 = label("Image1", QString());
    Image1->setPixmap(LogoBitmap(PictureRatio(this)));
    Image1->setFixedSize(118, 36);
    Label8 = label("Label8", QStringLiteral("PC Apprication Softwear"));
    Label7 = label("Label7", QStringLiteral("for Tavix-DRIVE"));
    Label1 = label("Label1", QStringLiteral("ORVEX"));
    QFont big = Label1->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    Label1->setFont(big);
    Label2 = label("Label2", QStringLiteral("Ver."));
    LblVer = label("LblVer", VersionText());
    Command1 = new QPushButton(QStringLiteral("OK"), Picture1);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    auto *grid = new QGridLayout(Picture1);
    grid->setContentsMargins(18, 16, 18, 14);
    grid->setHorizontalSpacing(16);
    grid->addWidget(Image1, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(Label8, 0, 1, 1, 2);
    grid->addWidget(Label7, 1, 1, 1, 2);
    grid->addWidget(Label1, 2, 1, 1, 2);
    auto *ver = new QHBoxLayout;
    ver->addWidget(Label2);
    ver->addWidget(LblVer);
    ver->addStretch();
    grid->addLayout(ver, 3, 1, 1, 2);
    grid->addWidget(Command1, 4, 2, Qt::AlignRight);
    setFixedSize(sizeHint().expandedTo(QSize(340, 190)));
}

#include "app/taboutbox.h"

#include "ui/palette.h"
#include "ui/widgets.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <algorithm>

QPixmap programIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // The book.
    p.setPen(QPen(QColor(20, 70, 40), 2));
    p.setBrush(QColor(46, 139, 87));
    p.drawRoundedRect(QRectF(8, 6, 40, 52), 4, 4);
    p.setBrush(QColor(250, 248, 235));
    p.drawRect(QRectF(14, 12, 30, 40));
    p.setPen(QPen(QColor(120, 150, 200), 1.5));
    for (int y = 20; y <= 44; y += 6)
        p.drawLine(QPointF(18, y), QPointF(40, y));
    // The coin.
    p.setPen(QPen(QColor(150, 100, 0), 2));
    p.setBrush(QColor(245, 190, 40));
    p.drawEllipse(QRectF(34, 34, 26, 26));
    QFont font;
    font.setPixelSize(16);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(120, 70, 0));
    p.drawText(QRectF(34, 34, 26, 26), Qt::AlignCenter, QStringLiteral("¥"));
    return pixmap;
}

TAboutBox::TAboutBox(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("aboutbox"));
    setWindowTitle(QStringLiteral("关于Pelmora"));
    setFixedSize(305, 207);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 289, 161);
    // A lowered outer and a raised inner bevel: an etched line.
    Panel1->setFrameShape(QFrame::Box);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setLineWidth(1);
    setTextColour(Panel1, kWindowBlue);
    QFont font = Panel1->font();
    font.setPixelSize(12);
    Panel1->setFont(font);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 16, 40, 50);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(programIcon(64));

    // 13 pixels clip the glyphs of the usual fonts at 12 pixels, whose lines are
    // taller: a label then keeps its top and takes the height of one line.
    const int line = lineHeight(font);
    auto makeLabel = [this, line](const char* name, const QString& text, const QRect& place) {
        auto* label = new QLabel(text, Panel1);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(place.adjusted(0, 0, 0, std::max(0, line - place.height())));
        return label;
    };
    ProductName =
        makeLabel("ProductName", QStringLiteral("PelmoraVerson 1.0"), QRect(80, 32, 169, 13));
    Version = makeLabel("Version", QStringLiteral("家庭收支记账"), QRect(80, 64, 161, 13));
    Copyright =
        makeLabel("Copyright", QStringLiteral("收入、支出、图表与报表"), QRect(80, 88, 161, 13));
    Comments =
        makeLabel("Comments", QStringLiteral("数据文件：vandrel.mdb"), QRect(80, 112, 161, 17));
    Comments->setWordWrap(true);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
}

void TAboutBox::OKButtonClick()
{
    closeForm(this);
}

void TAboutBox::keyPressEvent(QKeyEvent* event)
{
    // OK is the default button: Enter anywhere in the panel presses it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OKButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    OKButton->setFocus();
}

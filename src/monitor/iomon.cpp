#include "iomon.h"

#include "common/stalemark.h"
#include "drive/link/drivelink.h"
#include "monitorwidgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// Follows one bit: written only when the state it shows changes.
void follow(QLabel *label, quint32 word, int bit, const QString &openText, const QString &closeText)
{
    const bool set = (word >> bit & 1u) != 0;
    if (const QString *text = FlagChange(label->text(), openText, closeText, set)) label->setText(*text);
}

}  // namespace

IOMon::IOMon(DriveLink &link, const Clock &clock, QWidget *parent)
    : ChildWindow(QStringLiteral("IOMon"), QStringLiteral("I/O Monitor"), QStringLiteral("1"), parent), m_link(link)
{
    Frame2 = new QGroupBox(QStringLiteral("I/O Monitor"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Label9 = makeLabel(Frame2, QStringLiteral("Label9"), QStringLiteral("Input"));
    Label10 = makeLabel(Frame2, QStringLiteral("Label10"), QStringLiteral("Output"));
    QFont heading = Label9->font();
    heading.setBold(true);
    Label9->setFont(heading);
    Label10->setFont(heading);

    auto *grid = new QGridLayout(Frame2);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    grid->addWidget(Label9, 0, 0, 1, 2);
    grid->addWidget(Label10, 0, 3, 1, 2);
    grid->setColumnMinimumWidth(2, 24);
    const int stateWidth = fontMetrics().horizontalAdvance(IoCloseText()) + 8;

    // Inputs down the left column; "DEC" is kept up to date but never shown.
    for (int i = 0; i < InputCount; ++i) {
        LblIO[i] = makeLabel(Frame2, indexedName("LblIO", i), InputSignals()[i].name);
        LblIN[i] = makeLabel(Frame2, indexedName("LblIN", i), IoOpenText());
        LblIN[i]->setMinimumWidth(stateWidth);
        if (i < VisibleInputs) {
            grid->addWidget(LblIO[i], 1 + i, 0);
            grid->addWidget(LblIN[i], 1 + i, 1);
        } else {
            LblIO[i]->hide();
            LblIN[i]->hide();
        }
    }
    // Outputs down the right column; P0_OUT to P2_OUT likewise hidden.
    for (int j = 0; j < OutputCount; ++j) {
        LblIO[InputCount + j] = makeLabel(Frame2, indexedName("LblIO", InputCount + j), OutputSignals()[j].name);
        LblOUT[j] = makeLabel(Frame2, indexedName("LblOUT", j), IoOpenText());
        LblOUT[j]->setMinimumWidth(stateWidth);
        if (j < VisibleOutputs) {
            grid->addWidget(LblIO[InputCount + j], 1 + j, 3);
            grid->addWidget(LblOUT[j], 1 + j, 4);
        } else {
            LblIO[InputCount + j]->hide();
            LblOUT[j]->hide();
        }
    }
    const std::array<QString, 2> spare{QStringLiteral("TDIN"), QStringLiteral("×××")};
    for (int n = 0; n < 2; ++n) {
        const int index = InputCount + OutputCount + n;
        LblIO[index] = makeLabel(Frame2, indexedName("LblIO", index), spare[n]);
        LblIO[index]->hide();
    }
    // The output column ends early: below it there is room for two lines.
    LblIOAsOf = makeLabel(Frame2, QStringLiteral("LblIOAsOf"), QString());
    LblIOAsOf->setWordWrap(true);
    grid->addWidget(LblIOAsOf, 1 + VisibleOutputs, 3, 3, 2, Qt::AlignTop);
    QList<QWidget *> states(LblIN.cbegin(), LblIN.cend());
    for (QLabel *l : LblOUT) states << l;
    ioAge = new StaleMark(LblIOAsOf, QStringLiteral("Input and output states"), states, clock, this);
    grid->setRowStretch(1 + VisibleInputs, 1);
    grid->setColumnStretch(5, 1);

    auto *column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetMinimumSize);  // never squeezed below legibility
    column->setContentsMargins(8, 8, 8, 8);
    column->addWidget(Frame2);
    column->addStretch(1);  // a taller window leaves the rows together at the top

    m_link.setDecoder(QStringLiteral("IO"), [this](const Reply &reply) { OnReplyIO(reply); });
}

void IOMon::OnReplyIO(const Reply &reply)
{
    ioAge->refreshed();
    const auto word = static_cast<quint32>(reply.field[0]);
    const QString &open = IoOpenText();
    const QString &close = IoCloseText();
    const auto &inputs = InputSignals();
    const auto &outputs = OutputSignals();
    for (int i = 0; i < InputCount; ++i) follow(LblIN[i], word, inputs[i].bit, open, close);
    for (int j = 0; j < OutputCount; ++j) follow(LblOUT[j], word, outputs[j].bit, open, close);
}

// Longer than the program's other files for a reason: this is the one
// waveform window, its controls, their events and the plots' markers and
// dials, each rule of which is written down for it; split across files, the
// rules of one control would be read in several places.

#include "hmon.h"

#include "drive/savefile.h"

#include "common/messagelines.h"
#include "common/shape.h"
#include "common/twips.h"
#include "drive/link/drivelink.h"
#include "drive/params/parametermodel.h"
#include "resources/bitmaps.h"
#include "wave/picturebox.h"
#include "wave/wavegeometry.h"
#include "drive/wave/wavequantities.h"
#include "wave/waveplot.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <utility>

namespace WG = WaveGeometry;

namespace {

// The client area, in twips.
constexpr double ClientWidth = 9090;
constexpr double ClientHeight = 6060;

// A dial's picture box and where the three stand.
constexpr double DialWidth = 1440;
constexpr double DialHeight = 1395;
constexpr double DialLeft[3] = {4260, 4260, 5820};
constexpr double DialTop[3] = {780, 3180, 3180};

void place(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(Twips::rect(left, top, width, height));
}

void named(QWidget *w, const QString &name, const QString &accessible = {})
{
    w->setObjectName(name);
    if (!accessible.isEmpty()) w->setAccessibleName(accessible);
}

QString indexed(const char *name, int i) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i); }

// The system colours the window uses: 2 active title bar, 3 inactive title
// bar, 8 window text, 9 active title bar text.
QColor systemColour(const QPalette &pal, int index)
{
    switch (index) {
    case 2: return pal.color(QPalette::Active, QPalette::Highlight);
    case 3: {
        const QColor inactive = pal.color(QPalette::Inactive, QPalette::Highlight);
        // A style whose inactive highlight is the active one still shows the
        // difference, the way an inactive title bar does: greyed.
        return inactive != pal.color(QPalette::Active, QPalette::Highlight)
                   ? inactive
                   : pal.color(QPalette::Active, QPalette::Mid);
    }
    case 8: return pal.color(QPalette::Active, QPalette::WindowText);
    default: return pal.color(QPalette::Active, QPalette::HighlightedText);
    }
}

void setColours(QWidget *w, const QColor &back, const QColor &fore)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, back);
    pal.setColor(QPalette::WindowText, fore);
    w->setPalette(pal);
}

// A label shows its back colour only while opaque.
void setOpaque(QLabel *label, bool opaque)
{
    label->setAutoFillBackground(opaque);
    label->update();
}

QFont pixelFont(const QFont &base, int pixels, bool bold = false)
{
    QFont f(base);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

bool isClick(const QMouseEvent *e, const QWidget *w)
{
    return e->type() == QEvent::MouseButtonRelease && e->button() == Qt::LeftButton &&
           w->rect().contains(e->position().toPoint());
}

const QStringList DialTitles{QStringLiteral("Vertical(Spd)"), QStringLiteral("Vertical(Trq)"),
                             QStringLiteral("Horizontal")};
const QStringList DialUnits{QStringLiteral("rpm"), QStringLiteral("%"), QStringLiteral("s")};
const QStringList DialCaptions{QStringLiteral("2500"), QStringLiteral("1000"), QStringLiteral("500"),
                               QStringLiteral("250"),  QStringLiteral("200"),  QStringLiteral("100"),
                               QStringLiteral("50"),   QStringLiteral("20"),   QStringLiteral("0.05"),
                               QStringLiteral("0.1"),  QStringLiteral("0.2"),  QStringLiteral("0.5")};
const QStringList PlotNames{QStringLiteral("Speed plot"), QStringLiteral("Torque plot"),
                            QStringLiteral("Status plot")};

}  // namespace

HMon::HMon(DriveLink &link, WaveState &wave, const ParameterModel &params, FileChooser &files, QWidget *parent)
    : ChildWindow(QStringLiteral("HMon"), QStringLiteral("Graphical Monitor"), QStringLiteral("3"), parent),
      DlogFile(this, files, QStringLiteral("Tavix-DRIVE graphical data files(*.wvt)|*.wvt"), QStringLiteral("wvt")),
      m_link(link),
      m_wave(wave),
      m_params(params)
{
    setMinimumSize(Twips::size(ClientWidth, ClientHeight));
    resize(minimumSize());
    PictEnable = new QWidget(this);
    named(PictEnable, QStringLiteral("PictEnable"));
    place(PictEnable, 0, 0, ClientWidth, ClientHeight);
    buildPlots();
    buildDials();
    buildSetup();
    buildPanel();

    // A capture runs only while this window is the active one.
    // With all monitors kept live, a capture armed or uploading keeps asking
    // "T" while another window is active (to catch a jog started there).
    m_link.setPollBuilder(QStringLiteral("3"), [this] { MakeCmdT(); }, DriveLink::PollTurn::ActiveOnly,
                          [this] { return m_wave.CaptureRun != 0; });
    m_link.setDecoder(QStringLiteral("T"), [this](const Reply &reply) { OnReplyT(reply); });
    Form_Load();
}

// --- building -------------------------------------------------------------------

void HMon::buildPlots()
{
    for (int c = 0; c < 3; ++c) {
        m_grid[c] = WaveGridImage(Twips::px(WG::PlotWidth), Twips::px(WG::PlotHeight[c]), PictureRatio(this));
        auto *plot = new PictureBox(PictEnable);
        named(plot, indexed("Picture1", c), PlotNames[c]);
        plot->setPicture(m_grid[c]);
        plot->setFocusPolicy(Qt::StrongFocus);
        plot->installEventFilter(this);
        place(plot, WG::PlotLeft, WG::PlotTop[c], WG::PlotWidth, WG::PlotHeight[c]);
        Picture1[c] = plot;
    }

    const QColor stripColour = systemColour(palette(), 2);
    for (int c = 0; c < 2; ++c) {
        auto *strip = new QLabel(PictEnable);
        named(strip, indexed("LblCursor2", c), c == 0 ? QStringLiteral("Speed zero line strip")
                                                      : QStringLiteral("Torque zero line strip"));
        setColours(strip, stripColour, palette().color(QPalette::WindowText));
        place(strip, WG::ZeroLeft, WG::StripTop[c], WG::StripWidth, WG::StripHeight);
        strip->installEventFilter(this);
        LblCursor2[c] = strip;

        auto *marker = new QLabel(QStringLiteral("<"), PictEnable);
        named(marker, indexed("LblZero", c),
              c == 0 ? QStringLiteral("Speed zero line") : QStringLiteral("Torque zero line"));
        marker->setAlignment(Qt::AlignCenter);
        marker->setFont(pixelFont(font(), 13, true));
        setColours(marker, QColor(192, 192, 192), QColor(255, 0, 0));
        marker->setAutoFillBackground(true);
        marker->installEventFilter(this);
        LblZero[c] = marker;
        m_zeroTop[c] = WG::ZeroMarkerTop(c, 0);
        showZeroMarker(c);
    }

    TxtDummy1 = new QLineEdit(PictEnable);
    named(TxtDummy1, QStringLiteral("TxtDummy1"), QStringLiteral("Trigger position"));
    TxtDummy1->setReadOnly(true);
    TxtDummy1->setFrame(false);
    {
        QPalette pal = TxtDummy1->palette();
        pal.setColor(QPalette::Base, Qt::transparent);
        TxtDummy1->setPalette(pal);
    }
    place(TxtDummy1, WG::TrigStripLeft, WG::TrigStripTop, 15, 15);
    TxtDummy1->installEventFilter(this);

    LblCursor1 = new QLabel(PictEnable);
    named(LblCursor1, QStringLiteral("LblCursor1"), QStringLiteral("Trigger position strip"));
    setColours(LblCursor1, stripColour, palette().color(QPalette::WindowText));
    place(LblCursor1, WG::TrigStripLeft, WG::TrigStripTop, WG::TrigStripWidth, WG::MarkerSize);
    LblCursor1->installEventFilter(this);

    LblTrgView = new QLabel(QStringLiteral("V"), PictEnable);
    named(LblTrgView, QStringLiteral("LblTrgView"), QStringLiteral("Trigger marker"));
    LblTrgView->setAlignment(Qt::AlignCenter);
    LblTrgView->setFont(pixelFont(font(), 13, true));
    setColours(LblTrgView, stripColour, QColor(255, 0, 0));
    LblTrgView->installEventFilter(this);
    m_trigLeft = WG::TrigMarkerLeft(15);
    showTriggerMarker();
}

void HMon::buildDials()
{
    const QFont small = pixelFont(font(), 11);
    const QImage ground = DialBitmap(PictureRatio(this)).toImage();
    for (int d = 0; d < 3; ++d) {
        auto *dial = new PictureBox(PictEnable);
        named(dial, indexed("PicDial", d), DialTitles[d]);
        dial->setPicture(ground);
        dial->setFocusPolicy(Qt::StrongFocus);
        dial->installEventFilter(this);
        place(dial, DialLeft[d], DialTop[d], DialWidth, DialHeight);
        PicDial[d] = dial;

        auto *title = new QLabel(DialTitles[d], dial);
        named(title, indexed("LblTumamiTitle", d), DialTitles[d]);
        title->setFont(small);
        title->setAlignment(Qt::AlignCenter);
        title->setAutoFillBackground(true);
        place(title, 0, 0, DialWidth, 195);
        title->installEventFilter(this);
        LblTumamiTitle[d] = title;

        auto *locate = new QLabel(dial);
        named(locate, indexed("LblLocate", d));
        locate->setAttribute(Qt::WA_TransparentForMouseEvents);
        place(locate, WG::CircleLeft, WG::CircleTop, WG::CircleSize, WG::CircleSize);
        LblLocate[d] = locate;

        for (int p = 0; p < 4; ++p) {
            const int i = 4 * d + p;
            auto *caption = new QLabel(DialCaptions[i], dial);
            named(caption, indexed("LblTumamiIchi", i), DialCaptions[i]);
            caption->setFont(small);
            caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            caption->setCursor(Qt::PointingHandCursor);
            place(caption, 720, WG::CaptionTop[p], 690, WG::CaptionHeight);
            caption->installEventFilter(this);
            LblTumamiIchi[i] = caption;
        }

        auto *unit = new QLabel(DialUnits[d], dial);
        named(unit, indexed("LblTani", d), DialUnits[d]);
        unit->setFont(small);
        unit->setAlignment(Qt::AlignCenter);
        place(unit, 150, 1140, 450, 225);
        unit->installEventFilter(this);
        LblTani[d] = unit;

        auto *knob = new QLabel(QStringLiteral("*"), dial);
        named(knob, indexed("LblDial", d), DialTitles[d] + QStringLiteral(" knob"));
        knob->setFont(pixelFont(font(), 15, true));
        setColours(knob, QColor(192, 192, 192), QColor(160, 0, 0));
        knob->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        knob->setContentsMargins(0, 0, 0, 0);
        knob->setCursor(Qt::SizeVerCursor);
        knob->installEventFilter(this);
        LblDial[d] = knob;
        m_knobTop[d] = WG::KnobTop(0);
        m_knobLeft[d] = WG::KnobLeft(m_knobTop[d], true);
        showKnob(d);
        setDialTitleFocus(d, false);
    }
}

void HMon::buildSetup()
{
    Frame1 = new QGroupBox(QStringLiteral("Trigger Menu"), PictEnable);
    named(Frame1, QStringLiteral("Frame1"));
    place(Frame1, 5820, 45, 3150, 3045);

    auto list = [this](QLabel *&label, const char *labelName, const QString &caption, QComboBox *&combo,
                       const char *comboName, const QStringList &items, double top) {
        label = new QLabel(caption, Frame1);
        named(label, QLatin1String(labelName));
        place(label, 150, top, 1800, 240);
        combo = new QComboBox(Frame1);
        named(combo, QLatin1String(comboName), caption);
        combo->addItems(items);
        place(combo, 150, top + 240, 2055, 345);
        label->setBuddy(combo);
    };
    list(Label1, "Label1", QStringLiteral("Trigger"), CmbTrig, "CmbTrig", WaveTriggerSources(), 300);
    list(Label2, "Label2", QStringLiteral("Status"), CmbStatus, "CmbStatus", WaveStatusSignals(), 975);
    list(Label3, "Label3", QStringLiteral("Trigger Timing"), CmbEdje, "CmbEdje", WaveTriggerEdges(), 1650);
    list(Label4, "Label4", QStringLiteral("Display Mode"), CmbWave, "CmbWave",
         {QStringLiteral("Previous+Present"), QStringLiteral("Present")}, 2325);

    ImgEdje = new PictureBox(Frame1);
    named(ImgEdje, QStringLiteral("ImgEdje"), QStringLiteral("Next Trigger Timing"));
    place(ImgEdje, 2295, 1770, 720, 480);
    ImgEdje->setCursor(Qt::PointingHandCursor);
    ImgEdje->installEventFilter(this);
    ImgWave = new PictureBox(Frame1);
    named(ImgWave, QStringLiteral("ImgWave"), QStringLiteral("Next Display Mode"));
    place(ImgWave, 2295, 2445, 720, 480);
    ImgWave->setCursor(Qt::PointingHandCursor);
    ImgWave->installEventFilter(this);

    connect(CmbEdje, &QComboBox::activated, this, [this] { CmbEdje_Click(); });
    connect(CmbWave, &QComboBox::activated, this, [this] { CmbWave_Click(); });
    connect(CmbStatus, &QComboBox::activated, this, [this] { CmbStatus_Click(); });

    CmdRun = new QPushButton(QStringLiteral("Run"), PictEnable);
    named(CmdRun, QStringLiteral("CmdRun"), QStringLiteral("Run"));
    CmdRun->setFont(pixelFont(font(), 14, true));
    place(CmdRun, 7440, 3210, 1530, 555);
    connect(CmdRun, &QPushButton::clicked, this, [this] { CmdRun_Click(); });

    const QString fileCaptions[2] = {QStringLiteral("Open File"), QStringLiteral("Save File")};
    for (int i = 0; i < 2; ++i) {
        CmdFile[i] = new QPushButton(fileCaptions[i], PictEnable);
        named(CmdFile[i], indexed("CmdFile", i), fileCaptions[i]);
        place(CmdFile[i], 7440, 3915 + 435 * i, 1530, 390);
        connect(CmdFile[i], &QPushButton::clicked, this, [this, i] { CmdFile_Click(i); });
    }
}

void HMon::buildPanel()
{
    PictYomitorichu = new PictureBox(this);
    named(PictYomitorichu, QStringLiteral("PictYomitorichu"));
    PictYomitorichu->setPicture(CapturePanelBitmap(PictureRatio(this)).toImage());
    place(PictYomitorichu, 1800, 1920, 4665, 2490);

    LblEng = new QLabel(PictYomitorichu);
    named(LblEng, QStringLiteral("LblEng"));
    place(LblEng, 375, 420, 3975, 270);
    LblJap = new QLabel(PictYomitorichu);
    named(LblJap, QStringLiteral("LblJap"));
    place(LblJap, 375, 750, 3975, 270);
    for (QLabel *l : {LblEng, LblJap}) l->setFont(pixelFont(font(), 12, true));

    LblT = new QLabel(PictYomitorichu);
    named(LblT, QStringLiteral("LblT"));
    LblT->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    LblT->setAutoFillBackground(true);
    setColours(LblT, palette().color(QPalette::Base), palette().color(QPalette::Text));
    place(LblT, 375, 1200, 3975, 315);
    for (int i = 0; i < 16; ++i) {
        auto *square = new Shape(Shape::Kind::Rectangle, PictYomitorichu);
        named(square, indexed("ShpPrg", i));
        square->setColors(QColor(0, 0, 128), QColor(0, 0, 128));
        place(square, 435 + 240 * i, 1230, 255, 255);
        square->hide();
        ShpPrg[i] = square;
    }
    Label7 = new QLabel(QStringLiteral("0"), PictYomitorichu);
    named(Label7, QStringLiteral("Label7"));
    place(Label7, 375, 1560, 900, 225);
    Label6 = new QLabel(QStringLiteral("100%"), PictYomitorichu);
    named(Label6, QStringLiteral("Label6"));
    Label6->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(Label6, 3450, 1560, 900, 225);
    for (QLabel *l : {Label7, Label6}) l->setFont(pixelFont(font(), 11));

    CmdCancel = new QPushButton(QStringLiteral("Cancel"), PictYomitorichu);
    named(CmdCancel, QStringLiteral("CmdCancel"), QStringLiteral("Cancel"));
    place(CmdCancel, 1770, 1890, 1125, 390);
    connect(CmdCancel, &QPushButton::clicked, this, [this] { CmdCancel_Click(); });

    PictYomitorichu->hide();
    PictYomitorichu->raise();
}

void HMon::Form_Load()
{
    DlogFile.setInitDir(QDir::currentPath());
    setListIndex(CmbEdje, 0);
    setListIndex(CmbStatus, 0);
    setListIndex(CmbWave, 0);
    setListIndex(CmbTrig, 0);
    m_edgePicture = 110;
    ImgEdje->setPicture(LoadResPicture(110, PictureRatio(this)).toImage());
    m_wavePicture = 120;
    ImgWave->setPicture(LoadResPicture(120, PictureRatio(this)).toImage());
    DrawTrace(0);
    DrawTrace(1);
    DrawStatusTrace();
}

// --- the set-up lists -----------------------------------------------------------

CaptureSetup HMon::setup() const
{
    return {CmbTrig->currentIndex(), CmbEdje->currentIndex(), CmbStatus->currentIndex()};
}

void HMon::setListIndex(QComboBox *list, int index)
{
    {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(index);
    }
    listChanged(list);
}

void HMon::listChanged(QComboBox *list)
{
    if (list == CmbEdje) CmbEdje_Click();
    else if (list == CmbWave) CmbWave_Click();
    else if (list == CmbStatus) CmbStatus_Click();
    // The trigger source only goes out with the next request.
}

void HMon::CmbEdje_Click()
{
    m_edgePicture = 110 + CmbEdje->currentIndex();
    ImgEdje->setPicture(LoadResPicture(m_edgePicture, PictureRatio(this)).toImage());
    ImgEdje->setAccessibleDescription(CmbEdje->currentText());
    DrawStatusTrace();
}

void HMon::CmbWave_Click()
{
    m_wavePicture = 120 + CmbWave->currentIndex();
    ImgWave->setPicture(LoadResPicture(m_wavePicture, PictureRatio(this)).toImage());
    ImgWave->setAccessibleDescription(CmbWave->currentText());
    DrawTrace(0);
    DrawTrace(1);
    DrawStatusTrace();
}

void HMon::CmbStatus_Click()
{
    DrawTrace(0);
    DrawTrace(1);
    DrawStatusTrace();
}

void HMon::ImgEdje_Click() { setListIndex(CmbEdje, (CmbEdje->currentIndex() + 1) % CmbEdje->count()); }

void HMon::ImgWave_Click() { setListIndex(CmbWave, (CmbWave->currentIndex() + 1) % CmbWave->count()); }

// --- capture ------------------------------------------------------------------------

void HMon::MakeCmdT() { m_link.setCommandText(TRequestText(m_wave, setup()), QStringLiteral("T")); }

void HMon::CmdRun_Click()
{
    m_wave.CaptureRun = 1;
    LblJap->setText(QStringLiteral("Now measureing"));
    LblEng->setText(QString());
    for (Shape *s : ShpPrg) s->hide();
    PictYomitorichu->show();
    CmdCancel->setFocus();
    PictEnable->setEnabled(false);
}

void HMon::CmdCancel_Click()
{
    m_wave.CaptureRun = 0;
    PictYomitorichu->hide();
    PictEnable->setEnabled(true);
}

void HMon::OnReplyT(const Reply &reply)
{
    const UploadStep step = TakeWaveReply(m_wave, reply);
    if (!step.stored) return;
    if (step.block == 1) {
        LblEng->setText(QStringLiteral("Triggered"));
        LblJap->setText(QStringLiteral("Uploading data........."));
    }
    std::array<bool, 16> shown{};
    for (size_t i = 0; i < shown.size(); ++i) shown[i] = !ShpPrg[i]->isHidden();
    if (AdvanceProgress(shown))
        for (size_t i = 0; i < shown.size(); ++i) ShpPrg[i]->setVisible(shown[i]);
    if (!step.complete) return;
    DrawTrace(0);
    DrawTrace(1);
    DrawStatusTrace();
    m_wave.CaptureRun = 0;
    PictYomitorichu->hide();
    PictEnable->setEnabled(true);
    Q_EMIT captureTaken(presentCapture());
}

Capture HMon::presentCapture() const
{
    Capture capture = CaptureFromRecord(MakeWaveFileRecord(m_wave, setup()));
    capture.taken = QDateTime::currentDateTime();
    return capture;
}

// --- plots ----------------------------------------------------------------------------

void HMon::DrawTrace(int c)
{
    const double f = c == 0 ? WG::SpeedFactor(m_wave.DialPos[0])
                            : WG::TorqueFactor(m_wave.DialPos[1], m_params.text(57));
    const int y0 = WG::ZeroLineY(m_zeroTop[static_cast<size_t>(c)], WG::PlotTop[c]);
    RenderTrace(Picture1[c]->picture(), m_grid[c], m_wave, c, y0, f, CmbWave->currentIndex());
    Picture1[c]->update();
}

void HMon::DrawStatusTrace()
{
    RenderStatusTrace(Picture1[2]->picture(), m_grid[2], m_wave, CmbWave->currentIndex());
    Picture1[2]->update();
}

// --- markers and dials -------------------------------------------------------------

void HMon::showZeroMarker(int c)
{
    place(LblZero[c], WG::ZeroLeft, m_zeroTop[static_cast<size_t>(c)], WG::MarkerSize, WG::MarkerSize);
}

void HMon::showTriggerMarker() { place(LblTrgView, m_trigLeft, WG::TrigTop, WG::MarkerSize, WG::MarkerSize); }

void HMon::showKnob(int d)
{
    place(LblDial[d], m_knobLeft[static_cast<size_t>(d)], m_knobTop[static_cast<size_t>(d)], WG::KnobSize,
          WG::KnobSize);
}

void HMon::PlaceKnob(int d)
{
    PicDial[d]->setFocus();
    const auto i = static_cast<size_t>(d);
    m_knobTop[i] = WG::KnobTop(m_wave.DialPos[i]);
    m_knobLeft[i] = WG::KnobLeft(m_knobTop[i], true);
    showKnob(d);
    if (d < 2) DrawTrace(d);
}

void HMon::PlaceZeroMarker(int c)
{
    Picture1[c]->setFocus();
    const auto i = static_cast<size_t>(c);
    m_wave.ZeroPos[i] = static_cast<qint16>(WG::ClampZero(m_wave.ZeroPos[i]));
    m_zeroTop[i] = WG::ZeroMarkerTop(c, m_wave.ZeroPos[i]);
    showZeroMarker(c);
    DrawTrace(c);
}

void HMon::PlaceTriggerMarker()
{
    m_wave.TrigPos = static_cast<qint16>(WG::ClampTrig(m_wave.TrigPos));
    m_trigLeft = WG::TrigMarkerLeft(m_wave.TrigPos);
    showTriggerMarker();
}

void HMon::setDialTitleFocus(int d, bool focused)
{
    const QPalette &pal = palette();
    setColours(LblTumamiTitle[d], systemColour(pal, focused ? 2 : 3), systemColour(pal, focused ? 9 : 8));
}

// --- mouse, keyboard and focus ----------------------------------------------------

bool HMon::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return mouseEvent(watched, static_cast<QMouseEvent *>(event));
    case QEvent::KeyPress:
        return keyEvent(watched, static_cast<QKeyEvent *>(event));
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        focusEvent(watched, event->type() == QEvent::FocusIn);
        return false;
    default:
        return ChildWindow::eventFilter(watched, event);
    }
}

bool HMon::mouseEvent(QObject *watched, QMouseEvent *e)
{
    // The mouse within the control, in twips.
    const QPointF at = e->position() * Twips::PerPixel;
    const bool leftHeld = e->type() == QEvent::MouseMove && (e->buttons() & Qt::LeftButton);
    const bool leftReleased = e->type() == QEvent::MouseButtonRelease && e->button() == Qt::LeftButton;
    const bool pressed = e->type() == QEvent::MouseButtonPress;

    for (int d = 0; d < 3; ++d) {
        const auto i = static_cast<size_t>(d);
        if (watched == LblDial[d]) {
            if (leftHeld) {
                if (const auto top = WG::KnobDragTop(m_knobTop[i], at.y())) {
                    m_knobTop[i] = *top;
                    m_knobLeft[i] = WG::KnobLeft(*top, false);
                    showKnob(d);
                }
            } else if (leftReleased) {
                PicDial[d]->setFocus();
                m_wave.DialPos[i] = static_cast<qint16>(WG::DialFromKnobTop(m_knobTop[i]));
                PlaceKnob(d);
            }
            return true;
        }
        if (watched == LblTumamiTitle[d] || watched == LblTani[d]) {
            if (isClick(e, static_cast<QWidget *>(watched))) PicDial[d]->setFocus();
            return pressed || leftReleased;
        }
    }
    for (int i = 0; i < 12; ++i) {
        if (watched != LblTumamiIchi[i]) continue;
        if (isClick(e, LblTumamiIchi[i])) {
            const int d = i / 4;
            m_wave.DialPos[static_cast<size_t>(d)] = static_cast<qint16>(i - 4 * d);
            PlaceKnob(d);
        }
        return pressed || leftReleased;
    }
    for (int c = 0; c < 2; ++c) {
        const auto i = static_cast<size_t>(c);
        if (watched == LblZero[c]) {
            if (leftHeld) {
                if (const auto top = WG::ZeroDragTop(c, m_zeroTop[i], at.y())) {
                    m_zeroTop[i] = *top;
                    showZeroMarker(c);
                }
            } else if (leftReleased) {
                m_wave.ZeroPos[i] = static_cast<qint16>(WG::ClampZero(WG::ZeroFromMarkerTop(c, m_zeroTop[i])));
                PlaceZeroMarker(c);
            }
            return true;
        }
        if (watched == LblCursor2[c]) {
            if (!pressed) return false;
            Picture1[c]->setFocus();
            const bool below = at.y() >= m_zeroTop[i] - WG::StripTop[c];
            m_wave.ZeroPos[i] = static_cast<qint16>(WG::ZeroStripStep(m_wave.ZeroPos[i], below));
            PlaceZeroMarker(c);
            return true;
        }
    }
    if (watched == LblTrgView) {
        if (leftHeld) {
            if (const auto left = WG::TrigDragLeft(m_trigLeft, at.x())) {
                m_trigLeft = *left;
                showTriggerMarker();
            }
        } else if (leftReleased) {
            m_wave.TrigPos = static_cast<qint16>(WG::ClampTrig(WG::TrigFromMarkerLeft(m_trigLeft)));
            PlaceTriggerMarker();
        }
        return true;
    }
    if (watched == LblCursor1) {
        if (!pressed) return false;
        TxtDummy1->setFocus();
        const bool right = m_trigLeft - WG::TrigStripLeft <= at.x();
        m_wave.TrigPos = static_cast<qint16>(WG::TrigStripStep(m_wave.TrigPos, right));
        PlaceTriggerMarker();
        return true;
    }
    for (int c = 0; c < 3; ++c)
        if (watched == Picture1[c] && e->type() == QEvent::MouseButtonDblClick && e->button() == Qt::LeftButton) {
            Q_EMIT analysisRequested();
            return true;
        }
    if (watched == ImgEdje || watched == ImgWave) {
        // A double-click is one click: its second press comes as a
        // double-click event, and the release after it steps no further.
        const bool doubleClicked = e->type() == QEvent::MouseButtonDblClick;
        if (pressed || doubleClicked) m_secondPressOn = doubleClicked ? watched : nullptr;
        const bool second = leftReleased && std::exchange(m_secondPressOn, nullptr) == watched;
        if (!second && isClick(e, static_cast<QWidget *>(watched))) {
            if (watched == ImgEdje) ImgEdje_Click();
            else ImgWave_Click();
        }
        return pressed || doubleClicked || leftReleased;
    }
    return false;
}

bool HMon::keyEvent(QObject *watched, QKeyEvent *e)
{
    const int key = e->key();
    for (int d = 0; d < 3; ++d) {
        if (watched != PicDial[d]) continue;
        if (key != Qt::Key_Up && key != Qt::Key_Down) return false;
        const auto i = static_cast<size_t>(d);
        m_wave.DialPos[i] = static_cast<qint16>(WG::DialStep(m_wave.DialPos[i], key == Qt::Key_Up ? -1 : 1));
        PlaceKnob(d);
        return true;
    }
    for (int c = 0; c < 2; ++c) {
        if (watched != Picture1[c]) continue;
        if (key != Qt::Key_Up && key != Qt::Key_Down) return false;
        const auto i = static_cast<size_t>(c);
        m_wave.ZeroPos[i] = static_cast<qint16>(m_wave.ZeroPos[i] + (key == Qt::Key_Up ? -1 : 1));
        PlaceZeroMarker(c);
        return true;
    }
    if (watched == TxtDummy1) {
        if (key != Qt::Key_Left && key != Qt::Key_Right) return false;
        m_wave.TrigPos = static_cast<qint16>(m_wave.TrigPos + (key == Qt::Key_Left ? -1 : 1));
        PlaceTriggerMarker();
        return true;
    }
    return false;
}

void HMon::focusEvent(QObject *watched, bool in)
{
    for (int d = 0; d < 3; ++d)
        if (watched == PicDial[d]) setDialTitleFocus(d, in);
    for (int c = 0; c < 2; ++c)
        if (watched == Picture1[c]) setOpaque(LblCursor2[c], in);
    if (watched == TxtDummy1) setOpaque(LblCursor1, in);
}

// --- the waveform file -------------------------------------------------------------

void HMon::CmdFile_Click(int index)
{
    if (index == 0) openFile();
    else if (index == 1) saveFile();
}

void HMon::saveFile()
{
    const std::optional<QString> path = DlogFile.ShowSave();
    if (!path) return;
    const QByteArray bytes = EncodeWaveFile(MakeWaveFileRecord(m_wave, setup()));
    // Written beside the file and put in its place only when complete, so a
    // failed write leaves a good file as it was.
    const SaveResult saved = SaveFileWhole(*path, bytes);
    if (saved.ok) {
        DlogFile.commit();
        return;
    }
    // Saying nothing would leave the user believing the waveform is kept.
    ShowMessage(this, QMessageBox::Critical, QStringLiteral("error"),
                *path + QStringLiteral("\rThe file could not be written: ") + saved.reason,
                QStringLiteral("SaveFailedMessage"));
}

void HMon::openFile()
{
    for (;;) {
        const std::optional<QString> path = DlogFile.ShowOpen();
        if (!path) return;
        const QFileInfo info(*path);
        if (!info.exists()) return;
        // A pipe, socket or device is refused unopened: opening a pipe waits
        // for a writer.
        if (!info.isFile() || info.size() != WaveFileBytes) {
            ShowMessage(this, QMessageBox::Critical, QStringLiteral("error"),
                        *path + QLatin1Char('\r') + QStringLiteral("Invalid File"),
                        QStringLiteral("InvalidFileMessage"));
            continue;
        }
        QFile file(*path);
        if (!file.open(QIODevice::ReadOnly)) return;
        // The file may have changed since its length was looked at.
        const std::optional<WaveFileRecord> record = DecodeWaveFile(file.read(WaveFileBytes + 1));
        if (!record) return;
        if (const QStringList problems = WaveFileProblems(*record); !problems.isEmpty()) {
            ShowMessage(this, QMessageBox::Critical, QStringLiteral("error"),
                        *path + QLatin1Char('\r') + QStringLiteral("Invalid File") + QLatin1Char('\r') + ProblemLines(problems),
                        QStringLiteral("InvalidFileMessage"));
            continue;
        }
        loadRecord(*record);
        DlogFile.commit();
        Capture capture = CaptureFromRecord(*record);
        capture.taken = info.lastModified();
        Q_EMIT waveFileOpened(capture, *path);
        return;
    }
}

void HMon::loadRecord(const WaveFileRecord &r)
{
    namespace E = WaveFileEntry;
    ShiftSeries(m_wave, 1);
    LoadWaveSamples(m_wave, r);
    // List and dial positions from elsewhere are held to their lists; the
    // zero lines and the trigger position are clamped by their placement.
    setListIndex(CmbTrig, HeldTo(r[E::Trig], 0, CmbTrig->count() - 1));
    setListIndex(CmbEdje, HeldTo(r[E::Edge], 0, CmbEdje->count() - 1));
    m_wave.TrigPos = r[E::TrigPos];
    m_wave.DialPos[2] = static_cast<qint16>(HeldTo(r[E::TimeBase], WG::DialMin, WG::DialMax));
    m_wave.DialPos[0] = static_cast<qint16>(HeldTo(r[E::SpeedScale], WG::DialMin, WG::DialMax));
    m_wave.DialPos[1] = static_cast<qint16>(HeldTo(r[E::TorqueScale], WG::DialMin, WG::DialMax));
    m_wave.ZeroPos[0] = r[E::SpeedZero];
    m_wave.ZeroPos[1] = r[E::TorqueZero];
    setListIndex(CmbStatus, HeldTo(r[E::Status], 0, CmbStatus->count() - 1));
    PlaceZeroMarker(0);
    PlaceZeroMarker(1);
    PlaceKnob(0);
    PlaceKnob(1);
    PlaceKnob(2);
    PlaceTriggerMarker();
}

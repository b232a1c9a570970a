#pragma once
// The "Graphical Monitor" window: the capture set-up sent with the "T" poll
// request, the run and its progress panel, the upload of the eight blocks,
// the speed, torque and status plots with their scale dials, zero lines and
// trigger marker, and the waveform file.

#include "common/childwindow.h"
#include "common/dlogfile.h"
#include "drive/wave/wavefile.h"
#include "drive/wave/wavestate.h"
#include "drive/wave/waveupload.h"

#include <QImage>
#include <array>

struct Reply;
class DriveLink;
class ParameterModel;
class PictureBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QKeyEvent;
class QPushButton;
class Shape;

class HMon : public ChildWindow {
    Q_OBJECT
public:
    // The torque plot reads the motor type, the text of parameter 57
    // ("57:Motor Type"), from params each time it is drawn. All four
    // outlive the window.
    HMon(DriveLink &link, WaveState &wave, const ParameterModel &params, FileChooser &files, QWidget *parent = nullptr);

    // --- the progress panel, over the plots while a capture runs -----------
    PictureBox *PictYomitorichu;
    QLabel *LblEng;
    QLabel *LblJap;
    QLabel *LblT;
    std::array<Shape *, 16> ShpPrg{};
    QLabel *Label7;
    QLabel *Label6;
    QPushButton *CmdCancel;

    // --- everything else, disabled while a capture runs ---------------------
    QWidget *PictEnable;
    QGroupBox *Frame1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QComboBox *CmbTrig;
    QComboBox *CmbStatus;
    QComboBox *CmbEdje;
    QComboBox *CmbWave;
    PictureBox *ImgEdje;
    PictureBox *ImgWave;
    QPushButton *CmdRun;
    std::array<QPushButton *, 2> CmdFile{};
    ::DlogFile DlogFile;

    std::array<PictureBox *, 3> PicDial{};
    std::array<QLabel *, 3> LblLocate{};
    std::array<QLabel *, 3> LblDial{};
    std::array<QLabel *, 12> LblTumamiIchi{};
    std::array<QLabel *, 3> LblTani{};
    std::array<QLabel *, 3> LblTumamiTitle{};

    std::array<PictureBox *, 3> Picture1{};
    std::array<QLabel *, 2> LblZero{};
    std::array<QLabel *, 2> LblCursor2{};
    QLabel *LblTrgView;
    QLabel *LblCursor1;
    QLineEdit *TxtDummy1;

    // --- requests, replies and drawing -----------------------------------
    void MakeCmdT();
    void OnReplyT(const Reply &reply);
    void DrawTrace(int c);
    void DrawStatusTrace();
    void PlaceKnob(int d);
    void PlaceZeroMarker(int c);
    void PlaceTriggerMarker();

    // --- user actions ----------------------------------------------------------
    void CmdRun_Click();
    void CmdCancel_Click();
    void CmdFile_Click(int index);
    void CmbEdje_Click();
    void CmbWave_Click();
    void CmbStatus_Click();
    void ImgEdje_Click();
    void ImgWave_Click();

    // The set-up as the lists show it.
    CaptureSetup setup() const;

    // Where the markers and knobs stand, in twips (sub-pixel values kept).
    double zeroMarkerTop(int c) const { return m_zeroTop[static_cast<size_t>(c)]; }
    double trigMarkerLeft() const { return m_trigLeft; }
    double knobLeft(int d) const { return m_knobLeft[static_cast<size_t>(d)]; }
    double knobTop(int d) const { return m_knobTop[static_cast<size_t>(d)]; }
    // The resource number of the picture each image shows.
    int edgePicture() const { return m_edgePicture; }
    int wavePicture() const { return m_wavePicture; }

Q_SIGNALS:
    // A capture whose upload has completed, or a waveform file opened here:
    // the present series with the set-up, trigger position and time base.
    void captureTaken(const Capture &capture);
    void waveFileOpened(const Capture &capture, const QString &path);
    // A plot was double-clicked: the user asks for the waveform analysis.
    void analysisRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPanel();
    void buildSetup();
    void buildDials();
    void buildPlots();
    void Form_Load();
    // Sets a list's position and runs its change action, as a user's pick does.
    void setListIndex(QComboBox *list, int index);
    void listChanged(QComboBox *list);
    void showZeroMarker(int c);
    void showTriggerMarker();
    void showKnob(int d);
    void setDialTitleFocus(int d, bool focused);
    bool mouseEvent(QObject *watched, QMouseEvent *event);
    bool keyEvent(QObject *watched, QKeyEvent *event);
    void focusEvent(QObject *watched, bool in);
    void saveFile();
    void openFile();
    void loadRecord(const WaveFileRecord &record);
    Capture presentCapture() const;

    DriveLink &m_link;
    WaveState &m_wave;
    const ParameterModel &m_params;
    std::array<QImage, 3> m_grid;
    std::array<double, 2> m_zeroTop{};
    double m_trigLeft = 0;
    std::array<double, 3> m_knobLeft{};
    std::array<double, 3> m_knobTop{};
    int m_edgePicture = 0;
    int m_wavePicture = 0;
    // The image whose double-click is under way, until its button comes up.
    QObject *m_secondPressOn = nullptr;
};

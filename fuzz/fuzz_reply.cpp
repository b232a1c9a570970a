// The reply path: the input arrives on the line character by character, with
// every window present, and is split and handed to the decoders. A byte 0xFF
// makes the next byte an action of the user or of the line instead (start an
// import, an export or a capture, make another window active, let a reply time
// out, lose the port...), so replies also arrive in the middle of transfers.
//
// After each input the link must still be sound: a reply being collected stays
// bounded, an open port always has a request in flight, and a window whose
// transfer is not running has its read and write buttons back.

#include "fuzzrig.h"

#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "wave/hmon.h"

#include <QMdiArea>
#include <QPushButton>

namespace {

constexpr std::uint8_t ActionByte = 0xFF;

void click(QPushButton *b) { b->click(); }

void act(FuzzRig &r, std::uint8_t a)
{
    MDItbl &app = r.app();
    switch (a % 26) {
    case 0: click(app.prmWrit->CmdRW[0]); break;
    case 1: click(app.prmWrit->CmdRW[1]); break;
    case 2:
    case 3:
        // Refused with a message while any transfer runs: the parameters', or
        // the read-back of a table just written, while its buttons are back.
        if (!r.link().transferOwner().isEmpty()) FuzzRig::answerNextModal();
        click(app.tblWrit->CmdRW[a % 26 - 2]);
        break;
    case 4: click(app.tblWrit->CmdFlash); break;
    case 5: click(app.hMon->CmdRun); break;
    case 6: click(app.hMon->CmdCancel); break;
    case 7: app.mdiArea->setActiveSubWindow(app.frameOf(app.tblWrit)); break;
    case 8: app.mdiArea->setActiveSubWindow(app.frameOf(app.hMon)); break;
    case 9: app.mdiArea->setActiveSubWindow(app.frameOf(app.commComm)); break;
    case 10: app.mdiArea->setActiveSubWindow(app.frameOf(app.mon2)); break;
    case 11: app.mdiArea->setActiveSubWindow(app.frameOf(app.alarm)); break;
    case 12: app.mdiArea->setActiveSubWindow(app.frameOf(app.prmWrit)); break;
    case 13: app.mdiArea->setActiveSubWindow(app.frameOf(app.ioMon)); break;
    case 14:  // the reply is lost; Retry
        r.retryAnswer = true;
        r.tick(16);
        break;
    case 15:  // the reply is lost; Cancel
        r.retryAnswer = false;
        r.tick(16);
        break;
    case 16: r.tick(); break;
    case 17: r.port.vanish(QStringLiteral("pulled out")); break;
    case 18: r.tick(); break;  // tries to open the port again
    case 19: app.SetMakerMode(!app.makerMode()); break;
    case 20:  // offline and back, as the port dialog sets it
        r.link().closePort();
        r.session().portSettings.OfflineMode = 1;
        r.tick();
        r.session().portSettings.OfflineMode = 0;
        r.tick();
        break;
    case 21: click(app.mon2->CmdTRST); break;
    case 22: click(app.alarm->CmdARST); break;
    case 23: click(app.commComm->CmdON[a / 26 % 7]); break;
    case 24: click(app.commComm->CmdPNT); break;
    case 25: click(app.commComm->CmdRESET); break;
    }
}

void checkLink(FuzzRig &r)
{
    MDItbl &app = r.app();
    const LinkState &s = r.link().state();
    FUZZ_CHECK(s.RecvBuf.size() <= DriveLink::MaxReplyLength);
    if (r.link().portOpen()) FUZZ_CHECK(s.AwaitReply == 1);
    const QString &owner = r.link().transferOwner();
    if (owner != QLatin1String(Prm_Writ::TransferOwner)) {
        FUZZ_CHECK(app.prmWrit->CmdRW[0]->isEnabled());
        FUZZ_CHECK(app.prmWrit->CmdRW[1]->isEnabled() == ((s.ReadDoneFlags & ReadDone::Parameters) != 0));
    }
    if (owner != QLatin1String("Tbl_Writ")) {
        FUZZ_CHECK(app.tblWrit->CmdRW[0]->isEnabled());
        FUZZ_CHECK(app.tblWrit->CmdRW[1]->isEnabled() == ((s.ReadDoneFlags & ReadDone::PointTable) != 0));
    }
}

}  // namespace

// The windows are built before the first input, outside its time limit.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzRig::instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzRig &r = FuzzRig::instance();
    r.reset();
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == ActionByte && i + 1 < size) {
            act(r, data[++i]);
            continue;
        }
        r.port.inject(QByteArray(1, char(data[i])));
    }
    checkLink(r);
    return 0;
}

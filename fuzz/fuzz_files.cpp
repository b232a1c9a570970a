// The three file loaders: the record decoders and the windows' "Open File"
// that applies a file, with the file dialog answered by a scratch file that
// holds the input. The first byte picks the kind of file and whether the rest
// is cut or repeated to the record's exact length (any other length is
// refused with a message, which is answered; so is a waveform file with
// values out of their lists).
//
// Rules: a decoded record encodes back to the same bytes; a parameter or point
// table file that was opened is saved again byte for byte; for a waveform file,
// whose set-up a window holds to its lists, the file saved after opening one
// saved file is that file again.

#include "fuzzrig.h"

#include "drive/params/paramfile.h"
#include "params/prm_writ.h"
#include "drive/points/pointfile.h"
#include "points/tbl_writ.h"
#include "wave/hmon.h"
#include "drive/wave/wavefile.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <optional>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) fuzzCheckFailed("scratch file", __FILE__, __LINE__);
    f.write(bytes);
}

// Opens `in` through the window's open button, then saves to `out` through
// its save button. Returns what was saved.
// Each dialog is offered its file once, then cancelled.
QByteArray openThenSave(OfferedFiles &files, const std::array<QPushButton *, 2> &cmdFile, const QString &in,
                        const QString &out, bool mayRefuse)
{
    if (mayRefuse) FuzzRig::answerNextModal();
    files.answers = {in};
    cmdFile[0]->click();
    QFile::remove(out);
    files.answers = {out};
    cmdFile[1]->click();
    files.answers.clear();
    return readAll(out);
}

template <class Decode, class Encode>
void checkRecord(const QByteArray &bytes, qsizetype length, Decode decode, Encode encode)
{
    const auto record = decode(bytes);
    FUZZ_CHECK(record.has_value() == (bytes.size() == length));
    if (record) FUZZ_CHECK(encode(*record) == bytes);
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
    if (size == 0) return 0;
    FuzzRig &r = FuzzRig::instance();
    MDItbl &app = r.app();
    // The file dialog makes the chosen file's folder the current directory;
    // the fuzzer reads its corpus by the paths it was given, perhaps relative.
    struct KeepCurrentDir {
        QString path = QDir::currentPath();
        ~KeepCurrentDir() { QDir::setCurrent(path); }
    } keepCurrentDir;
    const int kind = data[0] % 3;
    const bool exact = (data[0] & 0x80) == 0;
    static constexpr qsizetype Lengths[3] = {ParamFileSize, PointFileSize, WaveFileBytes};
    const qsizetype length = Lengths[kind];
    QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (exact) {
        QByteArray fitted(length, '\0');
        for (qsizetype i = 0; i < length && !bytes.isEmpty(); ++i) fitted[i] = bytes[i % bytes.size()];
        bytes = fitted;
    }
    const QString in = r.scratch(QStringLiteral("in.dat"));
    const QString out = r.scratch(QStringLiteral("out.dat"));
    const QString again = r.scratch(QStringLiteral("again.dat"));
    writeAll(in, bytes);
    const bool good = bytes.size() == length;

    switch (kind) {
    case 0: {
        checkRecord(bytes, length, DecodeParamFile, EncodeParamFile);
        const QByteArray saved = openThenSave(r.files, app.prmWrit->CmdFile, in, out, !good);
        if (good) FUZZ_CHECK(saved == bytes);
        break;
    }
    case 1: {
        checkRecord(bytes, length, DecodePointFile, EncodePointFile);
        const PointFileRead read = ReadPointFile(in);
        FUZZ_CHECK((read.status == PointFileRead::Status::Ok) == good);
        const QByteArray saved = openThenSave(r.files, app.tblWrit->CmdFile, in, out, !good);
        if (good) FUZZ_CHECK(saved == bytes);
        break;
    }
    case 2: {
        checkRecord(bytes, length, DecodeWaveFile, EncodeWaveFile);
        // A status bit or a list position this program never writes refuses
        // the file as a wrong length does.
        const std::optional<WaveFileRecord> record = DecodeWaveFile(bytes);
        const bool taken = record && WaveFileProblems(*record).isEmpty();
        const QByteArray saved = openThenSave(r.files, app.hMon->CmdFile, in, out, !taken);
        if (taken) {
            // The samples are taken as they are.
            FUZZ_CHECK(saved.left(WaveFileEntry::Trig * 2) == bytes.left(WaveFileEntry::Trig * 2));
            const QByteArray savedAgain = openThenSave(r.files, app.hMon->CmdFile, out, again, false);
            FUZZ_CHECK(savedAgain == saved);
        }
        break;
    }
    }
    return 0;
}

// The alarm log file as it may be found at start: cut short, edited by hand,
// written by another program, or garbage. The input is the file; the log is
// opened on it, one entry is logged, and the file is read again.
//
// Rules: a file that is not an alarm log is left byte for byte as it was; an
// alarm log (with the port column or, written before it, without) keeps every
// entry it had, in order, and gains the new one after them, naming its port
// (a row cut short, even inside quotes, does not swallow it); a file with
// nothing in it, or blank lines only, becomes a log of the one entry.

#include "fuzzrig.h"

#include "drive/alarmlog.h"

#include <QFile>
#include <QTimeZone>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzRig::instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = FuzzRig::instance().scratch(QStringLiteral("alarm-log.csv"));
    const QByteArray before(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(before) != before.size())
            fuzzCheckFailed("scratch file", __FILE__, __LINE__);
    }
    const AlarmLogRead found = ReadAlarmLog(before);
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1765000000000, QTimeZone::utc());
    {
        AlarmLogBook book(path);
        book.setPort(QStringLiteral("COM3 /dev/fuzz"));
        book.alarmsRead(1u << 1, when);  // an alarm present at the first reply
        FUZZ_CHECK(book.entries().size() == qMin<qsizetype>(found.entries.size(), AlarmLogBook::MemoryLimit - 1) + 1);
    }
    const QByteArray after = readAll(path);
    const AlarmLogRead again = ReadAlarmLog(after);
    switch (found.kind) {
    case AlarmLogRead::Kind::Foreign:
        FUZZ_CHECK(after == before);
        break;
    case AlarmLogRead::Kind::Empty:
    case AlarmLogRead::Kind::Log:
        FUZZ_CHECK(again.kind == AlarmLogRead::Kind::Log);
        FUZZ_CHECK(again.entries.mid(0, found.entries.size()) == found.entries);
        // The row that was cut short inside quotes may read whole once the
        // quote is closed; nothing else comes between.
        FUZZ_CHECK(again.entries.size() == found.entries.size() + 1 ||
                   (again.entries.size() == found.entries.size() + 2 && found.openQuote));
        FUZZ_CHECK(again.entries.constLast().time == when);
        FUZZ_CHECK(again.entries.constLast().port == QStringLiteral("COM3 /dev/fuzz"));
        FUZZ_CHECK(after.startsWith(before));
        break;
    }
    return 0;
}

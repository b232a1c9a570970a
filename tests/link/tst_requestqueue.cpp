// The link's requests as values: the slot, the stops kept ahead of it, the
// request written last, and what a retry, a withdrawal or a closing port does
// with them.

#include "drive/link/linkclient.h"
#include "drive/link/requestqueue.h"

#include <QTest>
#include <map>
#include <memory>

namespace {

class NamedClient : public LinkClient {
public:
    explicit NamedClient(const QString &name) { setObjectName(name); }
    void replied(const Reply &) override {}
    void refused(qint32) override {}
    void lost() override {}
};

// A queue and the clients "a" and "b", driven by steps; what it hands out and
// gives back is logged.
struct QueueRig {
    RequestQueue q;
    std::map<QString, std::unique_ptr<NamedClient>> clients;
    QStringList log;

    LinkClient *client(const QString &name)
    {
        auto &c = clients[name];
        if (!c) c = std::make_unique<NamedClient>(name);
        return c.get();
    }
    static QString text(const Request &r)
    {
        QString t = QString::fromLatin1(r.framed.mid(1, r.framed.size() - 2));
        if (r.owner) t += u'@' + r.owner->objectName();
        if (r.retries) t += QStringLiteral(" again %1").arg(r.retries);
        return t;
    }
    // Steps: "TEXT" or "TEXT@a" a request into the slot (a's); "TEXT poll"
    // one the poll built; ">" the next goes out, ">slot" the slot's goes out
    // first; "retry" the one written last again; "withdraw a"; "drop" the
    // clients' requests dropped; "stops" the stops taken out to be written;
    // "stop?" whether a stop is outstanding (the last one awaited).
    void run(const QStringList &steps)
    {
        for (const QString &s : steps) {
            if (s == u">" || s == u">slot") {
                const Request *r = s == u">" ? q.takeNext() : q.takeSlot();
                log << (r ? QStringLiteral("out ") + text(*r) : QStringLiteral("nothing"));
            } else if (s == u"retry") {
                if (!q.retryLast()) log << QStringLiteral("not again");
            } else if (s.startsWith(u"withdraw ")) {
                q.withdraw(client(s.mid(9)));
            } else if (s == u"drop") {
                for (const QPointer<LinkClient> &c : q.dropClients()) log << QStringLiteral("lost ") + c->objectName();
            } else if (s == u"stops") {
                for (const Request &r : q.takeStops()) log << QStringLiteral("write ") + text(r);
            } else if (s == u"stop?") {
                log << (q.stopOutstanding(true) ? QStringLiteral("stop outstanding") : QStringLiteral("no stop"));
            } else {
                const QString body = s.section(u' ', 0, 0);
                Request r;
                r.framed = FrameCmd(body.section(u'@', 0, 0).toLatin1());
                if (body.contains(u'@')) {
                    r.owner = client(body.section(u'@', 1));
                    r.owned = true;
                }
                r.kind = RequestKindOf(r.keyword(), s.endsWith(u" poll"));
                if (std::optional<Request> d = q.put(std::move(r))) log << QStringLiteral("displaced ") + text(*d);
            }
        }
    }
    // What still waits: the kept ones, then "|" and the slot's.
    QString waiting() const
    {
        QStringList kept;
        for (const Request &r : q.kept()) kept << text(r);
        return kept.join(u',') + u'|' + (q.slot() ? text(*q.slot()) : QString());
    }
};

}  // namespace

class TstRequestQueue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rule_data();
    void rule();
    void kinds_data();
    void kinds();
    void undoesStop_data();
    void undoesStop();
};

void TstRequestQueue::rule_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QString>("waiting");  // at the end

    // One slot: a later request replaces the one waiting.
    QTest::newRow("later replaces earlier") << QStringList{"HCL", "ARST", ">", ">"}
                                            << QStringList{"displaced HCL", "out ARST", "nothing"} << "|";
    QTest::newRow("a client's request displaced") << QStringList{"R;1@a", "TRST", ">"}
                                                  << QStringList{"displaced R;1@a", "out TRST"} << "|";
    // A stop is never replaced: it is kept and goes first; the same stop
    // again stays one; a stop kept already is not kept twice.
    QTest::newRow("stop kept") << QStringList{"JOGOFF", "STRON", "SVOFF", ">", ">", ">"}
                               << QStringList{"displaced STRON", "out JOGOFF", "out SVOFF", "nothing"} << "|";
    QTest::newRow("same stop once") << QStringList{"JOGOFF", "JOGOFF", ">", ">"}
                                    << QStringList{"displaced JOGOFF", "out JOGOFF", "nothing"} << "|";
    QTest::newRow("kept stop not twice") << QStringList{"JOGOFF", "STRON", "JOGOFF", "X", ">", ">", ">"}
                                         << QStringList{"displaced STRON", "displaced JOGOFF", "out JOGOFF", "out X",
                                                        "nothing"} << "|";
    QTest::newRow("poll after a stop") << QStringList{"EMCON", "S poll", "stop?", ">", "stop?", ">", "stop?"}
                                       << QStringList{"stop outstanding", "out EMCON", "stop outstanding", "out S",
                                                      "no stop"} << "|";
    // A client's request that waited behind a kept stop keeps its turn when
    // a button takes the slot; the slot's own request goes out only when
    // asked for first.
    QTest::newRow("job keeps its turn") << QStringList{"HSOFF", "R;1@a", ">", "TRST", ">", ">"}
                                        << QStringList{"out HSOFF", "out R;1@a", "out TRST"} << "|";
    QTest::newRow("job without a stop ahead") << QStringList{"R;1@a", ">slot", "R;2@a", "TRST"}
                                              << QStringList{"out R;1@a", "displaced R;2@a"} << "|TRST";
    QTest::newRow("slot first") << QStringList{"JOGOFF", "S", ">slot", ">"} << QStringList{"out S", "out JOGOFF"}
                                << "|";
    // Retry: the request written last again, after the stops that wait (the
    // slot's stop too), before anything else; a stop it would undo stands.
    QTest::newRow("retry, nothing waits") << QStringList{"R;2@a", ">", "retry", ">"}
                                          << QStringList{"out R;2@a", "out R;2@a again 1"} << "|";
    QTest::newRow("retry after the stops") << QStringList{"TRST", ">", "SVOFF", "ARST", "retry", ">", ">", ">"}
                                           << QStringList{"out TRST", "out SVOFF", "out TRST again 1", "out ARST"}
                                           << "|";
    QTest::newRow("retry, stop in the slot") << QStringList{"R;2", ">", "JOGOFF", "EMCON", "retry", ">", ">", ">"}
                                             << QStringList{"out R;2", "out JOGOFF", "out EMCON", "out R;2 again 1"}
                                             << "|";
    QTest::newRow("retry undoes a stop") << QStringList{"PJOG", ">", "JOGOFF", "retry", ">", ">"}
                                         << QStringList{"out PJOG", "not again", "out JOGOFF", "nothing"} << "|";
    QTest::newRow("twice") << QStringList{"W;1@b", ">", "retry", ">", "retry", ">"}
                           << QStringList{"out W;1@b", "out W;1@b again 1", "out W;1@b again 2"} << "|";
    // Taken back: a client's waiting requests; every client's at once, the
    // one written last losing its owner; the stops to be written.
    QTest::newRow("withdraw") << QStringList{"JOGOFF", "R;1@a", ">", "TRST", "withdraw a", ">"}
                              << QStringList{"out JOGOFF", "out TRST"} << "|";
    QTest::newRow("drop clients") << QStringList{"R;0@a", ">", "SVOFF", "W;1@b", "drop", ">", ">"}
                                  << QStringList{"out R;0@a", "lost a", "lost b", "out SVOFF", "nothing"} << "|";
    QTest::newRow("stops written") << QStringList{"JOGOFF", "STRON", "HSOFF", "stops", ">"}
                                   << QStringList{"displaced STRON", "write JOGOFF", "write HSOFF", "nothing"} << "|";
    QTest::newRow("stops and a button") << QStringList{"SVOFF", "ARST", "stops"}
                                        << QStringList{"write SVOFF"} << "|ARST";
}

void TstRequestQueue::rule()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, log);
    QFETCH(QString, waiting);
    QueueRig r;
    r.run(steps);
    QCOMPARE(r.log, log);
    QCOMPARE(r.waiting(), waiting);
}

void TstRequestQueue::kinds_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<bool>("byPoll");
    QTest::addColumn<int>("kind");
    using K = Request::Kind;
    QTest::newRow("S by the poll") << "S" << true << int(K::Poll);
    QTest::newRow("S of a job") << "S" << false << int(K::Command);
    QTest::newRow("EMCON") << "EMCON" << false << int(K::Stop);
    QTest::newRow("HSOFF by the poll") << "HSOFF" << true << int(K::Stop);
    QTest::newRow("EMCOFF") << "EMCOFF" << false << int(K::Command);
    QTest::newRow("FLASH") << "FLASH" << false << int(K::Transfer);
    QTest::newRow("TBLW") << "TBLW" << false << int(K::Transfer);
}

void TstRequestQueue::kinds()
{
    QFETCH(QString, keyword);
    QFETCH(bool, byPoll);
    QFETCH(int, kind);
    QCOMPARE(int(RequestKindOf(keyword.toLatin1(), byPoll)), kind);
}

void TstRequestQueue::undoesStop_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<bool>("undoes");
    QTest::newRow("+jog after JOGOFF") << "PJOG" << "JOGOFF" << true;
    QTest::newRow("-jog after JOGOFF") << "NJOG" << "JOGOFF" << true;
    QTest::newRow("HSON after HSOFF") << "HSON" << "HSOFF" << true;
    QTest::newRow("SVON after SVOFF") << "SVON" << "SVOFF" << true;
    QTest::newRow("EMCOFF after EMCON") << "EMCOFF" << "EMCON" << true;
    QTest::newRow("jog after SVOFF") << "PJOG" << "SVOFF" << false;
    QTest::newRow("TRST after JOGOFF") << "TRST" << "JOGOFF" << false;
    QTest::newRow("a stop after a stop") << "JOGOFF" << "JOGOFF" << false;
}

void TstRequestQueue::undoesStop()
{
    QFETCH(QString, request);
    QFETCH(QString, stop);
    QFETCH(bool, undoes);
    QCOMPARE(UndoesStop(request.toLatin1(), stop.toLatin1()), undoes);
}

QTEST_GUILESS_MAIN(TstRequestQueue)
#include "tst_requestqueue.moc"

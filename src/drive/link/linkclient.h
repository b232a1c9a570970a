#pragma once
// One who sends requests of its own through the link (a job): the replies
// to them come to it instead of to their keywords' decoders, and it hears
// when one of them will never be answered.

#include "request.h"

#include <QObject>

class LinkClient : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Its request was answered.
    virtual void replied(const Reply &reply) = 0;
    // Its request was answered "ERR" with this code (the reply has also been
    // shown as every "ERR" is).
    virtual void refused(qint32 code) = 0;
    // Its request will not be answered: the lost reply was given up, the
    // port went away, was closed or went offline, or another request took
    // its place in the slot before it went out.
    virtual void lost() = 0;
    // The reply to its request came garbled and was not taken; lost() or
    // the request sent again follows as for a lost reply.
    virtual void garbled() {}
};

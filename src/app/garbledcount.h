#pragma once
// The status bar's count of garbled replies: replies to a transfer, a
// capture or a job that failed their check and were not taken (each was
// asked again, or given up, as a lost reply is). Hidden while there has been
// none; its tooltip names the last one and what was wrong with it. Its text
// is what assistive tools read.

#include <QLabel>

class DriveLink;
struct Request;

class GarbledCount : public QLabel {
    Q_OBJECT
public:
    explicit GarbledCount(DriveLink &link, QWidget *parent = nullptr);

private:
    void count(const Request &request, const QString &why);

    DriveLink &m_link;
};

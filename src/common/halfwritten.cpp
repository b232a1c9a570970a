#include "halfwritten.h"

#include "messagelines.h"

#include "drive/drivejob.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>

QMessageBox *OpenHalfWrittenMessage(QWidget *parent, const QString &what, const QString &holds, const QString &backup,
                                    const QString &covers, std::function<void()> writeBack)
{
    const QString title = parent ? parent->windowTitle() : QString();
    QMessageBox *box = OpenMessage(parent, QMessageBox::Warning, title, what + QStringLiteral("\n\n") + holds,
                                   QStringLiteral("HalfWrittenMessage"));
    if (backup.isEmpty()) return box;
    QPushButton *back = box->addButton(QStringLiteral("&Write Backup Back"), QMessageBox::ActionRole);
    back->setObjectName(QStringLiteral("CmdWriteBackupBack"));
    box->button(QMessageBox::Ok)->setText(QStringLiteral("Close"));
    QObject::connect(back, &QPushButton::clicked, parent, [parent, title, backup, covers, writeBack] {
        // Asked once more: the values go to the drive and into its memory.
        auto *confirm = new QMessageBox(QMessageBox::Question, title,
                                        QStringLiteral("Write the values kept in\n%1\nback to the drive (%2) and save them "
                                                       "in its memory (FLASH)?")
                                            .arg(QDir::toNativeSeparators(backup), covers),
                                        QMessageBox::Yes | QMessageBox::No, parent);
        confirm->setTextFormat(Qt::PlainText);
        confirm->setObjectName(QStringLiteral("WriteBackConfirm"));
        confirm->setDefaultButton(QMessageBox::No);
        confirm->setAttribute(Qt::WA_DeleteOnClose);
        confirm->setWindowModality(Qt::ApplicationModal);
        QObject::connect(confirm, &QMessageBox::finished, parent, [confirm, writeBack](int) {
            if (confirm->clickedButton() == confirm->button(QMessageBox::Yes) && writeBack) writeBack();
        });
        confirm->open();
    });
    return box;
}

void TellWriteBackFailed(QWidget *window, const QString &why, const std::function<void(const QString &)> &report)
{
    report(why);
    OpenMessage(window, QMessageBox::Critical, window->windowTitle(), why, QStringLiteral("WriteBackFailedMessage"));
}

bool StartWriteBack(QWidget *window, DriveJob *job, const QString &path, const QString &done,
                    const std::function<void(const QString &)> &report, std::function<void(const QString &what)> stopped)
{
    QObject::connect(job, &DriveJob::progressed, window, [report](int step, int steps) {
        report(QStringLiteral("Writing the backup back: step %1 of %2").arg(step).arg(steps));
    });
    QObject::connect(job, &DriveJob::finished, window, [job, done, report, stopped](DriveJob::Ending ending) {
        job->deleteLater();
        if (ending == DriveJob::Ending::Done) return report(done);
        stopped(QStringLiteral("Writing the backup back: ") + DriveJob::endingText(ending, job->errorCode()));
    });
    if (job->start()) return true;
    delete job;
    TellWriteBackFailed(window,
                        QStringLiteral("A transfer with the drive is running; the backup %1 was not written back. Open it "
                                       "with \"Open File\" and write it with \"Export Data\" once the transfer has finished.")
                            .arg(QDir::toNativeSeparators(path)),
                        report);
    return false;
}

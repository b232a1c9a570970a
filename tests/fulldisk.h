#pragma once
// A folder where writes fail for want of room. As root, a small tmpfs is
// mounted on it and filled to the last byte, so writes fail as they do on a
// full disk (ENOSPC); elsewhere the file size limit of the process is set to
// nothing while the disk is "full" (EFBIG), which fails the same writes.
// Files put there before fill() stay for the test to check.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

class FullDisk {
public:
    FullDisk()
    {
        if (::geteuid() == 0 && ::mount("tmpfs", qPrintable(m_dir.path()), "tmpfs", 0, "size=64k") == 0)
            m_mounted = true;
    }
    ~FullDisk()
    {
        empty();
        if (m_mounted) ::umount2(qPrintable(m_dir.path()), MNT_DETACH);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    // "tmpfs" or "file size limit": how the disk is made full.
    QString how() const { return m_mounted ? QStringLiteral("tmpfs") : QStringLiteral("file size limit"); }

    // From now on nothing more fits.
    void fill()
    {
        if (m_mounted) {
            QFile pad(path(QStringLiteral(".pad")));
            if (pad.open(QIODevice::WriteOnly)) {
                const QByteArray block(512, '\0');
                while (pad.write(block) == block.size() && pad.flush()) {}
                // The last few bytes that still fit.
                while (pad.write("x", 1) == 1 && pad.flush()) {}
            }
            return;
        }
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        struct rlimit none = m_saved;
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &none);
        m_limited = true;
    }
    // Room again.
    void empty()
    {
        if (m_mounted) QFile::remove(path(QStringLiteral(".pad")));
        if (m_limited) ::setrlimit(RLIMIT_FSIZE, &m_saved);
        m_limited = false;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    bool m_limited = false;
    struct rlimit m_saved {};
};

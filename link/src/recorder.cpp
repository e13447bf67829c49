// One mutex guards every use of the file, so the loader's close on its own
// thread can never overlap an append or a size query.
//
// Sharing: on Linux there is no mandatory lock that would keep other programs
// from opening the file; the recording file is simply written by this tool
// alone, and the tool's own loader reads it only after closing it.

#include "kestrix/link/recorder.h"

#include <QFile>

#include <mutex>

namespace kestrix::link {

struct Recorder::Impl {
    mutable std::mutex mutex;
    // Created on first use, so a Recorder can be a global built before the
    // application object.
    std::unique_ptr<QFile> file;

    bool openLocked() const { return file && file->isOpen(); }
    void closeLocked()
    {
        if (file)
            file->close();
    }
};

Recorder::Recorder() : d(std::make_unique<Impl>()) {}

Recorder::~Recorder()
{
    close();
}

bool Recorder::create(const QString& path, QString* error)
{
    std::lock_guard lock(d->mutex);
    d->closeLocked();
    if (!d->file)
        d->file = std::make_unique<QFile>();
    d->file->setFileName(path);
    // Unbuffered: every append reaches the system at once, so the file on disk
    // is complete up to the last recorded datagram at every moment.
    if (path.isEmpty() ||
        !d->file->open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered)) {
        if (error)
            *error = QStringLiteral("Cannot create file %1").arg(path);
        d->file->close();
        return false;
    }
    return true;
}

void Recorder::close()
{
    std::lock_guard lock(d->mutex);
    d->closeLocked();
}

bool Recorder::isOpen() const
{
    std::lock_guard lock(d->mutex);
    return d->openLocked();
}

QString Recorder::fileName() const
{
    std::lock_guard lock(d->mutex);
    return d->openLocked() ? d->file->fileName() : QString();
}

bool Recorder::append(const QByteArray& datagram, QString* error)
{
    std::lock_guard lock(d->mutex);
    if (!d->openLocked())
        return true; // closed meanwhile (by the loader): nothing to record
    QFile& f = *d->file;
    const qint64 before = f.pos();
    const qint64 written = f.write(datagram);
    if (written == datagram.size())
        return true;
    const QString reason = written < 0 ? f.errorString()
                                       : QStringLiteral("only %1 of %2 bytes written")
                                             .arg(written)
                                             .arg(datagram.size());
    // Keep the file a run of whole datagrams: cut off a partly written one.
    if (written > 0 && f.resize(before))
        f.seek(before);
    if (error)
        *error = QStringLiteral("Cannot write to file %1: %2").arg(f.fileName(), reason);
    return false;
}

qint64 Recorder::size() const
{
    std::lock_guard lock(d->mutex);
    // The file is created empty and only ever appended to (a cut-off write
    // seeks back to its start), so its length is the write position: no
    // file-system query for every datagram.
    return d->openLocked() ? d->file->pos() : -1;
}

} // namespace kestrix::link

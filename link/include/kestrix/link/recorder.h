// The recording file: raw datagrams laid end to end, written unbuffered.
//
// All members are safe to call from any thread: the loader closes the file on
// its own thread while the user-interface thread may be appending.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace kestrix::link {

class Recorder {
public:
    Recorder();
    ~Recorder();

    // Closes any open file, then creates `path` anew (truncating it) for
    // reading and writing. False when it cannot be created, with `error` set
    // to "Cannot create file " followed by the path; no file is open then.
    bool create(const QString& path, QString* error);
    void close();
    bool isOpen() const;
    QString fileName() const;

    // Appends the whole datagram at once, unbuffered. False with the reason
    // (file name and system error) on a failed or short write; the file then
    // keeps exactly the datagrams written before (a partly written one is cut
    // off again). With no file open (closed meanwhile, e.g. by the loader) it
    // writes nothing and returns true.
    bool append(const QByteArray& datagram, QString* error);
    // Current length in bytes, -1 when no file is open.
    qint64 size() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kestrix::link

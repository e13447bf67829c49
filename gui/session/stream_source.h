// The stream source chosen on the main window: "live" (datagrams as they
// arrive) or "file" (the loaded recording). One value for the whole program;
// the main window's "stream source" group writes it, every other part reads it
// and listens to `changed`. User-interface thread only.
#pragma once

#include <QObject>

namespace kestrix::gui {

class StreamSource : public QObject {
    Q_OBJECT
public:
    bool live() const { return live_; }
    // Emits `changed` when the value changes.
    void setLive(bool live);
    // Back to "file" (the program-start value) without a signal.
    void reset() { live_ = false; }

signals:
    void changed(bool live);

private:
    bool live_ = false;
};

// The program's stream source.
StreamSource& TheStreamSource();

} // namespace kestrix::gui

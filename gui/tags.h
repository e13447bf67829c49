// NavData window.
#pragma once

#include "kestrix/decoder.h"

#include <QWidget>

namespace kestrix::gui {

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;
};

extern TForm4* Form4;

// The shared decoder: NavdataState (Navdata.state), NavdataHeaderWord
// (Navdata.headerWord) and RecordTime (Navdata.recordTime). Written by the live
// decode of the main window and by file navigation.
extern kestrix::NavdataDecoder Navdata;

} // namespace kestrix::gui

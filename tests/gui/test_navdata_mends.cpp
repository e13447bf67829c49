// The NavData window at its written size: every field label readable in full,
// and the order of the messages of a "go" that meets a bad option.
#include "support.h"

#include "kit/shared_state.h"
#include "navdata/tags.h"
#include "kit/widgets.h"
#include "session/loaded_stream.h"

#include "kestrix/packet_builder.h"

#include <QLabel>
#include <QtTest>

#include <memory>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

class TestNavdataMends : public QObject {
    Q_OBJECT

    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<TForm4> form;

private slots:
    void init()
    {
        ResetSharedState();
        messages = std::make_unique<MessageRecorder>();
        form = std::make_unique<TForm4>();
    }
    void cleanup()
    {
        form.reset();
        messages.reset();
        ResetSharedState();
    }

    // A label too long for its cell shows an elided text and gives the
    // whole text on hover; every label's text stays whole for the screen
    // reader.
    void labelsReadableInFull()
    {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        int checked = 0;
        int longOnes = 0;
        for (int tab = 0; tab < form->SCPageControl1->count(); ++tab) {
            form->SCPageControl1->setCurrentIndex(tab);
            QApplication::processEvents();
            for (QLabel* l : form->SCPageControl1->widget(tab)->findChildren<QLabel*>()) {
                if (!l->objectName().startsWith(QLatin1String("Label_"))) {
                    continue;
                }
                ++checked;
                const bool fits = l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width();
                if (!fits) {
                    ++longOnes;
                    QVERIFY2(l->toolTip() == l->text(), qPrintable(l->objectName() + QLatin1String(": ") + l->text()));
                }
            }
        }
        QVERIFY(checked > 100);
        // The window's written size cuts some labels: the check above ran.
        QVERIFY(longOnes > 0);
    }

    // "go" by record or by time into a stream whose packets carry a bad
    // option and with no such record: "wrong size" first, then "Record not
    // found".
    void wrongSizeBeforeRecordNotFound_data()
    {
        QTest::addColumn<bool>("byTime");
        QTest::newRow("by record") << false;
        QTest::newRow("by time") << true;
    }
    void wrongSizeBeforeRecordNotFound()
    {
        QFETCH(bool, byTime);
        std::vector<uint8_t> bytes;
        NavdataState s{};
        const uint8_t shortPayload[8] = {};
        for (uint32_t i = 1; i <= 3; ++i) {
            s.Time.time = MakeTimeWord(i, 0);
            const auto p = PacketBuilder().record(s, 1).rawOption(4, 12, shortPayload).checksum().take();
            bytes.insert(bytes.end(), p.begin(), p.end());
        }
        auto rec = std::make_shared<LoadedRecording>();
        rec->buffer = StreamBuffer::CopyOf(bytes);
        rec->index = StreamIndex::Build(rec->bytes());
        LoadedStream = std::move(rec);

        if (byTime) {
            form->SCEditTime->setValue(10);
            QTest::mouseClick(form->SCButton5, Qt::LeftButton);
        } else {
            form->SCEditRecordsCount->setValue(7);
            QTest::mouseClick(form->SCButton6, Qt::LeftButton);
        }
        const auto calls = messages->calls();
        QCOMPARE(int(calls.size()), 2);
        QCOMPARE(calls[0].text, QStringLiteral("wrong size"));
        QCOMPARE(calls[1].text, QStringLiteral("Record not found"));
    }
};

KESTRIX_GUI_TEST_MAIN(TestNavdataMends)
#include "test_navdata_mends.moc"

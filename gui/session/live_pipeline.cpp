#include "session/live_pipeline.h"

#include "kit/decode_action.h"
#include "kit/shared_state.h"
#include "session/stream_source.h"

#include "kestrix/decoder.h"

#include <QTimer>

#include <span>

namespace kestrix::gui {

LivePipeline& Live()
{
    // Lives as long as the program; reachable, so never reported as a leak.
    static auto* pipeline = new LivePipeline;
    return *pipeline;
}

int32_t& PacketCounter = Live().packetCounter();
bool& LiveDecodeReady = Live().decodeState().ready;
int32_t& RecordDivisor = Live().recordDivisor();
link::Recorder& RecordingFile = Live().recorder();
std::function<void()>& LiveDecodeHook = Live().passHook();

void LiveDecodeFinished()
{
    Live().passFinished();
}

bool LivePassRunning()
{
    return Live().decodeState().passRunning;
}

void SetLivePassRunning(bool running)
{
    Live().decodeState().passRunning = running;
}

void LivePipeline::started()
{
    if (!decode_.passRunning) {
        decode_.ready = true;
    }
    packetCounter_ = 0;
    wrongSizeReported_ = false;
    watch_.start();
}

void LivePipeline::stopped()
{
    watch_.stop();
}

bool LivePipeline::accept(const QByteArray& datagram, bool showRecords)
{
    watch_.datagram(datagram);
    packetCounter_ = int32_t(uint32_t(packetCounter_) + 1u);
    const bool due = packetCounter_ % recordDivisor_ == 0;
    if (due && recorder_.isOpen()) {
        QString reason;
        if (!recorder_.append(datagram, &reason)) {
            const QString name = recorder_.fileName();
            recorder_.close();
            emit recordingFailed(reason.contains(name) ? reason
                                                        : QStringLiteral("Cannot write to file %1: %2").arg(name, reason));
        }
    }

    if (!(decode_.ready && datagram.size() > 500 && showRecords && TheStreamSource().live() && due)) {
        return false;
    }
    decode_.ready = false;
    const uint64_t wrongSizeBefore = Navdata.wrongSizeEvents;
    DecodeNavdataPacket(
        std::span(reinterpret_cast<const uint8_t*>(datagram.constData()), std::size_t(datagram.size())), 0,
        Navdata);
    // Live streaming from one Start to its Stop is one action: a bad option
    // is reported once, after the datagram's handler has returned.
    if (Navdata.wrongSizeEvents != wrongSizeBefore && !wrongSizeReported_) {
        wrongSizeReported_ = true;
        QTimer::singleShot(0, this, [] { ShowWrongSize(); });
    }
    emit decoded();
    if (hook_) {
        decode_.passRunning = true;
        try {
            hook_();
        } catch (...) {
            // The pass did not start: the next decode is allowed; the error
            // goes on to the caller, which reports it.
            passFinished();
            throw;
        }
    } else {
        decode_.ready = true;
    }
    return true;
}

void LivePipeline::passFinished()
{
    decode_.passRunning = false;
    decode_.ready = true;
}

void LivePipeline::reset()
{
    packetCounter_ = 0;
    recordDivisor_ = 100;
    recorder_.close();
    decode_ = {};
    wrongSizeReported_ = false;
    watch_.stop();
    watch_.reset();
    // The hook belongs to live plotting, which sets and removes it with the
    // Graph window.
}

} // namespace kestrix::gui

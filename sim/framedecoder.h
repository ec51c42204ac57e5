#pragma once
// Cuts the byte stream from the tool into module frames:
//   SOH "(" code ")" content EOT
// A frame's content may itself hold the byte 0x01 (step 1 does), so a new
// frame only starts inside a content where SOH is followed by "(". Bytes
// outside a frame, a frame whose code is malformed and a frame cut off by
// the next frame's start are dropped; the decoder picks up again at the
// next SOH.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

struct DecodedFrame {
    QString code;        // "51", "3D", "99", ...
    QByteArray content;  // everything between ")" and EOT
};

class FrameDecoder {
public:
    // Longest code and content a frame may have; anything longer is noise.
    static constexpr int kMaxCodeLength = 4;
    static constexpr int kMaxContentLength = 4096;

    // Feeds received bytes; returns the frames they completed, in order.
    QList<DecodedFrame> feed(QByteArrayView bytes);

private:
    enum class State { Idle, Open, Code, Content };

    void feedByte(char byte, QList<DecodedFrame> &frames);
    void startFrame();
    void reset();

    State m_state = State::Idle;
    QByteArray m_code;
    QByteArray m_content;
    bool m_sohInContent = false;   // a 0x01 seen in the content, not yet placed
};

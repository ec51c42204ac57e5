#include "sim/framedecoder.h"

#include "link/frames.h"
#include "settings/codec.h"

QList<DecodedFrame> FrameDecoder::feed(QByteArrayView bytes)
{
    QList<DecodedFrame> frames;
    for (char byte : bytes)
        feedByte(byte, frames);
    return frames;
}

void FrameDecoder::startFrame()
{
    m_state = State::Open;
    m_code.clear();
    m_content.clear();
    m_sohInContent = false;
}

void FrameDecoder::reset()
{
    m_state = State::Idle;
    m_code.clear();
    m_content.clear();
    m_sohInContent = false;
}

static bool isCodeCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void FrameDecoder::feedByte(char byte, QList<DecodedFrame> &frames)
{
    switch (m_state) {
    case State::Idle:
        if (byte == kSoh)
            startFrame();
        return;
    case State::Open:
        if (byte == '(') {
            m_state = State::Code;
        } else {
            reset();
            feedByte(byte, frames);
        }
        return;
    case State::Code:
        if (byte == ')' && !m_code.isEmpty()) {
            m_state = State::Content;
        } else if (isCodeCharacter(byte) && m_code.size() < kMaxCodeLength) {
            m_code.append(byte);
        } else {
            reset();
            feedByte(byte, frames);
        }
        return;
    case State::Content:
        if (m_sohInContent) {
            m_sohInContent = false;
            if (byte == '(') {
                // The frame so far was cut off: a new one has begun.
                startFrame();
                m_state = State::Code;
                return;
            }
            m_content.append(kSoh);
        }
        if (byte == kEot) {
            frames.append(DecodedFrame{cp1252::decode(m_code), m_content});
            reset();
        } else if (byte == kSoh) {
            m_sohInContent = true;
        } else if (m_content.size() >= kMaxContentLength) {
            reset();
        } else {
            m_content.append(byte);
        }
        return;
    }
}

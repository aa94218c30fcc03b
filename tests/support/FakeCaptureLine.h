#pragma once

#include "CaptureLine.h"
#include "SerialLink.h"

// A capture's line on a test's fake link. The sink for --raw is kept for the
// test to call; the fake link does not.
class FakeCaptureLine : public CaptureLine
{
public:
    explicit FakeCaptureLine(SerialLink &link, QString device = QStringLiteral("/dev/fake"))
        : m_link(link)
        , m_device(std::move(device))
    { }

    SerialLink &link() override { return m_link; }
    QString device() const override { return m_device; }
    void setRawSink(RawSink sink) override { rawSink = std::move(sink); }

    RawSink rawSink;

private:
    SerialLink &m_link;
    QString m_device;
};

#include "SerialPortLine.h"

#include "PortChoice.h"
#include "QtSerialLink.h"

namespace {

class SerialPortLine : public CaptureLine
{
public:
    explicit SerialPortLine(const QString &named)
        : m_link(choosePort1Device(named))
    { }

    SerialLink &link() override { return m_link; }
    QString device() const override { return m_link.port1Device(); }
    void setRawSink(RawSink sink) override { m_link.setRawSink(std::move(sink)); }

private:
    QtSerialLink m_link;
};

} // namespace

std::unique_ptr<CaptureLine> openSerialPortLine(const QString &named)
{
    return std::make_unique<SerialPortLine>(named);
}

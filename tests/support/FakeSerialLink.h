#pragma once

#include "SerialLink.h"

#include <string>
#include <vector>

// A serial link that records every call in order and serves input the test
// feeds it.
class FakeSerialLink : public SerialLink
{
public:
    std::vector<std::string> calls;
    std::string input; // received and not yet read
    bool portOpen = false;
    bool openSucceeds = true;

    void feed(std::string_view bytes) { input += bytes; }

    bool isOpen() const override { return portOpen; }
    void setInputBufferSize(std::int16_t n) override { record("setInputBufferSize", n); }
    void setPort(std::int16_t n) override { record("setPort", n); }
    void setLine(std::string_view settings) override
    {
        calls.push_back("setLine " + std::string(settings));
    }
    void setReadLength(std::int16_t n) override { record("setReadLength", n); }
    bool open() override
    {
        calls.push_back("open");
        portOpen = openSucceeds;
        return openSucceeds;
    }
    void discardOutput() override { calls.push_back("discardOutput"); }
    void discardInput() override
    {
        calls.push_back("discardInput");
        input.clear();
    }
    void setDtr(bool raised) override { record("setDtr", raised); }
    void setRts(bool raised) override { record("setRts", raised); }
    void setDiscardNul(bool discard) override { record("setDiscardNul", discard); }
    std::string_view received() const override { return input; }
    void consume(std::size_t count) override { input.erase(0, count); }
    std::string errorString() const override
    {
        return "Cannot open serial port 1 (/dev/fake): gone";
    }

private:
    void record(const char *name, int value)
    {
        calls.push_back(std::string(name) + " " + std::to_string(value));
    }
};

#include "SerialLinkSetup.h"

#include "SerialLink.h"

bool openSerialLink(SerialLink &link)
{
    if (!link.isOpen()) {
        link.setInputBufferSize(5000);
        link.setPort(1);
        link.setLine("9600,n,8,1");
        link.setReadLength(1);
        if (!link.open())
            return false;
        link.discardOutput();
        link.discardInput();
        link.setDtr(true);
        link.setRts(true);
        link.setDiscardNul(false);
    }
    link.discardInput();
    return true;
}

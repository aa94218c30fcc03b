#pragma once

class SerialLink;

// The set-up part of START: opens and configures port 1 unless it is already
// open, then in every case drops the input received so far. Returns false when
// the port cannot be opened; link.errorString() then says why.
bool openSerialLink(SerialLink &link);

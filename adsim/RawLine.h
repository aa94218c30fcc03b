#pragma once

// Puts the terminal fd into raw mode at 9600 baud, 8 data bits, no parity,
// 1 stop bit, no flow control and no character translation, as the converter
// line is. Returns false with errno set when fd is not a terminal or refuses.
bool setRawLine9600(int fd);

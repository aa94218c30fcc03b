#pragma once

// Chooses Qt's own event dispatcher over GLib's. Call before the application
// object exists.
//
// START's loop runs nested inside a queued call and pumps events itself.
// Under GLib's dispatcher the window stops repainting inside such a loop
// (seen with Qt 6.4 on xcb): readings arrive but the fields never show them.
// Qt's own dispatcher runs every pending handler wherever the pump is called.
void selectEventDispatcher();

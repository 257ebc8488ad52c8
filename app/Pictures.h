// The program's own pictures (drawn by resources/make_pictures.py), compiled in as XPM data and read
// without any image format plugin: loading a picture from a file would make Qt load every plugin
// (GIF, JPEG, ...) at start-up.
#pragma once
#include <QImage>

namespace kb {

// "icon", "logo61", "logo64", "exit", "stop" or "printer"; a null image for any other name.
QImage picture(const char* name);

} // namespace kb

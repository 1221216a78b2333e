// The program's embedded pictures, animation and cursor (resource paths ":/assets/<name>").
#pragma once

#include <QByteArray>
#include <QString>

namespace sonaro::assets {

// Registers the embedded files. Bytes() does it on first use; calling it again is harmless.
void Init();

// The bytes of the embedded file `name` (for example "main_skin.png"); empty when there is
// no such file. Names are plain file names: anything with a '/' is refused.
QByteArray Bytes(const QString& name);

}  // namespace sonaro::assets

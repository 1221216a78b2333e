#include "assets/assets.h"

#include <QFile>

// The resource initialiser must be named at global scope. Calling it also keeps the linker
// from dropping the resource object out of the static library.
static void RegisterAssetResources() { Q_INIT_RESOURCE(assets); }

namespace sonaro::assets {

void Init() {
  static const bool registered = (RegisterAssetResources(), true);
  (void)registered;
}

QByteArray Bytes(const QString& name) {
  Init();
  if (name.isEmpty() || name.contains(u'/')) return {};
  QFile file(QStringLiteral(":/assets/") + name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace sonaro::assets

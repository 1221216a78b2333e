// Finding and loading the browser engine module.
#include <dlfcn.h>

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "browser/engine.h"
#include "sonaro_config.h"

namespace sonaro::browser {

namespace {

const Engine* g_engine = nullptr;
bool g_loadFailed = false;

constexpr const char* kModuleFile = "libsonaro-browser-engine.so";

// Beside the program (the build folder), then where an installed tree keeps it.
QStringList ModulePlaces() {
  QStringList places;
  if (QCoreApplication::instance()) {
    const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    places << folder + QLatin1String(kModuleFile);
    places << folder + QLatin1String(config::kEngineRelativeDir) + QLatin1Char('/') +
                  QLatin1String(kModuleFile);
  }
  if (!qEnvironmentVariableIsEmpty("SONARO_BROWSER_ENGINE"))
    places << qEnvironmentVariable("SONARO_BROWSER_ENGINE");
  return places;
}

// The module's engine, or null with the reason in error.
const Engine* Open(const QString& path, QByteArray* error) {
  // Kept open for the life of the process: its objects and threads outlive any unload point.
  void* module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    *error = dlerror();
    return nullptr;
  }
  using Entry = const Engine* (*)();
  auto entry = reinterpret_cast<Entry>(dlsym(module, "sonaro_browser_engine"));
  const Engine* engine = entry ? entry() : nullptr;
  if (!engine || !engine->interface || std::strcmp(engine->interface, kEngineInterface) != 0) {
    *error = "not a browser engine module of this version";
    return nullptr;
  }
  return engine;
}

}  // namespace

const Engine* CurrentEngine() { return g_engine; }

void UseEngine(const Engine* engine) { g_engine = engine; }

const Engine* LoadEngine() {
  if (g_engine || g_loadFailed) return g_engine;
  QByteArray errors;
  for (const QString& path : ModulePlaces()) {
    if (!QFile::exists(path)) continue;
    QByteArray error;
    if ((g_engine = Open(path, &error))) return g_engine;
    errors += "\n  " + QFile::encodeName(path) + ": " + error;
  }
  g_loadFailed = true;
  if (errors.isEmpty()) errors = QByteArray("\n  ") + kModuleFile + " is not installed";
  std::fprintf(stderr, "sonaro: the browser engine could not be loaded; pages stay empty:%s\n",
               errors.constData());
  return nullptr;
}

}  // namespace sonaro::browser

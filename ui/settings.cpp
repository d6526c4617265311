#include "settings.h"

namespace kelvora::ui {

QSettings AppSettings() { return QSettings(QStringLiteral("Kelvora"), QStringLiteral("Kelvora")); }

}  // namespace kelvora::ui

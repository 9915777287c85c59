#pragma once

class QCoreApplication;

// Qt's own texts (message box buttons, the text boxes' context menu) in
// Spanish, like the rest of the station, from Qt's translations installed
// on the machine (Debian's qt6-translations-l10n).
class TraduccionQt {
 public:
  // False when they are not installed: Qt's built-in texts stay.
  static bool Cargar(QCoreApplication& aplicacion);
};

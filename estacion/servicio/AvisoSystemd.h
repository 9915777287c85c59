#pragma once

#include <QObject>

class QTimer;

// What systemd is told of the service: ready once the port is open, alive
// at half the watchdog's time, stopping. Nothing when not run by systemd.
class AvisoSystemd : public QObject {
  Q_OBJECT

 public:
  explicit AvisoSystemd(QObject* padre = nullptr);

  void Listo();
  void Terminando();

 private:
  QTimer* vigilante_ = nullptr;
};

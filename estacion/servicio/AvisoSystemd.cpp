#include "estacion/servicio/AvisoSystemd.h"

#include <QTimer>

#include <systemd/sd-daemon.h>

#include <chrono>
#include <cstdint>

AvisoSystemd::AvisoSystemd(QObject* padre) : QObject(padre) {
  std::uint64_t microsegundos = 0;
  if (::sd_watchdog_enabled(0, &microsegundos) <= 0 || microsegundos == 0) return;
  vigilante_ = new QTimer(this);
  vigilante_->setInterval(std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::microseconds(microsegundos / 2)));
  connect(vigilante_, &QTimer::timeout, this, [] { ::sd_notify(0, "WATCHDOG=1"); });
}

void AvisoSystemd::Listo() {
  ::sd_notify(0, "READY=1");
  if (vigilante_) vigilante_->start();
}

void AvisoSystemd::Terminando() {
  if (vigilante_) vigilante_->stop();
  ::sd_notify(0, "STOPPING=1");
}

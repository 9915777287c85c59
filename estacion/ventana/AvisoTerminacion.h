#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal on the window's thread, so the
// station ends between two events, never in the middle of posting a call.
class AvisoTerminacion : public QObject {
  Q_OBJECT

 public:
  explicit AvisoTerminacion(QObject* padre = nullptr);
  ~AvisoTerminacion() override;

 signals:
  void Terminar();

 private:
  void Leer();

  int extremos_[2] = {-1, -1};
  QSocketNotifier* notificador_ = nullptr;
};

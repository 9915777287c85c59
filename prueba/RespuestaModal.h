#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "estacion/ventana/frmCentralTelefonica.h"

#include <chrono>
#include <functional>
#include <string>

// Answers the modal windows a test provokes: looks for one every few
// milliseconds and hands it to `responder`, which must close it. Keeps what
// each message box said.
class RespuestaModal : public QObject {
 public:
  struct Caja {
    std::string titulo, texto;
    QMessageBox::Icon icono = QMessageBox::NoIcon;
    QMessageBox::StandardButtons botones;
  };

  explicit RespuestaModal(std::function<void(QWidget*)> responder)
      : responder_(std::move(responder)) {
    QObject::connect(&timer_, &QTimer::timeout, this, &RespuestaModal::Mirar);
    timer_.start(std::chrono::milliseconds(20));
  }

  // Presses the button of a message box; any other dialog is cancelled.
  static void Pulsar(QWidget* modal, QMessageBox::StandardButton boton) {
    if (auto* caja = qobject_cast<QMessageBox*>(modal); caja && caja->button(boton)) {
      caja->button(boton)->click();
    } else if (auto* dialogo = qobject_cast<QDialog*>(modal)) {
      dialogo->reject();
    }
  }

  int vistas = 0;
  Caja ultima;

 private:
  void Mirar() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == atendida_.data()) return;
    atendida_ = modal;
    ++vistas;
    if (auto* caja = qobject_cast<QMessageBox*>(modal)) {
      ultima = {caja->windowTitle().toStdString(), caja->text().toStdString(), caja->icon(),
                caja->standardButtons()};
    }
    responder_(modal);
  }

  std::function<void(QWidget*)> responder_;
  QTimer timer_;
  QPointer<QWidget> atendida_;  // a box that has gone no longer counts
};

// Chooses a menu command (the exit unless told) and runs the event loop until
// the program ends it (0), or the limit passes (2); a RespuestaModal answers
// what it opens.
inline int SalirDelMenu(
    frmCentralTelefonica& ventana, std::chrono::milliseconds limite = std::chrono::seconds(10),
    void (frmCentralTelefonica::*comando)() = &frmCentralTelefonica::mnuSalirSistema_Click) {
  QTimer::singleShot(std::chrono::milliseconds(0), &ventana, comando);
  QTimer tope;
  tope.callOnTimeout([] { QCoreApplication::exit(2); });
  tope.start(limite);
  return QApplication::exec();
}

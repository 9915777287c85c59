#pragma once

#include <QLabel>

#include <memory>
#include <string>
#include <vector>

#include "estacion/ventana/frmCentralTelefonica.h"
#include "prueba/TelefonoPrestado.h"

// The main window for tests: lends a fake Telefono to every receive event and
// keeps every status text in the order shown.
class VentanaRegistrada : public frmCentralTelefonica {
 public:
  explicit VentanaRegistrada(TelefonoFalso& telefono)
      : frmCentralTelefonica([this]() -> captura::Resultado<std::unique_ptr<captura::_Telefono>> {
          return std::unique_ptr<captura::_Telefono>(
              std::make_unique<TelefonoPrestado>(telefono_, vivos));
        }),
        telefono_(telefono) {}

  void MostrarEstado(const std::string& texto) override {
    estados.push_back(texto);
    frmCentralTelefonica::MostrarEstado(texto);
  }

  // What the status line shows now.
  std::string Linea() const {
    return findChild<QLabel*>(QStringLiteral("lblInformacion"))->text().toStdString();
  }

  std::vector<std::string> estados;
  int vivos = 0;

 private:
  TelefonoFalso& telefono_;
};

#include "estacion/ventana/AvisosInicio.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <iostream>

#include "estacion/ajustes/mdlMain.h"
#include "estacion/ventana/UnicaEstacion.h"

using mdlMain::Intentar;

namespace AvisosInicio {

bool HayPantalla() {
  const QString plataforma = QGuiApplication::platformName();
  return plataforma != QLatin1String("offscreen") && plataforma != QLatin1String("minimal");
}

std::string SinAjustes(const std::string& directorio) {
  return "Falta " + std::string(mdlMain::kNombreArchivoIni) + " en " + directorio +
         ". Sin pantalla no se puede abrir el diálogo de configuración: inicie Sentrel una vez "
         "con pantalla y grabe el diálogo, o escriba el archivo con las claves que lista el "
         "README (sección \"CAPTURA.INI\").";
}

bool Abandonar(const std::string& motivo) {
  Intentar([] { QApplication::restoreOverrideCursor(); });
  if (!motivo.empty()) Intentar([&] { std::cerr << motivo << std::endl; });
  return false;
}

bool NoSeInicia(const std::string& motivo, const Bitacora::Sumidero& sumidero) {
  const std::string texto = "Sentrel no se puede iniciar: " + motivo;
  Abandonar(texto);
  Intentar([&] { Bitacora(sumidero).InicioFallido(motivo); });
  // Started from the menu there is no terminal: the box is all the user sees.
  if (HayPantalla()) {
    Intentar([&] {
      QMessageBox::critical(nullptr, QStringLiteral("Sentrel"), QString::fromStdString(texto));
    });
  }
  return false;
}

std::string OtraEstacion(const std::string& motivo, const std::string& directorio) {
  if (!HayPantalla()) return motivo + "; este inicio termina sin tocar nada.";
  return motivo + (UnicaEstacion::PedirPresentar(directorio) ? "; se muestra su ventana."
                                                             : "; no respondió.");
}

void PuertoNoAbre() {
  // The start's busy pointer does not stay over the box.
  if (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  std::cerr << kTituloNoAbre << ": " << kMensajeNoAbre << std::endl;
  // With no screen nobody could close the box, and the station would hang
  // instead of ending; the message above is all it can give then.
  if (!HayPantalla()) return;
  QMessageBox::critical(nullptr, QString::fromUtf8(kTituloNoAbre),
                        QString::fromUtf8(kMensajeNoAbre));
}

}  // namespace AvisosInicio

#include "estacion/servicio/ServicioEstacion.h"

#include <QCoreApplication>

#include <iostream>

#include "estacion/ajustes/mdlMain.h"
#include "estacion/ventana/LineaComandos.h"
#include "resguardo/Bitacora.h"

using mdlMain::Intentar;

ServicioEstacion::ServicioEstacion(ReceptorLlamadas::CrearTelefono crearTelefono, QObject* padre)
    : QObject(padre),
      estacion_(std::move(crearTelefono)),
      enlace_(estacion_, estacion_.Control().Registro()) {
  connect(&terminacion_, &AvisoTerminacion::Terminar, this, &ServicioEstacion::Terminar);
}

bool ServicioEstacion::Iniciar() {
  const std::string& directorio = estacion_.DirectorioPrograma();
  // Nothing in the program directory is touched before the lock is held.
  if (!estacion_.UbicarAjustes().existe) {
    return NoSeInicia("falta " + std::string(mdlMain::kNombreArchivoIni) + " en " + directorio +
                      "; grábelo con el diálogo de configuración de Sentrel o escríbalo");
  }
  if (const auto tomada = unica_.Tomar(directorio); !tomada) {
    return NoSeInicia(tomada.Falla().Descripcion);
  }
  if (!unica_.FalloEscucha().empty()) {
    Intentar([&] { Bitacora().SinSegundoInicio(unica_.FalloEscucha()); });
  }
  Intentar([&] { estacion_.Iniciar(); });
  if (!estacion_.AbrirPuerto()) return false;
  Intentar([&] { estacion_.AnunciarInicio(LineaComandos::Version()); });
  // Without the link the station captures all the same; no window attaches.
  if (const auto escucha = enlace_.Escuchar(directorio); !escucha) {
    Intentar([&] { estacion_.Control().Registro().SinEnlace(escucha.Falla().Descripcion); });
  }
  systemd_.Listo();
  return true;
}

bool ServicioEstacion::NoSeInicia(const std::string& motivo) {
  Intentar([&] { std::cerr << "Sentrel no se puede iniciar: " << motivo << std::endl; });
  Intentar([&] { Bitacora().InicioFallido(motivo); });
  return false;
}

void ServicioEstacion::Terminar() {
  // The port stays open until the event loop has unwound: a receive event
  // under way still reads and posts what it was given.
  systemd_.Terminando();
  QCoreApplication::exit(0);
}

void ServicioEstacion::Finalizar() { estacion_.Finalizar(); }

#include "resguardo/Bitacora.h"

#include <syslog.h>

#include <cstdio>
#include <mutex>

#include "llamadas/Texto.h"

namespace {

void AlSyslog(int prioridad, const std::string& mensaje) {
  static std::once_flag abierto;
  std::call_once(abierto, [] { openlog("Sentrel", LOG_PID, LOG_USER); });
  syslog(prioridad, "%s", mensaje.c_str());
}

}  // namespace

Bitacora::Bitacora(Sumidero sumidero)
    : sumidero_(sumidero ? std::move(sumidero) : Sumidero(AlSyslog)) {}

std::string Bitacora::TextoLinea(std::string_view linea) {
  std::string limpia(linea.substr(0, linea.find_last_not_of(' ') + 1));
  for (char& c : limpia) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || (b >= 0x80 && b < 0xA0)) c = '?';
  }
  return Utf8DesdeLatin1(limpia);
}

std::string Bitacora::ConLinea(const std::string& texto, std::string_view linea) {
  return texto + " | línea: " + TextoLinea(linea);
}

std::string Bitacora::TextoFallo(const captura::Fallo& fallo) {
  char numero[48];
  std::snprintf(numero, sizeof numero, "error %d (0x%08X): ", fallo.Numero,
                static_cast<unsigned>(fallo.Numero));
  return numero + fallo.Descripcion;
}

void Bitacora::Pendiente(std::string_view linea, const captura::Fallo& fallo, uint32_t intento) {
  Escribir(LOG_WARNING, "Llamada pendiente, intento " + std::to_string(intento) +
                            ", se reintentará: " + TextoFallo(fallo) +
                            " | línea: " + TextoLinea(linea));
}

void Bitacora::Aparcada(std::string_view linea, const captura::Fallo& fallo) {
  Escribir(LOG_ERR, "Llamada apartada, no se reintentará: " + TextoFallo(fallo) +
                        " | línea: " + TextoLinea(linea));
}

void Bitacora::EnEspera(std::string_view linea) {
  Escribir(LOG_INFO, "Llamada en espera de las pendientes | línea: " + TextoLinea(linea));
}

void Bitacora::Recobrada(std::string_view linea) {
  Escribir(LOG_NOTICE,
           "Llamada recibida antes de un cierre inesperado, se comprobará antes de registrarla | "
           "línea: " +
               TextoLinea(linea));
}

void Bitacora::Recuperada(std::string_view linea, uint32_t intentos) {
  Escribir(LOG_NOTICE, "Llamada pendiente registrada tras " + std::to_string(intentos) +
                           " intento(s) fallido(s) | línea: " + TextoLinea(linea));
}

void Bitacora::ArchivoNoGuardado(const captura::Fallo& fallo) {
  Escribir(LOG_CRIT, "No se pudo guardar el archivo de llamadas pendientes: " + TextoFallo(fallo));
}

void Bitacora::ArchivoDanado(const captura::Fallo& fallo) {
  Escribir(LOG_CRIT, "Archivo de la estación dañado: " + TextoFallo(fallo));
}

void Bitacora::DiarioNoGuardado(const captura::Fallo& fallo) {
  Escribir(LOG_CRIT, "No se pudo guardar el diario de recepcion: " + TextoFallo(fallo));
}

void Bitacora::Devuelta(std::string_view linea) {
  Escribir(LOG_NOTICE,
           "Llamada apartada devuelta a la cola por el operador | línea: " + TextoLinea(linea));
}

void Bitacora::CargoAConfirmar(std::string_view linea, int32_t reserva) {
  Escribir(LOG_WARNING, ConLinea("Cargo apartado, reserva a confirmar: la habitación se buscó "
                                 "pasado el límite de MinutosCargoAutomatico y la reserva "
                                 "hallada, " +
                                     std::to_string(reserva) +
                                     ", puede ser de otro huésped; la llamada queda registrada "
                                     "sin reserva (Ctrl+L: Cargar o Descartar cargo)",
                                 linea));
}

void Bitacora::CargoConfirmado(std::string_view linea, int32_t reserva) {
  Escribir(LOG_NOTICE,
           ConLinea("Cargo a la reserva " + std::to_string(reserva) + " confirmado por el operador",
                    linea));
}

void Bitacora::CargoDescartado(std::string_view linea) {
  Escribir(LOG_NOTICE,
           ConLinea("Cargo descartado por el operador; la llamada queda registrada", linea));
}

void Bitacora::Inicio(std::string_view detalle) {
  Escribir(LOG_NOTICE, "Iniciado: " + std::string(detalle));
}

void Bitacora::Fin() { Escribir(LOG_NOTICE, "Detenido"); }

void Bitacora::FechaIlegible(std::string_view linea, std::string_view orden) {
  Escribir(LOG_WARNING, "Fecha imposible en el orden " + std::string(orden) +
                            " (clave OrdenFecha de CAPTURA.INI); la llamada queda sin fecha | "
                            "línea: " +
                            TextoLinea(linea));
}

void Bitacora::AjusteInvalido(std::string_view clave, std::string_view valor,
                              std::string_view usado) {
  Escribir(LOG_WARNING, "Valor no válido en CAPTURA.INI: " + std::string(clave) + "=" +
                            TextoLinea(valor) + "; se usa " + std::string(usado));
}

void Bitacora::SinDatos(long minutos) {
  Escribir(LOG_WARNING, "Sin datos de la central hace " + std::to_string(minutos) +
                            " minutos: revise el cable y la central");
}

void Bitacora::DatosDeNuevo(long minutos) {
  Escribir(LOG_NOTICE,
           "Llegan datos de la central tras " + std::to_string(minutos) + " minutos sin datos");
}

void Bitacora::LineaConControles(std::string_view linea) {
  Escribir(LOG_WARNING,
           "Llamada con bytes de control, registrada con blancos en su lugar | línea: " +
               TextoLinea(linea));
}

void Bitacora::LineaCortada(std::string_view fragmento) {
  Escribir(LOG_WARNING,
           "Línea cortada por una interrupción de la recepción, no se registra: busque la "
           "llamada en la central | texto: " +
               TextoLinea(fragmento));
}

void Bitacora::LineaPerdida(const std::string& puerto, const captura::Fallo& fallo) {
  Escribir(LOG_ERR, puerto + ": línea perdida, se reintenta abrirla: " + TextoFallo(fallo));
}

void Bitacora::LineaRecuperada(const std::string& puerto) {
  Escribir(LOG_NOTICE, puerto + ": línea recuperada");
}

void Bitacora::ConexionRechazada(const std::string& texto) { Escribir(LOG_WARNING, texto); }

void Bitacora::Escribir(int prioridad, const std::string& mensaje) {
  try {
    sumidero_(prioridad, mensaje);
  } catch (...) {
    // The log must never stop the posting of calls.
  }
}

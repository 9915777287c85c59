#include "resguardo/Bitacora.h"

#include <syslog.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <ostream>

#include "llamadas/Texto.h"

namespace {

// Digits of a dialled number the log shows; the others become "*".
constexpr std::size_t kDigitosVisibles = 4;
// Runs of digits this long outside the number's field may be a number too;
// shorter ones are extensions, dates, times, codes.
constexpr std::size_t kCorridaEnLinea = 5;
// In a driver's text, SQLSTATEs and ports (5 digits) stay whole.
constexpr std::size_t kCorridaEnFallo = 6;

void AlSyslog(int prioridad, const std::string& mensaje) {
  static std::once_flag abierto;
  std::call_once(abierto, [] { openlog("Sentrel", LOG_PID, LOG_USER); });
  syslog(prioridad, "%s", mensaje.c_str());
}

bool EsDigito(char c) { return c >= '0' && c <= '9'; }

// Every digit after the first kDigitosVisibles of the stretch as "*".
void TaparDiscado(std::string& texto, std::size_t desde, std::size_t hasta) {
  std::size_t vistos = 0;
  for (std::size_t i = desde; i < hasta; ++i) {
    if (EsDigito(texto[i]) && ++vistos > kDigitosVisibles) texto[i] = '*';
  }
}

// Each run of at least `largo` digits in the stretch, as a dialled number.
void TaparCorridas(std::string& texto, std::size_t desde, std::size_t hasta, std::size_t largo) {
  for (std::size_t i = desde; i < hasta;) {
    std::size_t fin = i;
    while (fin < hasta && EsDigito(texto[fin])) ++fin;
    if (fin - i >= largo) TaparDiscado(texto, i, fin);
    i = std::max(fin, i + 1);
  }
}

// "?" for every control byte: C0 and DEL, and the C1 ones in Latin-1 text.
void TaparControles(std::string& texto, bool latin1) {
  for (char& c : texto) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || (latin1 && b >= 0x80 && b < 0xA0)) c = '?';
  }
}

// A call line without trailing blanks and with "?" for control bytes.
std::string Limpia(std::string_view linea) {
  std::string limpia(linea.substr(0, linea.find_last_not_of(' ') + 1));
  TaparControles(limpia, true);
  return limpia;
}

}  // namespace

Bitacora::Bitacora(Sumidero sumidero, LimiteAvisos::Reloj reloj)
    : sumidero_(sumidero ? std::move(sumidero) : Sumidero(AlSyslog)), limite_(std::move(reloj)) {}

std::string Bitacora::TextoLineaEntera(std::string_view linea) {
  return Utf8DesdeLatin1(Limpia(linea));
}

// The number lies between the first two "|" the line is cut by; whatever
// stands elsewhere is looked at too, for lines that are not whole.
std::string Bitacora::TextoLinea(std::string_view linea) {
  std::string texto = Limpia(linea);
  const std::size_t s1 = texto.find('|', 6);
  const std::size_t s2 = s1 == std::string::npos ? s1 : texto.find('|', s1 + 1);
  if (s2 == std::string::npos) {
    TaparCorridas(texto, 0, texto.size(), kCorridaEnLinea);
  } else {
    TaparCorridas(texto, 0, s1, kCorridaEnLinea);
    TaparDiscado(texto, s1 + 1, s2);
    TaparCorridas(texto, s2, texto.size(), kCorridaEnLinea);
  }
  return Utf8DesdeLatin1(texto);
}

std::string Bitacora::ConLinea(const std::string& texto, std::string_view linea) {
  return texto + " | línea: " + TextoLinea(linea);
}

std::string Bitacora::TextoFallo(const captura::Fallo& fallo) {
  char numero[48];
  std::snprintf(numero, sizeof numero, "error %d (0x%08X): ", fallo.Numero,
                static_cast<unsigned>(fallo.Numero));
  // The driver's text is UTF-8 already: only the C0 controls and DEL go.
  std::string descripcion = fallo.Descripcion;
  TaparControles(descripcion, false);
  TaparCorridas(descripcion, 0, descripcion.size(), kCorridaEnFallo);
  return numero + descripcion;
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
  EscribirLimitado("FechaIlegible", LOG_WARNING,
                   "Fecha imposible en el orden " + std::string(orden) +
                       " (clave OrdenFecha de CAPTURA.INI); la llamada queda sin fecha | "
                       "línea: " +
                       TextoLinea(linea));
}

void Bitacora::AjusteInvalido(std::string_view clave, std::string_view valor,
                              std::string_view usado) {
  Escribir(LOG_WARNING, "Valor no válido en CAPTURA.INI: " + std::string(clave) + "=" +
                            TextoLineaEntera(valor) + "; se usa " + std::string(usado));
}

void Bitacora::AjustesNoGuardados(const captura::Fallo& fallo) {
  Escribir(LOG_ERR, "No se grabó la configuración: " + fallo.Descripcion);
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
  EscribirLimitado("LineaConControles", LOG_WARNING,
                   "Llamada con bytes de control, registrada con blancos en su lugar | línea: " +
                       TextoLinea(linea));
}

void Bitacora::LineaCortada(std::string_view fragmento) {
  EscribirLimitado("LineaCortada", LOG_WARNING,
                   "Línea cortada por una interrupción de la recepción, no se registra: busque la "
                   "llamada en la central | texto: " +
                       TextoLinea(fragmento));
}

void Bitacora::LineaPerdida(const std::string& puerto, const captura::Fallo& fallo) {
  EscribirLimitado("LineaPerdida", LOG_ERR,
                   puerto + ": línea perdida, se reintenta abrirla: " + TextoFallo(fallo));
}

void Bitacora::LineaRecuperada(const std::string& puerto) {
  EscribirLimitado("LineaRecuperada", LOG_NOTICE, puerto + ": línea recuperada");
}

void Bitacora::ConexionRechazada(const std::string& texto) { Escribir(LOG_WARNING, texto); }

void Bitacora::ConexionAceptada(const std::string& texto) {
  EscribirLimitado("ConexionAceptada", LOG_NOTICE, texto);
}

void Bitacora::SinEnlace(std::string_view motivo) {
  Escribir(LOG_ERR, "Ninguna ventana podrá enlazarse al servicio: " + std::string(motivo));
}

void Bitacora::EnlaceRechazado(const std::string& texto) {
  EscribirLimitado("EnlaceRechazado", LOG_WARNING, texto);
}

void Bitacora::NoEscucha(std::string_view motivo) { Escribir(LOG_ERR, std::string(motivo)); }

void Bitacora::InicioFallido(std::string_view motivo) {
  Escribir(LOG_CRIT, "No se inició: " + std::string(motivo));
}

void Bitacora::SinSegundoInicio(std::string_view motivo) {
  Escribir(LOG_WARNING, "Un segundo inicio no podrá mostrar esta ventana: " + std::string(motivo));
}

void Bitacora::Repasar() {
  for (auto& m : limite_.Vencidos()) Escribir(m.Prioridad, m.Texto);
}

void Bitacora::EscribirLimitado(const char* tipo, int prioridad, std::string mensaje) {
  if (auto admitido = limite_.Admitir(tipo, {prioridad, std::move(mensaje)})) {
    Escribir(admitido->Prioridad, admitido->Texto);
  } else if (alRetener_) {
    alRetener_();
  }
}

void Bitacora::Escribir(int prioridad, const std::string& mensaje) {
  try {
    sumidero_(prioridad, mensaje);
    if (eco_) *eco_ << mensaje << std::endl;
  } catch (...) {
    // The log must never stop the posting of calls.
  }
}

#include "llamadas/ReceptorLlamadas.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <utility>

#include "llamadas/RegistroLlamada.h"
#include "llamadas/TelefonoAusente.h"
#include "llamadas/Texto.h"

namespace {
// A fragment with fewer visible characters than this is padding or a line
// end, not the rest of a call.
constexpr std::size_t kMinimoVisibles = 10;

bool PodriaSerLlamada(std::string_view fragmento) {
  std::size_t visibles = 0;
  for (const char c : fragmento) {
    const auto b = static_cast<unsigned char>(c);
    if (b > ' ' && b != 0x7F) ++visibles;
  }
  return visibles >= kMinimoVisibles;
}
}  // namespace

std::string ReceptorLlamadas::TextoEstado(int16_t puerto, std::string_view sufijo) {
  return "Puerto COM " + std::to_string(puerto) + std::string(sufijo);
}

std::string ReceptorLlamadas::TextoEstado(const EstadoCaptura& estado, std::string_view sufijo) {
  if (estado.Origen.empty()) return TextoEstado(estado.NumeroPuerto, sufijo);
  return estado.Origen + std::string(sufijo);
}

ReceptorLlamadas::ReceptorLlamadas(VentanaCaptura& ventana, PuertoCaptura& puerto,
                                   CrearTelefono crearTelefono)
    : ventana_(ventana), puerto_(puerto), crearTelefono_(std::move(crearTelefono)) {}

void ReceptorLlamadas::Comm1_OnComm() {
  if (puerto_.CommEvent() != PuertoCaptura::kEventoRecibido) return;
  AtenderEvento();
}

// Read after the wait, never inside it: events that came meanwhile follow,
// in order.
void ReceptorLlamadas::AtenderEvento() {
  if (enEspera_) {
    avisoEnEspera_ = true;
    return;
  }
  CerrarRafagaVencida();
  ventana_.Estado().ContadorEspera = 0;
  if (ventana_.Estado().Recibiendo == 0) {
    AbrirRafaga();
    return;
  }
  Leer();
}

void ReceptorLlamadas::FinEspera() {
  if (!enEspera_) return;
  enEspera_ = false;
  ventana_.Estado().Recibiendo = 1;
  ventana_.HabilitarTimerCheck(true);
  Leer();
  if (std::exchange(avisoEnEspera_, false)) Comm1_OnComm();
  puerto_.RetenerAvisos(false);
}

void ReceptorLlamadas::TimerCheck_Timer() {
  EstadoCaptura& estado = ventana_.Estado();
  // At the top of its range the counter stays where it is.
  if (estado.ContadorEspera < std::numeric_limits<int16_t>::max()) ++estado.ContadorEspera;

  MostrarRafaga(estado.ContadorEspera < 2 ? kSufijoActivo : kSufijoEsperando);

  // A receive event waiting now resets the counter before the test below.
  if (puerto_.EntradaPendiente()) AtenderEvento();

  if (estado.ContadorEspera == estado.TiempoConexion && estado.Recibiendo == 1) {
    ventana_.HabilitarTimerCheck(false);
    ventana_.MostrarLlegada({});
    MostrarRafaga(kSufijoFinRafaga);
    estado.Recibiendo = 0;
    estado.ContadorEspera = 1;
  }
}

void ReceptorLlamadas::MostrarRafaga(std::string_view sufijo) {
  ventana_.MostrarEstado(
      TextoEstado(ventana_.Estado(), puerto_.LineaPerdida() ? kSufijoPerdida : sufijo));
}

void ReceptorLlamadas::Leer() {
  const std::string recibido = puerto_.Input();
  if (recibido.empty()) return;
  const uint64_t posicion = puerto_.PosicionEntrada();
  // No line runs through a header block.
  if (recibido.starts_with('^')) Cortar();
  Seguir(posicion);
  const std::string_view trabajo = TextoDeTrabajo(recibido);
  Enmarcar(trabajo, posicion + static_cast<uint64_t>(trabajo.data() - recibido.data()));
  finEnmarcado_ = posicion + recibido.size();
  ventana_.MostrarLlegada(std::string(Derecha(recibido, kMaximoLlegada)));
}

void ReceptorLlamadas::ProcesarRecuperado(std::string_view texto, uint64_t posicion) {
  Seguir(posicion);
  Enmarcar(texto, posicion);
  finEnmarcado_ = posicion + texto.size();
}

// Bytes that do not begin where the last ones ended (the line lost and back,
// a new connection, bytes thrown away, a restart, a gap in the journal)
// continue nothing: the head of one call joined to the tail of another
// would be a valid line for a call nobody made.
void ReceptorLlamadas::Seguir(uint64_t posicion) {
  if (finEnmarcado_ != posicion) Cortar();
}

void ReceptorLlamadas::Cortar() {
  const std::string empezada = enmarcador_.Cortar();
  // The line feed after the last line's carriage return is no part of it.
  const std::string_view linea = std::string_view(empezada).substr(empezada.starts_with('\n'));
  if (alCortarLinea_ && PodriaSerLlamada(linea)) alCortarLinea_(linea);
}

// `posicion` is where `trabajo` begins in the received stream.
void ReceptorLlamadas::Enmarcar(std::string_view trabajo, uint64_t posicion) {
  const auto telefono = CrearTelefonoDelEvento();
  // The event's rows go in one transaction on a server database.
  const uint64_t perdidas = telefono->Agrupar();
  std::optional<uint64_t> hecho;
  enmarcador_.Enmarcar(trabajo, [&](std::string_view linea, std::size_t trasRetorno) {
    if (!linea.empty()) Manejar(linea, *telefono);
    hecho = posicion + trasRetorno;
  });
  // What lies before the carried text can no longer become part of a line,
  // carriage return or not: a stream that never ends a line is done too.
  const uint64_t fin = posicion + trabajo.size();
  const uint64_t inutil = fin - std::min<uint64_t>(enmarcador_.Arrastre(), fin);
  if (inutil > hecho.value_or(0)) hecho = inutil;
  if (!hecho) return;
  // Done once the database holds the event's rows durably: one commit and
  // one flush per event, not one per row. When it fails the bytes stay in
  // the journal, and a later event's flush covers them.
  const bool asegurado =
      asegurar_ ? asegurar_(*telefono) : telefono->Asegurar() && telefono->Agrupar() == perdidas;
  if (asegurado && alCompletar_) alCompletar_(*hecho);
}

// Checked on the record the line is posted with: no second parse per line.
void ReceptorLlamadas::VigilarFecha(const RegistroLlamada& registro, std::string_view linea) {
  if (!alFechaIlegible_ || fechaAvisada_ || !registro.FechaIlegible) return;
  fechaAvisada_ = true;
  alFechaIlegible_(linea);
}

// No SQL text carries a NUL, and line noise may bring one: control bytes
// become blanks in the fields; the screen and the journal keep them.
void ReceptorLlamadas::Manejar(std::string_view recibida, captura::_Telefono& telefono) {
  std::string limpia;
  std::string_view linea = recibida;
  if (TieneControles(recibida)) {
    limpia = SinControles(recibida);
    linea = limpia;
    if (alQuitarControles_ && RegistroLlamada::Leer(linea).EsValido()) {
      alQuitarControles_(recibida);
    }
  }
  if (manejarLinea_) {
    manejarLinea_(linea, telefono);
  } else {
    ProcesarLinea(linea, telefono);
  }
}

std::optional<ResumenRegistro> ReceptorLlamadas::ProcesarLinea(std::string_view linea,
                                                               captura::_Telefono& telefono,
                                                               ModoRegistro modo,
                                                               const AvanceRegistro& previo,
                                                               const ComprobarDudas& dudas) {
  const RegistroLlamada registro = RegistroLlamada::Leer(linea, ordenFecha_);
  if (!registro.EsValido()) return std::nullopt;
  // A waiting line was told of when it first came.
  if (modo == ModoRegistro::Normal) VigilarFecha(registro, linea);
  return registrador_.RegistrarLlamada(registro, telefono, modo, previo, dudas);
}

// Two ticks of silence or more: the previous burst is over.
void ReceptorLlamadas::CerrarRafagaVencida() {
  EstadoCaptura& estado = ventana_.Estado();
  if (!(estado.ContadorEspera > 1 && estado.Recibiendo == 1)) return;
  ventana_.HabilitarTimerCheck(false);
  ventana_.MostrarLlegada("");
  ventana_.MostrarEstado(TextoEstado(estado, kSufijoInactivo));
  estado.Recibiendo = 0;
  estado.ContadorEspera = 0;
}

// The exchange sends a burst in pieces: give the rest of it time to arrive,
// with no notice of it given meanwhile.
void ReceptorLlamadas::AbrirRafaga() {
  fechaAvisada_ = false;
  ventana_.MostrarEstado(TextoEstado(ventana_.Estado(), kSufijoActivo));
  enEspera_ = true;
  puerto_.RetenerAvisos(true);
  ventana_.EsperarInicio(kEsperaInicio);
}

// A text that begins with "^" carries a header block first; its last
// character is not part of the calls.
std::string_view ReceptorLlamadas::TextoDeTrabajo(std::string_view recibido) {
  if (!recibido.starts_with('^')) return recibido;
  if (recibido.size() <= kInicioTrasCabecera) return {};
  return recibido.substr(kInicioTrasCabecera - 1, recibido.size() - kInicioTrasCabecera);
}

// A Telefono that cannot be created fails each of its steps alone: the lines
// are still framed and read.
std::unique_ptr<captura::_Telefono> ReceptorLlamadas::CrearTelefonoDelEvento() {
  return CrearTelefonoOAusente(crearTelefono_);
}

std::unique_ptr<captura::_Telefono> ReceptorLlamadas::CrearTelefonoOAusente(
    const CrearTelefono& crear) {
  captura::Fallo fallo{captura::kNoSePuedeCrear, "Telefono no disponible"};
  try {
    if (!crear) return std::make_unique<TelefonoAusente>(std::move(fallo));
    auto creado = crear();
    if (creado && creado.Dato()) return std::move(creado.Dato());
    if (!creado) fallo = creado.Falla();
  } catch (const std::exception& e) {
    fallo.Descripcion = e.what();
  }
  return std::make_unique<TelefonoAusente>(std::move(fallo));
}
